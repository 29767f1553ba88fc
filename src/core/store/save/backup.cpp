// Backups: copies of the package in the backup folder, numbered from the newest, made
// whole under a hidden name first so that a failed copy costs none of the earlier ones.

#include "store/mydocument.h"

#include "prefs/ktprefs.h"
#include "prefs/prefkeys.h"
#include "store/keys.h"
#include "store/messages.h"
#include "store/save/documentsaver.h"
#include "util/debuglog.h"
#include "util/fdio.h"

#include <QDir>
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

constexpr int DefaultBackupKeep = 4;
constexpr qint64 MaxByte = 255;

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
    if (const plist::Value* v = prefs->value(prefkeys::BackupFolderPath); v && v->isString())
        s.folder = v->string();
    if (const plist::Value* v = prefs->value(prefkeys::BackupDatabase); v && !v->isNone())
        s.enabled = kt ? kt->boolForKey(prefkeys::BackupDatabase) : v->toBool();
    // Menu indexes, so small; anything out of range is held to the one byte the counter has.
    s.interval = int(std::clamp<qint64>(integer(prefkeys::BackupInterval, 0), 0, MaxByte));
    s.keep = int(std::clamp<qint64>(integer(prefkeys::BackupKeep, DefaultBackupKeep), 0, MaxByte));
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
        return DocumentSaver(*this).backupFailed(out, fs::lastError(), QString());
    const QString partial = holder->path + '/' + name;
    ui_.progressSetText(msg::CopyingToBackupFolder);
    if (!fs::copyTree(dbPath_, partial))
        return DocumentSaver(*this).backupFailed(out, fs::lastError(), holder->path);
    const QString copied = msg::CopyingToBackupFolder + msg::ProgressDone;

    ui_.progressSetText(copied + QStringLiteral("\r\r") + msg::DeletingOldestBackupCopy);
    const QString oldest = copyPath(settings.keep + 1);
    // The copy's folders are read-only like those of any package; deleteTree opens them.
    if (fs::exists(oldest) && !fs::deleteTree(oldest))
        return DocumentSaver(*this).backupFailed(out, fs::lastError(), holder->path);
    for (int n = settings.keep; n >= 1; --n) {
        const QString from = copyPath(n);
        if (!fs::exists(from))
            continue;
        const QString to = copyPath(n + 1);
        const int result = MyDocument::renameWorkaround(from, to);
        appendDebugInfo(QStringLiteral("\n\nBackup Rename %1 to %2 with return %3").arg(from, to, QString::number(result)));
        if (result != 0)
            return DocumentSaver(*this).backupFailed(
                out, QStringLiteral("%1 could not be renamed to %2: %3").arg(from, to, QString::fromLocal8Bit(std::strerror(result))),
                holder->path);
    }
    const QString destination = copyPath(1);
    const int placed = MyDocument::renameWorkaround(partial, destination);
    if (placed != 0)
        return DocumentSaver(*this).backupFailed(
            out,
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
        const DocumentSaver::SweepResult sweep = DocumentSaver(*this).writeIndexAndSweep();
        const QString marker = dbPath_ + '/' + pkg::Changed;
        if (sweep.indexWritten && canChange() && fs::exists(marker) && !fs::removeFile(marker))
            appendDebugInfo(QStringLiteral("\n\nRemoving %1 failed: %2").arg(marker, fs::lastError()));
    }
    return doBackup(settings);
}


} // namespace folivo
