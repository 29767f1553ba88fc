#include "attributes/customattributes.h"

#include "attributes/messages.h"

#include "prefs/ktprefs.h"
#include "prefs/prefkeys.h"
#include "store/indexitem.h"
#include "store/keys.h"
#include "store/mydocument.h"
#include "util/debuglog.h"

#include <algorithm>

namespace folivo {

namespace {

const QString ConditionsKey = QStringLiteral("Conditions");
const QString ConditionAttributeKey = QStringLiteral("CustomAttribute");
const QString ReportCriteriaKey = QStringLiteral("ReportCriteria");
const QString ReportValuesKey = QStringLiteral("values");
const QStringList ReportAttributeKeys = {QStringLiteral("attribute1"), QStringLiteral("attribute2")};

// Changed items are written in batches without a flush each; the progress sheet follows
// every this many.
constexpr int kProgressStep = 50;

QString stringAt(const plist::Dict& d, const QString& key)
{
    const plist::Value* v = d.find(key);
    return v && v->isString() ? v->string() : QString();
}

bool stringIs(const plist::Dict& d, const QString& key, const QString& wanted)
{
    const plist::Value* v = d.find(key);
    return v && v->isString() && v->string() == wanted;
}

plist::Array entriesOf(const IndexItem& item)
{
    const plist::Value* v = item.value(keys::CustomAttributes);
    return v && v->isArray() ? v->array() : plist::Array{};
}

QString entryName(const plist::Value& entry)
{
    return entry.isDict() ? stringAt(entry.dict(), AttributeKey) : QString();
}

// The item at `path` when its attributes may change now.
IndexItem* changeableItem(MyDocument& doc, const QString& path)
{
    if (!doc.canChange())
        return nullptr;
    IndexItem* item = doc.tree().itemForPath(path);
    return item && canCarryCustomAttributes(*item) ? item : nullptr;
}

// Stores the entries, writes the item's attributes file and marks the database changed.
bool store(MyDocument& doc, IndexItem& item, plist::Array entries)
{
    item.setValue(keys::CustomAttributes, std::move(entries));
    if (!doc.writeAttributesFileForItem(&item)) {
        doc.diskError(attributesmsg::WritingAttributesStep, item.path());
        return false;
    }
    doc.changed();
    return true;
}

// Removes `rows` from `entries`, whatever their order; answers whether any went.
bool removeRows(plist::Array& entries, QList<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    bool removed = false;
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        if (*it >= 0 && std::size_t(*it) < entries.size()) {
            entries.erase(entries.begin() + *it);
            removed = true;
        }
    return removed;
}

} // namespace

// ---- Names -------------------------------------------------------------------------------------

bool isValidAttributeName(const QString& name)
{
    if (name.isEmpty())
        return false;
    return std::all_of(name.begin(), name.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
    });
}

int addAttributeName(QStringList& names, const QString& name)
{
    if (name.isEmpty())
        return -1;
    if (const qsizetype at = names.indexOf(name); at >= 0)
        return int(at);
    qsizetype at = 0;
    while (at < names.size() && QString::compare(names.at(at), name, Qt::CaseInsensitive) <= 0)
        ++at;
    names.insert(at, name);
    return int(at);
}

void deleteBlankAttributeNames(QStringList& names)
{
    names.removeAll(QString());
}

QString defaultAttributeName(const QStringList& names)
{
    return names.isEmpty() ? QString() : names.first();
}

NameEdit editAttributeNameRow(QStringList& names, int row, const QString& text)
{
    NameEdit edit;
    if (row < 0 || row >= names.size())
        return edit;
    const QString old = names.at(row);
    edit.from = old;
    edit.row = row;
    const bool newRow = old.isEmpty();
    const auto refuse = [&](const QString& deleted, const QString& notChanged) {
        if (newRow) {
            names.removeAt(row);
            edit.row = -1;
            edit.error = deleted;
        } else {
            edit.error = notChanged;
        }
        return edit;
    };
    if (!text.isEmpty() && text != old && names.contains(text))
        return refuse(attributesmsg::NameDuplicateDeleted, attributesmsg::NameOriginalNotChanged);
    if (!text.isEmpty() && !isValidAttributeName(text))
        return refuse(attributesmsg::NameLettersDeleted, attributesmsg::NameLettersNotChanged);
    if (text.isEmpty()) {
        if (newRow) {
            names.removeAt(row);
            edit.row = -1;
        } else {
            edit.action = NameEdit::Action::DeleteRow;
        }
        return edit;
    }
    if (text == old)
        return edit;
    names.removeAt(row);
    edit.row = addAttributeName(names, text);
    edit.to = text;
    edit.action = newRow ? NameEdit::Action::Inserted : NameEdit::Action::Renamed;
    return edit;
}

