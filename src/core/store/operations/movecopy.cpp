// Moving items inside the database, duplicating files and copying items from another open
// database (or from this one).

#include "store/operations/documentoperations.h"

#include "store/keys.h"
#include "store/messages.h"
#include "store/mydocument.h"
#include "store/operations/opsupport.h"

#include <QFileInfo>

#include <cerrno>

namespace folivo {

using ops::clampIndex;
using ops::done;
using ops::failed;
using ops::isInsideOrSame;
using ops::joined;
using ops::parentOf;
using ops::cloneItem;
using ops::refused;

OperationResult DocumentOperations::move(const QString& path, const QString& parentPath, int index)
{
    IndexItem* item = d_.tree().itemForPath(path);
    if (!item)
        return refused(msg::NoSuchItem.arg(path));
    if (!parentPath.isEmpty()) {
        IndexItem* g = d_.tree().itemForPath(parentPath);
        if (!g)
            return refused(msg::NoSuchItem.arg(parentPath));
        if (!canHoldItems(g))
            return refused(msg::CannotHoldItems.arg(parentPath));
    }
    if (isInsideOrSame(parentPath, path))
        return refused(msg::MoveIntoItself.arg(item->name()));
    if (!item->parent() && path == pkg::Unfiled && !parentPath.isEmpty())
        return refused(msg::CannotMoveUnfiled);

    const Target t = targetFor(parentPath, *item);
    if (t.failed)
        return failed(msg::NoDateFolder);
    QString newPath = joined(t.path, item->name());

    if (newPath == path) {
        // Same folder: only the order changes. The item stays in the tree throughout,
        // so nothing that holds it (history, the browser) loses it.
        // The index counts places in the list as it was, the item's own included.
        if (index < 0 && !t.redirected)
            return OperationResult{};
        const int from = d_.tree().indexOf(item);
        const int size = int(d_.tree().childrenOf(item->parent()).size());
        const int k = t.redirected ? size : std::min(index, size);
        if (k == from)
            return OperationResult{};
        const int to = from > k ? k : k - 1;
        if (to == from)
            return OperationResult{};
        d_.tree().moveItem(item, item->parent(), to);
        OperationResult r = done(path);
        writeAttributes(item->parent(), r);
        r.select = {path};
        return r;
    }

    newPath = d_.uniquePathForPath(newPath);
    IndexItem* oldParent = item->parent();
    const QString oldParentPath = oldParent ? oldParent->path() : QString();
    const QString oldGrandparentPath = parentOf(oldParentPath);

    if (!item->isSmartFolder() && !moveForms(path, newPath)) {
        OperationResult r = diskFailure(encrypted() ? step::MovingEncrypted : step::MovingItem, newPath);
        dropUnusedDateFolders(t);
        return r;
    }

    OperationResult r = done(newPath);
    const int insertAt = t.redirected ? -1 : clampIndex(index < 0 ? 0 : index, d_.tree().childrenOf(t.parent).size());
    d_.tree().moveItem(item, t.parent, insertAt);
    if (d_.tree().sorting.keepSorted)
        d_.tree().sortByName(t.parent);
    setNewAttributePathesForItem(item, newPath, r);
    writeAttributes(d_.tree().itemForPath(oldParentPath), r);
    removeAttributesFile(path);
    d_.deleteDateCategoryIfEmpty(d_.tree().itemForPath(oldParentPath));
    d_.deleteDateCategoryIfEmpty(d_.tree().itemForPath(oldGrandparentPath));
    selectAfterPlacing(r, item, t.parent);
    return r;
}

OperationResult DocumentOperations::duplicate(const QString& path)
{
    IndexItem* item = d_.tree().itemForPath(path);
    if (!item)
        return refused(msg::NoSuchItem.arg(path));
    if (!item->isFile())
        return refused(msg::OnlyFilesDuplicate);
    IndexItem* target = unfiled();
    if (!target)
        return diskFailure(step::CreatingFolder, pkg::Unfiled);

    const QString name = item->name();
    const qsizetype dot = name.lastIndexOf('.');
    const bool hasExtension = dot > 0 && dot < name.size() - 1;
    const QString stem = hasExtension ? name.left(dot) : name;
    QString copyName = stem + QStringLiteral(" copy") + (hasExtension ? name.mid(dot) : QString());
    if (checkName(copyName) != NameProblem::None)
        copyName = makeValidName(copyName);
    const QString newPath = d_.uniquePathForPath(joined(pkg::Unfiled, copyName));

    const QString& stepName = encrypted() ? step::DuplicatingEncrypted : step::Duplicating;
    const QStringList forms = existingForms(path);
    if (forms.isEmpty()) {
        fs::recordFailure("Link", abs(path), ENOENT);
        return diskFailure(stepName, path);
    }
    {
        fs::ScopedWritable writable(abs(pkg::Unfiled));
        const QString from = abs(path), to = abs(newPath);
        QStringList made;
        for (const QString& suffix : forms) {
            // In an encrypted database the stored forms are linked, so the copy shares
            // the enciphered bytes and no plain text is made. Where a link cannot be
            // made (a bundle folder, a file system without links) the bytes are copied.
            const QString src = from + suffix, dst = to + suffix;
            bool ok = false;
            if (fs::isDirectory(src))
                ok = fs::copyTree(src, dst);
            else
                ok = fs::link(src, dst) || fs::cloneFile(src, dst);
            if (!ok) {
                OperationResult r = diskFailure(stepName, path);
                for (const QString& m : made + QStringList{suffix})
                    fs::deleteInside(d_.dbPath(), *PackagePath::fromString(newPath + m));
                return r;
            }
            made << suffix;
        }
    }
    OperationResult r = done(newPath);
    IndexItem* copy = d_.tree().insert(target, cloneItem(*item, newPath));
    if (d_.tree().sorting.keepSorted)
        d_.tree().sortByName(target);
    writeAttributes(copy, r);
    writeAttributes(target, r);
    r.expand = target->path();
    r.select = {newPath};
    r.editName = newPath;
    return r;
}

// Copies the content of `item` (in `source`) to `newPath` here. Plain content is read
// from the source with the source's key and written in this database's form with this
// database's key; nothing is deciphered inside another package.
bool DocumentOperations::copyContent(MyDocument& source, const IndexItem& item, const QString& newPath)
{
    const QString to = abs(newPath);
    if (item.isSmartFolder())
        return true;
    if (item.hasChildren()) {
        if (!fs::makeDirectory(to, pkg::ReadWriteMode))
            return false;
        bool ok = true;
        for (const auto& c : item.children())
            if (ok)
                ok = copyContent(source, *c, newPath + '/' + c->name());
        return fs::setMode(to, pkg::ReadOnlyMode) && ok;
    }
    if (item.isSmartFile())
        return true;
    const bool sameKeys = &source == &d_ || (!source.dbEncrypted() && !d_.dbEncrypted());
    if (sameKeys) {
        // Same form on both sides: the stored bytes are copied as they are.
        const QString from = source.absolutePath(item.path());
        bool any = false;
        for (const QString& suffix : QStringList{QString()} + (source.dbEncrypted() ? pkg::EncipheredSuffixes : QStringList())) {
            const QString form = suffix.isEmpty() ? from : from + '.' + suffix;
            if (!fs::exists(form))
                continue;
            // In an encrypted database a plain copy beside a stored form is a leftover.
            if (suffix.isEmpty() && source.dbEncrypted())
                continue;
            any = true;
            if (!fs::copyTree(form, suffix.isEmpty() ? to : to + '.' + suffix))
                return false;
        }
        if (!any)
            fs::recordFailure("Copy", from, ENOENT);
        return any;
    }
    QString error;
    auto plain = source.plainCopyForReading(item.path(), &error);
    if (!plain || !plain->valid()) {
        fs::recordFailure("Copy", source.absolutePath(item.path()), ENOENT);
        return false;
    }
    if (d_.dbEncrypted()) {
        const StoreResult stored = d_.cipher()->encryptFrom(plain->path(), *PackagePath::fromString(newPath));
        if (!stored.ok)
            fs::recordFailure("Encipher", to, EIO);
        return stored.ok;
    }
    return fs::isDirectory(plain->path()) ? fs::copyTree(plain->path(), to) : fs::cloneFile(plain->path(), to);
}

OperationResult DocumentOperations::copyFrom(const QString& path, const QString& fromDBPath, const QString& parentPath, int index)
{
    MyDocument* source = MyDocument::openDocumentWithPath(fromDBPath);
    if (!source)
        return refused(msg::SourceNotOpen.arg(QFileInfo(fromDBPath).fileName()));
    const IndexItem* original = source->tree().itemForPath(path);
    if (!original)
        return refused(msg::NoSuchItem.arg(path));
    if (!parentPath.isEmpty()) {
        IndexItem* g = d_.tree().itemForPath(parentPath);
        if (!g)
            return refused(msg::NoSuchItem.arg(parentPath));
        if (!canHoldItems(g))
            return refused(msg::CannotHoldItems.arg(parentPath));
    }
    if (source == &d_ && isInsideOrSame(parentPath, path))
        return refused(msg::MoveIntoItself.arg(original->name()));
    if (d_.dbEncrypted() && !d_.cipher())
        return refused(msg::DatabaseLocked);

    const Target t = targetFor(parentPath, *original);
    if (t.failed)
        return failed(msg::NoDateFolder);
    const QString newPath = d_.uniquePathForPath(joined(t.path, original->name()));
    if (!PackagePath::fromString(newPath))
        return refused(msg::InvalidPath.arg(newPath));

    if (!original->isSmartFolder()) {
        fs::ScopedWritable writable(parentDirAbs(newPath));
        if (!writable.ok() || !copyContent(*source, *original, newPath)) {
            OperationResult r = diskFailure(step::Copying, newPath);
            d_.deletePath(newPath); // the part that was copied
            dropUnusedDateFolders(t);
            return r;
        }
    }
    OperationResult r = done(newPath);
    const int insertAt = t.redirected ? -1 : clampIndex(index < 0 ? 0 : index, d_.tree().childrenOf(t.parent).size());
    IndexItem* copy = d_.tree().insert(t.parent, cloneItem(*original, newPath), insertAt);
    if (d_.tree().sorting.keepSorted)
        d_.tree().sortByName(t.parent);
    setNewAttributePathesForItem(copy, newPath, r);
    selectAfterPlacing(r, copy, t.parent);
    return r;
}

} // namespace folivo
