#include "attributes/tags.h"

#include "attributes/messages.h"

#include "filing/filedates.h"
#include "filing/ktdate.h"
#include "filing/messages.h"
#include "find/filetext.h"
#include "find/searchtext.h"
#include "store/indexitem.h"
#include "store/keys.h"
#include "store/months.h"
#include "store/mydocument.h"

#include <algorithm>

namespace folivo {

namespace {

const QString PrefixesKey = QStringLiteral("autoTaggingPrefixes");
const QString ScanImportedKey = QStringLiteral("autoTaggingScanImported");
const QString SeparatorKey = QStringLiteral("autoTaggingSeparator");
const QString Separators = QStringLiteral(",; ");

QStringList cleanPrefixes(const QStringList& prefixes)
{
    QStringList out;
    for (const QString& p : prefixes)
        if (!p.isEmpty() && !out.contains(p))
            out << p;
    return out;
}

bool isDateTag(const QString& tag)
{
    return tag.startsWith(u'<');
}

// A month tag's place in the button order, or -1 for any other tag.
int monthOrderPosition(const QString& tag, const QList<int>& monthOrder)
{
    if (!isDateTag(tag) || !tag.endsWith(u'>') || tag.size() < 3)
        return -1;
    const int month = KTMonths::position(tag.mid(1, tag.size() - 2));
    return month < 0 ? -1 : int(monthOrder.indexOf(month + 1));
}

} // namespace

// ---- Settings ---------------------------------------------------------------------------

AutoTagSettings AutoTagSettings::from(const plist::Dict& tagSettings)
{
    AutoTagSettings s;
    QStringList prefixes;
    if (const plist::Value* v = tagSettings.find(PrefixesKey); v && v->isArray())
        for (const plist::Value& p : v->array())
            if (p.isString())
                prefixes << p.string();
    s.prefixes = cleanPrefixes(prefixes);
    const plist::Value* scan = tagSettings.find(ScanImportedKey);
    s.scanImported = scan ? scan->toBool() : !s.prefixes.isEmpty();
    if (const plist::Value* v = tagSettings.find(SeparatorKey)) {
        const auto index = v->toInt();
        s.separator = index >= 0 && index < Separators.size() ? int(index) : 0;
    }
    return s;
}

void AutoTagSettings::storeInto(plist::Dict& tagSettings) const
{
    plist::Array prefixArray;
    for (const QString& p : cleanPrefixes(prefixes))
        prefixArray.push_back(p);
    tagSettings.set(PrefixesKey, std::move(prefixArray));
    tagSettings.set(ScanImportedKey, scanImported);
    tagSettings.set(SeparatorKey, separator >= 0 && separator < Separators.size() ? separator : 0);
}

QChar AutoTagSettings::separatorChar() const
{
    return Separators.at(separator >= 0 && separator < Separators.size() ? separator : 0);
}

bool AutoTagSettings::specified() const
{
    return std::any_of(prefixes.begin(), prefixes.end(), [](const QString& p) { return !p.isEmpty(); });
}

int addPrefixRow(QStringList& prefixes)
{
    prefixes << QString();
    return int(prefixes.size()) - 1;
}

void deletePrefixRows(QStringList& prefixes, QList<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        if (*it >= 0 && *it < prefixes.size())
            prefixes.removeAt(*it);
}

PrefixEdit editPrefixRow(QStringList& prefixes, int row, const QString& text, const QList<int>& selectedRows)
{
    if (row < 0 || row >= prefixes.size())
        return {};
    // The rows to delete: the selection, and always the edited row itself, so an emptied or
    // repeated new row never stays behind as an empty prefix.
    QList<int> doomed = selectedRows;
    doomed << row;
    for (int i = 0; i < prefixes.size(); ++i) {
        if (i == row || prefixes.at(i) != text || text.isEmpty())
            continue;
        if (prefixes.at(row).isEmpty()) {
            deletePrefixRows(prefixes, doomed);
            return {attributesmsg::PrefixDuplicateDeleted};
        }
        return {attributesmsg::PrefixOriginalNotChanged};
    }
    if (text.isEmpty())
        deletePrefixRows(prefixes, doomed);
    else
        prefixes[row] = text;
    return {};
}

AutoTagSettings autoTagSettingsOf(MyDocument& doc)
{
    return AutoTagSettings::from(doc.settings().tagSettings);
}

void setAutoTagSettings(MyDocument& doc, const AutoTagSettings& settings)
{
    settings.storeInto(doc.settings().tagSettings);
}

// ---- Tags of items ----------------------------------------------------------------------

QStringList tagsOf(const IndexItem& item)
{
    QStringList tags;
    if (const plist::Value* v = item.value(keys::Tags); v && v->isArray())
        for (const plist::Value& t : v->array())
            if (t.isString())
                tags << t.string();
    return tags;
}

namespace {

// Stores the tags and writes the attributes file once; the caller has checked that they
// differ and that the database can change.
bool storeTags(MyDocument& doc, IndexItem& item, const QStringList& tags)
{
    if (tags.isEmpty()) {
        item.removeValue(keys::Tags);
    } else {
        plist::Array array;
        for (const QString& t : tags)
            array.push_back(t);
        item.setValue(keys::Tags, std::move(array));
    }
    if (!doc.writeAttributesFileForItem(&item)) {
        doc.diskError(filingmsg::WritingAttributesStep, item.path());
        return false;
    }
    doc.changed();
    // What a tag folder holds may have changed.
    doc.smartFolders().invalidateAll();
    return true;
}

} // namespace

bool setTags(MyDocument& doc, const QString& path, const QStringList& tags)
{
    IndexItem* item = doc.tree().itemForPath(path);
    if (!item || !item->isFile() || !doc.canChange() || tagsOf(*item) == tags)
        return false;
    return storeTags(doc, *item, tags);
}

QStringList dateTagsOf(const IndexItem& item)
{
    const std::optional<QDate> end = itemEndDate(item);
    if (!end)
        return {};
    return {QStringLiteral("<%1>").arg(KTMonths::nameOf(end->month())), QStringLiteral("<%1>").arg(end->year())};
}

QSet<QString> tagsSetForItem(const IndexItem& item, bool includeDates)
{
    const QStringList tags = tagsOf(item);
    QSet<QString> set(tags.begin(), tags.end());
    if (includeDates)
        for (const QString& t : dateTagsOf(item))
            set.insert(t);
    return set;
}

int buttonDateTagSort(const QString& a, const QString& b, const QList<int>& monthOrder)
{
    const bool dateA = isDateTag(a), dateB = isDateTag(b);
    if (dateA != dateB)
        return dateA ? -1 : 1;
    if (dateA) {
        const int pa = monthOrderPosition(a, monthOrder), pb = monthOrderPosition(b, monthOrder);
        if (pa >= 0 && pb >= 0 && pa != pb)
            return pa < pb ? -1 : 1;
        if ((pa >= 0) != (pb >= 0))
            return pa >= 0 ? -1 : 1;
    }
    return a.compare(b, Qt::CaseInsensitive);
}

int buttonDateTagSort(const QString& a, const QString& b)
{
    return buttonDateTagSort(a, b, DateTables::shared().monthButtonSort);
}

QStringList tagsForAllFilesWithTags(MyDocument& doc, const QStringList& wanted)
{
    QSet<QString> result;
    for (const IndexItem* item : doc.tree().flatArray()) {
        if (item->isSmartFolder() || item->isSmartFile())
            continue;
        const QSet<QString> tags = tagsSetForItem(*item, true);
        if (tags.isEmpty())
            continue;
        if (std::all_of(wanted.begin(), wanted.end(), [&](const QString& w) { return tags.contains(w); }))
            result.unite(tags);
    }
    QStringList sorted(result.begin(), result.end());
    const QList<int>& order = DateTables::shared().monthButtonSort;
    // Ties (titles equal but for case) fall back to the exact text so the order is stable.
    std::sort(sorted.begin(), sorted.end(), [&](const QString& a, const QString& b) {
        const int c = buttonDateTagSort(a, b, order);
        return c != 0 ? c < 0 : a < b;
    });
    return sorted;
}

// ---- Auto-tagging -----------------------------------------------------------------------

namespace {

bool isLineEnd(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar(0x2028) || c == QChar(0x2029);
}

void tagsFromLine(QStringView line, const QStringList& prefixes, QChar separator, QStringList& found)
{
    for (const QString& prefix : prefixes) {
        if (prefix.isEmpty() || !line.startsWith(prefix))
            continue;
        for (QStringView piece : line.mid(prefix.size()).split(separator)) {
            piece = piece.trimmed();
            if (!piece.isEmpty())
                found << piece.toString();
        }
    }
}

} // namespace

QStringList tagsFromText(const QString& text, const QStringList& prefixes, QChar separator)
{
    // Lines end at a line feed, and also at a lone carriage return (old Mac text) or a
    // Unicode line or paragraph separator (text from some PDFs): otherwise a prefix at the
    // top of such a file would take the whole rest of the file as its tags.
    QStringList found;
    const QStringView all(text);
    qsizetype start = 0;
    for (qsizetype i = 0; i <= all.size(); ++i) {
        if (i < all.size() && !isLineEnd(all[i]))
            continue;
        tagsFromLine(all.sliced(start, i - start), prefixes, separator, found);
        start = i + 1;
    }
    return found;
}

AutoTagOutcome autoTagItem(MyDocument& doc, IndexItem& item, const AutoTagSettings& settings)
{
    if (!item.isFile() || !doc.canChange())
        return AutoTagOutcome::Refused;
    return autoTagItemWithText(doc, item, settings, searchTextOfItem(doc, item.path()));
}

AutoTagOutcome autoTagItemWithText(MyDocument& doc, IndexItem& item, const AutoTagSettings& settings,
                                   const std::optional<QString>& text)
{
    if (!item.isFile() || !doc.canChange())
        return AutoTagOutcome::Refused;
    if (!text)
        return AutoTagOutcome::NoTags;
    const QStringList found = tagsFromText(*text, settings.prefixes, settings.separatorChar());
    if (found.isEmpty())
        return AutoTagOutcome::NoTags;
    if (found == tagsOf(item))
        return AutoTagOutcome::Unchanged;
    return storeTags(doc, item, found) ? AutoTagOutcome::Tagged : AutoTagOutcome::Refused;
}

namespace {

void collectFilesToAutoTag(const IndexItem* item, QStringList& out)
{
    if (!item || item->isSmartFolder() || item->isSmartFile())
        return;
    if (item->hasChildren()) {
        for (const auto& child : item->children())
            collectFilesToAutoTag(child.get(), out);
    } else if (item->isFile()) {
        out << item->path();
    }
}

} // namespace

QStringList filesToAutoTag(const std::vector<IndexItem*>& items)
{
    QStringList out;
    for (const IndexItem* item : items)
        collectFilesToAutoTag(item, out);
    return out;
}

QStringList allFileTags(MyDocument& doc)
{
    QSet<QString> seen;
    QStringList out;
    for (const IndexItem* item : doc.tree().flatArray()) {
        if (!item->isFile() || item->isSmartFile())
            continue;
        for (const QString& t : tagsOf(*item))
            if (!seen.contains(t)) {
                seen.insert(t);
                out << t;
            }
    }
    std::sort(out.begin(), out.end(), [](const QString& a, const QString& b) {
        const int c = QString::compare(a, b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return out;
}

int autoTagItems(MyDocument& doc, const std::vector<IndexItem*>& items, const AutoTagSettings& settings)
{
    int tagged = 0;
    for (IndexItem* item : items) {
        if (!item || item->isSmartFolder() || item->isSmartFile())
            continue;
        if (item->hasChildren()) {
            std::vector<IndexItem*> children;
            for (const auto& child : item->children())
                children.push_back(child.get());
            tagged += autoTagItems(doc, children, settings);
        } else if (autoTagItem(doc, *item, settings) == AutoTagOutcome::Tagged) {
            ++tagged;
        }
    }
    return tagged;
}

} // namespace folivo
