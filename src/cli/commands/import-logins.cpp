// import-logins DB FILE [--sep tab|comma|semicolon] [--columns LIST] [--to FOLDER]: a folder
// with a website login for every line of a file exported by another password keeper.

#include "commands/support.h"
#include "console.h"
#include "databasecommand.h"
#include "registry.h"

#include "logins/loginimport.h"
#include "store/mydocument.h"

#include <QFile>

namespace folivo::cli {
namespace {

std::optional<LoginSeparator> separatorNamed(const QString& word)
{
    if (word == QLatin1String("tab"))
        return LoginSeparator::Tab;
    if (word == QLatin1String("comma"))
        return LoginSeparator::Comma;
    if (word == QLatin1String("semicolon"))
        return LoginSeparator::Semicolon;
    return std::nullopt;
}

class ImportLoginsCommand : public DatabaseCommand {
public:
    ImportLoginsCommand()
        : DatabaseCommand(
              {"import-logins",
               UsageGroup::Filing,
               40,
               {{"import-logins DB FILE",
                 {"make a folder with a website login for every line of FILE (the export of",
                  "another password keeper); lines without a name are listed and left out"}}},
               2,
               {"--to"},
               {{"--sep", 1, "--sep tab|comma|semicolon",
                 {"what separates the fields (default: comma for .csv, semicolon for .ssv, else tab)"}},
                {"--columns", 1, "--columns LIST",
                 {"the file's columns in order, separated by commas: name, url, user1, user2,",
                  "password, notes, skip (default for the header \"Title,URL,Username,Password,Notes\":",
                  "name,url,user1,password,notes; else name,url,user1,user2,password,notes)"}}}},
              Access::Writing)
    {
    }

    QString checkUsage(const Invocation& call) const override
    {
        for (const auto& [name, values] : call.options.own) {
            if (name == QLatin1String("--sep") && !separatorNamed(values.first()))
                return QStringLiteral("--sep takes tab, comma or semicolon.");
            if (name == QLatin1String("--columns")) {
                QString problem;
                columnsFrom(values.first(), &problem);
                if (!problem.isEmpty())
                    return problem;
            }
        }
        return {};
    }

    int runOn(Invocation& call, MyDocument& doc, TerminalUi&) const override
    {
        Console& console = call.console;
        const QString file = call.arguments[1];
        QFile in(file);
        if (!in.open(QIODevice::ReadOnly)) {
            console.err(QStringLiteral("Cannot read %1: %2").arg(file, in.errorString()));
            return 1;
        }
        const QString text = decodeLoginFile(in.readAll());

        LoginSeparator separator = file.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive) ? LoginSeparator::Comma
                                   : file.endsWith(QLatin1String(".ssv"), Qt::CaseInsensitive)
                                       ? LoginSeparator::Semicolon
                                       : LoginSeparator::Tab;
        std::optional<QList<LoginColumn>> columns;
        for (const auto& [name, values] : call.options.own) {
            if (name == QLatin1String("--sep"))
                separator = *separatorNamed(values.first());
            else if (name == QLatin1String("--columns"))
                columns = columnsFrom(values.first(), nullptr);
        }
        if (!columns) {
            const bool exportHeader = text.section(u'\n', 0, 0).trimmed() == LoginExportHeader;
            columns = exportHeader ? exportHeaderColumns()
                                   : QList<LoginColumn>{LoginColumn::Name,     LoginColumn::URL,
                                                        LoginColumn::UserID1,  LoginColumn::UserID2,
                                                        LoginColumn::Password, LoginColumn::Notes};
        }

        QString parentPath;
        if (call.options.to) {
            bool found = false;
            const IndexItem* parent = folderArgument(doc, *call.options.to, &found);
            if (!found)
                return noItem(console, doc, *call.options.to);
            parentPath = parent ? itemPath(*call.options.to) : QString();
        }

        const LoginImportOutcome outcome = importLoginRows(doc, readLoginRows(text, separator), *columns, parentPath);
        for (const QString& folder : outcome.folders)
            console.outLine(QStringLiteral("Created folder %1").arg(folder));
        for (qsizetype i = 0; i < outcome.left.size(); ++i)
            // The line without its fields: they may hold a password.
            console.err(QStringLiteral("Not imported: a line of %1 field(s): %2")
                            .arg(outcome.left.at(i).size())
                            .arg(outcome.problems.value(i)));
        const int saved = outcome.folders.isEmpty() ? 0 : saveChange(console, doc);
        if (saved != 0 || outcome.stopped)
            return 1;
        return outcome.left.isEmpty() ? 0 : 1;
    }

private:
    static QList<LoginColumn> columnsFrom(const QString& list, QString* problem)
    {
        QList<LoginColumn> out;
        for (const QString& word : list.split(u',')) {
            const std::optional<LoginColumn> column = loginColumnNamed(word.trimmed());
            if (!column) {
                if (problem)
                    *problem = QStringLiteral("--columns: \"%1\" is not one of name, url, user1, user2, password, "
                                              "notes, skip.")
                                   .arg(word.trimmed());
                return {};
            }
            out.append(*column);
        }
        if (problem && !out.contains(LoginColumn::Name))
            *problem = QStringLiteral("--columns needs a name column.");
        return out;
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(ImportLoginsCommand);
} // namespace folivo::cli