Prompt deleteAttributeNameQuestion(const QString& name)
{
    return Prompt(DeleteAttributeNamePrompt, attributesmsg::CustomAttributesTitle,
                  attributesmsg::DeleteNameInUse.arg(name),
                  {{NoAnswer, attributesmsg::No}, {YesAnswer, attributesmsg::Yes}});
}

std::optional<QString> completeAttributeName(const QStringList& names, const QString& typed)
{
    if (typed.isEmpty())
        return QString();
    for (const QString& n : names)
        if (n.startsWith(typed))
            return n;
    for (const QString& n : names)
        if (n.startsWith(typed, Qt::CaseInsensitive))
            return n;
    return std::nullopt;
}

// ---- The table of one item -----------------------------------------------------------------------

bool canCarryCustomAttributes(const IndexItem& item)
{
    return item.isFile() || item.isPlainFolder();
}

QList<AttributeEntry> customAttributesOf(const IndexItem& item)
{
    QList<AttributeEntry> out;
    for (const plist::Value& e : entriesOf(item)) {
        if (e.isDict())
            out.push_back({stringAt(e.dict(), AttributeKey), stringAt(e.dict(), ValueKey)});
        else
            out.push_back({});
    }
    return out;
}

std::optional<QString> customAttributeValue(const IndexItem& item, const QString& name)
{
    for (const AttributeEntry& e : customAttributesOf(item))
        if (e.name == name)
            return e.value;
    return std::nullopt;
}

int addCustomAttributeRow(MyDocument& doc, const QString& path)
{
    IndexItem* item = changeableItem(doc, path);
    if (!item)
        return -1;
    plist::Array entries = entriesOf(*item);
    entries.push_back(plist::Dict{{AttributeKey, QString()}, {ValueKey, QString()}});
    const int row = int(entries.size()) - 1;
    return store(doc, *item, std::move(entries)) ? row : -1;
}

bool deleteCustomAttributeRows(MyDocument& doc, const QString& path, QList<int> rows)
{
    IndexItem* item = changeableItem(doc, path);
    if (!item)
        return false;
    plist::Array entries = entriesOf(*item);
    if (!removeRows(entries, std::move(rows)))
        return false;
    return store(doc, *item, std::move(entries));
}

AttributeNameEdit setCustomAttributeName(MyDocument& doc, const QString& path, int row, const QString& name,
                                         const QList<int>& selectedRows)
{
    IndexItem* item = changeableItem(doc, path);
    if (!item)
        return AttributeNameEdit::Refused;
    plist::Array entries = entriesOf(*item);
    if (row < 0 || std::size_t(row) >= entries.size())
        return AttributeNameEdit::Refused;
    QList<int> doomed = selectedRows;
    doomed << row;
    if (name.isEmpty()) {
        removeRows(entries, doomed);
        store(doc, *item, std::move(entries));
        return AttributeNameEdit::Deleted;
    }
    if (entryName(entries[std::size_t(row)]) == name)
        return AttributeNameEdit::Unchanged;
    if (!doc.customAttributeNames().contains(name))
        return AttributeNameEdit::Refused;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (int(i) == row || entryName(entries[i]) != name)
            continue;
        doc.ui().alert(AttributeExistsPrompt, attributesmsg::AttributeExistsTitle,
                       attributesmsg::AttributeExists.arg(name));
        removeRows(entries, doomed);
        store(doc, *item, std::move(entries));
        return AttributeNameEdit::Duplicate;
    }
    plist::Value& entry = entries[std::size_t(row)];
    if (!entry.isDict())
        entry = plist::Dict{{ValueKey, QString()}};
    entry.dict().set(AttributeKey, name);
    return store(doc, *item, std::move(entries)) ? AttributeNameEdit::Stored : AttributeNameEdit::Refused;
}

