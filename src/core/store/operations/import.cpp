// Importing a file, a folder or bytes into the database.

#include "store/operations/documentoperations.h"

#include "prefs/ktprefs.h"
#include "prefs/prefkeys.h"
#include "store/keys.h"
#include "store/messages.h"
#include "store/mydocument.h"
#include "store/operations/opsupport.h"
#include "util/debuglog.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace folivo {

namespace {

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

} // namespace

using ops::clampIndex;
using ops::done;
using ops::failed;
using ops::isInsideOrSame;
using ops::joined;
using ops::parentOf;
using ops::refused;

// The folder an import lands in: the one named when it can hold files; otherwise the
// nearest ordinary folder above it; otherwise "Unfiled".
IndexItem* DocumentOperations::importFolderFor(const QString& parentPath)
{
    QString p = parentPath;
    while (!p.isEmpty()) {
        IndexItem* f = d_.tree().itemForPath(p);
        if (f && f->isPlainFolder())
            return f;
        p = parentOf(p);
    }
    return unfiled();
}

OperationResult DocumentOperations::failImport(const QString& shownName)
{
    d_.markImportFailed();
    d_.ui().progressStop();
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
    d_.ui().alert(msg::ImportFailedPrompt, QString(), r.message);
    return r;
}

OperationResult DocumentOperations::import(const DBOperation& op)
{
    if (!op.dataToImport && op.fileToImport.isEmpty())
        return refused(msg::NothingToImport);
    if (d_.dbEncrypted() && !d_.cipher())
        return refused(msg::DatabaseLocked);
    IndexItem* folder = importFolderFor(op.parentPath);
    if (!folder)
        return diskFailure(step::CreatingFolder, pkg::Unfiled);
    IndexItem* target = folder;
    if (op.endingDate && folder->path() != pkg::Unfiled) {
        const QDate date = op.endingDate->toLocalTime().date();
        target = d_.findOrCreateDateCategoryFor(folder, date);
        if (!target) {
            d_.deleteDateCategoryIfEmpty(d_.tree().itemForPath(folder->path() + '/' + QString::number(date.year())));
            return failed(msg::NoDateFolder);
        }
    } else {
        d_.ui().revealItem(folder, true);
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
    const QString storedPath = d_.uniquePathForPath(joined(target->path(), name));
    const auto pp = PackagePath::fromString(storedPath);
    if (!pp)
        return refused(msg::InvalidPath.arg(storedPath));
    const QString to = pp->absoluteUnder(d_.dbPath());

    {
        fs::ScopedWritable writable(parentDirAbs(storedPath));
        if (op.dataToImport) {
            bool ok = writable.ok();
            if (ok && d_.dbEncrypted()) {
                // Enciphered in memory: the plain bytes never touch the package.
                const auto stored = d_.cipher()->encipher(*op.dataToImport);
                ok = stored && fs::writeFileAtomic(to + '.' + pkg::EncFile, *stored);
                if (!ok)
                    return diskFailure(step::EncryptingImported, storedPath);
            } else if (ok) {
                ok = fs::writeFileAtomic(to, *op.dataToImport);
            }
            if (!ok)
                return failImport(op.fileToImport);
        } else if (d_.dbEncrypted()) {
            if (!writable.ok())
                return failImport(op.fileToImport);
            const StoreResult stored = d_.cipher()->encryptFrom(source, *pp);
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
                d_.deletePath(storedPath); // a partial copy of a folder
                return r;
            }
            // A folder copied in keeps the package's scheme: its folders read-only.
            if (fs::isDirectory(to))
                fs::setMode(to, pkg::ReadOnlyMode);
        }
    }

    if (const KTPrefs* prefs = d_.applicationPreferences(); prefs && prefs->boolForKey(prefkeys::ImportLog))
        d_.importLog() += QStringLiteral("%1 -> %2\n").arg(op.fileToImport, storedPath);

    plist::Dict keys{{keys::Path, storedPath}};
    if (locked)
        keys.set(QStringLiteral("NSFileImmutable"), true);
    if (op.startingDate)
        keys.set(keys::StartDate, toPlistDate(*op.startingDate));
    if (op.endingDate)
        keys.set(keys::EndDate, toPlistDate(*op.endingDate));

    // At the index asked for (only without an ending date); otherwise just before the
    // trailing run of date folders.
    const ItemList& list = d_.tree().childrenOf(target);
    int at = -1;
    if (op.index >= 0 && !op.endingDate) {
        at = clampIndex(op.index, list.size());
    } else {
        std::size_t end = list.size();
        while (end > 0 && list[end - 1]->isDateFolder())
            --end;
        at = int(end);
    }
    IndexItem* item = d_.tree().insert(target, std::make_unique<IndexItem>(std::move(keys), false), at);
    if (d_.tree().sorting.keepSorted)
        d_.tree().sortByName(target);
    OperationResult r = done(storedPath);
    writeAttributes(item, r);
    writeAttributes(target, r);
    r.select = {storedPath};
    return r;
}

} // namespace folivo
