// Saving an open database at quiet moments, closing it, and copying it into the backup
// folder. Changes reach the attributes files as they happen; a save brings the rest of the
// package up to date: the per-database preferences, the index archive and, in an encrypted
// database, the removal of plain copies. ".changed" goes only once the index it guards is
// safely on disk, so a failed or interrupted save is repaired by a rebuild at the next open.

#include "store/mydocument.h"

#include "crypto/cipher.h"
#include "plist/keyedarchive.h"
#include "prefs/ktprefs.h"
#include "store/keys.h"
#include "store/messages.h"
#include "util/debuglog.h"
#include "util/fdio.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace folivo {

namespace {

// Application preference keys read or written here.
const QString LastDBFileKey = QStringLiteral("Last DB File");
const QString BackupFolderPathKey = QStringLiteral("backupFolderPath");
const QString BackupDatabaseKey = QStringLiteral("BackupDatabase");
const QString BackupIntervalKey = QStringLiteral("BackupInterval");
const QString BackupKeepKey = QStringLiteral("BackupKeep");

constexpr int DefaultBackupKeep = 4;
constexpr qint64 MaxByte = 255;
// The splitter widths the macOS edition always stores.
constexpr double LeftPaneWidth = 315.0;

// A backup is copied first into a hidden holder folder in the backup folder and takes its
// place among the numbered copies only once complete, so nobody takes a half-made copy for
// a backup. Each backup makes a holder of its own (a unique name) and holds a lock on it
// while it runs, so that the holder of another backup running at the same time (another
// database of the same name) is never removed; one nobody holds is what an interrupted
// backup left.
const QString PartialPrefix = QStringLiteral(".partial-");

struct PartialHolder {
    QString path;
    fdio::Fd lock;
};

std::optional<PartialHolder> makePartialHolder(const QString& folder)
{
    if (fs::faultInjected(fs::Op::MakeDir, folder + '/' + PartialPrefix, "Create folder"))
        return std::nullopt;
    QByteArray name = QFile::encodeName(folder + '/' + PartialPrefix) + "XXXXXX";
    if (!::mkdtemp(name.data())) {
        fs::recordFailure("Create folder", folder + '/' + PartialPrefix, errno);
        return std::nullopt;
    }
    PartialHolder holder;
    holder.path = QFile::decodeName(name);
    holder.lock = fdio::Fd(::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (holder.lock.fd < 0 || ::flock(holder.lock.fd, LOCK_EX | LOCK_NB) != 0) {
        fs::recordFailure("Lock", holder.path, errno);
        ::rmdir(name.constData());
        return std::nullopt;
    }
    return holder;
}

// Removes the holders that interrupted backups left in `folder`: those no backup holds.
void sweepPartialHolders(const QString& folder)
{
    const QStringList names = QDir(folder).entryList({PartialPrefix + '*'},
                                                     QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QString& name : names) {
        const QString path = folder + '/' + name;
        fdio::Fd fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (fd.fd < 0 || ::flock(fd.fd, LOCK_EX | LOCK_NB) != 0)
            continue; // another backup is filling it
        if (!fs::deleteTree(path))
            appendDebugInfo(QStringLiteral("\n\nPartial backup %1 not removed: %2").arg(path, fs::lastError()));
    }
}

// Whether two files hold the same bytes.
bool sameFileContent(const QString& a, const QString& b)
{
    QFile fa(a), fb(b);
    if (fa.size() != fb.size() || !fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly))
        return false;
    constexpr qint64 Chunk = qint64(1) << 20;
    for (;;) {
        const QByteArray ca = fa.read(Chunk);
        const QByteArray cb = fb.read(Chunk);
        if (ca != cb)
            return false;
        if (ca.isEmpty())
            return fa.atEnd() && fb.atEnd();
    }
}

QByteArray linkTarget(const QString& path)
{
    QByteArray target(4096, Qt::Uninitialized);
    const ssize_t n = ::readlink(QFile::encodeName(path).constData(), target.data(), size_t(target.size()));
    return n < 0 ? QByteArray() : target.left(n);
}

// Whether two folder trees hold the same names, the same file contents and the same link
// targets. Links are compared, never followed.
bool sameTree(const QString& a, const QString& b)
{
    auto listing = [](const QString& root) {
        QStringList names;
        QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            names << it.next().mid(root.size() + 1);
        names.sort();
        return names;
    };
    const QStringList names = listing(a);
    if (names != listing(b))
        return false;
    for (const QString& rel : names) {
        const QString pa = a + '/' + rel, pb = b + '/' + rel;
        const QFileInfo fa(pa), fb(pb);
        if (fa.isSymLink() || fb.isSymLink()) {
            if (fa.isSymLink() != fb.isSymLink() || linkTarget(pa) != linkTarget(pb))
                return false;
        } else if (fa.isDir() || fb.isDir()) {
            if (fa.isDir() != fb.isDir())
                return false;
        } else if (!sameFileContent(pa, pb)) {
            return false;
        }
    }
    return true;
}

// The package that is `folder` or holds it: the database at `dbPath`, or any folder on the
// way whose name marks it as a package. Links are resolved first, so a link that leads
// into a package counts as inside it. Empty when there is none.
QString enclosingPackage(const QString& folder, const QString& dbPath)
{
    const QString target = QFileInfo(folder).canonicalFilePath();
    if (target.isEmpty())
        return {};
    const QString package = QFileInfo(dbPath).canonicalFilePath();
    if (!package.isEmpty() && (target == package || target.startsWith(package + '/')))
        return dbPath;
    const QString suffix = '.' + pkg::Extension;
    for (qsizetype end = target.indexOf('/', 1); ; end = target.indexOf('/', end + 1)) {
        const QString upTo = end < 0 ? target : target.left(end);
        if (upTo.endsWith(suffix) && upTo.size() > suffix.size() && upTo[upTo.size() - suffix.size() - 1] != '/')
            return upTo;
        if (end < 0)
            return {};
    }
}

} // namespace