bool setCustomAttributeValue(MyDocument& doc, const QString& path, int row, const QString& text, const QString& key)
{
    if (key.isEmpty() || key == AttributeKey)
        return false;
    IndexItem* item = changeableItem(doc, path);
    if (!item)
        return false;
    plist::Array entries = entriesOf(*item);
    if (row < 0 || std::size_t(row) >= entries.size())
        return false;
    plist::Value& entry = entries[std::size_t(row)];
    if (!entry.isDict())
        entry = plist::Dict{{AttributeKey, QString()}};
    if (stringIs(entry.dict(), key, text))
        return false;
    entry.dict().set(key, text);
    return store(doc, *item, std::move(entries));
}

bool setCustomAttribute(MyDocument& doc, const QString& path, const QString& name, const QString& value)
{
    IndexItem* item = changeableItem(doc, path);
    if (!item || !doc.customAttributeNames().contains(name))
        return false;
    plist::Array entries = entriesOf(*item);
    for (plist::Value& entry : entries) {
        if (entryName(entry) != name)
            continue;
        if (stringIs(entry.dict(), ValueKey, value))
            return false;
        entry.dict().set(ValueKey, value);
        return store(doc, *item, std::move(entries));
    }
    entries.push_back(plist::Dict{{AttributeKey, name}, {ValueKey, value}});
    return store(doc, *item, std::move(entries));
}

bool removeCustomAttribute(MyDocument& doc, const QString& path, const QString& name)
{
    IndexItem* item = changeableItem(doc, path);
    if (!item)
        return false;
    plist::Array entries = entriesOf(*item);
    const auto before = entries.size();
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&](const plist::Value& e) { return e.isDict() && entryName(e) == name; }),
                  entries.end());
    if (entries.size() == before)
        return false;
    return store(doc, *item, std::move(entries));
}

// ---- Rename and deletion through the database ----------------------------------------------------

bool renameInFindCriteria(plist::Dict& criteria, const QString& name, const QString& replacement)
{
    plist::Value* conditions = criteria.find(ConditionsKey);
    if (!conditions || !conditions->isArray())
        return false;
    bool changed = false;
    for (plist::Value& c : conditions->array())
        if (c.isDict() && stringIs(c.dict(), ConditionAttributeKey, name)) {
            c.dict().set(ConditionAttributeKey, replacement);
            changed = true;
        }
    return changed;
}

bool renameInReportCriteria(plist::Dict& report, const QString& name, const QString& replacement)
{
    plist::Value* lines = report.find(ReportValuesKey);
    if (!lines || !lines->isArray())
        return false;
    bool changed = false;
    for (plist::Value& line : lines->array()) {
        if (!line.isDict())
            continue;
        for (const QString& key : ReportAttributeKeys)
            if (stringIs(line.dict(), key, name)) {
                line.dict().set(key, replacement);
                changed = true;
            }
    }
    return changed;
}

namespace {

// Renames or removes the item's entries named `name`; answers whether any was.
bool changeEntries(IndexItem& item, const QString& name, const std::optional<QString>& replacement)
{
    const plist::Value* stored = item.value(keys::CustomAttributes);
    if (!stored || !stored->isArray())
        return false;
    plist::Array entries = stored->array();
    bool changed = false;
    for (auto i = entries.size(); i-- > 0;) {
        if (!entries[i].isDict() || entryName(entries[i]) != name)
            continue;
        if (replacement)
            entries[i].dict().set(AttributeKey, *replacement);
        else
            entries.erase(entries.begin() + std::ptrdiff_t(i));
        changed = true;
    }
    if (changed)
        item.setValue(keys::CustomAttributes, std::move(entries));
    return changed;
}

// Changes a smart folder's definition and report lines, whatever its kind; answers
// whether anything changed.
bool changeSmartFolder(IndexItem& folder, const QString& name, const QString& replacement)
{
    bool changed = false;
    if (const plist::Value* v = folder.value(keys::SmartFolder); v && v->isDict()) {
        plist::Dict criteria = v->dict();
        if (renameInFindCriteria(criteria, name, replacement)) {
            folder.setValue(keys::SmartFolder, std::move(criteria));
            changed = true;
        }
    }
    if (const plist::Value* v = folder.value(ReportCriteriaKey); v && v->isDict()) {
        plist::Dict report = v->dict();
        if (renameInReportCriteria(report, name, replacement)) {
            folder.setValue(ReportCriteriaKey, std::move(report));
            changed = true;
        }
    }
    // What it contains follows from a definition that changed.
    if (changed)
        folder.setValue(keys::NeedsLoading, true);
    return changed;
}

// Writes the attributes files of `items` behind the progress sheet; stops at the first
// the disk refuses, which is reported. The index archive of the next save carries the
// changes either way.
void writeChanged(MyDocument& doc, const std::vector<IndexItem*>& items, const AttributeProgress& progress)
{
    if (items.empty())
        return;
    const int total = int(items.size());
    DocumentUi& ui = doc.ui();
    ui.progressStart(attributesmsg::UpdatingAttributes, attributesmsg::UpdatingAttributesText.arg(0).arg(total), 0);
    int written = 0;
    for (IndexItem* item : items) {
        if (!doc.writeAttributesFileForItem(item, fs::Durability::NoFlush)) {
            ui.progressStop();
            doc.diskError(attributesmsg::WritingAttributesStep, item->path());
            return;
        }
        ++written;
        if (written % kProgressStep == 0 || written == total) {
            ui.progressSetText(attributesmsg::UpdatingAttributesText.arg(written).arg(total));
            if (progress)
                progress(written, total);
        }
    }
    fs::syncFileSystem(doc.dbPath());
    ui.progressStop();
}

} // namespace

