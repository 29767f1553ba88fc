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

// What one run of the program remembers of the import folders of the databases it opened,
// by package path: the questions answered and the warnings given. A window comes forward
// many times in a session; what was said once about a setting that has not changed is not
// said again. A setting that changes (another folder) starts afresh.
class ImportFolderMemory {
public:
    // The run's own memory, shared by its windows.
    static ImportFolderMemory& session();

    // "Don't Import" was answered to "Import Into This Copy?" for this package and folder.
    bool declined(const QString& dbPath, const QString& folder) const;
    void noteDeclined(const QString& dbPath, const QString& folder);

    // An alert about the folder itself ("Import Folder Not Found", "Import Folder Not
    // Emptied") was shown for this setting; it is shown again once the folder was found usable.
    bool problemReported(const QString& dbPath, const QString& folder) const;
    void noteProblemReported(const QString& dbPath, const QString& folder);
    void noteFolderUsable(const QString& dbPath, const QString& folder);

    // Of the entries the import folder holds that are never imported from it (folders,
    // Folivo databases), those not warned about yet. Afterwards the memory holds exactly
    // `present`, so an entry taken away and put back is warned about again.
    QStringList unwarnedRefusals(const QString& dbPath, const QString& folder, const QStringList& present);

    // The package's import folder is switched off or unset: everything about it is forgotten.
    void forget(const QString& dbPath);

private:
    struct Entry {
        QString folder;
        bool declined = false;
        bool problemReported = false;
        QStringList warned;
    };
    // The entry of the package for this folder; one for another folder starts afresh.
    Entry& entry(const QString& dbPath, const QString& folder);
    const Entry* find(const QString& dbPath, const QString& folder) const;
    QMap<QString, Entry> packages_;
};

// When a database window empties its import folder: once when the database has opened,
// and then once each time the person brings the window forward. The window reports its
// activations; this decides which of them start a round. The window's own dialogs and
// sheets take the focus while they are up and give it back when they close, which
// activates the window again: such a return is not the person's doing and starts nothing.
class ImportFolderRounds {
public:
    // The database is open. `windowActive`: the window is in front already, and a round is
    // due now (answered true; the caller runs it). Otherwise the next activation starts one,
    // whatever brings the window forward (at open, often the password sheet closing).
    bool databaseOpened(bool windowActive);
    // The database is closed: activations start nothing until it opens again.
    void databaseClosed();
    // The window is no longer the active window. `toOwnDialog`: one of its own dialogs or
    // sheets took its place.
    void deactivated(bool toOwnDialog);
    // The window became the active window. True: a round is due now; the caller runs it and
    // then calls roundFinished(). While a round runs no other is due.
    bool activated();
    void roundFinished();
    bool roundRunning() const { return running_; }

private:
    bool open_ = false;
    bool firstPending_ = false;
    bool backFromOwnDialog_ = false;
    bool running_ = false;
};

struct DrainOptions {
    int settleMs = 2000;          // the time between the two looks
    std::function<void(int ms)> wait; // how to wait; default: sleep
    // What the session already asked and warned about; none: every round asks and warns
    // afresh (the command line, where each run is one round).
    ImportFolderMemory* memory = nullptr;
};

struct DrainOutcome {
    bool ran = false;         // the folder was listed and its files offered to the import
    bool notFound = false;    // the folder cannot be used; "Import Folder Not Found" says so (once a session)
    bool specifyNew = false;  // … and the person asked to choose another folder
    bool notWritable = false; // nothing can be deleted there; "Import Folder Not Emptied" says so (once)
    bool declined = false;    // a copy of the package, and the person said no (now or earlier)
    // Entries never imported from the import folder (folders, Folivo databases), left in it.
    QStringList refused;
    // One of them was not warned about before: the skip warning is due.
    bool skipWarning = false;
    ImportOutcome import;     // ran only when there were files to import
    QStringList deleted;      // sources deleted after their stored copy was confirmed
    QStringList kept;         // imported, but could not be deleted (remembered, not imported again)
    QStringList unconfirmed;  // imported, but the stored copy did not match: left in place
    QStringList waiting;      // still changing or partial downloads: left for the next time
};

// Empties the database's import folder once (when its switch is on and a path is set).
DrainOutcome importFromImportFolder(MyDocument& doc, KTPrefs* prefs, const ImportContext& context = {},
                                    const DrainOptions& options = {});

} // namespace folivo