bool MyDocument::plainCopyMatchesStoredForm(const PackagePath& pp)
{
    if (!cipher_)
        return false;
    const QString abs = pp.absoluteUnder(dbPath_);
    const StoredForm form = cipher_->storedFormOf(pp);
    if (form == StoredForm::File)
        return fs::isRegularFile(abs) && crypto::decipheredEquals(cipher_->key().decryptor(), abs + '.' + pkg::EncFile, abs);
    if (form != StoredForm::None && fs::isDirectory(abs)) {
        const auto copy = cipher_->plainCopy(pp);
        return copy && copy->valid() && sameTree(copy->path(), abs);
    }
    return false;
}

// Private steps of saving; a friend of MyDocument.
struct DocumentSave {
    struct SweepResult {
        bool indexWritten = true; // the index archive is current (or was not due)
        bool plainCopiesGone = true;
        QString error;
    };

    // The index archive when ".changed" exists, then the plain copies of an encrypted
    // database. Nothing in a database that cannot be changed.
    static SweepResult writeIndexAndSweep(MyDocument& doc)
    {
        SweepResult r;
        if (!doc.dbOpen_ || !doc.dbWriteable_ || doc.dbReadOnly_)
            return r;
        if (fs::exists(doc.dbPath_ + '/' + pkg::Changed) && !doc.writeIndexArchive()) {
            r.indexWritten = false;
            r.error = QStringLiteral("The index could not be written: %1").arg(fs::lastError());
            appendDebugInfo(QStringLiteral("\n\nSaving the index of %1 failed: %2").arg(doc.dbPath_, fs::lastError()));
        }
        if (doc.dbEncrypted_ && doc.cipher_)
            r.plainCopiesGone = sweepPlainCopies(doc, r);
        return r;
    }

    // Removes what viewing, searching or a crash left plain inside an encrypted package. A
    // plain copy goes only when its enciphered form holds the same content: the plain one
    // may be the only copy of the owner's file (an older version, or an interrupted store).
    static bool sweepPlainCopies(MyDocument& doc, SweepResult& r)
    {
        bool ok = true;
        auto failed = [&](const QString& what) {
            ok = false;
            const QString line = QStringLiteral("%1: %2").arg(what, fs::lastError());
            if (r.error.isEmpty())
                r.error = line;
            appendDebugInfo(QStringLiteral("\n\nRemoving a plain copy in %1 failed: %2").arg(doc.dbPath_, line));
        };

        // A plain index whose enciphered form is current is stale; writing the index from the
        // tree replaces the enciphered form and only then removes the plain one.
        if (r.indexWritten && fs::exists(doc.categoriesArchiveFile_) && !doc.writeIndexArchive()) {
            r.indexWritten = false;
            failed(QStringLiteral("the plain index"));
        }

        for (IndexItem* item : doc.tree_.flatArray()) {
            const auto pp = PackagePath::fromString(item->path());
            if (!pp || pp->isRoot())
                continue;
            // The tree holds the item's attributes; writing them enciphered removes the plain
            // file only after the enciphered one is in place.
            if (fs::exists(doc.dbPath_ + '/' + MyDocument::attributesPathForPath(item->path()))
                && !doc.writeAttributesFileForItem(item))
                failed(MyDocument::attributesPathForPath(item->path()));
            if (item->isFile() && !sweepPlainItem(doc, *pp))
                failed(item->path());
        }
        return ok;
    }

