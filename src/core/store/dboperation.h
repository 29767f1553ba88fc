#pragma once
// One change to a database that touches both the package and the tree: its record (the
// dictionary with "Operation" and the arguments of the kind) and what came of it.

#include "plist/value.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

namespace folivo {

enum class OperationCode : int {
    Delete = 0,
    NewFolder = 1,
    Rename = 2,
    Import = 3,
    Move = 4,
    Nothing = 5,
    Duplicate = 6,
    CopyFromDatabase = 7,
};

// Keys of the record, as stored and as exchanged between windows.
namespace opkeys {
inline const QString Operation = QStringLiteral("Operation");
inline const QString DeletePath = QStringLiteral("Path");
inline const QString Path = QStringLiteral("path");
inline const QString NewPath = QStringLiteral("newPath");
inline const QString OldPath = QStringLiteral("oldPath");
inline const QString Index = QStringLiteral("index");
inline const QString ParentCategory = QStringLiteral("parentCategory");
inline const QString ParentPath = QStringLiteral("parentPath");
inline const QString ParentIndex = QStringLiteral("parentIndex");
inline const QString FileToImport = QStringLiteral("fileToImport");
inline const QString DataToImport = QStringLiteral("dataToImport");
inline const QString StartingDate = QStringLiteral("startingDate");
inline const QString EndingDate = QStringLiteral("endingDate");
inline const QString FromDBPath = QStringLiteral("fromDBPath");
} // namespace opkeys

struct DBOperation {
    int operation = int(OperationCode::Nothing);
    QString path;       // delete, move, duplicate, copy: the item; rename: the old path
    QString newPath;    // new folder, rename
    QString parentPath; // move, copy, import, duplicate, new folder ("" is the top level)
    int index = -1;     // new folder, move, copy, import ("parentIndex"); -1 for the end/automatic
    QString fromDBPath; // copy: absolute path of the source package
    QString fileToImport;                 // import: absolute path of a file, or with data the name
    std::optional<QByteArray> dataToImport; // import: bytes to store under `fileToImport`
    std::optional<QDateTime> startingDate, endingDate;

    OperationCode code() const { return OperationCode(operation); }

    // The dictionary form; "parentCategory" of a new folder is kept as the parent's path.
    plist::Dict toValue() const;
    static std::optional<DBOperation> fromValue(const plist::Value& record);
};

// What the browser should do once an operation is done: what to select, reveal, open and
// start editing. Anything that ends in a change of the tree may hand these on.
struct BrowserHints {
    QStringList select;     // paths to select
    QString reveal;         // path to reveal
    bool revealExpanded = false;
    QString expand;         // path to expand
    QString collapse;       // path to collapse after selecting it
    QString editName;       // path whose name editing starts
    bool focusBrowser = false;
};

// What came of one operation, and what the browser should do next.
struct OperationResult : BrowserHints {
    enum class Status {
        Done,      // carried out
        Nothing,   // nothing to do (code 5 or unknown, same place)
        Refused,   // not allowed; `message` says why; nothing changed
        Failed,    // did not happen, nothing lost (a failed import copy); `message` says why
        DiskError, // the disk refused a step; logged and reported; `step` and `path` name it
    };
    Status status = Status::Nothing;
    QString message;
    QString step;   // disk error: the description of the step ("Moving item to")
    QString path;   // disk error: the path concerned
    QString detail; // disk error: what the system said

    QString resultPath; // the item's path after the operation (new folder, rename, move, copy, import, duplicate)

    bool ok() const { return status == Status::Done || status == Status::Nothing; }
};

// Dates in records are seconds since 2001-01-01 UTC.
plist::Date toPlistDate(const QDateTime& when);
QDateTime fromPlistDate(plist::Date date);

} // namespace folivo
