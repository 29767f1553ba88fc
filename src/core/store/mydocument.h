#pragma once
// One open database: its package on disk, its index tree in memory, its settings, and
// the steps that open, create and rebuild it. Every path is resolved from the package
// root held here; the process's current directory is never used or changed, so several
// databases can be open at once.

#include "attributes/customattributenames.h"
#include "crypto/documentcrypto.h"
#include "history/history.h"
#include "history/historyfile.h"
#include "find/textcache.h"
#include "reminders/reminders.h"
#include "smartfolders/smartfolders.h"
#include "store/dboperation.h"
#include "store/documenthooks.h"
#include "store/dbsettings.h"
#include "store/documentui.h"
#include "store/packagepath.h"
#include "store/tree.h"
#include "util/fs.h"
#include "util/packagelock.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace folivo {

class KTPrefs;
class PackageListing;

enum class OpenStatus {
    Opened,
    NotFound,    // nothing at the path, or not a folder
    Invalid,     // not a database (the "Invalid Database" alert was shown)
    Cancelled,   // the person chose "Cancel" (also on the password sheet)
    Failed,      // the disk refused something needed to open
    InUse,       // another program (or another document of this one) has it open
};

struct OpenOptions {
    bool rebuildRequested = false; // Shift held in the GUI, --rebuild on the command line
    // Open only to read: a shared lock instead of the exclusive one, and the open changes
    // nothing in the package (no repairs, conversions, markers or deletions; an encrypted
    // database is deciphered in memory). What an open for writing would have repaired or
    // converted is listed in pendingRepairs(). Operations and saves are refused.
    bool forReading = false;
};

struct OpenResult {
    OpenStatus status = OpenStatus::Failed;
    QString message; // plain words for a person when status is not Opened
    bool ok() const { return status == OpenStatus::Opened; }
};

// An entry of the distributed index that a rebuild or load could not use, and why.
struct IndexProblem {
    QString path;
    QString reason;
};

// The application preferences that decide backups, read at the moment they are needed.
struct BackupSettings {
    QString folder;              // "backupFolderPath"
    std::optional<bool> enabled; // "BackupDatabase"; absent: the close counter does not run
    int interval = 0;            // "BackupInterval", clamped to 0-255
    int keep = 4;                // "BackupKeep": copies kept minus one, clamped to 0-255
    static BackupSettings from(const PrefsSource* prefs);
};

// Why a backup folder cannot be used.
enum class BackupFolderProblem { None, NotSet, Missing, NotAFolder, NotWritable, InsidePackage };

struct SaveOutcome {
    bool saved = false;    // the save ran (false when there was nothing to save or it was deferred)
    bool deferred = false; // the document was busy; the next timer tick tries again
    QString error;         // a step that failed; ".changed" stays so the next open rebuilds
};

struct BackupOutcome {
    bool ok = false;
    bool skipped = false; // the folder is not usable (the person was told) or nothing was due
    QString path;         // copy 1 when made
    QString error;
};

struct CloseOutcome {
    bool saved = false;
    int backupCount = -1;               // the new value of ".backupCount"; -1 when not counted
    std::optional<BackupOutcome> backup; // when a backup was due
};

class MyDocument {
public:
    explicit MyDocument(DocumentUi& ui, const PrefsSource* prefs = nullptr);
    ~MyDocument();
    MyDocument(const MyDocument&) = delete;
    MyDocument& operator=(const MyDocument&) = delete;

    // Opening: the package checks, the optional rebuild question, loading or rebuilding the
    // tree and the one-time conversions.
    OpenResult openDatabase(const QString& path, OpenOptions options = {});
    // Creates a new database at `path` (".fvdb" is added when missing). An existing path is
    // refused. On failure nothing is left behind.
    OpenResult createDatabase(const QString& path);
    // Forgets the open database and removes its temporary folder.
    void close();

