// export DB ITEMPATH... --to DIR: plain copies of items (folders with everything in them)
// written into a folder outside the database.

#include "console.h"
#include "databasecommand.h"
#include "registry.h"

#include "export/exportplan.h"
#include "export/messages.h"
#include "find/documentmatch.h"
#include "reports/report.h"
#include "reports/reportcriteria.h"
#include "smartfolders/smartfolders.h"
#include "store/mydocument.h"

#include <QDateTime>
#include <QFileInfo>

namespace folivo::cli {
namespace {

class ExportCommand : public DatabaseCommand {
public:
    ExportCommand()
        : DatabaseCommand({"export",
                           UsageGroup::Reading,
                           67,
                           {{"export DB ITEMPATH... --to DIR",
                             {"copy items out of the database into the folder DIR, deciphered;",
                              "a folder comes with everything in it, a PDF gets the extension",
                              "\".pdf\", and a name taken in DIR a free variant (name2.pdf)"}}},
                           -2,
                           {"--to"},
                           {{"--reports", 0, "--reports",
                             {"write the report of a smart folder that has one as NAME.csv"}}}},
                          Access::Reading)
    {
    }

    int runOn(Invocation& call, MyDocument& doc, TerminalUi&) const override
    {
        Console& console = call.console;
        const std::optional<QString>& to = call.options.to; // the folder to write into (it must exist)
        ExportSelection selection;
        for (const auto& [name, values] : call.options.own)
            if (name == QLatin1String("--reports"))
                selection.reportChosen = true;
        if (!to) {
            console.err(QStringLiteral("Say where to write with --to DIR."));
            return 2;
        }
        for (const QString& path : call.arguments.mid(1)) {
            IndexItem* item = doc.tree().itemForPath(path);
            if (!item) {
                console.err(QStringLiteral("There is no item \"%1\" in %2.").arg(path, doc.dbPath()));
                return 1;
            }
            // A smart folder's files are its members once it is loaded to its end.
            if (item->isSmartFolder() && !(selection.reportChosen && reportCriteriaOf(*item).hasCompleteLine())) {
                DocumentMatchContext context(doc);
                if (!doc.smartFolders().loadToCompletion(*item, context)) {
                    console.err(QStringLiteral("The smart folder \"%1\" could not be loaded.").arg(path));
                    return 1;
                }
            }
            selection.items << item;
        }
        const QDateTime now = QDateTime::currentDateTime();
        selection.makeReport = [&doc, now](const IndexItem& folder) -> std::optional<Report> {
            const ReportCriteria criteria = reportCriteriaOf(folder);
            if (!criteria.hasCompleteLine())
                return std::nullopt;
            // A report over a folder that was never loaded would be empty, not the folder's.
            SmartFolders& smart = doc.smartFolders();
            DocumentMatchContext context(doc);
            IndexItem* loaded = doc.tree().itemForPath(folder.path());
            if (!loaded || !smart.loadToCompletion(*loaded, context))
                return std::nullopt;
            return produceReportLinesAndHeaders(criteria, smart.members(*loaded), documentReportSources(doc, now));
        };
        const ExportOutcome outcome = Exporter(doc).exportInto(selection, QFileInfo(*to).absoluteFilePath());
        for (const QString& written : outcome.written)
            console.out(written + u'\n');
        if (!outcome.ok()) {
            console.err(exportmsg::ExportFailed + u'\n' + describeFailures(outcome.failures));
            return 1;
        }
        return 0;
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(ExportCommand);
} // namespace folivo::cli
