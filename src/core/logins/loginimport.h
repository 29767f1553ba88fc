#pragma once
// Reading logins exported by another password keeper: tab-, comma- or semicolon-separated
// lines, one login a line, made into the rows the import dialog shows and the folders the
// import creates. The reader is a plain RFC 4180 field reader (a quoted field is taken
// verbatim, line ends and separators included, with "" for a quote), so that notes over
// several lines and names with commas come through whole.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace folivo {

enum class LoginSeparator { Tab = 0, Comma = 1, Semicolon = 2 };

// The columns a row can fill; Skip fills nothing.
enum class LoginColumn { Name, URL, UserID1, UserID2, Password, Notes, Skip };

// A dialog shows nine columns: fields beyond them are not imported.
constexpr int kLoginImportColumns = 9;

// The header line of the common CSV export, left out of the rows.
inline const QString LoginExportHeader = QStringLiteral("Title,URL,Username,Password,Notes");

// The text of an exported file: UTF-8 (a byte order mark is skipped), else Windows-1252 (the
// usual encoding of older exports, which Latin-1 files read as too).
QString decodeLoginFile(const QByteArray& data);

// The rows of the text, each of at most kLoginImportColumns fields, in file order. Empty
// lines are dropped; CR, LF and CR LF each end a line outside quotes. Unquoted fields lose
// their leading spaces and runs of spaces become one; with tabs, quotes are plain characters.
// A first line that is exactly the export header is left out (with commas).
QList<QStringList> readLoginRows(const QString& text, LoginSeparator separator);

// The column a name given on the command line stands for ("name", "url", "user1", "user2",
// "password", "notes", "skip"); none for another word.
std::optional<LoginColumn> loginColumnNamed(const QString& word);
// The columns of the export header: name, url, user1, password, notes.
QList<LoginColumn> exportHeaderColumns();

// What one row makes: the folder's name and the keys it gets, or why it stays listed.
struct LoginImportRow {
    QString name;                 // the new folder's name, valid for the store
    QList<std::pair<QString, QString>> keys; // key, value (login keys and "Notes"), in column order
    QString problem;              // why the row is not imported; empty when it is
    bool empty = false;           // every field empty: dropped without a word
};

// The row read by `columns` (position i of the row fills columns[i]; positions past the list
// fill nothing). A row whose name field is missing or empty stays listed; a name from outside
// is made valid (leading dots, "/", control characters, length) by the store's one rule.
LoginImportRow planLoginImportRow(const QStringList& row, const QList<LoginColumn>& columns);

class MyDocument;

struct LoginImportOutcome {
    QStringList folders;      // the folders made, one recorded creation each, in row order
    QList<QStringList> left;  // the rows not imported, to be shown again
    QStringList problems;     // why, one for each row left
    bool stopped = false;     // the database refused a creation (a disk error, or it cannot change)
};

// Makes a folder inside `parentPath` (empty: the top level) for every row that has a name,
// its name made unique among its siblings, and stores the row's fields in that folder: the
// login keys and the notes. A row stays listed when it has no name; empty rows go.
LoginImportOutcome importLoginRows(MyDocument& doc, const QList<QStringList>& rows, const QList<LoginColumn>& columns,
                                   const QString& parentPath);

} // namespace folivo