    // False only when a plain copy that may go could not be deleted.
    static bool sweepPlainItem(MyDocument& doc, const PackagePath& pp)
    {
        const QString abs = pp.absoluteUnder(doc.dbPath_);
        if (!fs::exists(abs))
            return true;
        const StoredForm form = doc.cipher_->storedFormOf(pp);
        if (!doc.plainCopyMatchesStoredForm(pp)) {
            appendDebugInfo(QStringLiteral("\n\nPlain copy of %1 in %2 kept: %3")
                                .arg(pp.str(), doc.dbPath_,
                                     form == StoredForm::None ? QStringLiteral("it has no enciphered form")
                                                              : QStringLiteral("it differs from its enciphered form")));
            return true;
        }
        fs::ScopedWritable writable(doc.parentFolder(pp));
        return fs::deleteInside(doc.dbPath_, pp);
    }

    // Advances ".backupCount" for a close with changes and answers the new count.
    static int advanceBackupCount(MyDocument& doc, int interval)
    {
        const QString counter = doc.dbPath_ + '/' + pkg::BackupCount;
        int count = 0;
        if (const auto bytes = fs::readFile(counter, 16); bytes && !bytes->isEmpty())
            count = static_cast<unsigned char>(bytes->at(0));
        const int next = interval > count ? count + 1 : 0;
        if (doc.dbWriteable_
            && !fs::writeFileAtomic(counter, QByteArray(1, static_cast<char>(static_cast<unsigned char>(next)))))
            appendDebugInfo(QStringLiteral("\n\nBackup count of %1 not written: %2").arg(doc.dbPath_, fs::lastError()));
        return next;
    }

    static BackupOutcome backupFailed(MyDocument& doc, BackupOutcome out, const QString& error, const QString& partial)
    {
        if (!partial.isEmpty() && fs::exists(partial) && !fs::deleteTree(partial))
            appendDebugInfo(QStringLiteral("\n\nPartial backup %1 not removed: %2").arg(partial, fs::lastError()));
        doc.ui_.progressStop();
        appendDebugInfo(QStringLiteral("\n\nError: %1").arg(error));
        doc.ui_.alert(msg::BackupFailedPrompt, QString(), msg::BackupFailed);
        out.ok = false;
        out.error = error;
        return out;
    }
};

BackupSettings BackupSettings::from(const PrefsSource* prefs)
{
    BackupSettings s;
    if (!prefs)
        return s;
    // The preference store reads numbers and strings the way its typed readings do; any
    // other source is read leniently.
    const auto* kt = dynamic_cast<const KTPrefs*>(prefs);
    auto integer = [&](const QString& key, qint64 fallback) -> qint64 {
        const plist::Value* v = prefs->value(key);
        if (!v || v->isNone())
            return fallback;
        return kt ? kt->integerForKey(key) : v->toInt(fallback);
    };
    if (const plist::Value* v = prefs->value(BackupFolderPathKey); v && v->isString())
        s.folder = v->string();
    if (const plist::Value* v = prefs->value(BackupDatabaseKey); v && !v->isNone())
        s.enabled = kt ? kt->boolForKey(BackupDatabaseKey) : v->toBool();
    // Menu indexes, so small; anything out of range is held to the one byte the counter has.
    s.interval = int(std::clamp<qint64>(integer(BackupIntervalKey, 0), 0, MaxByte));
    s.keep = int(std::clamp<qint64>(integer(BackupKeepKey, DefaultBackupKeep), 0, MaxByte));
    return s;
}

