#include "logins/loginimport.h"

#include "attributes/notes.h"
#include "logins/loginedits.h"
#include "logins/loginrecord.h"
#include "store/dboperation.h"
#include "store/indexitem.h"
#include "store/mydocument.h"
#include "store/keys.h"
#include "store/packagepath.h"

#include <QStringDecoder>
#include <algorithm>

namespace folivo {

namespace {

// Windows-1252 where it differs from Latin-1: 0x80-0x9F. The five unassigned bytes read as
// the C1 control characters Latin-1 gives them.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QChar separatorChar(LoginSeparator separator)
{
    switch (separator) {
    case LoginSeparator::Tab:
        return u'\t';
    case LoginSeparator::Comma:
        return u',';
    case LoginSeparator::Semicolon:
        return u';';
    }
    return u'\t';
}

// An unquoted field as the dialog shows it: no leading spaces, one space for a run.
QString tidyUnquoted(const QString& raw)
{
    QString out;
    out.reserve(raw.size());
    bool lastWasSpace = true; // drops the leading ones
    for (QChar c : raw) {
        if (c == u' ') {
            if (!lastWasSpace)
                out.append(c);
            lastWasSpace = true;
        } else {
            out.append(c);
            lastWasSpace = false;
        }
    }
    return out;
}

} // namespace

QString decodeLoginFile(const QByteArray& data)
{
    QByteArrayView bytes(data);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    text.clear();
    text.reserve(bytes.size());
    for (char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        text.append(b >= 0x80 && b < 0xA0 ? QChar(kCp1252High[b - 0x80]) : QChar(char16_t(b)));
    }
    return text;
}

QList<QStringList> readLoginRows(const QString& text, LoginSeparator separator)
{
    const QChar sep = separatorChar(separator);
    const bool quoting = separator != LoginSeparator::Tab;
    QList<QStringList> rows;
    QStringList fields;
    QString field;
    bool fieldQuoted = false; // the current field began with a quote
    bool inQuotes = false;
    bool lineHasContent = false;

    const auto endField = [&] {
        if (fields.size() < kLoginImportColumns)
            fields.append(fieldQuoted ? field : tidyUnquoted(field));
        field.clear();
        fieldQuoted = false;
    };
    const auto endLine = [&] {
        if (lineHasContent) {
            endField();
            rows.append(fields);
        }
        fields.clear();
        field.clear();
        fieldQuoted = false;
        lineHasContent = false;
    };

    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (inQuotes) {
            if (c == u'"') {
                if (i + 1 < n && text.at(i + 1) == u'"') {
                    field.append(u'"');
                    ++i;
                } else {
                    inQuotes = false;
                }
            } else {
                field.append(c);
            }
            continue;
        }
        if (c == u'\r' || c == u'\n') {
            endLine();
            if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
                ++i;
            continue;
        }
        lineHasContent = true;
        if (c == sep) {
            endField();
            continue;
        }
        // A quote opens a quoted field only at its start (spaces before it are allowed);
        // elsewhere it is an ordinary character.
        if (quoting && c == u'"' && !fieldQuoted && field.trimmed().isEmpty()) {
            field.clear();
            fieldQuoted = true;
            inQuotes = true;
            continue;
        }
        if (fieldQuoted) {
            // Text after the closing quote of a quoted field belongs to it, as spreadsheets
            // read it, except the spaces before the separator.
            if (c != u' ')
                field.append(c);
            continue;
        }
        field.append(c);
    }
    // A quoted field left open at the end keeps what it had.
    if (inQuotes)
        lineHasContent = true;
    endLine();

    if (separator == LoginSeparator::Comma && !rows.isEmpty()
        && rows.front().join(u',') == LoginExportHeader)
        rows.removeFirst();
    return rows;
}

