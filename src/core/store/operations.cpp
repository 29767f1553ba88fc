// The recorded operations: every change that touches both the package and the tree.
//
// Order of steps: the disk changes first, and only when they all succeeded does the tree
// follow, with the attributes files of the new place written before those of the old
// place are removed. A refused disk step is undone where it can be, so the tree, the
// attributes files and the disk keep agreeing; a crash between steps leaves at worst an
// item without a file or a file without an item, which the check at the next open reports
// and lets the person recover.

#include "store/mydocument.h"

#include "prefs/ktprefs.h"
#include "store/keys.h"
#include "store/messages.h"
#include "util/debuglog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cerrno>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace folivo {

namespace {

// Descriptions of the steps, as the disk-error log names them.
namespace step {
const QString CreatingFolder = QStringLiteral("Creating folder");
const QString RenamingItem = QStringLiteral("Renaming item to");
const QString RenamingEncrypted = QStringLiteral("Renaming encrypted file to");
const QString MovingItem = QStringLiteral("Moving item to");
const QString MovingEncrypted = QStringLiteral("Moving encrypted item to");
const QString Duplicating = QStringLiteral("Duplicating file");
const QString DuplicatingEncrypted = QStringLiteral("Duplicating encrypted file");
const QString Copying = QStringLiteral("Copying item to");
const QString EncryptingImported = QStringLiteral("Encrypting imported file");
// Steps checked here that an unchecked write would let fail silently.
const QString Deleting = QStringLiteral("Deleting item");
const QString WritingAttributes = QStringLiteral("Writing attributes file of");
const QString MarkingChanged = QStringLiteral("Marking the database changed");
} // namespace step

OperationResult refused(const QString& message)
{
    OperationResult r;
    r.status = OperationResult::Status::Refused;
    r.message = message;
    return r;
}

OperationResult failed(const QString& message)
{
    OperationResult r;
    r.status = OperationResult::Status::Failed;
    r.message = message;
    return r;
}

OperationResult done(const QString& path = {})
{
    OperationResult r;
    r.status = OperationResult::Status::Done;
    r.resultPath = path;
    return r;
}

QString parentOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QString() : path.left(slash);
}

QString joined(const QString& folder, const QString& name)
{
    return folder.isEmpty() ? name : folder + '/' + name;
}

bool isInsideOrSame(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(folder + '/');
}

int clampIndex(int index, std::size_t size)
{
    if (index < 0)
        return -1;
    return index > int(size) ? int(size) : index;
}

// Whether the file at `abs` carries the immutable flag (chattr +i), the nearest thing
// this system has to a locked file.
bool isLocked(const QString& abs)
{
    const int fd = ::open(QFile::encodeName(abs).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    int flags = 0;
    const bool locked = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_IMMUTABLE_FL);
    ::close(fd);
    return locked;
}

bool startsWithPdfMagic(const QByteArray& head)
{
    return head.startsWith("%PDF");
}

// The name made to end in ".pdf": an extension "pdf" in any case is dropped first.
QString withPdfExtension(const QString& name)
{
    const qsizetype dot = name.lastIndexOf('.');
    QString stem = name;
    if (dot > 0 && name.mid(dot + 1).compare(QStringLiteral("pdf"), Qt::CaseInsensitive) == 0)
        stem = name.left(dot);
    return stem + QStringLiteral(".pdf");
}

std::unique_ptr<IndexItem> cloneItem(const IndexItem& source, const QString& newPath)
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

} // namespace

// Helpers with access to the document's inside.
struct DocumentOps {
    MyDocument& d;

    // The disk calls resolve these without following links and refuse one on the way with
    // a message that names it.
    QString abs(const QString& path) const
    {
        const auto p = PackagePath::fromString(path);
        return p && !d.dbPath_.isEmpty() ? p->absoluteUnder(d.dbPath_) : QString();
    }
    QString parentDirAbs(const QString& path) const
    {
        const QString parent = parentOf(path);
        return parent.isEmpty() ? QString() : abs(parent);
    }
    bool encrypted() const { return d.dbEncrypted_; }

