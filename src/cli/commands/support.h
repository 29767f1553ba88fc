#pragma once
// What several commands share: paths as people type them, the end of a change (print, save),
// and the report of an import.

#include "store/dboperation.h"

#include <QDate>
#include <QHash>
#include <QString>

#include <functional>
#include <optional>

namespace folivo {
class IndexItem;
class MyDocument;
struct ImportOutcome;
}

namespace folivo::cli {

class Console;
class Invocation;
class TerminalUi;

// A path inside the database as people type it: "/Bank/Visa/" and "Bank/Visa" are the same,
// and "" or "/" is the top level. `tree` prints folders with a slash after them, so a
// pasted line works too.
QString itemPath(const QString& typed);
QString folderOf(const QString& path);
// Says that there is no such item; answers 1.
int noItem(Console& console, const MyDocument& doc, const QString& path);
// Resolves a folder argument; nullptr with `*found` true is the top level.
IndexItem* folderArgument(MyDocument& doc, const QString& typed, bool* found);

// Saves what the operation left, as the window's save timer does a moment after a change,
// and prints `line` when it was done. After a disk error nothing is saved: the change
// marker stays so that the next open rebuilds the index from the attributes files, which
// are what reached the disk.
int finishOperation(Invocation& call, MyDocument& doc, TerminalUi& ui, const OperationResult& r,
                    const std::function<QString()>& line);

// Saves a change made without a recorded operation (tags, attributes, names); a save that
// did not complete is said on standard error and answers 1.
int saveChange(Console& console, MyDocument& doc);

QString isoDay(const std::optional<QDate>& d);
QString datesText(const std::optional<QDate>& start, const std::optional<QDate>& end);

// Resolves --to for the filing commands: a folder that can hold files.
bool folderOption(Invocation& call, MyDocument& doc, QString* path);
// Prints one line per entry of an import; answers whether everything went in. `typed`
// maps absolute paths to the way they were typed.
bool printImport(Console& console, const ImportOutcome& outcome, const QHash<QString, QString>& typed);
// Saves after an import; the exit status.
int finishImport(Console& console, MyDocument& doc, const ImportOutcome& outcome, bool allIn);

} // namespace folivo::cli