std::optional<LoginColumn> loginColumnNamed(const QString& word)
{
    static const QList<std::pair<QString, LoginColumn>> names{
        {QStringLiteral("name"), LoginColumn::Name},         {QStringLiteral("url"), LoginColumn::URL},
        {QStringLiteral("user1"), LoginColumn::UserID1},     {QStringLiteral("user2"), LoginColumn::UserID2},
        {QStringLiteral("password"), LoginColumn::Password}, {QStringLiteral("notes"), LoginColumn::Notes},
        {QStringLiteral("skip"), LoginColumn::Skip}};
    for (const auto& [name, column] : names)
        if (word.compare(name, Qt::CaseInsensitive) == 0)
            return column;
    return std::nullopt;
}

QList<LoginColumn> exportHeaderColumns()
{
    return {LoginColumn::Name, LoginColumn::URL, LoginColumn::UserID1, LoginColumn::Password, LoginColumn::Notes};
}

LoginImportRow planLoginImportRow(const QStringList& row, const QList<LoginColumn>& columns)
{
    LoginImportRow out;
    out.empty = std::all_of(row.begin(), row.end(), [](const QString& f) { return f.trimmed().isEmpty(); });
    if (out.empty) {
        out.problem = QStringLiteral("The line is empty.");
        return out;
    }
    const qsizetype namePosition = columns.indexOf(LoginColumn::Name);
    if (namePosition < 0) {
        out.problem = QStringLiteral("No column is the name.");
        return out;
    }
    if (namePosition >= row.size() || row.at(namePosition).trimmed().isEmpty()) {
        out.problem = QStringLiteral("The line has no name.");
        return out;
    }
    out.name = makeValidName(row.at(namePosition));
    for (qsizetype i = 0; i < row.size() && i < columns.size(); ++i) {
        QString key;
        switch (columns.at(i)) {
        case LoginColumn::URL:
            key = loginkeys::URL;
            break;
        case LoginColumn::UserID1:
            key = loginkeys::UserID;
            break;
        case LoginColumn::UserID2:
            key = loginkeys::UserID2;
            break;
        case LoginColumn::Password:
            key = loginkeys::Password;
            break;
        case LoginColumn::Notes:
            key = keys::Notes;
            break;
        case LoginColumn::Name:
        case LoginColumn::Skip:
            break;
        }
        if (!key.isEmpty() && !row.at(i).isEmpty())
            out.keys.append({key, row.at(i)});
    }
    return out;
}

LoginImportOutcome importLoginRows(MyDocument& doc, const QList<QStringList>& rows, const QList<LoginColumn>& columns,
                                   const QString& parentPath)
{
    LoginImportOutcome out;
    const IndexItem* parent = parentPath.isEmpty() ? nullptr : doc.tree().itemForPath(parentPath);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const LoginImportRow row = planLoginImportRow(rows.at(i), columns);
        if (row.empty)
            continue;
        if (!row.problem.isEmpty() || out.stopped) {
            out.left.append(rows.at(i));
            out.problems.append(out.stopped ? QStringLiteral("The import stopped before this line.") : row.problem);
            continue;
        }
        const QString wanted = parent ? parentPath + u'/' + row.name : row.name;
        const QString path = doc.uniquePathForPath(wanted);
        const OperationResult made = doc.recordNewCategory(path, parent, -1);
        if (made.status == OperationResult::Status::Refused) {
            // This name is not allowed here (a reserved one): the row waits for another.
            out.left.append(rows.at(i));
            out.problems.append(made.message);
            continue;
        }
        if (made.status != OperationResult::Status::Done) {
            out.stopped = true;
            out.left.append(rows.at(i));
            out.problems.append(QStringLiteral("The folder \"%1\" could not be made.").arg(row.name));
            continue;
        }
        out.folders.append(path);
        QString notes;
        editLogin(doc, path, [&](IndexItem& folder) {
            bool changed = false;
            for (const auto& [key, value] : row.keys) {
                if (key == keys::Notes)
                    notes = value;
                else
                    changed = setLoginField(folder, key, value) || changed;
            }
            return changed;
        });
        if (!notes.isEmpty())
            saveNotes(doc, path, notes);
    }
    return out;
}

} // namespace folivo