BackupFolderProblem MyDocument::backupFolderProblem(const QString& folder, const QString& dbPath)
{
    if (folder.isEmpty())
        return BackupFolderProblem::NotSet;
    // A relative path would depend on the current directory, which means nothing here.
    if (!QDir::isAbsolutePath(folder))
        return BackupFolderProblem::Missing;
    const QFileInfo info(folder); // a link to a folder elsewhere is a fine backup folder
    if (!info.exists())
        return BackupFolderProblem::Missing;
    if (!info.isDir())
        return BackupFolderProblem::NotAFolder;
    // Copying the package into a folder inside itself would never end, and copies put
    // inside any other package would turn up there as stray files at its next check.
    if (!enclosingPackage(folder, dbPath).isEmpty())
        return BackupFolderProblem::InsidePackage;
    if (!fs::isWritable(folder))
        return BackupFolderProblem::NotWritable;
    return BackupFolderProblem::None;
}

bool MyDocument::checkBackupFolder(const QString& folder, const QString& dbPath, DocumentUi& ui)
{
    switch (backupFolderProblem(folder, dbPath)) {
    case BackupFolderProblem::None:
    case BackupFolderProblem::NotSet:
        return true;
    case BackupFolderProblem::InsidePackage:
        ui.alert(msg::BackupFolderInsidePrompt, msg::BackupFolderInsideTitle,
                 msg::BackupFolderInsideText.arg(folder, enclosingPackage(folder, dbPath)));
        return false;
    case BackupFolderProblem::Missing:
    case BackupFolderProblem::NotAFolder:
    case BackupFolderProblem::NotWritable:
        break;
    }
    ui.alert(msg::BackupFolderNotFoundPrompt, msg::BackupFolderNotFoundTitle, msg::BackupFolderNotFoundText.arg(folder));
    return false;
}

bool MyDocument::saveDBSpecificPreferences()
{
    // Answers false only when the preferences had to be written and could not be.
    if (!dbOpen_ || !dbWriteable_ || dbReadOnly_)
        return true;
    const QString file = dbPath_ + '/' + pkg::AttributesState;
    const auto stored = plist::readKeyedArchiveFile(file);

    // Keys this edition does not keep (the attributes view's height, keys of later
    // versions) are carried over as they were stored.
    plist::Dict state = stored && stored->isDict() ? stored->dict() : plist::Dict{};
    auto put = [&](const char* key, plist::Value value) { state.set(QString::fromLatin1(key), std::move(value)); };
    put("attributesViewState", settings_.attributesViewState ? 1 : 0);
    put("leftHandSplitViewWidth", LeftPaneWidth);
    put("leftHandSplitViewAttributesWidth", LeftPaneWidth);
    put("notesHeight", settings_.notesHeight);
    if (!settings_.paneSizes.isEmpty()) {
        plist::Array sizes;
        for (int size : settings_.paneSizes)
            sizes.push_back(plist::Value(std::int64_t(size)));
        put("paneSizesLinux", std::move(sizes));
    }
    put("sortingKeepSorted", settings_.sorting.keepSorted);
    put("sortingYearDescending", settings_.sorting.yearDescending);
    put("sortingMonthDescending", settings_.sorting.monthDescending);
    put("sortingIgnoreCase", settings_.sorting.ignoreCase);
    put("ImportFolder", settings_.importFolderEnabled);
    put("ImportFolderPath", settings_.importFolderPath);
    if (!settings_.importFolderSetFor.isEmpty())
        put("ImportFolderPackagePath", settings_.importFolderSetFor);
    if (!settings_.importFolderKept.empty())
        put("ImportFolderKept", settings_.importFolderKept);
    else
        state.remove(QStringLiteral("ImportFolderKept"));
    plist::Array titles;
    for (const QString& t : settings_.recentWebsiteTitles)
        titles.push_back(t);
    put("gotoRecentWebsiteMenuTitles", std::move(titles));
    put("attributesMoveable", settings_.attributesMoveable);
    if (settings_.attributesX)
        put("attributesX", *settings_.attributesX);
    if (settings_.attributesY)
        put("attributesY", *settings_.attributesY);
    for (const auto& [key, value] : settings_.tagSettings)
        state.set(key, value);

    if (stored && stored->isDict() && stored->dict() == state)
        return true;
    if (!writeArchive(file, state, fs::Durability::Flush)) {
        appendDebugInfo(QStringLiteral("\n\nSaving the preferences of %1 failed: %2").arg(dbPath_, fs::lastError()));
        return false;
    }
    changed();
    return true;
}