    // State.
    const QString& dbPath() const { return dbPath_; }
    const QString& tempDir() const { return tempDir_; }
    QString categoriesArchiveFile() const { return categoriesArchiveFile_; }
    bool dbOpen() const { return dbOpen_; }
    bool dbWriteable() const { return dbWriteable_; }
    bool dbReadOnly() const { return dbReadOnly_; }
    bool dbEncrypted() const { return crypto_.encrypted(); }
    bool dindexPresent() const { return dindexPresent_; }
    bool rebuiltAtOpen() const { return rebuiltAtOpen_; }
    bool needsBackup() const { return needsBackup_; }
    bool noNeedToSaveNow() const { return noNeedToSaveNow_; }
    const QStringList& customAttributeNames() const { return customAttributeNames_.names(); }
    const std::vector<IndexProblem>& indexProblems() const { return problems_; }
    bool openForReading() const { return forReading_; }
    // Whether anything may change the package now: open, writable, not opened for reading
    // only, and in an encrypted database with its key. The one answer every caller asks.
    bool canChange() const
    {
        return dbOpen_ && dbWriteable_ && !dbReadOnly_ && !forReading_ && !(crypto_.encrypted() && !crypto_.cipher());
    }
    // After an open for reading: what an open for writing would have repaired or converted,
    // each a phrase such as "delete plain copies left beside their enciphered forms: ...".
    const QStringList& pendingRepairs() const { return pendingRepairs_; }

    IndexTree& tree() { return tree_; }
    const IndexTree& tree() const { return tree_; }
    DatabaseSettings& settings() { return settings_; }
    // The browser's back/forward history: read at open without showing anything (the
    // window shows its current entry once attached), written by saves when it changed.
    History& history() { return history_; }
    // The custom attribute names of the database (".customAttributeNames").
    CustomAttributeNames& customAttributes() { return customAttributeNames_; }
    // The folders with reminders, due and future; collected after every open.
    Reminders& reminders() { return reminders_; }
    // The text of the files, kept for searches of contents.
    TextCache& textCache() { return textCache_; }
    // The smart folders: creation, invalidation after every operation, loading.
    SmartFolders& smartFolders() { return smartFolders_; }
    const SmartFolders& smartFolders() const { return smartFolders_; }
    DocumentUi& ui() { return ui_; }
    // The encryption of the database: its key and the stored forms of its items.
    DocumentCrypto& crypto() { return crypto_; }
    const DocumentCrypto& crypto() const { return crypto_; }

    // ---- Hooks -----------------------------------------------------------------------
    // Subsystems that follow the database subscribe here instead of being called from the
    // operation, open and save code. Neither is owned; each must stay subscribed only while
    // it lives.
    void addOperationObserver(OperationObserver* observer);
    void removeOperationObserver(OperationObserver* observer);
    // Parts are read in the order they were added, after the document's own.
    void addPart(DocumentPart* part);
    void removePart(DocumentPart* part);

    // Paths.
    static QString attributesPathForPath(const QString& path);
    // The absolute path of a stored path, spelled as the disk has it; empty when the path
    // could leave the package or a symbolic link lies on its way.
    QString absolutePath(const QString& relative) const;

    // Attributes files. Without an item, the root attributes file ".dindex". The file is
    // written beside the target and renamed over it; false when the disk refused.
    bool writeAttributesFileForItem(const IndexItem* item, fs::Durability durability = fs::Durability::Flush);
    bool writeIndexArchive();
    // Marks the database changed (".changed", 0600). Anything that changes the package
    // calls it; the marker itself is created before the first change (every recorded
    // operation and every write of an attributes file makes sure of it).
    bool changed();

    // Tree operations that touch the package.
    IndexItem* findOrCreateDateCategoryFor(IndexItem* folder, QDate date);
    bool createDateCategoryOnDisk(const QString& path);
    IndexItem* createDateCategoryInIndex(const QString& path, IndexItem* parent);
    void deleteDateCategoryIfEmpty(IndexItem* item);
    bool deleteCategoryWithPath(const QString& path, IndexItem* folder);
    // Deletes a stored path and its enciphered forms; a missing file is not an error.
    bool deletePath(const QString& path);
    // A path not yet used in the package: by any item, by anything on disk, by its
    // enciphered forms or by its attributes file.
    QString uniquePathForPath(const QString& path) const;
    // The first of the path and its enciphered forms that can be read, if any.
    std::optional<QString> pathOrEncryptedPath(const QString& path) const;
    void sortAll();

    // Rebuilds the tree from the distributed index.
    void rebuildIndex();

