#pragma once
// The one way into a database: files and folders chosen, dropped, waiting in the import
// folder, or data handed over (the clipboard, a download). Each file is filed by the rules,
// stored by one recorded import, optionally written to an import log, and remembered in the
// "Last Import" smart folder.

#include "attributes/tags.h"
#include "filing/filingrules.h"
#include "store/dboperation.h"
#include "store/promptid.h"

#include <QDate>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace folivo {

class DocumentUi;
class KTPrefs;
class MyDocument;

// What the window has selected; empty when nothing (the command line, tests).
struct ImportContext {
    QString browserSelection; // the folder the browser's selected row stands for
    QString selectedReminder; // the folder selected in the reminder list
    QDate today = QDate::currentDate();
};

struct ImportRequest {
    QStringList paths;               // empty: `data` under `dataName` (the clipboard: no rules, no dates)
    std::optional<QByteArray> data;  // bytes given instead of a file
    QString dataName;                // the name to give them
    bool ignoreUserSelection = false;
    bool isImportFolder = false;     // entries of the import folder: no folders
    QString parentPath;              // the drop target; empty: none
    int parentIndex = -1;            // the drop position; -1: none
    // `parentIndex` is a drop position ("after this row"): -1 then means before the first
    // row, not "where the database puts it".
    bool dropPosition = false;
    bool autoFile = true;
};

// One entry of an import, for a person to read.
struct ImportedEntry {
    QString source;      // the path given (or the data's name)
    QString storedPath;  // where it went; empty when it was not stored
    bool folder = false; // a folder made for a hierarchy
    bool skipped = false;
    bool failed = false;
    std::optional<QDate> start;
    std::optional<QDate> end;
    QString rule;        // the filing rule that chose the folder
};

struct ImportOutcome {
    bool ran = false;       // false: the database takes no imports (read-only, locked)
    QList<ImportedEntry> entries;
    QStringList itemsToSelect; // stored paths, to select in the browser
    QString selectMessage;     // "Imported Items Selected In Browser"
    bool skipped = false;      // a folder or database was skipped: show the skip warning
    bool failed = false;       // some file could not be stored
    bool diskError = false;    // a disk error stopped the import
    QString logPath;           // the stored import log, if one was written
    QString logFolder;         // the folder it went to
    QString collapse;          // a folder to collapse again after selecting
    bool stopped = false;      // the person stopped it before every file was imported
};

// A folder that a file manager shows as one document (an RTFD text, an application): it is
// imported as one item, never opened up as a folder of files.
bool isFilePackage(const QString& path);

// Files dropped on the program before this database was open ("droppedFilesToImport"),
// imported when its window comes forward; the list is taken out of the preferences first,
// so that they are imported once even if the import stops half way.
ImportOutcome importDroppedFiles(MyDocument& doc, KTPrefs* prefs, const ImportContext& context = {});

// The warning shown once after an import that skipped folders or databases.
void doSkipWarning(DocumentUi& ui);

class ImportPipeline {
public:
    // `prefs` gives "ImportLog", "MaintainLastImport" and the filing preferences; none: all off.
    ImportPipeline(MyDocument& doc, KTPrefs* prefs);

    ImportOutcome doImport(const ImportRequest& request, const ImportContext& context = {});

    // Called after each stored file of the import folder, before the next one is imported:
    // the source and its stored path (never for the import log, which is no file of the
    // folder). The import folder deletes confirmed sources here.
    std::function<void(const QString& source, const QString& storedPath)> onStored;
    // Asked before each file: true stops the import there (the person asked to stop). What
    // was stored stays, and is selected as usual.
    std::function<bool()> shouldStop;
    bool stopped() const { return stoppedByRequest_; }

private:
    bool importFileAtPath(const QString& path, const std::optional<QByteArray>& data, bool ignoreUserSelection,
                          IndexItem* folder, int index, bool directoryOK, bool autoFile);
    bool importDirectoryAtPath(const QString& path, IndexItem* folder, int index, bool filesOnly);
    IndexItem* unfiled() const;
    void noteFailure(ImportedEntry& entry, const OperationResult& result);
    void storeLog(const QDateTime& started);
    void maintainLastImport();
    // Tags a stored file from the source's text (normalised) when the database tags its imports.
    void autoTagStored(const QString& storedPath, const std::function<const std::optional<QString>&()>& text);
    bool pref(const QString& key) const;

    MyDocument& doc_;
    KTPrefs* prefs_;
    FilingPreferences filing_;
    ImportContext context_;
    ImportOutcome out_;
    QSet<QString> visitedDirs_;
    std::optional<CategoryMatchIndex> matchIndex_;
    std::optional<AutoTagSettings> autoTag_; // read at the first stored file
    bool stop_ = false;
    bool stoppedByRequest_ = false;
    bool storingLog_ = false; // the import log is being stored: not a file of the request
    bool stopRequested();
};

} // namespace folivo