bool customAttributeAccess(MyDocument& doc, const QString& name, bool deleteIt, const std::optional<QString>& renameTo,
                           KTPrefs* prefs, const AttributeProgress& progress)
{
    std::vector<IndexItem*> flat = doc.tree().flatArray();
    if (!deleteIt && !renameTo) {
        for (auto it = flat.rbegin(); it != flat.rend(); ++it)
            for (const AttributeEntry& e : customAttributesOf(**it))
                if (e.name == name)
                    return true;
        return false;
    }
    // An empty name is that of entries just added and not yet named: renaming or deleting
    // it would take every such entry of every item with it.
    if (name.isEmpty() || !doc.canChange() || (!deleteIt && *renameTo == name))
        return false;
    MyDocument::BusyScope busy(doc);
    const QString replacement = deleteIt ? QString() : *renameTo;
    const std::optional<QString> entryReplacement = deleteIt ? std::nullopt : renameTo;

    std::vector<IndexItem*> changed;
    for (auto it = flat.rbegin(); it != flat.rend(); ++it)
        if (changeEntries(**it, name, entryReplacement))
            changed.push_back(*it);
    // Every kind of smart folder: a tag or selected-items smart folder keeps a report too.
    for (const auto& top : doc.tree().categoriesArray())
        if (top->isSmartFolder() && changeSmartFolder(*top, name, replacement)
            && std::find(changed.begin(), changed.end(), top.get()) == changed.end())
            changed.push_back(top.get());

    bool findChanged = false;
    if (prefs) {
        if (const plist::Value* find = prefs->objectForKey(prefkeys::Find); find && find->isDict()) {
            plist::Dict record = find->dict();
            if (renameInFindCriteria(record, name, replacement)) {
                prefs->setObject(plist::Value(std::move(record)), prefkeys::Find);
                findChanged = true;
            }
        }
    }

    writeChanged(doc, changed, progress);
    if (!changed.empty()) {
        doc.changed();
        appendDebugInfo(QStringLiteral("\n\nCustom attribute \"%1\" %2 in %3 items of %4")
                            .arg(name, deleteIt ? QStringLiteral("deleted") : QStringLiteral("renamed"))
                            .arg(changed.size())
                            .arg(doc.dbPath()));
    }
    return !changed.empty() || findChanged;
}

bool customAttributeNameInUse(MyDocument& doc, const QString& name)
{
    return customAttributeAccess(doc, name, false, std::nullopt, nullptr);
}

bool customAttributeNameDelete(MyDocument& doc, const QString& name, KTPrefs* prefs, const AttributeProgress& progress)
{
    return customAttributeAccess(doc, name, true, std::nullopt, prefs, progress);
}

bool customAttributeRename(MyDocument& doc, const QString& from, const QString& to, KTPrefs* prefs,
                           const AttributeProgress& progress)
{
    return customAttributeAccess(doc, from, false, to, prefs, progress);
}

} // namespace folivo
