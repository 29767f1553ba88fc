#pragma once
// Dragging items out of the browser and dropping things into it: what a drop would do
// (nothing, a copy or a move), decided from a plain description of the drag so that the
// rule does not depend on any widget, and the login records a drag of folders carries.

#include "plist/value.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace folivo {

class IndexItem;

namespace dragkeys {
// An entry of the browser's own drag form.
inline const QString Path = QStringLiteral("Path");
inline const QString Type = QStringLiteral("Type");
inline const QString File = QStringLiteral("File");
inline const QString Folder = QStringLiteral("Folder");
inline const QString SmartFolder = QStringLiteral("SmartFolder");
} // namespace dragkeys

enum class DropDecision { None, Copy, Move };

struct DragEntry {
    QString path;
    QString type; // dragkeys::File, Folder or SmartFolder
};

struct ExternalFile {
    QString path;
    bool isFolder = false;  // an existing folder
    bool isPackage = false; // a folder that opens as one document (a database package)
};

struct DropDescription {
    bool writable = false; // the target database takes changes
    bool hasItems = false, hasLogins = false, hasDBPath = false, hasFileNames = false;

    // Where: the top level, or into a folder; at a position, or onto the item itself (-1).
    bool topLevel = true;
    QString folderPath;
    bool folderIsDateFolder = false;
    bool folderIsSmartFolder = false;
    bool folderIsFile = false;
    bool folderIsUnfiled = false;     // the top-level "Unfiled"
    int firstDateFolderIndex = -1;    // where the folder's date folders begin; -1 when it has none
    int childIndex = -1;

    QList<DragEntry> entries;
    QString sourceDBPath; // the package the entries come from
    bool sourceOpen = true; // that database is open here, so its items can be read
    QString thisDBPath;
    bool keepSorted = false;
    bool copyModifier = false; // the person asked for a copy

    QList<ExternalFile> externalFiles;
};

// Whether the entries come from the database they are dropped into.
bool sameDatabase(const QString& a, const QString& b);

// The entries a drop acts on: an entry lying inside another dragged folder goes along with
// that folder, and acting on it again would find it already gone. Order is kept.
QList<DragEntry> entriesToDrop(const QList<DragEntry>& entries);

DropDecision decideDrop(const DropDescription& drop);

// The place in the target folder a drop goes to: the position between rows, or, for a drop
// onto a folder's own row, the first place inside it (an empty or closed folder has no
// rows to drop between). -1 for a drop onto the top level itself, which has no place.
int dropIndex(const DropDescription& drop);

// Whether the drag holds "Unfiled" or a smart folder; such a drag opens no folder.
bool dragHoldsUnfiledOrSmartFolder(const QList<DragEntry>& entries);

// Whether `folder` springs open when something is dragged over it for a moment: a folder
// that can take the drop, not a date folder, a smart folder or "Unfiled".
bool springsOpenWhileDragging(const IndexItem& folder, bool draggingUnfiledOrSmartFolder);

// ---- Login records ----------------------------------------------------------------------
// The keys a login record carries from one folder to another: the login fields and the
// notes. A record from elsewhere may hold anything; structural keys of the item it came
// from ("Path", "Children", "Date", "SmartFolder", ...) never enter this database.
const QStringList& loginTransferKeys();

// The login records in the subtree of `item`, depth first, in the transfer form (the login
// keys that are present, "Notes" and the item's "Path").
plist::Array loginRecordsFromItem(const IndexItem& item);

// The folder a dropped login record becomes: named by the last component of its "Path"
// (made a valid name), under `targetFolder` ("" for the top level), made unique with
// `unique`. Empty when the record is not a dictionary.
QString folderPathForLoginRecord(const plist::Value& record, const QString& targetFolder,
                                 const std::function<QString(const QString&)>& unique);
// The keys the new folder takes from a dropped login record.
plist::Dict loginKeysOfRecord(const plist::Value& record);

} // namespace folivo
