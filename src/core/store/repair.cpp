// The consistency check run at every open, and what it repairs.
//
// Paths come from two untrusted places here: the tree (read from files anyone could have
// edited) and the directory listing. Every one goes through PackagePath before the disk
// sees it, every deletion goes through fs::deleteInside (which never follows a link and
// never leaves the package), and nothing is deleted that the person might still need: a
// file is deleted after recovery only once its copy is safely outside the package.

#include "store/repair.h"

#include "crypto/cipher.h"
#include "crypto/zipcontainer.h"
#include "plist/keyedarchive.h"
#include "prefs/ktprefs.h"
#include "store/keys.h"
#include "store/messages.h"
#include "store/mydocument.h"
#include "util/debuglog.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QSet>

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace folivo {

namespace {

const QString NotifyOpenIndexCheckKey = QStringLiteral("NotifyOpenIndexCheck");

// Directories that are one document to the person (shown, copied and deleted whole).
const QStringList BundleExtensions = {QStringLiteral("rtfd"),    QStringLiteral("pages"), QStringLiteral("numbers"),
                                      QStringLiteral("key"),     QStringLiteral("app"),   QStringLiteral("bundle")};

bool ignoredName(const QString& name)
{
    // Hidden names are the package's own bookkeeping (attributes files, markers, the
    // index); "Icon\r" is a folder icon some file managers write.
    return name.startsWith('.') || name == QStringLiteral("Icon\r");
}

QString extensionOf(const QString& name)
{
    const qsizetype dot = name.lastIndexOf('.');
    return dot > 0 ? name.mid(dot + 1) : QString();
}

QString lastComponent(const QString& path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

bool isEncipheredExtension(const QString& ext)
{
    return pkg::EncipheredSuffixes.contains(ext);
}

// What one entry of the package listing is.
enum class EntryKind {
    File,      // a file, a symbolic link or anything else that is not a directory
    Bundle,    // a directory that is one document (or a check copy): listed as one entry
    Directory, // an ordinary folder; its contents are listed on their own
};

} // namespace

namespace {

// Lists one folder of the package and, depth first, every folder below it that is not
// hidden, with readdir and the entry types it gives, so that a large package is listed
// without a status call per file. Symbolic links are never entered: each folder is opened
// from the one above it with O_NOFOLLOW. Names are listed in composed Unicode, the form
// the index uses, whatever form the disk keeps them in (the disk calls find them by it).
void listInto(PackageListing::Data& out, int dirFd, const PackagePath& dir, int parent, int depth)
{
    // Deeper than any path the system can name; only a hostile package gets here.
    if (depth > 512)
        return;
    const int listFd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* handle = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!handle) {
        if (listFd >= 0)
            ::close(listFd);
        return;
    }
    if (parent < 0)
        out.rootListed = true;
    else
        out.entries[std::size_t(parent)].listed = true;
    struct Found {
        QByteArray onDisk;
        QString name;
        bool isDir;
        bool isLink;
    };
    std::vector<Found> names;
    while (const dirent* e = ::readdir(handle)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        bool isDir = e->d_type == DT_DIR;
        bool isLink = e->d_type == DT_LNK;
        if (e->d_type == DT_UNKNOWN) { // some file systems do not say
            struct stat st {};
            const bool known = ::fstatat(dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0;
            isDir = known && S_ISDIR(st.st_mode);
            isLink = known && S_ISLNK(st.st_mode);
        }
        QString name = QFile::decodeName(e->d_name);
        if (std::any_of(name.cbegin(), name.cend(), [](QChar c) { return c.unicode() > 0x7f; }))
            name = name.normalized(QString::NormalizationForm_C);
        names.push_back({QByteArray(e->d_name), std::move(name), isDir, isLink});
    }
    ::closedir(handle);
    for (const auto& [onDisk, name, isDir, isLink] : names) {
        // A delete moves the files out of the way under a hidden name before the tree
        // forgets the item; a crash in between leaves them behind, already deleted. So
        // does a write a crash interrupted: its temporary copy is never the file. Only
        // names that nothing but this program makes are taken for leftovers: a name made
        // from an item's name ("….new", "….old") may be another item's attributes file.
        if (name.startsWith(QStringLiteral(".deleting-")) || fs::isFreshSiblingName(name)) {
            if (const auto child = dir.child(name))
                out.leftovers << child->str();
            continue;
        }
        if (ignoredName(name))
            continue; // and never entered: hidden folders are not the person's
        const auto child = dir.child(name);
        if (!child)
            continue;
        out.entries.push_back({child->str(), parent, isDir, false, isLink});
        if (isDir) {
            const int childFd = ::openat(dirFd, onDisk.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (childFd >= 0) {
                listInto(out, childFd, *child, int(out.entries.size() - 1), depth + 1);
                ::close(childFd);
            }
        }
    }
}

} // namespace

PackageListing PackageListing::start(const QString& root, bool inBackground)
{
    PackageListing listing;
    auto work = [root] {
        Data data;
        const int rootFd = ::open(QFile::encodeName(root).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (rootFd >= 0) {
            listInto(data, rootFd, PackagePath(), -1, 0);
            ::close(rootFd);
        }
        return data;
    };
    if (inBackground) {
        listing.future_ = std::async(std::launch::async, work);
    } else {
        std::promise<Data> ready;
        ready.set_value(work());
        listing.future_ = ready.get_future();
    }
    return listing;
}

const PackageListing::Data& PackageListing::get()
{
    if (!data_)
        data_ = future_.get();
    return *data_;
}

bool PackageListing::valid() const
{
    return data_.has_value() || future_.valid();
}

PackageListing::~PackageListing()
{
    if (future_.valid())
        future_.wait(); // never leave the thread reading a package that is going away
}

QStringList ConsistencyReport::buttons() const
{
    if (!foundOrphanedFile)
        return {msg::OK};
    return writable ? QStringList{msg::Recover, msg::Delete} : QStringList{msg::Yes, msg::No};
}

QList<RepairChoice> ConsistencyReport::choices() const
{
    if (!foundOrphanedFile)
        return {RepairChoice::Delete};
    return {RepairChoice::Recover, RepairChoice::Delete};
}

Prompt ConsistencyReport::prompt(const QString& time) const
{
    Prompt p(msg::RepairTitle, msg::RepairHeader.arg(time) + text, buttons());
    p.id = msg::RepairReportPrompt;
    return p;
}

struct DocumentRepair {
    MyDocument& d;

    // Whether this document may change the package.
    bool writable() const { return d.dbWriteable_ && !d.dbReadOnly_; }
    // Whether the report speaks of a package that can be changed: an open for reading
    // reports what an open for writing would do.
    bool reportWritable() const { return (d.forReading_ ? d.packageWritable_ : d.dbWriteable_) && !d.dbReadOnly_; }

    QString absOf(const PackagePath& p) const { return p.absoluteUnder(d.dbPath_); }

    // ---- The package listing ---------------------------------------------------------

    struct Inventory {
        QHash<QString, EntryKind> kinds; // what remains unaccounted for
        QSet<QString> listedDirs;        // folders whose every entry was seen
        QStringList deletionLeftovers;   // what a delete interrupted by a crash left hidden
    };

    // Sorts the raw listing into the inventory. `fileItems` are the tree's file items: a
    // directory among them is one document whatever its extension, and a folder item is
    // never one even when named "x.rtfd", so its children are always found. What lies
    // inside a document is not listed on its own.
    static void classify(const PackageListing::Data& listing, const QSet<QString>& fileItems, const QSet<QString>& folderItems,
                         Inventory& inv)
    {
        inv.deletionLeftovers = listing.leftovers;
        if (listing.rootListed)
            inv.listedDirs.insert(QString());
        // Entries come parents first; a skipped or bundled parent hides its entries.
        std::vector<char> hidden(listing.entries.size(), 0);
        for (std::size_t i = 0; i < listing.entries.size(); ++i) {
            const PackageListing::Entry& e = listing.entries[i];
            if (e.parent >= 0 && hidden[std::size_t(e.parent)]) {
                hidden[i] = 1;
                continue;
            }
            EntryKind kind = EntryKind::File;
            if (e.isDir) { // a link to a folder is a file here
                const QString ext = extensionOf(lastComponent(e.rel));
                if (fileItems.contains(e.rel)
                    || (!folderItems.contains(e.rel)
                        && (ext == pkg::CheckCopy || BundleExtensions.contains(ext.toLower()))))
                    kind = EntryKind::Bundle;
                else
                    kind = EntryKind::Directory;
            }
            inv.kinds.insert(e.rel, kind);
            if (kind == EntryKind::Directory && e.listed)
                inv.listedDirs.insert(e.rel);
            if (kind != EntryKind::Directory)
                hidden[i] = 1;
        }
    }

    // Whether the listing can answer for `p`: its folder was listed and its name is one
    // the listing keeps. Otherwise only the disk can say whether it is there.
    static bool listingCovers(const Inventory& inv, const PackagePath& p)
    {
        return inv.listedDirs.contains(p.parent().str()) && !ignoredName(p.name());
    }

    // ---- The check ---------------------------------------------------------------------

    ConsistencyReport check()
    {
        ConsistencyReport r;
        r.writable = reportWritable();
        r.encrypted = d.dbEncrypted_;

        const std::vector<IndexItem*>& flat = d.tree_.flatArray();
        QSet<QString> fileItems, folderItems;
        for (const IndexItem* item : flat) {
            if (item->isSmartFolder())
                continue;
            (item->hasChildren() ? folderItems : fileItems).insert(item->path());
        }
        // The listing of the package was usually started on another thread while the tree
        // loaded; otherwise it is made now.
        std::unique_ptr<PackageListing> listing = std::move(d.pendingListing_);
        if (!listing || !listing->valid())
            listing = std::make_unique<PackageListing>(PackageListing::start(d.dbPath_, false));
        Inventory inv;
        classify(listing->get(), fileItems, folderItems, inv);
        QSet<QString> links;
        for (const PackageListing::Entry& e : listing->get().entries)
            if (e.isLink)
                links.insert(e.rel);
        listing.reset();
        r.deletionLeftovers = inv.deletionLeftovers;

        // An entry is found when the listing has it, or (for names the listing leaves out,
        // such as a hidden name an older version let in) when the disk has it: an item
        // must never be reported missing, and its file deleted, while the file is there.
        auto take = [&](const PackagePath& p) {
            if (inv.kinds.remove(p.str()))
                return true;
            return !listingCovers(inv, p) && fs::exists(absOf(p));
        };

        QSet<QString> seen;
        QSet<QString> behindLink;
        for (const IndexItem* item : flat) {
            if (item->isSmartFolder())
                continue;
            const QString path = item->path();
            const auto pp = PackagePath::fromString(path);
            // Loading refuses such paths; a second item with a path already checked would
            // find its entry taken and be reported missing, and its removal would take
            // the first item's file with it.
            if (!pp || pp->isRoot() || seen.contains(path))
                continue;
            seen.insert(path);
            if (item->has(keys::ReminderDate))
                r.remindersFound << path;

            // A link where the item's folder or file should be: the item stays as it is,
            // and so does everything behind the link (the disk calls refuse to reach it).
            if (!links.isEmpty()) {
                const bool behind = behindLink.contains(pp->parent().str());
                bool isLink = links.contains(path);
                for (const QString& suffix : pkg::EncipheredSuffixes)
                    isLink = isLink || links.contains(path + '.' + suffix);
                if (behind || isLink) {
                    behindLink.insert(path);
                    inv.kinds.remove(path);
                    for (const QString& suffix : pkg::EncipheredSuffixes)
                        inv.kinds.remove(path + '.' + suffix);
                    if (!behind)
                        r.linkedItems << path;
                    continue;
                }
            }

            const bool folder = item->hasChildren();
            bool found = false;
            if (!r.encrypted || folder) {
                found = take(*pp);
            } else {
                for (const QString& suffix : pkg::EncipheredSuffixes)
                    if (take(pp->withSuffix('.' + suffix))) {
                        found = true;
                        break;
                    }
                const bool listed = inv.kinds.contains(path);
                const EntryKind plainKind = inv.kinds.value(path, EntryKind::File);
                const bool plainThere = inv.kinds.remove(path) || (!listingCovers(inv, *pp) && fs::exists(absOf(*pp)));
                if (found && plainThere) {
                    // A plain copy goes only when it holds what its stored form holds (a
                    // bundle folder compared file by file, as the save compares it). One
                    // that differs, or that cannot be compared, may hold the owner's
                    // changes: it is reported for recovery instead of being deleted.
                    if (d.plainCopyMatchesStoredForm(*pp)) {
                        r.plainCopies << path;
                    } else if (listed) {
                        inv.kinds.insert(path, plainKind);
                    }
                } else if (!found && plainThere) {
                    // Only the plain file is there: it is the item, not a stray file. A
                    // writable database enciphers it; a read-only one reads it as it is.
                    if (r.writable)
                        r.plainOnlyItems << path;
                    found = true;
                }
            }
            if (found)
                continue;
            if (!item->parent() && path == pkg::Unfiled && folder) {
                r.unfiledMissing = true; // made again, never removed
                continue;
            }
            r.itemsWithoutFiles << path;
        }

        // In name order, for a report that reads the same every time.
        r.extraEntries = inv.kinds.keys();
        std::sort(r.extraEntries.begin(), r.extraEntries.end());

        if (!r.itemsWithoutFiles.isEmpty()) {
            r.text += r.writable ? msg::RepairMissingWritable : msg::RepairMissingReadOnly;
            for (const QString& p : r.itemsWithoutFiles)
                r.text += p + '\r';
            r.text += QStringLiteral("\r\r");
        }

        if (!r.linkedItems.isEmpty()) {
            r.text += msg::RepairLinks;
            for (const QString& p : r.linkedItems)
                r.text += p + '\r';
            r.text += QStringLiteral("\r\r");
        }

        const QSet<QString> extra(r.extraEntries.begin(), r.extraEntries.end());
        for (const QString& e : r.extraEntries) {
            if (inv.kinds.value(e) == EntryKind::Directory)
                continue; // a folder without an item is not listed; its files are
            if (!r.foundOrphanedFile) {
                r.text += r.writable ? msg::RepairExtraWritable : msg::RepairExtraReadOnly;
                r.foundOrphanedFile = true;
            }
            const QString ext = extensionOf(lastComponent(e));
            QString shown = e;
            if (isEncipheredExtension(ext)) {
                shown = e.chopped(ext.size() + 1);
            } else {
                bool hasStoredSibling = false;
                for (const QString& suffix : pkg::EncipheredSuffixes)
                    hasStoredSibling = hasStoredSibling || extra.contains(e + '.' + suffix);
                if (hasStoredSibling)
                    continue; // its stored form is listed instead
            }
            r.text += shown + '\r';
            r.filesToRecover << e;
        }
        return r;
    }

    // ---- Silent repairs ----------------------------------------------------------------

    void silentRepairs(const ConsistencyReport& r, RepairOutcome& out)
    {
        if (!writable())
            return;
        if (r.unfiledMissing) {
            const QString unfiled = d.dbPath_ + '/' + pkg::Unfiled;
            if (!fs::exists(unfiled) && !fs::makeDirectory(unfiled, pkg::ReadOnlyMode))
                appendDebugInfo(QStringLiteral("\n\nUnfiled of %1 could not be made again: %2").arg(d.dbPath_, fs::lastError()));
        }
        for (const QString& path : r.deletionLeftovers) {
            const auto pp = PackagePath::fromString(path);
            fs::ScopedWritable writable(d.parentFolder(*pp));
            if (pp && fs::deleteInside(d.dbPath_, *pp))
                out.deleted << path;
        }
        for (const QString& path : r.plainCopies) {
            const auto pp = PackagePath::fromString(path);
            // Only beside a stored form that is really there; an empty one cannot hold
            // the item and the plain copy is then all there is. (One that differs from its
            // stored form was reported instead.)
            bool stored = false;
            for (const QString& suffix : pkg::EncipheredSuffixes) {
                const QString s = absOf(pp->withSuffix('.' + suffix));
                stored = stored || (fs::isRegularFile(s) && QFileInfo(s).size() > 0);
            }
            if (!stored)
                continue;
            fs::ScopedWritable writable(d.parentFolder(*pp));
            if (fs::deleteInside(d.dbPath_, *pp))
                out.deleted << path;
        }
        for (const QString& path : r.plainOnlyItems) {
            const auto pp = PackagePath::fromString(path);
            const StoreResult stored = d.encryptFile(path);
            if (!stored.ok) {
                appendDebugInfo(QStringLiteral("\n\nEnciphering %1 found plain failed: %2").arg(path, stored.error));
                continue; // the plain file stays; it is still the item
            }
            fs::ScopedWritable writable(d.parentFolder(*pp));
            if (fs::deleteInside(d.dbPath_, *pp))
                out.adopted << path;
        }
    }

    // What silentRepairs would do, noted by an open for reading instead.
    void notePending(const ConsistencyReport& r)
    {
        if (!r.writable)
            return;
        auto quoted = [](QStringList paths) {
            std::sort(paths.begin(), paths.end()); // the same words every time
            for (QString& p : paths)
                p = '"' + p + '"';
            return paths.join(QStringLiteral(", "));
        };
        if (r.unfiledMissing)
            d.notePendingRepair(msg::PendingUnfiled);
        if (!r.deletionLeftovers.isEmpty())
            d.notePendingRepair(msg::PendingLeftovers.arg(quoted(r.deletionLeftovers)));
        if (!r.plainCopies.isEmpty())
            d.notePendingRepair(msg::PendingPlainCopies.arg(quoted(r.plainCopies)));
        if (!r.plainOnlyItems.isEmpty())
            d.notePendingRepair(msg::PendingPlainOnly.arg(quoted(r.plainOnlyItems)));
    }

    // ---- Recovery ----------------------------------------------------------------------

    // The folder the person chose, made new; empty when it cannot be used. Nothing that
    // exists is reused (it would be emptied or mixed with recovered files), and nothing
    // inside the package (it would be found and deleted at the next check).
    QString makeRecoveryFolder(const QString& chosen) const
    {
        if (chosen.isEmpty() || !QDir::isAbsolutePath(chosen))
            return {};
        const QString g = QDir::cleanPath(chosen);
        const QString name = QFileInfo(g).fileName();
        if (name.isEmpty() || fs::exists(g))
            return {};
        const QString parent = QFileInfo(QFileInfo(g).path()).canonicalFilePath();
        const QString package = QFileInfo(d.dbPath_).canonicalFilePath();
        if (parent.isEmpty() || package.isEmpty())
            return {};
        const QString where = parent + '/' + name;
        if (where == package || where.startsWith(package + '/') || parent == package)
            return {};
        if (!fs::makeDirectory(g, 0755))
            return {};
        return g;
    }

    static QString uniqueIn(const QString& folder, const QString& name)
    {
        if (!fs::exists(folder + '/' + name))
            return folder + '/' + name;
        const qsizetype dot = name.lastIndexOf('.');
        const bool hasExtension = dot > 0 && dot < name.size() - 1;
        const QString stem = hasExtension ? name.left(dot) : name;
        const QString extension = hasExtension ? name.mid(dot) : QString();
        for (qint64 n = 2;; ++n) {
            const QString candidate = folder + '/' + stem + QString::number(n) + extension;
            if (!fs::exists(candidate))
                return candidate;
        }
    }

    // A copy deciphered for recovery, in the private temporary folder.
    struct Deciphered {
        QString path;        // empty when nothing could be deciphered
        bool proven = false; // surely the file that was enciphered (see provenRecovery)
    };

    void discard(Deciphered& copy) const
    {
        const QString holder = QFileInfo(copy.path).path();
        if (!copy.path.isEmpty() && holder.startsWith(d.tempDir_ + '/'))
            fs::deleteTree(holder);
        copy = {};
    }

    // Whether `copy`, deciphered with `key` from the stored form `ext` of `plain`, is the
    // file that was enciphered. Valid padding alone proves little: a wrong key ends in one
    // padding byte about once in 256 tries, and the garbage it gives would then stand in
    // for the only copy. A container that unpacked is a valid zip, checked entry by entry.
    // A file proves itself by a padding of four bytes or more (a wrong key gives k valid
    // bytes about once in 256^k tries), by its kind (the signature of a PDF or an image, or
    // a zip-based document that reads back whole), or by its attributes file, which
    // deciphers with the same key to a record that names it.
    bool provenRecovery(const PackagePath& plain, const QString& ext, const QString& copy, crypto::DatabaseKey& key) const
    {
        if (ext != pkg::EncFile)
            return fs::isDirectory(copy);
        const qint64 padding = QFileInfo(absOf(plain) + '.' + ext).size() - QFileInfo(copy).size();
        if (padding >= 4 && padding <= 16)
            return true;
        QFile file(copy);
        const QByteArray head = file.open(QIODevice::ReadOnly) ? file.read(16) : QByteArray();
        file.close();
        static const QByteArrayView signatures[] = {"%PDF", "\x89PNG\r\n\x1a\n", "\xff\xd8\xff", "GIF87a", "GIF89a"};
        for (QByteArrayView signature : signatures)
            if (head.startsWith(signature))
                return true;
        if (head.startsWith("PK\x03\x04") && zipc::verifyArchive(copy).ok)
            return true;
        const auto attributes =
            fs::readFile(d.dbPath_ + '/' + MyDocument::attributesPathForPath(plain.str()) + '.' + pkg::EncFile, qint64(1) << 24);
        const auto bytes = attributes ? crypto::cryptData(key.decryptor(), *attributes) : std::nullopt;
        const auto record = bytes ? plist::decodeKeyedArchive(*bytes) : std::nullopt;
        const plist::Value* path = record && record->isDict() ? record->dict().find(keys::Path) : nullptr;
        return path && path->isString() && lastComponent(path->string()) == plain.name();
    }

    // A plain copy of the stored form `ext` of the plain item `plain`, with the current key
    // when that proves to be the right one, else with a password the person gives. A copy
    // the current key gave without proof is what a Cancel answers; one from a password the
    // person typed is taken as it comes (they chose it), still unproven. Empty when nothing
    // could be deciphered.
    Deciphered decipherForRecovery(const PackagePath& plain, const QString& ext)
    {
        // Deciphering goes by the plain path and takes its first stored form; when that is
        // another form than this entry, this entry cannot be reached that way.
        auto sameForm = [&](DocumentCipher& c) { return suffixOf(c.storedFormOf(plain)) == ext; };
        auto attempt = [&](DocumentCipher& cipher, crypto::DatabaseKey* otherKey) {
            Deciphered out;
            const StoreResult r = cipher.decryptFile(plain, true, otherKey);
            if (!r.ok || r.nothingToDo || r.path.isEmpty())
                return out;
            out.path = r.path;
            out.proven = provenRecovery(plain, ext, r.path, otherKey ? *otherKey : cipher.key());
            return out;
        };
        Deciphered unproven;
        if (d.cipher_) {
            if (!sameForm(*d.cipher_))
                return {};
            Deciphered first = attempt(*d.cipher_, nullptr);
            if (first.proven)
                return first;
            unproven = first;
        }
        for (;;) {
            d.ui_.progressStop();
            const auto password = d.ui_.askRecoveryPassword(msg::RecoverPassword.arg(
                plain.name(), d.dbEncrypted_ ? msg::RecoverPasswordDifferent : QString()));
            d.ui_.progressStart(msg::RecoveringFiles, QString(), 0);
            if (!password)
                return unproven;
            auto key = crypto::DatabaseKey::fromPassword(*password);
            if (!key)
                continue;
            Deciphered typed;
            if (d.cipher_) {
                typed = attempt(*d.cipher_, key.get());
            } else {
                // A plain database can still hold stored forms from when it was encrypted.
                DocumentCipher once(d.dbPath_, d.tempDir_, std::move(key));
                if (!sameForm(once)) {
                    discard(unproven);
                    return {};
                }
                typed = attempt(once, nullptr);
            }
            if (typed.path.isEmpty())
                continue;
            discard(unproven);
            return typed;
        }
    }

    enum class Recovered {
        Copied,         // copied out (deciphered with proof where it was enciphered): it may go
        CopiedUnproven, // deciphered without proof, copied out with its stored form beside it: it may go
        Kept,           // not deciphered: copied out as it is stored, and it stays
        Failed,
    };

    Recovered recoverOne(const QString& entry, const QString& folder)
    {
        const auto pp = PackagePath::fromString(entry);
        if (!pp || pp->isRoot())
            return Recovered::Failed;
        const QString abs = absOf(*pp);
        const QString name = pp->name();
        const QString ext = extensionOf(name);
        d.ui_.progressSetText(entry);

        QString source = abs;
        QString destName = name;
        Deciphered deciphered;
        bool stays = false;        // the entry stays in the package
        bool storedBeside = false; // the stored form is copied out beside the deciphered copy
        if (isEncipheredExtension(ext) && fs::isRegularFile(abs)) {
            const auto plain = PackagePath::fromString(entry.chopped(ext.size() + 1));
            if (plain)
                deciphered = decipherForRecovery(*plain, ext);
            if (!deciphered.path.isEmpty()) {
                source = deciphered.path;
                destName = plain->name();
                storedBeside = !deciphered.proven;
            } else {
                stays = true; // still enciphered, but not lost
            }
        } else if (ext == pkg::CheckCopy && fs::isDirectory(abs)) {
            destName = name.chopped(ext.size() + 1);
        }

        const bool copyable = fs::isRegularFile(source) || fs::isDirectory(source) || QFileInfo(source).isSymLink();
        const QString dest = uniqueIn(folder, destName);
        bool ok = copyable && fs::copyTree(source, dest);
        if (!deciphered.path.isEmpty()) {
            // The copy is read-only in its private folder; the recovered file is the
            // person's own again.
            if (ok && fs::isRegularFile(dest))
                fs::setMode(dest, 0644);
            discard(deciphered);
        }
        // Whether an unproven copy is right is for the person to find out: the stored form
        // goes with it, so the file is never lost to a key that only seemed to fit.
        QString storedDest;
        if (ok && storedBeside) {
            storedDest = uniqueIn(folder, name);
            ok = fs::copyTree(abs, storedDest);
        }
        if (!ok) {
            for (const QString& made : {dest, storedDest})
                if (!made.isEmpty() && fs::exists(made))
                    fs::deleteTree(made);
            d.ui_.progressStop();
            d.ui_.alert(msg::CannotRecoverPrompt, msg::CannotRecoverTitle, msg::CannotRecoverText.arg(abs));
            d.ui_.progressStart(msg::RecoveringFiles, QString(), 0);
            return Recovered::Failed;
        }
        if (stays)
            return Recovered::Kept;
        return storedBeside ? Recovered::CopiedUnproven : Recovered::Copied;
    }

    // ---- Deleting ----------------------------------------------------------------------

    void deleteExtraFiles(const QStringList& entries, const QStringList& items, const QStringList& kept,
                          RepairOutcome& out)
    {
        if (!writable())
            return;
        if (!entries.isEmpty()) {
            d.ui_.progressStart(msg::DeletingFiles, QString(), 0);
            for (const QString& e : entries) {
                const auto pp = PackagePath::fromString(e);
                if (!pp || pp->isRoot())
                    continue;
                d.ui_.progressSetText(e);
                fs::ScopedWritable writable(d.parentFolder(*pp));
                if (fs::deleteInside(d.dbPath_, *pp))
                    out.deleted << e;
                else
                    appendDebugInfo(QStringLiteral("\n\nRepair could not delete %1: %2").arg(e, fs::lastError()));
            }
            d.ui_.progressStop();
        }
        for (const QString& path : items) {
            if (!d.tree_.itemForPath(path))
                continue; // went with a folder removed before it
            // The delete takes whatever forms of the item exist; one the person could not
            // recover must stay, so the item stays with it.
            bool holdsKept = false;
            const auto pp = PackagePath::fromString(path);
            for (const QString& k : kept) {
                const auto kp = PackagePath::fromString(k);
                holdsKept = holdsKept || !pp || (kp && (kp->isInside(*pp) || k == path));
                for (const QString& suffix : pkg::EncipheredSuffixes)
                    holdsKept = holdsKept || k == path + '.' + suffix;
            }
            if (holdsKept)
                continue;
            const OperationResult r = d.recordDelete(path);
            if (r.status == OperationResult::Status::Done)
                out.itemsRemoved << path;
        }
    }

    RepairOutcome apply(const ConsistencyReport& r, RepairChoice choice)
    {
        RepairOutcome out;
        if (d.forReading_) {
            out.stopped = true; // neither deleted nor copied out: reading changes nothing
            return out;
        }
        if (choice == RepairChoice::Delete || !r.foundOrphanedFile) {
            deleteExtraFiles(r.extraEntries, r.itemsWithoutFiles, {}, out);
            return out;
        }

        // "/" cannot be part of a name, so the short date is written with dashes.
        const QString proposed =
            msg::RecoveredFilesName.arg(QLocale::c().toString(QDate::currentDate(), QStringLiteral("M-dd-yyyy")));
        const auto chosen = d.ui_.chooseRecoveryFolder(proposed);
        if (!chosen) {
            out.stopped = true; // the person changed their mind: nothing is lost
            return out;
        }
        const QString folder = makeRecoveryFolder(*chosen);
        if (folder.isEmpty()) {
            d.ui_.alert(msg::RecoverFolderFailedPrompt, msg::RecoverFolderFailedTitle, msg::RecoverFolderFailed);
            out.stopped = true;
            return out;
        }

        const QSet<QString> extra(r.extraEntries.begin(), r.extraEntries.end());
        QSet<QString> deletable;
        QStringList kept;
        d.ui_.progressStart(msg::RecoveringFiles, QString(), 0);
        for (const QString& e : r.filesToRecover) {
            const Recovered result = recoverOne(e, folder);
            if (result == Recovered::Copied || result == Recovered::CopiedUnproven)
                deletable.insert(e);
            else
                kept << e;
            const QString ext = extensionOf(lastComponent(e));
            if (!isEncipheredExtension(ext))
                continue;
            // A plain file beside this stored form is not listed. It goes with the stored
            // form when that was deciphered with proof; otherwise it may be the only
            // readable copy, so it is recovered too.
            const QString plain = e.chopped(ext.size() + 1);
            if (!extra.contains(plain) || deletable.contains(plain) || kept.contains(plain))
                continue;
            if (result == Recovered::Copied)
                deletable.insert(plain);
            else if (recoverOne(plain, folder) == Recovered::Copied)
                deletable.insert(plain);
            else
                kept << plain;
        }
        d.ui_.progressStop();
        out.kept = kept;

        QStringList toDelete;
        for (const QString& e : r.extraEntries) {
            if (deletable.contains(e)) {
                toDelete << e;
                continue;
            }
            if (r.filesToRecover.contains(e) || kept.contains(e))
                continue;
            // Folders without an item go unless something kept lies inside them.
            const auto ep = PackagePath::fromString(e);
            bool holdsKept = !ep;
            for (const QString& k : kept) {
                const auto kp = PackagePath::fromString(k);
                holdsKept = holdsKept || (kp && ep && kp->isInside(*ep));
            }
            if (!holdsKept)
                toDelete << e;
        }
        deleteExtraFiles(toDelete, r.itemsWithoutFiles, kept, out);
        return out;
    }

    void noticeOnce()
    {
        KTPrefs* prefs = d.appPrefs_;
        if (!prefs || prefs->objectForKey(NotifyOpenIndexCheckKey))
            return;
        d.ui_.alert(msg::OpenCheckNoticePrompt, msg::OpenCheckNoticeTitle, msg::OpenCheckNotice);
        prefs->setBool(true, NotifyOpenIndexCheckKey);
        prefs->synchronize();
    }
};

ConsistencyReport checkConsistency(MyDocument& doc)
{
    return DocumentRepair{doc}.check();
}

void applySilentRepairs(MyDocument& doc, const ConsistencyReport& report, RepairOutcome* outcome)
{
    RepairOutcome ignored;
    DocumentRepair{doc}.silentRepairs(report, outcome ? *outcome : ignored);
}

RepairOutcome applyConsistencyReport(MyDocument& doc, const ConsistencyReport& report, RepairChoice choice)
{
    MyDocument::BusyScope busy(doc);
    return DocumentRepair{doc}.apply(report, choice);
}

bool MyDocument::repairDBandFindReminders()
{
    if (!dbOpen_)
        return false;
    BusyScope busy(*this);
    DocumentRepair repair{*this};
    repair.noticeOnce();

    const ConsistencyReport report = repair.check();
    remindersFound_ = report.remindersFound;
    if (forReading_) {
        // Shown, so that the reader learns of it, and never acted on.
        repair.notePending(report);
        if (!report.needsDecision())
            return false;
        const QString time = QLocale::c().toString(QDateTime::currentDateTime(), logDateFormat());
        ui_.progressStop();
        ui_.decideRepair(report.prompt(time), report.choices());
        return true;
    }
    RepairOutcome silent;
    repair.silentRepairs(report, silent);
    if (!silent.deleted.isEmpty() || !silent.adopted.isEmpty())
        appendDebugInfo(QStringLiteral("\n\nCheck of %1: %2 plain copies deleted, %3 plain items enciphered")
                            .arg(dbPath_)
                            .arg(silent.deleted.size())
                            .arg(silent.adopted.size()));
    if (!report.needsDecision())
        return false;

    const QString time = QLocale::c().toString(QDateTime::currentDateTime(), logDateFormat());
    ui_.progressStop();
    const std::optional<RepairChoice> choice = ui_.decideRepair(report.prompt(time), report.choices());
    // Closing the report without choosing decides nothing: the same report comes back at
    // the next open, and nothing is deleted meanwhile.
    if (!choice)
        return true;
    repair.apply(report, *choice);
    return true;
}

} // namespace folivo
