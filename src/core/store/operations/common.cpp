// What the recorded operations share: the paths and forms of items on disk, results of
// disk steps, attributes files after a change, and where moved and copied items go.

#include "store/operations/documentoperations.h"

#include "store/keys.h"
#include "store/messages.h"
#include "store/mydocument.h"
#include "store/operations/opsupport.h"

#include <cerrno>

namespace folivo {

using ops::clampIndex;
using ops::done;
using ops::failed;
using ops::isInsideOrSame;
using ops::joined;
using ops::parentOf;
using ops::refused;

std::unique_ptr<IndexItem> ops::cloneItem(const IndexItem& source, const QString& newPath)
{
    plist::Dict keys = source.keys();
    keys.set(keys::Path, newPath);
    auto copy = std::make_unique<IndexItem>(std::move(keys), source.hasChildren());
    if (source.hasChildren() && !source.isSmartFolder()) {
        ItemList kids;
        kids.reserve(source.children().size());
        for (const auto& c : source.children())
            kids.push_back(cloneItem(*c, newPath + '/' + c->name()));
        IndexTree::adoptChildren(copy.get(), std::move(kids));
    }
    return copy;
}

bool DocumentOperations::encrypted() const
{
    return d_.dbEncrypted();
}

bool DocumentOperations::canHoldItems(const IndexItem* folder)
{
    return !folder || (folder->hasChildren() && !folder->isSmartFolder());
}

// The disk calls resolve these without following links and refuse one on the way with
// a message that names it.
QString DocumentOperations::abs(const QString& path) const
{
    const auto p = PackagePath::fromString(path);
    return p && !d_.dbPath().isEmpty() ? p->absoluteUnder(d_.dbPath()) : QString();
}

QString DocumentOperations::parentDirAbs(const QString& path) const
{
    const QString parent = parentOf(path);
    return parent.isEmpty() ? QString() : abs(parent);
}

OperationResult DocumentOperations::diskFailure(const QString& stepName, const QString& shownPath)
{
    OperationResult r;
    r.status = OperationResult::Status::DiskError;
    r.step = stepName;
    r.path = shownPath;
    r.detail = fs::lastError();
    d_.diskError(stepName, shownPath);
    return r;
}

// The forms of a stored path that exist on disk: the plain path and, in an encrypted
// database, the enciphered forms.
QStringList DocumentOperations::existingForms(const QString& path) const
{
    QStringList forms;
    const QString a = abs(path);
    if (a.isEmpty())
        return forms;
    if (fs::exists(a))
        forms << QString();
    if (encrypted())
        for (const QString& suffix : pkg::EncipheredSuffixes)
            if (fs::exists(a + '.' + suffix))
                forms << '.' + suffix;
    return forms;
}

// Moves every existing form of `from` to `to`, never replacing anything. All or none:
// when one form cannot move, those already moved go back.
bool DocumentOperations::moveForms(const QString& from, const QString& to)
{
    const QStringList forms = existingForms(from);
    if (forms.isEmpty()) {
        // Behind a link the forms cannot be seen, and are not reached through it.
        fs::recordFailure("Rename", abs(from), d_.absolutePath(from).isEmpty() ? ELOOP : ENOENT);
        return false;
    }
    const QString a = abs(from), b = abs(to);
    fs::ScopedWritable fromParent(parentDirAbs(from));
    fs::ScopedWritable toParent(parentDirAbs(to));
    if (!fromParent.ok() || !toParent.ok())
        return false;
    QStringList moved;
    for (const QString& suffix : forms) {
        const int rc = MyDocument::renameWorkaround(a + suffix, b + suffix);
        if (rc != 0) {
            for (const QString& back : moved)
                MyDocument::renameWorkaround(b + back, a + back);
            fs::recordFailure("Rename", a + suffix, rc);
            return false;
        }
        moved << suffix;
    }
    return true;
}

bool DocumentOperations::writeAttributes(const IndexItem* item, OperationResult& result)
{
    if (d_.writeAttributesFileForItem(item))
        return true;
    // The change itself happened: the result keeps saying where the item is, and adds
    // that its record could not be written.
    if (result.status != OperationResult::Status::DiskError) {
        const OperationResult failure = diskFailure(step::WritingAttributes, item ? item->path() : pkg::DIndex);
        result.status = failure.status;
        result.step = failure.step;
        result.path = failure.path;
        result.detail = failure.detail;
    }
    return false;
}

// Writes the attributes files of an item's descendants, deepest first, then its own.
bool DocumentOperations::writeSubtree(const IndexItem* item, OperationResult& result)
{
    bool ok = true;
    if (!item->isSmartFolder())
        for (const auto& c : item->children())
            ok = writeSubtree(c.get(), result) && ok;
    return writeAttributes(item, result) && ok;
}

void DocumentOperations::removeAttributesFile(const QString& path)
{
    const auto pp = PackagePath::fromString(path);
    if (!pp)
        return;
    const QString attrs = d_.dbPath() + '/' + MyDocument::attributesPathForPath(path);
    fs::ScopedWritable writable(parentDirAbs(path));
    fs::removeFile(attrs);
    if (encrypted()) // in a plain database, the attributes file of an item "X.fvdbe"
        fs::removeFile(attrs + '.' + pkg::EncFile);
}

// After a move or a copy: the item and its descendants get their new paths, their
// records are written at the new place (children before their folder, so the folder
// lists the new paths), then the folder that now holds the item. The old attributes
// file of a moved item is removed by the caller once the old folder's record no longer
// lists it; a copy has none.
void DocumentOperations::setNewAttributePathesForItem(IndexItem* item, const QString& newPath, OperationResult& r)
{
    setPathsInTree(item, newPath);
    writeSubtree(item, r);
    writeAttributes(item->parent(), r);
}

// Gives an item and its descendants new paths in the tree (children first, so the
// item's own record lists the new paths), without touching any file.
void DocumentOperations::setPathsInTree(IndexItem* item, const QString& newPath)
{
    if (!item->isSmartFolder())
        for (const auto& c : item->children())
            setPathsInTree(c.get(), newPath + '/' + c->name());
    d_.tree().setPath(item, newPath);
}

IndexItem* DocumentOperations::unfiled()
{
    IndexItem* u = d_.tree().itemForPath(pkg::Unfiled);
    if (u && u->hasChildren())
        return u;
    // "Unfiled" is always there: a tree without it gets it back, on disk too.
    const QString a = abs(pkg::Unfiled);
    if (!fs::isDirectory(a) && !fs::makeDirectories(a, pkg::ReadOnlyMode))
        return nullptr;
    if (u)
        return nullptr;
    u = d_.tree().insert(nullptr, std::make_unique<IndexItem>(plist::Dict{{keys::Path, pkg::Unfiled}}, true), 0);
    d_.writeAttributesFileForItem(u);
    d_.writeAttributesFileForItem(nullptr);
    return u;
}

// The selection after a move or copy into `array owner`: a lone file in a date folder
// selects its date folder, collapsed.
void DocumentOperations::selectAfterPlacing(OperationResult& r, IndexItem* item, IndexItem* target)
{
    const ItemList& list = d_.tree().childrenOf(target);
    if (list.size() == 1 && target && target->isDateFolder() && item->isFile()) {
        r.select = {target->path()};
        r.collapse = target->path();
    } else {
        r.select = {item->path()};
    }
    r.reveal = item->path();
}

// Where a moved or copied item goes: the folder at `parentPath`, or for an item with
// an ending date dropped on an ordinary folder (other than "Unfiled"), that folder's
// month folder for the date.
DocumentOperations::Target DocumentOperations::targetFor(const QString& parentPath, const IndexItem& item)
{
    Target t;
    if (parentPath.isEmpty())
        return t;
    t.parent = d_.tree().itemForPath(parentPath);
    t.path = parentPath;
    const plist::Value* end = item.value(keys::EndDate);
    if (t.parent && !t.parent->isDateFolder() && end && end->isDate() && parentPath != pkg::Unfiled) {
        const QDate date = fromPlistDate(end->date()).toLocalTime().date();
        IndexItem* month = d_.findOrCreateDateCategoryFor(t.parent, date);
        if (!month) {
            // A year folder made before its month failed goes again when empty.
            d_.deleteDateCategoryIfEmpty(d_.tree().itemForPath(parentPath + '/' + QString::number(date.year())));
            t.failed = true;
            return t;
        }
        t.parent = month;
        t.path = month->path();
        t.redirected = true;
    }
    return t;
}

// The year and month folders made for an item that then could not come: they go
// again when nothing else is in them.
void DocumentOperations::dropUnusedDateFolders(const Target& t)
{
    if (!t.redirected || !t.parent)
        return;
    const QString year = parentOf(t.path);
    d_.deleteDateCategoryIfEmpty(t.parent);
    d_.deleteDateCategoryIfEmpty(d_.tree().itemForPath(year));
}

} // namespace folivo
