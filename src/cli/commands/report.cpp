// report DB SMARTFOLDER: the report of a smart folder, loaded to its end first, as a table,
// as JSON, or written to a CSV file.

#include "console.h"
#include "databasecommand.h"
#include "registry.h"

#include "find/documentmatch.h"
#include "reports/messages.h"
#include "reports/report.h"
#include "reports/reportcsv.h"
#include "smartfolders/smartfolders.h"
#include "store/mydocument.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace folivo::cli {
namespace {

class ReportCommand : public DatabaseCommand {
public:
    ReportCommand()
        : DatabaseCommand({"report",
                           UsageGroup::Reading,
                           66,
                           {{"report DB SMARTFOLDER",
                             {"print the report of a smart folder (loaded to its end first): a",
                              "header of column titles, then one tab-separated line a file"}}},
                           2,
                           {},
                           {{"--csv", 1, "--csv FILE", {"write the report to FILE as comma-separated values"}},
                            {"--json", 0, "--json", {"print {folder, columns, lines: [{date, values}]}"}}}},
                          Access::Reading)
    {
    }

    int runOn(Invocation& call, MyDocument& doc, TerminalUi&) const override
    {
        bool json = false;
        std::optional<QString> csv;
        for (const auto& [name, values] : call.options.own) {
            if (name == QLatin1String("--json"))
                json = true;
            else if (name == QLatin1String("--csv"))
                csv = values.first();
        }
        const QString& name = call.arguments[1];
        IndexItem* folder = doc.tree().itemForPath(name);
        if (!folder || !folder->isSmartFolder() || folder->parent()) {
            call.console.err(QStringLiteral("No smart folder \"%1\".").arg(name));
            return 1;
        }
        const ReportCriteria criteria = reportCriteriaOf(*folder);
        if (!criteria.hasCompleteLine()) {
            call.console.err(reportmsg::NothingToExport.arg(name));
            return 1;
        }
        // A report over a folder that was never loaded would be empty, not the folder's.
        SmartFolders& smart = doc.smartFolders();
        DocumentMatchContext context(doc);
        if (!smart.loadToCompletion(*folder, context)) {
            call.console.err(reportmsg::LoadStopped.arg(name));
            return 1;
        }
        const Report report = produceReportLinesAndHeaders(criteria, smart.members(*folder),
                                                           documentReportSources(doc, QDateTime::currentDateTime()));
        if (csv) {
            const QString path = QFileInfo(*csv).absoluteFilePath();
            const Result<void> written = exportReportToFile(report, path);
            if (!written.ok()) {
                call.console.err(reportmsg::ExportFailed.arg(path, written.error().detail));
                return 1;
            }
        }
        const QList<int> columns = keptReportColumns(report, defaultReportColumnOrder());
        const bool european = DocumentMatchContext::europeanDatesOf(doc);
        if (json) {
            QJsonArray titles, lines;
            for (int c : columns)
                if (c > 0)
                    titles.append(reportTableTitle(report, c));
            for (const ReportLine& line : report.lines) {
                QJsonArray values;
                for (int c : columns)
                    if (c > 0)
                        values.append(line.values[std::size_t(c - 1)].text);
                lines.append(QJsonObject{{"date", csvDateText(line.date)},
                                         {"dateText", reportDateText(line.date, criteria.dateFormat, european)},
                                         {"values", values}});
            }
            call.console.out(QString::fromUtf8(
                QJsonDocument(QJsonObject{{"folder", name}, {"columns", titles}, {"lines", lines}})
                    .toJson(QJsonDocument::Indented)));
        } else if (!csv) {
            QStringList header;
            for (int c : columns)
                header << reportTableTitle(report, c);
            QString text = header.join(u'\t') + u'\n';
            for (const ReportLine& line : report.lines) {
                QStringList cells;
                for (int c : columns)
                    cells << (c == 0 ? reportDateText(line.date, criteria.dateFormat, european)
                                     : line.values[std::size_t(c - 1)].text);
                text += cells.join(u'\t') + u'\n';
            }
            call.console.out(text);
        }
        return 0;
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(ReportCommand);
} // namespace folivo::cli