    // Encrypted databases: the operations of DocumentCrypto under the names the rest of
    // the program calls them by.
    bool promptForPassword() { return crypto_.promptForPassword(); }
    bool checkPassword(const QString& password) { return crypto_.checkPassword(password); }
    DocumentCipher* cipher() { return crypto_.cipher(); }
    static bool backupWarningNeeded(bool writable, bool alreadyWarned, bool backupPreference, bool backupFolderGood)
    {
        return DocumentCrypto::backupWarningNeeded(writable, alreadyWarned, backupPreference, backupFolderGood);
    }
    bool needsBackupWarning(bool backupPreference, bool backupFolderGood) const
    {
        return crypto_.needsBackupWarning(backupPreference, backupFolderGood);
    }
    bool markWarnedAboutBackup() { return crypto_.markWarnedAboutBackup(); }
    StoreResult encryptFile(const QString& path) { return crypto_.encryptFile(path); }
    StoreResult decryptFile(const QString& path, bool leaveEncryptedFile, const QString* password = nullptr)
    {
        return crypto_.decryptFile(path, leaveEncryptedFile, password);
    }
    bool cryptForCopy(const IndexItem* item, bool encrypt) { return crypto_.cryptForCopy(item, encrypt); }
    QString encryptedPath(const QString& path) const { return crypto_.encryptedPath(path); }
    QString decryptedPath(const QString& path) const { return crypto_.decryptedPath(path); }
    std::optional<PlainCopy> plainCopyForReading(const QString& path, QString* error = nullptr)
    {
        return crypto_.plainCopyForReading(path, error);
    }
    std::optional<PlainCopy> copyForHandingOut(const QString& path, QString* error = nullptr)
    {
        return crypto_.copyForHandingOut(path, error);
    }
    bool readItemContent(const QString& path, const QString& inner,
                         const std::function<bool(const char*, qsizetype)>& sink, QString* error = nullptr)
    {
        return crypto_.readItemContent(path, inner, sink, error);
    }

    // The time format of the disk-error log and the repair report: month first, or day
    // first when the application uses European dates.
    QString logDateFormat() const;
    // Reports a disk error: logs it and tells the user interface.
    void diskError(const QString& step, const QString& path);

    // The application preferences (backups, "Last DB File", "ImportLog", the one-time
    // notice of the consistency check); none in tests that do not need them.
    void setApplicationPreferences(KTPrefs* prefs) { appPrefs_ = prefs; }
    KTPrefs* applicationPreferences() const { return appPrefs_; }

    // Every open document of this process, for copies between databases.
    static MyDocument* openDocumentWithPath(const QString& dbPath);

    // ---- Recorded operations -------------------------------------------------------
    // Each change that touches the package and the tree goes through doDBOperation: the
    // disk first where it can, so that a refused step leaves tree, attributes files and
    // disk in agreement; a disk error is logged, reported through the interface and
    // answered; the database stays marked changed.
    OperationResult doDBOperation(const DBOperation& op);
    OperationResult recordDelete(const QString& path);
    OperationResult recordNewCategory(const QString& path, const IndexItem* parent, int index);
    OperationResult recordRename(const QString& oldPath, const QString& newPath);
    OperationResult recordImport(const QString& file, const std::optional<QByteArray>& data, const QString& parentPath,
                                 int parentIndex, std::optional<QDateTime> startingDate,
                                 std::optional<QDateTime> endingDate);
    OperationResult recordMovePath(const QString& path, const IndexItem* parent, int index);
    OperationResult recordDuplicate(const QString& path, const QString& parentPath);
    OperationResult recordCopyPath(const QString& path, const QString& fromDBPath, const IndexItem* parent, int index);
    // The import log text of this session ("%@ -> %@" lines), kept while "ImportLog" is on.
    QString& importLog() { return log_; }
    // Set when an import's copy failed.
    bool importFailed() const { return importFailed_; }
    void clearImportFailed() { importFailed_ = false; }

    // Renames `from` to `to`, never replacing anything at `to`; a read-only folder is made
    // writable for the move and gets its mode back. 0 or an errno value.
    static int renameWorkaround(const QString& from, const QString& to);

    // ---- Busy guard ----------------------------------------------------------------
    // A save must not run inside an operation, a repair or a modal prompt (timers fire in
    // modal dialogs). Whatever holds a BusyScope makes saveChanges wait.
    class BusyScope {
    public:
        explicit BusyScope(MyDocument& doc) : doc_(doc) { ++doc_.busy_; }
        ~BusyScope() { --doc_.busy_; }
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        MyDocument& doc_;
    };
    bool busy() const { return busy_ > 0; }

    // ---- Consistency check -------------------------------------------------------
    // Compares the tree with the package and lets the person decide through the interface;
    // true when the report was shown. Run at every open.
    bool repairDBandFindReminders();
    // Paths of items carrying a reminder, found by the last check.
    const QStringList& remindersFound() const { return remindersFound_; }