bool MyDocument::deleteDecrypted()
{
    const DocumentSave::SweepResult r = DocumentSave::writeIndexAndSweep(*this);
    return r.indexWritten && r.plainCopiesGone;
}

SaveOutcome MyDocument::saveChanges(bool fromTimer)
{
    SaveOutcome out;
    // An open for reading leaves the package as it found it, ".changed" included.
    if (!dbOpen_ || noNeedToSaveNow_ || forReading_)
        return out;
    // Timers fire inside operations and modal prompts; the next tick tries again.
    if (busy()) {
        out.deferred = true;
        return out;
    }
    BusyScope guard(*this);

    // The reminders are brought up to date here (not for the timer) once they exist.
    bool complete = saveDBSpecificPreferences();
    if (!complete)
        out.error = QStringLiteral("The preferences of the database could not be saved: %1").arg(fs::lastError());

    const DocumentSave::SweepResult sweep = DocumentSave::writeIndexAndSweep(*this);
    if (sweep.indexWritten) {
        const QString marker = dbPath_ + '/' + pkg::Changed;
        if (fs::exists(marker) && !fs::removeFile(marker))
            appendDebugInfo(QStringLiteral("\n\nRemoving %1 failed: %2").arg(marker, fs::lastError()));
    } else {
        // ".changed" stays, so the next open rebuilds the index from the attributes files.
        complete = false;
        out.error = sweep.error;
        if (dbEncrypted_ && !fromTimer)
            ui_.alert(msg::IndexNotReencryptedPrompt, QString(), msg::IndexNotReencrypted);
    }
    if (!sweep.plainCopiesGone) {
        complete = false;
        if (out.error.isEmpty())
            out.error = sweep.error;
    }

    // The navigation history guards nothing, so it comes after the index; losing it costs
    // only Back and Forward, never the save.
    writeHistory();

    if (appPrefs_ && !appPrefs_->synchronize())
        appendDebugInfo(QStringLiteral("\n\nThe application preferences could not be written."));
    // A save that left something undone runs again at the next tick.
    if (complete)
        noNeedToSaveNow_ = true;
    out.saved = true;
    return out;
}

bool MyDocument::writeHistory()
{
    // Without application preferences nobody said whether to keep it: the file stays.
    if (!dbOpen_ || !dbWriteable_ || dbReadOnly_ || !appPrefs_)
        return true;
    // With the preference off an empty history is stored, while this session keeps its own.
    // Enciphered in memory in an encrypted database, like the index.
    plist::Value value = history_.archiveValue(historyRestoreOn());
    if (storedHistory_ && *storedHistory_ == value)
        return true;
    if (writeStoredArchive(dbPath_ + '/' + pkg::History, value, fs::Durability::NoFlush)) {
        storedHistory_ = std::move(value);
        return true;
    }
    appendDebugInfo(QStringLiteral("\n\nSaving the navigation history of %1 failed: %2").arg(dbPath_, fs::lastError()));
    return false;
}

CloseOutcome MyDocument::closeDatabase()
{
    CloseOutcome out;
    if (!dbOpen_) {
        close();
        return out;
    }
    // An operation or prompt still running holds items of the tree: it must end first.
    if (busy())
        return out;

    noNeedToSaveNow_ = false; // a close always saves
    const SaveOutcome saved = saveChanges(false);
    out.saved = saved.saved && saved.error.isEmpty();

    if (appPrefs_)
        appPrefs_->setObject(plist::Value(dbPath_), LastDBFileKey);

    if (needsBackup_) {
        const BackupSettings settings = BackupSettings::from(appPrefs_ ? appPrefs_ : prefs_);
        // The counter runs whenever the preference exists, on or off.
        if (settings.enabled) {
            out.backupCount = DocumentSave::advanceBackupCount(*this, settings.interval);
            if (*settings.enabled && settings.interval <= out.backupCount)
                out.backup = doBackup(settings);
        }
    }

    if (appPrefs_ && !appPrefs_->synchronize())
        appendDebugInfo(QStringLiteral("\n\nThe application preferences could not be written."));
    close();
    return out;
}

