#pragma once
// The tags of files: the "Tags" a file carries, the two date tags every dated file is seen
// with, and auto-tagging, which reads a file's tags out of the lines of its own text that
// begin with one of the database's tag prefixes.

#include "plist/value.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <vector>

namespace folivo {

class IndexItem;
class MyDocument;

// The auto-tagging settings of one database, kept in its per-database settings.
struct AutoTagSettings {
    QStringList prefixes; // in the user's order; never an empty one
    bool scanImported = false;
    int separator = 0; // 0 comma, 1 semicolon, 2 space

    // Read from the stored dictionary. A database that has prefixes but predates the
    // imported-files switch tagged every import, so a missing switch counts as on there.
    static AutoTagSettings from(const plist::Dict& tagSettings);
    // Writes the three keys; empty prefixes and repeats are dropped, because an empty prefix
    // would match every line of every file.
    void storeInto(plist::Dict& tagSettings) const;

    QChar separatorChar() const;
    // At least one prefix: the auto-tagging commands are offered.
    bool specified() const;
    // Imported files are auto-tagged: there are prefixes and the switch is on.
    bool tagsImports() const { return specified() && scanImported; }
};

AutoTagSettings autoTagSettingsOf(MyDocument& doc);
void setAutoTagSettings(MyDocument& doc, const AutoTagSettings& settings);

// The prefix list as the auto-tagging dialog edits it. A new row starts empty; an edit that
// repeats another row's prefix is refused, and an emptied row goes away.
struct PrefixEdit {
    QString error; // the dialog's error line; empty hides it
};
// Appends an empty row and answers its index.
int addPrefixRow(QStringList& prefixes);
// Removes the rows, whatever their order; indexes out of range are ignored.
void deletePrefixRows(QStringList& prefixes, QList<int> rows);
// Stores `text` in row `row`. A text another row has: a new (empty) row is deleted with the
// selection, an existing one keeps its text. An empty text deletes the selected rows (the
// edited row when nothing is selected).
PrefixEdit editPrefixRow(QStringList& prefixes, int row, const QString& text, const QList<int>& selectedRows);

// The file's "Tags" in their stored order; empty when it has none.
QStringList tagsOf(const IndexItem& item);
// Stores `tags` as the file's "Tags" when they differ (no tags equal an empty list; an empty
// list removes the key), writes its attributes file and marks the database changed. False
// when nothing was written: no change, no such file, a database that cannot change, or a
// disk error (reported).
bool setTags(MyDocument& doc, const QString& path, const QStringList& tags);

// "<Month>" and "<Year>" of the file's ending date; none without one. Never stored.
QStringList dateTagsOf(const IndexItem& item);
QSet<QString> tagsSetForItem(const IndexItem& item, bool includeDates);

// Every tag, date tags included, of the files that carry all of `wanted` (any file with a
// tag when `wanted` is empty), each once, in button order.
QStringList tagsForAllFilesWithTags(MyDocument& doc, const QStringList& wanted);

// Button order: date tags ("<...>") first, months in the order of `monthOrder` (month
// numbers), then the other date tags and then ordinary tags, each case-insensitively.
int buttonDateTagSort(const QString& a, const QString& b, const QList<int>& monthOrder);
int buttonDateTagSort(const QString& a, const QString& b);

// The tags the lines of `text` give: for each line, each prefix it begins with (exactly: case
// and leading white space count) contributes the rest of the line split at `separator`, the
// pieces trimmed and empty ones dropped. Repeats are kept, in line order.
QStringList tagsFromText(const QString& text, const QStringList& prefixes, QChar separator);

enum class AutoTagOutcome {
    Tagged,    // the file's tags were replaced and its attributes file written
    Unchanged, // the text gave exactly the tags the file already had
    NoTags,    // no line matched, or the file has no text; its tags are kept
    Refused,   // not a file, a database that cannot change, or a disk error (reported)
};

// Auto-tags one file. Its text is read through the document, so an encrypted database's
// file is deciphered in memory only; the attributes file is written at most once.
AutoTagOutcome autoTagItem(MyDocument& doc, IndexItem& item, const AutoTagSettings& settings);
// The same with the file's text already read (normalised), as an import has it in hand.
AutoTagOutcome autoTagItemWithText(MyDocument& doc, IndexItem& item, const AutoTagSettings& settings,
                                   const std::optional<QString>& text);
// The files auto-tagging `items` reaches, in order: folders give the files beneath them;
// smart folders and smart files are skipped. A window walks this list one file at a time.
QStringList filesToAutoTag(const std::vector<IndexItem*>& items);
// Every tag the database's files carry (no date tags), each once, case-insensitively sorted:
// what the tags field completes.
QStringList allFileTags(MyDocument& doc);
// Auto-tags files, descending into folders; smart folders and smart files are skipped.
// Answers how many files were tagged.
int autoTagItems(MyDocument& doc, const std::vector<IndexItem*>& items, const AutoTagSettings& settings);

} // namespace folivo
