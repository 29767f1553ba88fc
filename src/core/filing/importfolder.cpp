#include "filing/importfolder.h"

#include "filing/messages.h"
#include "prefs/ktprefs.h"
#include "store/keys.h"
#include "store/mydocument.h"
#include "util/fs.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <utility>

#include <sys/stat.h>

namespace folivo {

namespace {

bool skippedName(const QString& name)
{
    return name.startsWith(QLatin1Char('.')) || name == QStringLiteral("Icon\r");
}

// Names a browser or copier gives a file it is still writing.
bool partialDownload(const QString& name)
{
    static const QStringList suffixes = {QStringLiteral(".part"), QStringLiteral(".crdownload"),
                                         QStringLiteral(".download"), QStringLiteral(".partial"),
                                         QStringLiteral(".tmp")};
    for (const QString& s : suffixes)
        if (name.endsWith(s, Qt::CaseInsensitive))
            return true;
    return false;
}

FolderLook::Entry lookAt(const QString& abs)
{
    FolderLook::Entry e;
    struct stat st {};
    if (::stat(QFile::encodeName(abs).constData(), &st) != 0)
        return e;
    e.folder = S_ISDIR(st.st_mode);
    e.size = st.st_size;
    e.modified = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    if (e.folder) {
        // A document that is a folder changes when anything inside it does.
        e.size = 0;
        QDirIterator it(abs, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString p = it.next();
            struct stat s2 {};
            if (::lstat(QFile::encodeName(p).constData(), &s2) == 0) {
                e.size += s2.st_size;
                e.modified = std::max<qint64>(e.modified, std::int64_t(s2.st_mtim.tv_sec) * 1000000000 + s2.st_mtim.tv_nsec);
            }
        }
    }
    return e;
}

std::optional<QByteArray> hashOfFile(const QString& abs)
{
    QFile f(abs);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    QCryptographicHash h(QCryptographicHash::Sha256);
    if (!h.addData(&f))
        return std::nullopt;
    return h.result();
}

std::optional<QByteArray> hashOfStored(MyDocument& doc, const QString& stored, const QString& inner)
{
    QCryptographicHash h(QCryptographicHash::Sha256);
    const bool ok = doc.readItemContent(stored, inner, [&](const char* data, qsizetype n) {
        h.addData(QByteArrayView(data, n));
        return true;
    });
    if (!ok)
        return std::nullopt;
    return h.result();
}

// The stored copy holds exactly what the source holds: read back through the database (so
// an encrypted database's copy is deciphered and checked) and compared.
bool storedCopyConfirmed(MyDocument& doc, const QString& source, const QString& stored)
{
    const QFileInfo info(source);
    if (!info.isDir()) {
        const auto a = hashOfFile(source);
        const auto b = hashOfStored(doc, stored, QString());
        return a && b && *a == *b;
    }
    QDirIterator it(source, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    const QDir base(source);
    while (it.hasNext()) {
        const QString p = it.next();
        const auto a = hashOfFile(p);
        const auto b = hashOfStored(doc, stored, base.relativeFilePath(p));
        if (!a || !b || *a != *b)
            return false;
    }
    return true;
}

bool sameFolder(const QString& a, const QString& b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    const QString cb = QFileInfo(b).canonicalFilePath();
    if (!ca.isEmpty() && !cb.isEmpty())
        return ca == cb;
    return QDir::cleanPath(a) == QDir::cleanPath(b);
}

bool isInsideOrSame(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

plist::Value keptRecord(const QString& name, const FolderLook::Entry& e)
{
    return plist::Dict{{QStringLiteral("Name"), name},
                       {QStringLiteral("Size"), std::int64_t(e.size)},
                       {QStringLiteral("Modified"), std::int64_t(e.modified)}};
}

bool isKept(const plist::Array& kept, const QString& name, const FolderLook::Entry& e)
{
    return std::find(kept.begin(), kept.end(), keptRecord(name, e)) != kept.end();
}

} // namespace

FolderLook FolderLook::of(const QString& folder)
{
    FolderLook look;
    const QStringList names = QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names)
        if (!skippedName(name))
            look.entries.insert(name, lookAt(folder + QLatin1Char('/') + name));
    return look;
}

ImportFolderProblem validateImportFolder(const QString& path, const QString& dbPath, bool requireEmpty)
{
    if (path.trimmed().isEmpty())
        return ImportFolderProblem::NotSet;
    const QFileInfo info(path);
    if (!info.exists())
        return ImportFolderProblem::Missing;
    if (!info.isDir())
        return ImportFolderProblem::NotAFolder;
    if (!fs::isReadable(path))
        return ImportFolderProblem::NotReadable;
    const QString canonical = info.canonicalFilePath();
    if (canonical == QStringLiteral("/"))
        return ImportFolderProblem::RootFolder;
    if (canonical == QFileInfo(QDir::homePath()).canonicalFilePath())
        return ImportFolderProblem::HomeFolder;
    if (!dbPath.isEmpty()) {
        const QString package = QFileInfo(dbPath).canonicalFilePath();
        if (!package.isEmpty()) {
            if (isInsideOrSame(canonical, package))
                return ImportFolderProblem::InsidePackage;
            if (isInsideOrSame(package, canonical))
                return ImportFolderProblem::HoldsPackage;
        }
    }
    if (!fs::isWritable(path))
        return ImportFolderProblem::NotWritable;
    if (requireEmpty && !FolderLook::of(path).entries.isEmpty())
        return ImportFolderProblem::NotEmpty;
    return ImportFolderProblem::None;
}

QString importFolderProblemMessage(ImportFolderProblem problem, const QString& path)
{
    switch (problem) {
    case ImportFolderProblem::None:
        return {};
    case ImportFolderProblem::NotSet:
        return QStringLiteral("No import folder is set.");
    case ImportFolderProblem::Missing:
        return QStringLiteral("The folder \"%1\" does not exist.").arg(path);
    case ImportFolderProblem::NotAFolder:
        return QStringLiteral("\"%1\" is not a folder.").arg(path);
    case ImportFolderProblem::NotReadable:
        return QStringLiteral("The folder \"%1\" cannot be read.").arg(path);
    case ImportFolderProblem::NotWritable:
        return QStringLiteral("Files in \"%1\" cannot be deleted, so they would be imported again and again.").arg(path);
    case ImportFolderProblem::NotEmpty:
        return importfoldermsg::MustBeEmpty;
    case ImportFolderProblem::HomeFolder:
        return QStringLiteral("Your home folder cannot be the import folder: everything in it would be imported and deleted.");
    case ImportFolderProblem::RootFolder:
        return QStringLiteral("The top folder of the system cannot be the import folder.");
    case ImportFolderProblem::InsidePackage:
        return QStringLiteral("The import folder cannot be the database or a folder inside it.");
    case ImportFolderProblem::HoldsPackage:
        return QStringLiteral("The import folder cannot hold the database itself.");
    }
    return {};
}

ImportFolderMemory& ImportFolderMemory::session()
{
    static ImportFolderMemory memory;
    return memory;
}

ImportFolderMemory::Entry& ImportFolderMemory::entry(const QString& dbPath, const QString& folder)
{
    Entry& e = packages_[QDir::cleanPath(dbPath)];
    if (e.folder != folder)
        e = Entry{folder};
    return e;
}

const ImportFolderMemory::Entry* ImportFolderMemory::find(const QString& dbPath, const QString& folder) const
{
    const auto it = packages_.constFind(QDir::cleanPath(dbPath));
    return it != packages_.constEnd() && it->folder == folder ? &*it : nullptr;
}

bool ImportFolderMemory::declined(const QString& dbPath, const QString& folder) const
{
    const Entry* e = find(dbPath, folder);
    return e && e->declined;
}

void ImportFolderMemory::noteDeclined(const QString& dbPath, const QString& folder)
{
    entry(dbPath, folder).declined = true;
}

bool ImportFolderMemory::problemReported(const QString& dbPath, const QString& folder) const
{
    const Entry* e = find(dbPath, folder);
    return e && e->problemReported;
}

void ImportFolderMemory::noteProblemReported(const QString& dbPath, const QString& folder)
{
    entry(dbPath, folder).problemReported = true;
}

void ImportFolderMemory::noteFolderUsable(const QString& dbPath, const QString& folder)
{
    if (find(dbPath, folder))
        entry(dbPath, folder).problemReported = false;
}

QStringList ImportFolderMemory::unwarnedRefusals(const QString& dbPath, const QString& folder,
                                                 const QStringList& present)
{
    Entry& e = entry(dbPath, folder);
    QStringList fresh;
    for (const QString& p : present)
        if (!e.warned.contains(p))
            fresh << p;
    e.warned = present;
    return fresh;
}

void ImportFolderMemory::forget(const QString& dbPath)
{
    packages_.remove(QDir::cleanPath(dbPath));
}

bool ImportFolderRounds::databaseOpened(bool windowActive)
{
    open_ = true;
    backFromOwnDialog_ = false;
    firstPending_ = !windowActive;
    running_ = windowActive;
    return windowActive;
}

void ImportFolderRounds::databaseClosed()
{
    open_ = false;
    firstPending_ = false;
    backFromOwnDialog_ = false;
}

void ImportFolderRounds::deactivated(bool toOwnDialog)
{
    backFromOwnDialog_ = toOwnDialog;
}

bool ImportFolderRounds::activated()
{
    const bool backFromOwnDialog = std::exchange(backFromOwnDialog_, false);
    if (!open_ || running_)
        return false;
    // The first activation after the open counts whatever caused it: the database has not
    // been emptied into yet.
    if (!std::exchange(firstPending_, false) && backFromOwnDialog)
        return false;
    running_ = true;
    return true;
}

void ImportFolderRounds::roundFinished()
{
    running_ = false;
}

namespace {

// What the import folder never imports: folders (that are not documents) and databases.
bool refusedFromImportFolder(const QString& abs)
{
    const QFileInfo info(abs);
    if (info.suffix().compare(pkg::Extension, Qt::CaseInsensitive) == 0)
        return true;
    return info.isDir() && !isFilePackage(abs);
}

} // namespace

DrainOutcome importFromImportFolder(MyDocument& doc, KTPrefs* prefs, const ImportContext& context,
                                    const DrainOptions& options)
{
    DrainOutcome out;
    DatabaseSettings& settings = doc.settings();
    ImportFolderMemory* memory = options.memory;
    if (!doc.dbOpen())
        return out;
    const QString db = doc.dbPath();
    if (!settings.importFolderEnabled || settings.importFolderPath.isEmpty()) {
        if (memory)
            memory->forget(db);
        return out;
    }
    const QString folder = settings.importFolderPath;
    DocumentUi& ui = doc.ui();

    // An alert about the folder itself is shown once for a setting: the window comes
    // forward again and again, and the folder does not come back by itself in between.
    const auto reportOnce = [&] {
        if (memory && memory->problemReported(db, folder))
            return false;
        if (memory)
            memory->noteProblemReported(db, folder);
        return true;
    };
    const auto notFound = [&] {
        ui.progressStop();
        out.notFound = true;
        if (!reportOnce())
            return out;
        const int choice = ui.ask({importfoldermsg::NotFoundPrompt, importfoldermsg::NotFoundTitle,
                                   importfoldermsg::NotFoundText.arg(folder),
                                   {{importfoldermsg::OKAnswer, QStringLiteral("OK")},
                                    {importfoldermsg::SpecifyNewAnswer, importfoldermsg::SpecifyNew}}});
        out.specifyNew = choice == 1;
        return out;
    };
    const QFileInfo info(folder);
    if (!info.exists() || !info.isDir() || !fs::isReadable(folder))
        return notFound();
    if (!doc.canChange())
        return out;

    // Files that could not be deleted would come back at every activation: nothing is
    // taken from a folder where nothing can be deleted.
    const ImportFolderProblem problem = validateImportFolder(folder, db, false);
    if (problem == ImportFolderProblem::NotWritable) {
        out.notWritable = true;
        if (reportOnce())
            ui.alert(importfoldermsg::NotWritablePrompt, importfoldermsg::NotWritableTitle,
                     importfoldermsg::NotWritableText.arg(folder));
        return out;
    }
    if (problem == ImportFolderProblem::InsidePackage || problem == ImportFolderProblem::HoldsPackage
        || problem == ImportFolderProblem::HomeFolder || problem == ImportFolderProblem::RootFolder)
        return notFound(); // a setting from before these were refused: never emptied
    if (memory)
        memory->noteFolderUsable(db, folder);

    // A copy of the package (a backup, a deciphered copy) carries the setting along; it
    // takes the files only when the person says so, and "Don't Import" holds for the session.
    if (settings.importFolderSetFor.isEmpty()) {
        settings.importFolderSetFor = db;
    } else if (!sameFolder(settings.importFolderSetFor, db)) {
        if (memory && memory->declined(db, folder)) {
            out.declined = true;
            return out;
        }
        const int choice = ui.ask({importfoldermsg::MovedPrompt, importfoldermsg::MovedTitle,
                                   importfoldermsg::MovedText.arg(folder, settings.importFolderSetFor, db),
                                   {{importfoldermsg::DontImportAnswer, importfoldermsg::DontImport},
                                    {importfoldermsg::ImportAnswer, importfoldermsg::Import}}});
        if (choice != 1) {
            out.declined = true;
            if (memory)
                memory->noteDeclined(db, folder);
            return out;
        }
        settings.importFolderSetFor = db;
        doc.saveDBSpecificPreferences();
    }

    // Two looks a little apart: a file still being written changes in between and waits.
    const FolderLook first = FolderLook::of(folder);
    if (first.entries.isEmpty()) {
        if (memory)
            memory->unwarnedRefusals(db, folder, {});
        return out;
    }
    bool anyDocument = false; // sub-folders alone are refused at once: nothing to wait for
    for (auto it = first.entries.cbegin(); it != first.entries.cend(); ++it)
        anyDocument = anyDocument || !it->folder || isFilePackage(it.key());
    if (anyDocument) {
        if (options.wait)
            options.wait(options.settleMs);
        else if (options.settleMs > 0)
            QThread::msleep(ulong(options.settleMs));
    }
    const FolderLook second = FolderLook::of(folder);

    plist::Array& kept = settings.importFolderKept;
    bool keptChanged = false;
    // Forget files that are gone from the folder.
    for (auto it = kept.begin(); it != kept.end();) {
        const plist::Value* name = it->isDict() ? it->dict().find(QStringLiteral("Name")) : nullptr;
        if (!name || !name->isString() || !second.entries.contains(name->string())) {
            it = kept.erase(it);
            keptChanged = true;
        } else {
            ++it;
        }
    }

    QStringList paths;
    QMap<QString, FolderLook::Entry> looked;
    for (auto it = second.entries.cbegin(); it != second.entries.cend(); ++it) {
        // In the form the import gives it back ("box/" set as the folder is "box"), so that
        // each stored file is found again below and confirmed.
        const QString abs = QDir::cleanPath(folder + QLatin1Char('/') + it.key());
        if (refusedFromImportFolder(abs)) {
            out.refused << abs; // left in place, with the skip warning
            continue;
        }
        if (isKept(kept, it.key(), it.value()))
            continue;
        if (partialDownload(it.key()) || !first.entries.contains(it.key()) || first.entries.value(it.key()) != it.value()) {
            out.waiting << abs;
            continue;
        }
        paths << abs;
        looked.insert(abs, it.value());
    }
    // Warned about once: what stays in the folder is still there at the next activation.
    out.skipWarning = !(memory ? memory->unwarnedRefusals(db, folder, out.refused) : out.refused).isEmpty();
    // Nothing to import: no import runs, so no empty import log is stored and "Last Import"
    // keeps the files of the last import that brought any.
    if (paths.isEmpty()) {
        if (keptChanged)
            doc.saveDBSpecificPreferences();
        return out;
    }

    ImportPipeline pipeline(doc, prefs);
    pipeline.onStored = [&](const QString& source, const QString& stored) {
        // Deleted only when the stored copy reads back as the source, and the source has not
        // changed since it was looked at.
        const auto before = looked.find(source);
        if (before == looked.end() || lookAt(source) != before.value() || !storedCopyConfirmed(doc, source, stored)) {
            out.unconfirmed << source;
            return;
        }
        const bool removed = QFileInfo(source).isDir() ? QDir(source).removeRecursively() : fs::removeFile(source);
        if (removed && !QFileInfo::exists(source)) {
            out.deleted << source;
        } else {
            out.kept << source;
            kept.push_back(keptRecord(QFileInfo(source).fileName(), before.value()));
            keptChanged = true;
        }
    };
    ImportRequest request;
    request.paths = paths;
    request.isImportFolder = true;
    out.import = pipeline.doImport(request, context);
    out.ran = out.import.ran;
    if (keptChanged)
        doc.saveDBSpecificPreferences();
    return out;
}

} // namespace folivo