    // ---- Saving, closing and backups ---------------------------------------------
    SaveOutcome saveChanges(bool fromTimer);
    bool saveDBSpecificPreferences();
    bool deleteDecrypted();
    // Saves, notes "Last DB File", counts the close and backs up when due, then closes.
    CloseOutcome closeDatabase();
    // The backup copy itself, with rotation; the menu backup saves the index first.
    BackupOutcome doBackup(const BackupSettings& settings);
    BackupOutcome backupDatabase(const BackupSettings& settings);
    // Whether `folder` can receive backups of the package at `dbPath`.
    static BackupFolderProblem backupFolderProblem(const QString& folder, const QString& dbPath);
    // The check the application makes before a backup: alerts "Backup Folder Not Found"
    // through `ui` when a folder is set but not usable.
    static bool checkBackupFolder(const QString& folder, const QString& dbPath, DocumentUi& ui);

    // ---- For the document's helpers ------------------------------------------------
    // The operations, the consistency check, the saver and the loader work on the
    // document through these and the public calls above, never on its members.

    // Takes an item out of the tree with its attributes file, rewrites its folder's, and
    // with `deleteFiles` deletes its files (never a smart folder's: it has none).
    void removeItem(IndexItem* item, bool deleteFiles);
    // The absolute path of the folder that holds `path`, which may be kept read-only; empty
    // for an item at the top (the package root is always writable).
    QString parentFolder(const PackagePath& path) const;
    // An entry of the distributed index that could not be used, and why.
    void addProblem(const QString& path, const QString& reason);
    void markImportFailed() { importFailed_ = true; }
    // The package folder itself can be written (also when this document only reads it).
    bool packageWritable() const { return packageWritable_; }
    // An open for reading of a package that an open for writing could change: what that
    // open would do is noted instead of done.
    bool notesRepairs() const { return forReading_ && packageWritable_; }
    void notePendingRepair(const QString& what) { pendingRepairs_ << what; }
    // The listing of the package started at the open, for the check at its end (once).
    std::unique_ptr<PackageListing> takePendingListing();

private:
    bool dbSpecificInit(const QString& path);
    // Takes the lock of the package at dbPath_: shared for reading, else exclusive.
    OpenResult lockPackage();
    OpenResult checkPackage();
    OpenResult finishDatabaseOpen(bool rebuild);
    bool loadIndexArchive();
    bool convertDistributedIndex(bool backUpFirst);
    bool backupBeforeConversion(QString* where);
    void readSettings();
    QStringList readDIndex() const;
    // ".changed" without the rest of `changed`: false when it is not there and cannot be made.
    bool createChangedMarker();
    // The common end of a recorded operation: the observers hear of it.
    OperationResult finishOperation(const DBOperation& op, OperationResult result);
    // Writes the parts that changed; false when an essential one failed (`error` says which).
    bool writeParts(QString* error);

    DocumentUi& ui_;
    const PrefsSource* prefs_;
    IndexTree tree_;
    History history_{tree_}; // after the tree: it leaves the tree's observers first
    DatabaseSettings settings_;
    DocumentCrypto crypto_{*this};
    HistoryFile historyFile_{history_};
    CustomAttributeNames customAttributeNames_;
    Reminders reminders_{*this}; // after the tree, which it observes
    TextCache textCache_{*this};
    SmartFolders smartFolders_{*this}; // after the tree, which it observes
    std::vector<DocumentPart*> parts_;
    std::vector<OperationObserver*> operationObservers_;

    QString dbPath_;
    // Paths inside the package are resolved without following links while it is open.
    std::optional<fs::PackageRoot> packageRoot_;
    QString tempDir_;
    QString categoriesArchiveFile_;
    bool dbOpen_ = false;
    bool dbWriteable_ = false;   // this document may change the package (never when open for reading)
    bool packageWritable_ = false; // the package folder itself can be written
    bool forReading_ = false;
    QStringList pendingRepairs_;
    PackageLock lock_;
    bool dbReadOnly_ = false;
    bool dindexPresent_ = false;
    bool rebuiltAtOpen_ = false;
    bool needsBackup_ = false;
    bool noNeedToSaveNow_ = false;
    std::vector<IndexProblem> problems_;

    KTPrefs* appPrefs_ = nullptr;
    int busy_ = 0;
    QString log_;
    bool importFailed_ = false;
    quint64 attributeWrites_ = 0; // attributes files written (or tried), to tell a refusal that changed nothing
    QStringList remindersFound_;
    // The listing of the package for the check at the end of an open, made on another
    // thread while the tree loads.
    std::unique_ptr<PackageListing> pendingListing_;
};

} // namespace folivo
