// Creating folders, renaming items and deleting them.

#include "store/operations/documentoperations.h"

#include "store/keys.h"
#include "store/messages.h"
#include "store/mydocument.h"
#include "store/operations/opsupport.h"
#include "util/debuglog.h"

#include <QDir>

#include <cerrno>
#include <unistd.h>

namespace folivo {

using ops::clampIndex;
using ops::done;
using ops::failed;
using ops::isInsideOrSame;
using ops::joined;
using ops::parentOf;
using ops::refused;

OperationResult DocumentOperations::deleteItem(const QString& path)
{
    IndexItem* item = d_.tree().itemForPath(path);
    if (!item)
        return refused(msg::NoSuchItem.arg(path));
    if (!item->parent() && path == pkg::Unfiled)
        return refused(msg::CannotDeleteUnfiled);
    const bool smart = item->isSmartFolder();
    const QString parentPath = parentOf(path);
    const QString grandparentPath = parentOf(parentPath);

    // The files go out of the way first, in one rename each, to hidden names beside
    // them; only then does the tree forget the item. A refused rename changes nothing.
    QStringList trash;
    if (!smart) {
        const QStringList forms = existingForms(path);
        fs::ScopedWritable writable(parentDirAbs(path));
        const QString a = abs(path);
        const QString hidden = abs(joined(parentPath, QStringLiteral(".deleting-%1-").arg(::getpid())));
        for (const QString& suffix : forms) {
            QString to;
            for (int n = 1; to.isEmpty() || fs::exists(to); ++n)
                to = hidden + QString::number(n);
            if (MyDocument::renameWorkaround(a + suffix, to) != 0) {
                for (const QString& back : trash)
                    MyDocument::renameWorkaround(back, a + forms[trash.indexOf(back)]);
                return diskFailure(step::Deleting, path);
            }
            trash << to;
        }
    }

    OperationResult r = done();
    d_.removeItem(item, false);
    {
        // Gone from the tree: now the files themselves, before an emptied date folder
        // is removed with them out of its way.
        fs::ScopedWritable writable(parentDirAbs(path));
        for (const QString& t : trash) {
            const auto rel = PackagePath::fromString(QDir(d_.dbPath()).relativeFilePath(t));
            if (!rel || !fs::deleteInside(d_.dbPath(), *rel))
                appendDebugInfo(QStringLiteral("\n\nDelete of %1 failed: %2\n").arg(t, fs::lastError()));
        }
    }
    IndexItem* parent = d_.tree().itemForPath(parentPath);
    IndexItem* grandparent = d_.tree().itemForPath(grandparentPath);
    if (grandparent && grandparent->isDateFolder()) {
        d_.deleteDateCategoryIfEmpty(parent);
        d_.deleteDateCategoryIfEmpty(d_.tree().itemForPath(grandparentPath));
    } else {
        d_.deleteDateCategoryIfEmpty(parent);
    }
    r.focusBrowser = true;
    return r;
}

OperationResult DocumentOperations::newFolder(const QString& path, const QString& parentPath, int index)
{
    const auto pp = PackagePath::fromString(path);
    if (!pp || pp->isRoot())
        return refused(msg::InvalidPath.arg(path));
    const NameProblem problem = checkName(pp->name());
    if (problem != NameProblem::None)
        return refused(nameProblemMessage(problem));
    IndexItem* parent = nullptr;
    if (!parentPath.isEmpty()) {
        parent = d_.tree().itemForPath(parentPath);
        if (!parent)
            return refused(msg::NoSuchItem.arg(parentPath));
    }
    if (pp->parent().str() != parentPath)
        return refused(msg::NotInsideParent.arg(path, parentPath));
    if (!canHoldItems(parent))
        return refused(msg::CannotHoldItems.arg(parentPath));
    if (d_.tree().itemForPath(path))
        return refused(msg::NameTaken.arg(pp->name()));
    const QString a = pp->absoluteUnder(d_.dbPath());
    for (const QString& suffix : pkg::EncipheredSuffixes)
        if (fs::exists(a + '.' + suffix))
            return refused(msg::NameTaken.arg(pp->name()));
    if (fs::exists(a)) {
        // A folder left on disk without an item is taken over; anything else is not.
        if (!fs::isDirectory(a))
            return refused(msg::NameTaken.arg(pp->name()));
    } else {
        fs::ScopedWritable writable(parentDirAbs(path));
        if (!writable.ok() || !fs::makeDirectories(a, pkg::ReadOnlyMode))
            return diskFailure(step::CreatingFolder, path);
    }
    const ItemList& list = d_.tree().childrenOf(parent);
    IndexItem* item = d_.tree().insert(
        parent, std::make_unique<IndexItem>(plist::Dict{{keys::Path, path}}, true),
        clampIndex(index, list.size()));
    if (d_.tree().sorting.keepSorted)
        d_.tree().sortByName(parent);
    OperationResult r = done(path);
    writeAttributes(item, r);
    writeAttributes(parent, r);
    r.select = {path};
    r.reveal = path;
    return r;
}

OperationResult DocumentOperations::rename(const QString& oldPath, const QString& newPath)
{
    IndexItem* item = d_.tree().itemForPath(oldPath);
    if (!item)
        return refused(msg::NoSuchItem.arg(oldPath));
    const auto np = PackagePath::fromString(newPath);
    if (!np || np->isRoot())
        return refused(msg::InvalidPath.arg(newPath));
    if (np->parent().str() != parentOf(oldPath))
        return refused(msg::RenameStaysInFolder);
    const NameProblem problem = checkName(np->name());
    if (problem != NameProblem::None)
        return refused(nameProblemMessage(problem));
    if ((!item->parent() && oldPath == pkg::Unfiled) || item->isDateFolder())
        return refused(msg::CannotRename.arg(item->name()));
    if (newPath == oldPath)
        return OperationResult{};
    // A case-only change is the same name to nobody but the file system; anything else
    // must be free, on disk (files the tree does not know included) and in the tree.
    if (d_.uniquePathForPath(newPath) != newPath)
        return refused(msg::NameTaken.arg(np->name()));

    if (!item->isSmartFolder() && !moveForms(oldPath, newPath)) {
        if (errno == EEXIST)
            return refused(msg::NameTaken.arg(np->name()));
        const bool encryptedFile = encrypted() && item->isFile();
        return diskFailure(encryptedFile ? step::RenamingEncrypted : step::RenamingItem, abs(newPath));
    }
    OperationResult r = done(newPath);
    renameItem(item, oldPath, newPath, r);
    if (d_.tree().sorting.keepSorted)
        d_.tree().sortByName(item->parent());
    r.select = {newPath};
    return r;
}

// The tree and the attributes files after an item's files have been renamed: the new
// records first (descendants before the item, the item before its folder), and the
// old attributes file of the item only at the end.
void DocumentOperations::renameItem(IndexItem* item, const QString& oldPath, const QString& newPath, OperationResult& r)
{
    setPathsInTree(item, newPath);
    for (const auto& c : item->children())
        if (!item->isSmartFolder())
            writeSubtree(c.get(), r);
    writeAttributes(item, r);
    writeAttributes(item->parent(), r);
    removeAttributesFile(oldPath);
}

} // namespace folivo