BackupOutcome MyDocument::doBackup(const BackupSettings& settings)
{
    BackupOutcome out;
    if (!dbOpen_ || dbPath_.isEmpty() || busy()) {
        out.skipped = true;
        out.error = busy() ? QStringLiteral("The database is busy.") : QStringLiteral("No database is open.");
        return out;
    }
    if (settings.folder.isEmpty()) {
        out.skipped = true;
        out.error = QStringLiteral("No backup folder is set.");
        return out;
    }
    if (!checkBackupFolder(settings.folder, dbPath_, ui_)) {
        out.skipped = true;
        out.error = QStringLiteral("The backup folder \"%1\" cannot be used.").arg(settings.folder);
        return out;
    }
    BusyScope guard(*this);

    ui_.progressStart(msg::BackingUpDatabase, QString(), msg::BackupMinimumMs);
    appendDebugInfo(QStringLiteral("\n\nBacking Up Database: %1").arg(dbPath_));

    const QString folder = QDir::cleanPath(settings.folder);
    const QString name = QFileInfo(dbPath_).fileName();
    auto copyPath = [&](int n) { return QStringLiteral("%1/%2%3").arg(folder, QString::number(n), name); };

    // The new copy is made first under a hidden name; the existing copies move only once
    // it is complete, so a failed copy (a full disk) costs none of them.
    sweepPartialHolders(folder);
    std::optional<PartialHolder> holder = makePartialHolder(folder);
    if (!holder)
        return DocumentSave::backupFailed(*this, out, fs::lastError(), QString());
    const QString partial = holder->path + '/' + name;
    ui_.progressSetText(msg::CopyingToBackupFolder);
    if (!fs::copyTree(dbPath_, partial))
        return DocumentSave::backupFailed(*this, out, fs::lastError(), holder->path);
    const QString copied = msg::CopyingToBackupFolder + msg::ProgressDone;

    ui_.progressSetText(copied + QStringLiteral("\r\r") + msg::DeletingOldestBackupCopy);
    const QString oldest = copyPath(settings.keep + 1);
    // The copy's folders are read-only like those of any package; deleteTree opens them.
    if (fs::exists(oldest) && !fs::deleteTree(oldest))
        return DocumentSave::backupFailed(*this, out, fs::lastError(), holder->path);
    for (int n = settings.keep; n >= 1; --n) {
        const QString from = copyPath(n);
        if (!fs::exists(from))
            continue;
        const QString to = copyPath(n + 1);
        const int result = MyDocument::renameWorkaround(from, to);
        appendDebugInfo(QStringLiteral("\n\nBackup Rename %1 to %2 with return %3").arg(from, to, QString::number(result)));
        if (result != 0)
            return DocumentSave::backupFailed(
                *this, out, QStringLiteral("%1 could not be renamed to %2: %3").arg(from, to, QString::fromLocal8Bit(std::strerror(result))),
                holder->path);
    }
    const QString destination = copyPath(1);
    const int placed = MyDocument::renameWorkaround(partial, destination);
    if (placed != 0)
        return DocumentSave::backupFailed(
            *this, out,
            QStringLiteral("%1 could not be renamed to %2: %3").arg(partial, destination, QString::fromLocal8Bit(std::strerror(placed))),
            holder->path);
    if (!fs::deleteTree(holder->path)) // empty now
        appendDebugInfo(QStringLiteral("\n\nPartial backup %1 not removed: %2").arg(holder->path, fs::lastError()));
    appendDebugInfo(QStringLiteral("\n\nBacking Up %1 to %2").arg(name, destination));
    ui_.progressSetText(copied + QStringLiteral("\r\r") + msg::DeletingOldestBackupCopy + msg::ProgressDone);
    ui_.progressStop();

    needsBackup_ = false;
    out.ok = true;
    out.path = destination;
    return out;
}

BackupOutcome MyDocument::backupDatabase(const BackupSettings& settings)
{
    if (dbOpen_ && !busy()) {
        // The copy should not need a rebuild: bring the index up to date first.
        const DocumentSave::SweepResult sweep = DocumentSave::writeIndexAndSweep(*this);
        const QString marker = dbPath_ + '/' + pkg::Changed;
        if (sweep.indexWritten && dbWriteable_ && !dbReadOnly_ && fs::exists(marker) && !fs::removeFile(marker))
            appendDebugInfo(QStringLiteral("\n\nRemoving %1 failed: %2").arg(marker, fs::lastError()));
    }
    return doBackup(settings);
}

} // namespace folivo