    OperationResult diskFailure(const QString& stepName, const QString& shownPath)
    {
        OperationResult r;
        r.status = OperationResult::Status::DiskError;
        r.step = stepName;
        r.path = shownPath;
        r.detail = fs::lastError();
        d.diskError(stepName, shownPath);
        return r;
    }

    // The forms of a stored path that exist on disk: the plain path and, in an encrypted
    // database, the enciphered forms.
    QStringList existingForms(const QString& path) const
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
    bool moveForms(const QString& from, const QString& to)
    {
        const QStringList forms = existingForms(from);
        if (forms.isEmpty()) {
            // Behind a link the forms cannot be seen, and are not reached through it.
            fs::recordFailure("Rename", abs(from), d.absolutePath(from).isEmpty() ? ELOOP : ENOENT);
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

    bool writeAttributes(const IndexItem* item, OperationResult& result)
    {
        if (d.writeAttributesFileForItem(item))
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
    bool writeSubtree(const IndexItem* item, OperationResult& result)
    {
        bool ok = true;
        if (!item->isSmartFolder())
            for (const auto& c : item->children())
                ok = writeSubtree(c.get(), result) && ok;
        return writeAttributes(item, result) && ok;
    }

    void removeAttributesFile(const QString& path)
    {
        const auto pp = PackagePath::fromString(path);
        if (!pp)
            return;
        const QString attrs = d.dbPath_ + '/' + MyDocument::attributesPathForPath(path);
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
    void setNewAttributePathesForItem(IndexItem* item, const QString& newPath, OperationResult& r)
    {
        setPathsInTree(item, newPath);
        writeSubtree(item, r);
        writeAttributes(item->parent(), r);
    }

    // Gives an item and its descendants new paths in the tree (children first, so the
    // item's own record lists the new paths), without touching any file.
    void setPathsInTree(IndexItem* item, const QString& newPath)
    {
        if (!item->isSmartFolder())
            for (const auto& c : item->children())
                setPathsInTree(c.get(), newPath + '/' + c->name());
        d.tree_.setPath(item, newPath);
    }

    // A folder that can hold what is put into it: a folder or date folder, never a file
    // or a smart folder. nullptr for the top level.
    bool canHoldItems(const IndexItem* folder) const { return !folder || (folder->hasChildren() && !folder->isSmartFolder()); }

    IndexItem* unfiled()
    {
        IndexItem* u = d.tree_.itemForPath(pkg::Unfiled);
        if (u && u->hasChildren())
            return u;
        // "Unfiled" is always there: a tree without it gets it back, on disk too.
        const QString a = abs(pkg::Unfiled);
        if (!fs::isDirectory(a) && !fs::makeDirectories(a, pkg::ReadOnlyMode))
            return nullptr;
        if (u)
            return nullptr;
        u = d.tree_.insert(nullptr, std::make_unique<IndexItem>(plist::Dict{{keys::Path, pkg::Unfiled}}, true), 0);
        d.writeAttributesFileForItem(u);
        d.writeAttributesFileForItem(nullptr);
        return u;
    }

    // The selection after a move or copy into `array owner`: a lone file in a date folder
    // selects its date folder, collapsed.
    void selectAfterPlacing(OperationResult& r, IndexItem* item, IndexItem* target)
    {
        const ItemList& list = d.tree_.childrenOf(target);
        if (list.size() == 1 && target && target->isDateFolder() && item->isFile()) {
            r.select = {target->path()};
            r.collapse = target->path();
        } else {
            r.select = {item->path()};
        }
        r.reveal = item->path();
    }

    struct Target {
        IndexItem* parent = nullptr;
        QString path;
        bool redirected = false;
        bool failed = false;
    };

    // Where a moved or copied item goes: the folder at `parentPath`, or for an item with
    // an ending date dropped on an ordinary folder (other than "Unfiled"), that folder's
    // month folder for the date.
    Target targetFor(const QString& parentPath, const IndexItem& item)
    {
        Target t;
        if (parentPath.isEmpty())
            return t;
        t.parent = d.tree_.itemForPath(parentPath);
        t.path = parentPath;
        const plist::Value* end = item.value(keys::EndDate);
        if (t.parent && !t.parent->isDateFolder() && end && end->isDate() && parentPath != pkg::Unfiled) {
            const QDate date = fromPlistDate(end->date()).toLocalTime().date();
            IndexItem* month = d.findOrCreateDateCategoryFor(t.parent, date);
            if (!month) {
                // A year folder made before its month failed goes again when empty.
                d.deleteDateCategoryIfEmpty(d.tree_.itemForPath(parentPath + '/' + QString::number(date.year())));
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
    void dropUnusedDateFolders(const Target& t)
    {
        if (!t.redirected || !t.parent)
            return;
        const QString year = parentOf(t.path);
        d.deleteDateCategoryIfEmpty(t.parent);
        d.deleteDateCategoryIfEmpty(d.tree_.itemForPath(year));
    }

    // ---- 0: delete -------------------------------------------------------------------
    OperationResult deleteItem(const QString& path)
    {
        IndexItem* item = d.tree_.itemForPath(path);
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
        d.removeItem(item, false);
        {
            // Gone from the tree: now the files themselves, before an emptied date folder
            // is removed with them out of its way.
            fs::ScopedWritable writable(parentDirAbs(path));
            for (const QString& t : trash) {
                const auto rel = PackagePath::fromString(QDir(d.dbPath_).relativeFilePath(t));
                if (!rel || !fs::deleteInside(d.dbPath_, *rel))
                    appendDebugInfo(QStringLiteral("\n\nDelete of %1 failed: %2\n").arg(t, fs::lastError()));
            }
        }
        IndexItem* parent = d.tree_.itemForPath(parentPath);
        IndexItem* grandparent = d.tree_.itemForPath(grandparentPath);
        if (grandparent && grandparent->isDateFolder()) {
            d.deleteDateCategoryIfEmpty(parent);
            d.deleteDateCategoryIfEmpty(d.tree_.itemForPath(grandparentPath));
        } else {
            d.deleteDateCategoryIfEmpty(parent);
        }
        r.focusBrowser = true;
        return r;
    }

    // ---- 1: new folder ---------------------------------------------------------------
    OperationResult newFolder(const QString& path, const QString& parentPath, int index)
    {
        const auto pp = PackagePath::fromString(path);
        if (!pp || pp->isRoot())
            return refused(msg::InvalidPath.arg(path));
        const NameProblem problem = checkName(pp->name());
        if (problem != NameProblem::None)
            return refused(nameProblemMessage(problem));
        IndexItem* parent = nullptr;
        if (!parentPath.isEmpty()) {
            parent = d.tree_.itemForPath(parentPath);
            if (!parent)
                return refused(msg::NoSuchItem.arg(parentPath));
        }
        if (pp->parent().str() != parentPath)
            return refused(msg::NotInsideParent.arg(path, parentPath));
        if (!canHoldItems(parent))
            return refused(msg::CannotHoldItems.arg(parentPath));
        if (d.tree_.itemForPath(path))
            return refused(msg::NameTaken.arg(pp->name()));
        const QString a = pp->absoluteUnder(d.dbPath_);
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
        const ItemList& list = d.tree_.childrenOf(parent);
        IndexItem* item = d.tree_.insert(
            parent, std::make_unique<IndexItem>(plist::Dict{{keys::Path, path}}, true),
            clampIndex(index, list.size()));
        if (d.tree_.sorting.keepSorted)
            d.tree_.sortByName(parent);
        OperationResult r = done(path);
        writeAttributes(item, r);
        writeAttributes(parent, r);
        r.select = {path};
        r.reveal = path;
        return r;
    }

    // ---- 2: rename -------------------------------------------------------------------
    OperationResult rename(const QString& oldPath, const QString& newPath)
    {
        IndexItem* item = d.tree_.itemForPath(oldPath);
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
        if (d.uniquePathForPath(newPath) != newPath)
            return refused(msg::NameTaken.arg(np->name()));

        if (!item->isSmartFolder() && !moveForms(oldPath, newPath)) {
            if (errno == EEXIST)
                return refused(msg::NameTaken.arg(np->name()));
            const bool encryptedFile = encrypted() && item->isFile();
            return diskFailure(encryptedFile ? step::RenamingEncrypted : step::RenamingItem, abs(newPath));
        }
        OperationResult r = done(newPath);
        renameItem(item, oldPath, newPath, r);
        if (d.tree_.sorting.keepSorted)
            d.tree_.sortByName(item->parent());
        r.select = {newPath};
        return r;
    }

    // The tree and the attributes files after an item's files have been renamed: the new
    // records first (descendants before the item, the item before its folder), and the
    // old attributes file of the item only at the end.
    void renameItem(IndexItem* item, const QString& oldPath, const QString& newPath, OperationResult& r)
    {
        setPathsInTree(item, newPath);
        for (const auto& c : item->children())
            if (!item->isSmartFolder())
                writeSubtree(c.get(), r);
        writeAttributes(item, r);
        writeAttributes(item->parent(), r);
        removeAttributesFile(oldPath);
    }

    // ---- 4: move ---------------------------------------------------------------------
    OperationResult move(const QString& path, const QString& parentPath, int index)
    {
        IndexItem* item = d.tree_.itemForPath(path);
        if (!item)
            return refused(msg::NoSuchItem.arg(path));
        if (!parentPath.isEmpty()) {
            IndexItem* g = d.tree_.itemForPath(parentPath);
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
            const int from = d.tree_.indexOf(item);
            const int size = int(d.tree_.childrenOf(item->parent()).size());
            const int k = t.redirected ? size : std::min(index, size);
            if (k == from)
                return OperationResult{};
            const int to = from > k ? k : k - 1;
            if (to == from)
                return OperationResult{};
            d.tree_.moveItem(item, item->parent(), to);
            OperationResult r = done(path);
            writeAttributes(item->parent(), r);
            r.select = {path};
            return r;
        }

        newPath = d.uniquePathForPath(newPath);
        IndexItem* oldParent = item->parent();
        const QString oldParentPath = oldParent ? oldParent->path() : QString();
        const QString oldGrandparentPath = parentOf(oldParentPath);

        if (!item->isSmartFolder() && !moveForms(path, newPath)) {
            OperationResult r = diskFailure(encrypted() ? step::MovingEncrypted : step::MovingItem, newPath);
            dropUnusedDateFolders(t);
            return r;
        }

        OperationResult r = done(newPath);
        const int insertAt = t.redirected ? -1 : clampIndex(index < 0 ? 0 : index, d.tree_.childrenOf(t.parent).size());
        d.tree_.moveItem(item, t.parent, insertAt);
        if (d.tree_.sorting.keepSorted)
            d.tree_.sortByName(t.parent);
        setNewAttributePathesForItem(item, newPath, r);
        writeAttributes(d.tree_.itemForPath(oldParentPath), r);
        removeAttributesFile(path);
        d.deleteDateCategoryIfEmpty(d.tree_.itemForPath(oldParentPath));
        d.deleteDateCategoryIfEmpty(d.tree_.itemForPath(oldGrandparentPath));
        selectAfterPlacing(r, item, t.parent);
        return r;
    }

    // ---- 6: duplicate ----------------------------------------------------------------
    OperationResult duplicate(const QString& path)
    {
        IndexItem* item = d.tree_.itemForPath(path);
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
        const QString newPath = d.uniquePathForPath(joined(pkg::Unfiled, copyName));

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
                        fs::deleteInside(d.dbPath_, *PackagePath::fromString(newPath + m));
                    return r;
                }
                made << suffix;
            }
        }
        OperationResult r = done(newPath);
        IndexItem* copy = d.tree_.insert(target, cloneItem(*item, newPath));
        if (d.tree_.sorting.keepSorted)
            d.tree_.sortByName(target);
        writeAttributes(copy, r);
        writeAttributes(target, r);
        r.expand = target->path();
        r.select = {newPath};
        r.editName = newPath;
        return r;
    }

    // ---- 7: copy from an open database -----------------------------------------------
    // Copies the content of `item` (in `source`) to `newPath` here. Plain content is read
    // from the source with the source's key and written in this database's form with this
    // database's key; nothing is deciphered inside another package.
    bool copyContent(MyDocument& source, const IndexItem& item, const QString& newPath)
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
        const bool sameKeys = &source == &d || (!source.dbEncrypted_ && !d.dbEncrypted_);
        if (sameKeys) {
            // Same form on both sides: the stored bytes are copied as they are.
            const QString from = source.absolutePath(item.path());
            bool any = false;
            for (const QString& suffix : QStringList{QString()} + (source.dbEncrypted_ ? pkg::EncipheredSuffixes : QStringList())) {
                const QString form = suffix.isEmpty() ? from : from + '.' + suffix;
                if (!fs::exists(form))
                    continue;
                // In an encrypted database a plain copy beside a stored form is a leftover.
                if (suffix.isEmpty() && source.dbEncrypted_)
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
        if (d.dbEncrypted_) {
            const StoreResult stored = d.cipher_->encryptFrom(plain->path(), *PackagePath::fromString(newPath));
            if (!stored.ok)
                fs::recordFailure("Encipher", to, EIO);
            return stored.ok;
        }
        return fs::isDirectory(plain->path()) ? fs::copyTree(plain->path(), to) : fs::cloneFile(plain->path(), to);
    }

    OperationResult copyFrom(const QString& path, const QString& fromDBPath, const QString& parentPath, int index)
    {
        MyDocument* source = MyDocument::openDocumentWithPath(fromDBPath);
        if (!source)
            return refused(msg::SourceNotOpen.arg(QFileInfo(fromDBPath).fileName()));
        const IndexItem* original = source->tree_.itemForPath(path);
        if (!original)
            return refused(msg::NoSuchItem.arg(path));
        if (!parentPath.isEmpty()) {
            IndexItem* g = d.tree_.itemForPath(parentPath);
            if (!g)
                return refused(msg::NoSuchItem.arg(parentPath));
            if (!canHoldItems(g))
                return refused(msg::CannotHoldItems.arg(parentPath));
        }
        if (source == &d && isInsideOrSame(parentPath, path))
            return refused(msg::MoveIntoItself.arg(original->name()));
        if (d.dbEncrypted_ && !d.cipher_)
            return refused(msg::DatabaseLocked);

        const Target t = targetFor(parentPath, *original);
        if (t.failed)
            return failed(msg::NoDateFolder);
        const QString newPath = d.uniquePathForPath(joined(t.path, original->name()));
        if (!PackagePath::fromString(newPath))
            return refused(msg::InvalidPath.arg(newPath));

        if (!original->isSmartFolder()) {
            fs::ScopedWritable writable(parentDirAbs(newPath));
            if (!writable.ok() || !copyContent(*source, *original, newPath)) {
                OperationResult r = diskFailure(step::Copying, newPath);
                d.deletePath(newPath); // the part that was copied
                dropUnusedDateFolders(t);
                return r;
            }
        }
        OperationResult r = done(newPath);
        const int insertAt = t.redirected ? -1 : clampIndex(index < 0 ? 0 : index, d.tree_.childrenOf(t.parent).size());
        IndexItem* copy = d.tree_.insert(t.parent, cloneItem(*original, newPath), insertAt);
        if (d.tree_.sorting.keepSorted)
            d.tree_.sortByName(t.parent);
        setNewAttributePathesForItem(copy, newPath, r);
        selectAfterPlacing(r, copy, t.parent);
        return r;
    }

    // ---- 3: import -------------------------------------------------------------------
    // The folder an import lands in: the one named when it can hold files; otherwise the
    // nearest ordinary folder above it; otherwise "Unfiled".
    IndexItem* importFolderFor(const QString& parentPath)
    {
        QString p = parentPath;
        while (!p.isEmpty()) {
            IndexItem* f = d.tree_.itemForPath(p);
            if (f && f->isPlainFolder())
                return f;
            p = parentOf(p);
        }
        return unfiled();
    }

    OperationResult failImport(const QString& shownName)
    {
        d.importFailed_ = true;
        d.ui_.progressStop();
        OperationResult r;
        r.status = OperationResult::Status::Failed;
        switch (fs::lastErrno()) {
        case ENOSPC:
        case EDQUOT:
            r.message = msg::ImportFailedNoSpace.arg(shownName);
            break;
        case EACCES:
        case EPERM:
            r.message = msg::ImportFailedNoPermission.arg(shownName);
            break;
        case EROFS:
            r.message = msg::ImportFailedReadOnly.arg(shownName);
            break;
        default:
            r.message = msg::ImportFailed.arg(shownName);
        }
        appendDebugInfo(QStringLiteral("\n\nImport of %1 failed: %2").arg(shownName, fs::lastError()));
        d.ui_.alert(msg::ImportFailedPrompt, QString(), r.message);
        return r;
    }

    OperationResult import(const DBOperation& op)
    {
        if (!op.dataToImport && op.fileToImport.isEmpty())
            return refused(msg::NothingToImport);
        if (d.dbEncrypted_ && !d.cipher_)
            return refused(msg::DatabaseLocked);
        IndexItem* folder = importFolderFor(op.parentPath);
        if (!folder)
            return diskFailure(step::CreatingFolder, pkg::Unfiled);
        IndexItem* target = folder;
        if (op.endingDate && folder->path() != pkg::Unfiled) {
            const QDate date = op.endingDate->toLocalTime().date();
            target = d.findOrCreateDateCategoryFor(folder, date);
            if (!target) {
                d.deleteDateCategoryIfEmpty(d.tree_.itemForPath(folder->path() + '/' + QString::number(date.year())));
                return failed(msg::NoDateFolder);
            }
        } else {
            d.ui_.revealItem(folder, true);
        }

        // The stored name: one safe name, ending in ".pdf" when the content is a PDF.
        QString source;
        QString name;
        bool locked = false;
        if (op.dataToImport) {
            name = makeValidName(op.fileToImport.isEmpty() ? QStringLiteral("Untitled") : op.fileToImport);
            if (startsWithPdfMagic(*op.dataToImport))
                name = withPdfExtension(name);
        } else {
            // A link is imported as what it leads to.
            source = QFileInfo(op.fileToImport).absoluteFilePath();
            const QString resolved = QFileInfo(source).canonicalFilePath();
            if (resolved.isEmpty() || !(fs::isRegularFile(resolved) || fs::isDirectory(resolved))) {
                fs::recordFailure("Read", source, ENOENT);
                return failImport(op.fileToImport);
            }
            name = makeValidName(QFileInfo(source).fileName());
            source = resolved;
            if (fs::isRegularFile(source)) {
                QFile f(source);
                if (f.open(QIODevice::ReadOnly) && startsWithPdfMagic(f.read(4)))
                    name = withPdfExtension(name);
                locked = isLocked(source);
            }
        }
        if (checkName(name) != NameProblem::None)
            name = makeValidName(name);
        const QString storedPath = d.uniquePathForPath(joined(target->path(), name));
        const auto pp = PackagePath::fromString(storedPath);
        if (!pp)
            return refused(msg::InvalidPath.arg(storedPath));
        const QString to = pp->absoluteUnder(d.dbPath_);

        {
            fs::ScopedWritable writable(parentDirAbs(storedPath));
            if (op.dataToImport) {
                bool ok = writable.ok();
                if (ok && d.dbEncrypted_) {
                    // Enciphered in memory: the plain bytes never touch the package.
                    const auto stored = d.cipher_->encipher(*op.dataToImport);
                    ok = stored && fs::writeFileAtomic(to + '.' + pkg::EncFile, *stored);
                    if (!ok)
                        return diskFailure(step::EncryptingImported, storedPath);
                } else if (ok) {
                    ok = fs::writeFileAtomic(to, *op.dataToImport);
                }
                if (!ok)
                    return failImport(op.fileToImport);
            } else if (d.dbEncrypted_) {
                if (!writable.ok())
                    return failImport(op.fileToImport);
                const StoreResult stored = d.cipher_->encryptFrom(source, *pp);
                if (!stored.ok) {
                    fs::recordFailure("Encipher", to, EIO);
                    OperationResult r = diskFailure(step::EncryptingImported, storedPath);
                    r.detail = stored.error;
                    return r;
                }
            } else {
                const bool ok = writable.ok()
                                && (fs::isDirectory(source) ? fs::copyTree(source, to) : fs::cloneFile(source, to));
                if (!ok) {
                    OperationResult r = failImport(op.fileToImport);
                    d.deletePath(storedPath); // a partial copy of a folder
                    return r;
                }
                // A folder copied in keeps the package's scheme: its folders read-only.
                if (fs::isDirectory(to))
                    fs::setMode(to, pkg::ReadOnlyMode);
            }
        }

        if (d.appPrefs_ && d.appPrefs_->boolForKey(QStringLiteral("ImportLog")))
            d.log_ += QStringLiteral("%1 -> %2\n").arg(op.fileToImport, storedPath);

        plist::Dict keys{{keys::Path, storedPath}};
        if (locked)
            keys.set(QStringLiteral("NSFileImmutable"), true);
        if (op.startingDate)
            keys.set(keys::StartDate, toPlistDate(*op.startingDate));
        if (op.endingDate)
            keys.set(keys::EndDate, toPlistDate(*op.endingDate));

        // At the index asked for (only without an ending date); otherwise just before the
        // trailing run of date folders.
        const ItemList& list = d.tree_.childrenOf(target);
        int at = -1;
        if (op.index >= 0 && !op.endingDate) {
            at = clampIndex(op.index, list.size());
        } else {
            std::size_t end = list.size();
            while (end > 0 && list[end - 1]->isDateFolder())
                --end;
            at = int(end);
        }
        IndexItem* item = d.tree_.insert(target, std::make_unique<IndexItem>(std::move(keys), false), at);
        if (d.tree_.sorting.keepSorted)
            d.tree_.sortByName(target);
        OperationResult r = done(storedPath);
        writeAttributes(item, r);
        writeAttributes(target, r);
        r.select = {storedPath};
        return r;
    }
};

// ---------------------------------------------------------------------------------------

int MyDocument::renameWorkaround(const QString& from, const QString& to)
{
    // A read-only folder cannot be moved to another parent, so it is opened up for the
    // move and gets its own mode back at its new place.
    const auto before = fs::mode(from);
    const bool openedUp = before && fs::isDirectory(from) && !(*before & 0200);
    if (openedUp && !fs::setMode(from, 0755))
        return errno ? errno : EACCES;
    if (!fs::renameNoReplace(from, to)) {
        const int err = errno ? errno : EIO;
        if (openedUp)
            fs::setMode(from, *before & 0777);
        errno = err;
        return err;
    }
    if (openedUp)
        fs::setMode(to, *before & 0777);
    return 0;
}

OperationResult MyDocument::doDBOperation(const DBOperation& op)
{
    if (!dbOpen_)
        return refused(msg::NoDatabaseOpen);
    if (!dbWriteable_ || dbReadOnly_)
        return refused(msg::DatabaseNotWritable);
    BusyScope busy(*this);
    DocumentOps ops{*this};
    // The marker goes down before the first change, so that a crash at any step of the
    // operation leads to a rebuild from the attributes files rather than to a stale index
    // that is trusted. A refusal changes nothing and takes a marker it made away again.
    const QString marker = dbPath_ + '/' + pkg::Changed;
    const bool hadMarker = fs::exists(marker);
    const quint64 writesBefore = attributeWrites_;
    if (!createChangedMarker())
        return ops.diskFailure(step::MarkingChanged, pkg::Changed);
    OperationResult r;
    switch (op.code()) {
    case OperationCode::Delete:
        r = ops.deleteItem(op.path);
        break;
    case OperationCode::NewFolder:
        r = ops.newFolder(op.newPath, op.parentPath, op.index);
        break;
    case OperationCode::Rename:
        r = ops.rename(op.path, op.newPath);
        break;
    case OperationCode::Import:
        r = ops.import(op);
        break;
    case OperationCode::Move:
        r = ops.move(op.path, op.parentPath, op.index);
        break;
    case OperationCode::Duplicate:
        r = ops.duplicate(op.path);
        break;
    case OperationCode::CopyFromDatabase:
        r = ops.copyFrom(op.path, op.fromDBPath, op.parentPath, op.index);
        break;
    default:
        break;
    }
    if (r.status == OperationResult::Status::Refused) {
        if (!hadMarker && attributeWrites_ == writesBefore)
            fs::removeFile(marker);
        return r; // nothing changed
    }
    // The common end: the database is marked changed (it stays so after a disk error, so
    // the next open rebuilds from the attributes files), the flat list is stale.
    changed();
    tree_.invalidateFlatArray();
    ui_.reloadBrowser();
    return r;
}

OperationResult MyDocument::recordDelete(const QString& path)
{
    DBOperation op;
    op.operation = int(OperationCode::Delete);
    op.path = path;
    return doDBOperation(op);
}

OperationResult MyDocument::recordNewCategory(const QString& path, const IndexItem* parent, int index)
{
    DBOperation op;
    op.operation = int(OperationCode::NewFolder);
    op.newPath = path;
    op.parentPath = parent ? parent->path() : QString();
    op.index = index;
    return doDBOperation(op);
}

OperationResult MyDocument::recordRename(const QString& oldPath, const QString& newPath)
{
    DBOperation op;
    op.operation = int(OperationCode::Rename);
    op.path = oldPath;
    op.newPath = newPath;
    return doDBOperation(op);
}

OperationResult MyDocument::recordImport(const QString& file, const std::optional<QByteArray>& data,
                                         const QString& parentPath, int parentIndex,
                                         std::optional<QDateTime> startingDate, std::optional<QDateTime> endingDate)
{
    DBOperation op;
    op.operation = int(OperationCode::Import);
    op.fileToImport = file;
    op.dataToImport = data;
    op.parentPath = parentPath;
    op.index = parentIndex;
    op.startingDate = startingDate;
    op.endingDate = endingDate;
    return doDBOperation(op);
}

OperationResult MyDocument::recordMovePath(const QString& path, const IndexItem* parent, int index)
{
    DBOperation op;
    op.operation = int(OperationCode::Move);
    op.path = path;
    op.parentPath = parent ? parent->path() : QString();
    op.index = index;
    return doDBOperation(op);
}

OperationResult MyDocument::recordDuplicate(const QString& path, const QString& parentPath)
{
    DBOperation op;
    op.operation = int(OperationCode::Duplicate);
    op.path = path;
    op.parentPath = parentPath;
    return doDBOperation(op);
}

OperationResult MyDocument::recordCopyPath(const QString& path, const QString& fromDBPath, const IndexItem* parent,
                                           int index)
{
    DBOperation op;
    op.operation = int(OperationCode::CopyFromDatabase);
    op.path = path;
    op.fromDBPath = fromDBPath;
    op.parentPath = parent ? parent->path() : QString();
    op.index = index;
    return doDBOperation(op);
}

} // namespace folivo
