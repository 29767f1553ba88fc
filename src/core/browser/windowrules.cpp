#include "windowrules.h"

#include "browser/droprules.h"
#include "browser/selection.h"
#include "store/bookmark.h"
#include "store/keys.h"
#include "store/mydocument.h"
#include "store/packagepath.h"
#include "util/fs.h"

#include <QFileInfo>
#include <QSet>

namespace folivo {

QString folderTheSelectionStandsFor(const IndexItem* item)
{
    while (item && !item->isPlainFolder())
        item = item->parent();
    return item ? item->path() : QString();
}

QStringList filesOfSelectedItemsSmartFolder(const IndexTree& tree, const IndexItem& folder)
{
    QStringList paths;
    const plist::Value* type = folder.value(keys::SmartFolderType);
    const plist::Value* smart = folder.value(keys::SmartFolder);
    if (!type || type->toInt(-1) != 2 || !smart || !smart->isDict())
        return paths;
    const plist::Value* conditions = smart->dict().find(QStringLiteral("Conditions"));
    if (!conditions || !conditions->isArray())
        return paths;
    QSet<QString> seen;
    for (const plist::Value& condition : conditions->array()) {
        if (!condition.isDict())
            continue;
        const plist::Value* data = condition.dict().find(QStringLiteral("BookMarkData"));
        if (!data || !data->isData())
            continue;
        const std::optional<QString> path = storedPathFromBookmarkData(data->data());
        // The same file named twice is selected once.
        if (path && !seen.contains(*path) && tree.itemForPath(*path)) {
            seen.insert(*path);
            paths << *path;
        }
    }
    return paths;
}

bool sortSelectedFolders(MyDocument& doc, const std::vector<const IndexItem*>& selected)
{
    if (!doc.canChange())
        return false;
    bool any = false;
    for (const IndexItem* item : withoutNestedItems(selected)) {
        if (!item || !item->hasChildren() || item->isSmartFolder())
            continue;
        IndexItem* folder = doc.tree().itemForPath(item->path());
        if (!folder)
            continue;
        doc.tree().sortByName(folder);
        // The order lives in the attributes file too; losing it silently would bring the old
        // order back at the next rebuild.
        if (!doc.writeAttributesFileForItem(folder))
            doc.diskError(QStringLiteral("Writing attributes file of"), folder->path());
        any = true;
    }
    if (any)
        doc.changed();
    return any;
}

bool toggleSortingSwitch(MyDocument& doc, SortSwitch which)
{
    if (!doc.canChange())
        return false;
    SortFlags& flags = doc.tree().sorting;
    switch (which) {
    case SortSwitch::KeepSorted:
        flags.keepSorted = !flags.keepSorted;
        break;
    case SortSwitch::YearsDescending:
        flags.yearDescending = !flags.yearDescending;
        break;
    case SortSwitch::MonthsDescending:
        flags.monthDescending = !flags.monthDescending;
        break;
    case SortSwitch::IgnoreCase:
        flags.ignoreCase = !flags.ignoreCase;
        break;
    }
    doc.settings().sorting = flags;
    doc.sortAll();
    doc.saveDBSpecificPreferences();
    return true;
}

SelectedFileOnDisk selectedFileOnDisk(const MyDocument& doc, const QString& path)
{
    SelectedFileOnDisk out;
    const QString plain = doc.absolutePath(path);
    if (plain.isEmpty()) {
        // A link lies on the way: the package refuses to follow it, but something is
        // stored under the item's name, and taking the item out of the tree would
        // misreport it as missing. It counts as there and unreadable.
        const auto relative = PackagePath::fromString(path);
        if (relative && !doc.dbPath().isEmpty()) {
            const QFileInfo raw(relative->absoluteUnder(doc.dbPath()));
            out.fileExists = raw.exists() || raw.isSymLink();
            out.storedFormExists = out.fileExists;
        }
        return out;
    }
    const QFileInfo info(plain);
    out.fileExists = info.exists() || info.isSymLink();
    // An enciphered form counts whether or not it can be read: only an item with nothing
    // left on disk is ever taken out of the tree.
    out.storedFormExists = out.fileExists;
    for (const QString& suffix : pkg::EncipheredSuffixes)
        out.storedFormExists = out.storedFormExists || fs::exists(plain + '.' + suffix);
    out.readable = doc.pathOrEncryptedPath(path).has_value();
    return out;
}

SelectedFileDecision decideSelectedFileOnDisk(const MyDocument& doc, const QString& path)
{
    const SelectedFileOnDisk onDisk = selectedFileOnDisk(doc, path);
    return decideSelectedFile(onDisk.fileExists, onDisk.storedFormExists, onDisk.readable, doc.canChange());
}

QStringList dropLoginRecords(MyDocument& doc, const plist::Array& records, const QString& folderPath, int row)
{
    QStringList made;
    if (!doc.canChange())
        return made;
    IndexTree& tree = doc.tree();
    int index = row;
    for (const plist::Value& record : records) {
        // Looked up again for every record: an operation may have changed the tree.
        const IndexItem* target = folderPath.isEmpty() ? nullptr : tree.itemForPath(folderPath);
        if (!folderPath.isEmpty() && !target)
            break;
        const QString path =
            folderPathForLoginRecord(record, folderPath, [&doc](const QString& p) { return doc.uniquePathForPath(p); });
        if (path.isEmpty())
            continue;
        const OperationResult r = doc.recordNewCategory(path, target, index);
        if (r.status == OperationResult::Status::DiskError)
            break;
        if (r.status != OperationResult::Status::Done)
            continue;
        // Where the folder really landed, should the operation have had to change its name.
        const QString landed = r.resultPath.isEmpty() ? path : r.resultPath;
        IndexItem* folder = tree.itemForPath(landed);
        if (!folder)
            continue;
        for (const auto& [key, value] : loginKeysOfRecord(record))
            folder->setValue(key, value);
        if (!doc.writeAttributesFileForItem(folder))
            doc.diskError(QStringLiteral("Writing attributes file of"), landed);
        doc.changed();
        made << landed;
        if (folder->parent() == target && index >= 0)
            index = tree.indexOf(folder) + 1;
    }
    return made;
}

} // namespace folivo
