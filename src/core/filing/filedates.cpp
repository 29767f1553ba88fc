#include "filing/filedates.h"

#include "browser/windowrules.h"
#include "filing/filingrules.h"
#include "filing/ktdate.h"
#include "filing/messages.h"
#include "store/dboperation.h"
#include "store/indexitem.h"
#include "store/keys.h"
#include "store/mydocument.h"

namespace folivo {

namespace {

std::optional<QDate> dayOf(const IndexItem& item, const QString& key)
{
    const plist::Value* v = item.value(key);
    if (!v || !v->isDate())
        return std::nullopt;
    return fromPlistDate(v->date()).toLocalTime().date();
}

void putDay(IndexItem& item, const QString& key, const std::optional<QDate>& day)
{
    if (day)
        item.setValue(key, plist::Value(toPlistDate(KTDate::atMidnight(*day))));
    else
        item.removeValue(key);
}

QString shown(const std::optional<QDate>& day, bool european)
{
    return day ? displayDate(KTDate::atMidnight(*day), european) : QString();
}

bool writeItem(MyDocument& doc, IndexItem* item)
{
    if (!doc.writeAttributesFileForItem(item)) {
        doc.diskError(filingmsg::WritingAttributesStep, item->path());
        return false;
    }
    doc.changed();
    return true;
}

} // namespace

std::optional<QDate> itemStartDate(const IndexItem& item)
{
    return dayOf(item, keys::StartDate);
}

std::optional<QDate> itemEndDate(const IndexItem& item)
{
    return dayOf(item, keys::EndDate);
}

FileDatesChange fileDatesChanged(std::optional<QDate> oldStart, std::optional<QDate> oldEnd, std::optional<QDate> start,
                                 std::optional<QDate> end, const IndexItem* reminderFolder)
{
    FileDatesChange c;
    c.start = start;
    c.end = end;
    if (c.start && !c.end)
        c.end = defaultEndDateForStartDate(*c.start);
    if (c.end && !c.start)
        c.start = defaultStartDateForEndDate(*c.end, reminderFolder);
    c.endChanged = c.end != oldEnd;
    c.startChanged = c.start != oldStart;
    return c;
}

DateFieldsEdit editDateFields(const QString& fromText, const QString& toText, std::optional<QDate> oldStart,
                              std::optional<QDate> oldEnd, const IndexItem* reminderFolder, bool european, QDate today)
{
    DateFieldsEdit e;
    const DateCheck check = checkDatesFrom(fromText.trimmed(), toText.trimmed(), false, european, today);
    if (!check.ok) {
        // The dates the file had stay, and show again.
        e.warning = check.warning;
        e.fromText = shown(oldStart, european);
        e.toText = shown(oldEnd, european);
        e.change.start = oldStart;
        e.change.end = oldEnd;
        return e;
    }
    e.ok = true;
    e.change = fileDatesChanged(oldStart, oldEnd, check.start, check.end, reminderFolder);
    e.fromText = shown(e.change.start, european);
    e.toText = shown(e.change.end, european);
    return e;
}

IndexItem* filingFolderOf(const MyDocument& doc, const QString& filePath)
{
    const IndexItem* item = doc.tree().itemForPath(filePath);
    if (!item)
        return nullptr;
    const QString folder = folderTheSelectionStandsFor(item->parent());
    return folder.isEmpty() ? nullptr : doc.tree().itemForPath(folder);
}

OperationResult storeFileDates(MyDocument& doc, const QString& path, std::optional<QDate> start,
                               std::optional<QDate> end)
{
    OperationResult r;
    r.resultPath = path;
    IndexItem* item = doc.tree().itemForPath(path);
    if (!item || !doc.canChange() || !item->isFile()) {
        r.status = OperationResult::Status::Refused;
        return r;
    }
    const std::optional<QDate> oldStart = itemStartDate(*item);
    const std::optional<QDate> oldEnd = itemEndDate(*item);
    IndexItem* folder = filingFolderOf(doc, path);
    const FileDatesChange change = fileDatesChanged(oldStart, oldEnd, start, end, folder);
    if (!change.changed())
        return r;
    putDay(*item, keys::StartDate, change.start);
    putDay(*item, keys::EndDate, change.end);

    if (change.endChanged) {
        // Moving the file into its own folder files it under the year and month of the new
        // ending date (or straight into the folder when the date went).
        OperationResult moved = doc.recordMovePath(path, folder, 0);
        IndexItem* now =
            doc.tree().itemForPath(moved.status == OperationResult::Status::Done ? moved.resultPath : path);
        if (!moved.ok()) {
            // The file stays where it was: so do its dates.
            if (now) {
                putDay(*now, keys::StartDate, oldStart);
                putDay(*now, keys::EndDate, oldEnd);
            }
            return moved;
        }
        const QString landed = moved.status == OperationResult::Status::Done ? moved.resultPath : path;
        // A new date in the same month leaves the file where it is: the move then only
        // reorders, and the new dates would otherwise never reach the file's attributes file.
        if (landed == path && now && !writeItem(doc, now)) {
            moved.status = OperationResult::Status::DiskError;
            return moved;
        }
        moved.resultPath = landed;
        doc.changed();
        return moved;
    }
    if (!writeItem(doc, item)) {
        r.status = OperationResult::Status::DiskError;
        return r;
    }
    r.status = OperationResult::Status::Done;
    return r;
}

// ---- Folder settings --------------------------------------------------------------------

bool setFolderFilingText(MyDocument& doc, const QString& folderPath, const QString& key, const QString& text)
{
    IndexItem* folder = doc.tree().itemForPath(folderPath);
    if (!folder || !folder->hasChildren() || !doc.canChange())
        return false;
    const plist::Value* stored = folder->value(key);
    if (text.isEmpty()) {
        if (!stored)
            return false;
        folder->removeValue(key);
    } else {
        if (stored && stored->isString() && stored->string() == text)
            return false;
        folder->setValue(key, plist::Value(text));
    }
    return writeItem(doc, folder);
}

bool setFolderEuropeanDates(MyDocument& doc, const QString& folderPath, bool european)
{
    IndexItem* folder = doc.tree().itemForPath(folderPath);
    if (!folder || !folder->hasChildren() || !doc.canChange())
        return false;
    const plist::Value* stored = folder->value(filingkeys::EuropeanDates);
    // A missing switch reads as off: turning it off then changes nothing on disk.
    if ((stored && stored->toBool()) == european)
        return false;
    folder->setValue(filingkeys::EuropeanDates, plist::Value(european));
    return writeItem(doc, folder);
}

bool useSelectionFor(MyDocument& doc, const QString& folderPath, const QString& key, const QString& selectedText)
{
    if (selectedText.isEmpty())
        return false;
    return setFolderFilingText(doc, folderPath, key, selectedText);
}

// ---- Preview ------------------------------------------------------------------------------

PhrasePreview previewPhrases(const PhrasePreviewInput& in)
{
    PhrasePreview p;
    if (!in.textOrPdf)
        return p;
    p.shown = true;
    p.textAfterStart = in.text;
    if (!in.startPhrase.isEmpty()) {
        if (const auto found = dateMatchFoundIn(in.text, in.startPhrase, in.european, in.today)) {
            p.start = found->date;
            p.startFound = true;
            p.textAfterStart = in.text.mid(found->end);
        }
    }
    if (!in.endPhrase.isEmpty()) {
        if (const auto found = dateMatchFoundIn(p.textAfterStart, in.endPhrase, in.european, in.today)) {
            p.end = found->date;
            p.endFound = true;
        }
    }
    const auto label = [&](const QString& how, const std::optional<QDate>& day) {
        return how + displayDate(KTDate::atMidnight(*day), in.displayEuropean);
    };
    if (!p.startFound && !p.endFound) {
        p.startWarning = !in.startPhrase.isEmpty();
        p.endWarning = !in.endPhrase.isEmpty();
        return p;
    }
    if (!p.startFound)
        p.start = defaultStartDateForEndDate(*p.end, in.reminderFolder);
    if (!p.endFound)
        p.end = defaultEndDateForStartDate(*p.start);
    p.startLabel = label(p.startFound ? filingmsg::DateFound : filingmsg::DateAssumed, p.start);
    p.endLabel = label(p.endFound ? filingmsg::DateFound : filingmsg::DateAssumed, p.end);
    p.applyShown = p.start != in.currentStart || p.end != in.currentEnd;
    return p;
}

} // namespace folivo
