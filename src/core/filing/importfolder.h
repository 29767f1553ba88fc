#pragma once
// The import folder: a drop box on disk whose files are imported into one database, filed,
// and then deleted from the box. A file is taken only once it has stopped changing, and
// deleted only once its stored copy in the database has been read back and compared.

#include "filing/importpipeline.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>

namespace folivo {

class DocumentUi;
class KTPrefs;
class MyDocument;

enum class ImportFolderProblem {
    None,
    NotSet,
    Missing,
    NotAFolder,
    NotReadable,
    NotWritable,
    NotEmpty,
    HomeFolder,
    RootFolder,
    InsidePackage,  // the package itself or a folder inside it
    HoldsPackage,   // the package lies inside the chosen folder
};

// Whether `path` may serve as the import folder of the package at `dbPath`. A folder chosen
// or typed now must be empty; an existing setting is checked with `requireEmpty` false.
ImportFolderProblem validateImportFolder(const QString& path, const QString& dbPath, bool requireEmpty);
QString importFolderProblemMessage(ImportFolderProblem problem, const QString& path);

namespace importfoldermsg {
inline const QString NotFoundTitle = QStringLiteral("Import Folder Not Found");
inline const QString NotFoundText = QStringLiteral(
    "The import folder you previously specified for this database (%1) cannot be found or is not readable.  Click "
    "\"OK\" and make sure the folder exists and is readable, or click \"Specify New Import Folder\" to specify or "
    "create a different folder.");
inline const QString SpecifyNew = QStringLiteral("Specify New Import Folder");
inline const QString WarningTitle = QStringLiteral("Import Folder Warning");
inline const QString WarningText = QStringLiteral(
    "Warning: All files in the specified Import Folder will be imported the next time Folivo is started or brought "
    "forward, AND THEN DELETED.  To import files without deleting them, use the import command or drop them on the "
    "Folivo icon or in the upper left panel of this window.");
inline const QString MustBeEmpty = QStringLiteral(
    "The %Import Folder you select must be empty at the time you select it, to avoid importing and deleting by "
    "mistake.");
inline const QString DefaultFolderName = QStringLiteral("Folivo Import Folder");
inline const QString CreateType = QStringLiteral("Create Import Folder");
inline const QString NotWritableTitle = QStringLiteral("Import Folder Not Emptied");
inline const QString NotWritableText = QStringLiteral(
    "The files in the import folder (%1) were not imported, because Folivo may not delete files there: they would "
    "be imported again every time.  Make the folder writable, or choose another import folder.");
inline const QString MovedTitle = QStringLiteral("Import Into This Copy?");
inline const QString MovedText = QStringLiteral(
    "This database empties the import folder \"%1\", but that was set up for the database at \"%2\", and this one is "
    "at \"%3\" (a copy or a backup?).\r\rImport the files of that folder into this database and delete them from the "
    "folder?");
inline const QString DontImport = QStringLiteral("Don't Import");
inline const QString Import = QStringLiteral("Import");
} // namespace importfoldermsg

// One look at the folder: each entry's size and modification time.
struct FolderLook {
    struct Entry {
        qint64 size = -1;
        qint64 modified = 0; // nanoseconds
        bool folder = false;
        bool operator==(const Entry&) const = default;
    };
    QMap<QString, Entry> entries; // by name
    static FolderLook of(const QString& folder);
};

struct DrainOptions {
    int settleMs = 2000;          // the time between the two looks
    std::function<void(int ms)> wait; // how to wait; default: sleep
};

struct DrainOutcome {
    bool ran = false;         // the folder was listed and its files offered to the import
    bool notFound = false;    // the "Import Folder Not Found" alert was shown
    bool specifyNew = false;  // … and the person asked to choose another folder
    bool notWritable = false;
    bool declined = false;    // a copy of the package, and the person said no
    ImportOutcome import;
    QStringList deleted;      // sources deleted after their stored copy was confirmed
    QStringList kept;         // imported, but could not be deleted (remembered, not imported again)
    QStringList unconfirmed;  // imported, but the stored copy did not match: left in place
    QStringList waiting;      // still changing or partial downloads: left for the next time
};

// Empties the database's import folder once (when its switch is on and a path is set).
DrainOutcome importFromImportFolder(MyDocument& doc, KTPrefs* prefs, const ImportContext& context = {},
                                    const DrainOptions& options = {});

} // namespace folivo
