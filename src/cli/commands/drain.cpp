// drain DB: the database's import folder emptied once.

#include "commands/support.h"
#include "console.h"
#include "databasecommand.h"
#include "registry.h"

#include "filing/importfolder.h"
#include "store/mydocument.h"

namespace folivo::cli {
namespace {

class DrainCommand : public DatabaseCommand {
public:
    DrainCommand()
        : DatabaseCommand({"drain", UsageGroup::Changing, 90,
                           {{"drain DB [--settle SECONDS]",
                             {"empty the database's import folder once: files that did not",
                              "change for SECONDS (default 2) are imported, filed, and deleted",
                              "from the folder once their stored copies read back the same"}}},
                           1, {"--settle"}},
                          Access::Writing)
    {
    }
    int runOn(Invocation& call, MyDocument& doc, TerminalUi&) const override
    {
        Console& console = call.console;
        const DatabaseSettings& settings = doc.settings();
        if (!settings.importFolderEnabled || settings.importFolderPath.isEmpty()) {
            console.err(QStringLiteral("%1 has no import folder switched on.").arg(doc.dbPath()));
            return 1;
        }
        KTPrefs& prefs = call.applicationPrefs();
        doc.setApplicationPreferences(&prefs);
        DrainOptions options;
        options.settleMs = call.options.settle.value_or(2) * 1000;
        const DrainOutcome out = importFromImportFolder(doc, &prefs, {}, options);
        if (out.notFound || out.notWritable || out.declined)
            return 1;
        printImport(console, out.import, {});
        for (const QString& p : out.deleted)
            console.outLine(QStringLiteral("Deleted %1 from the import folder").arg(p));
        for (const QString& p : out.kept)
            console.outLine(QStringLiteral("Kept %1: it could not be deleted (it will not be imported again)").arg(p));
        for (const QString& p : out.unconfirmed)
            console.outLine(QStringLiteral("Kept %1: its stored copy did not read back the same").arg(p));
        for (const QString& p : out.waiting)
            console.outLine(QStringLiteral("Waiting for %1: it is still being written").arg(p));
        for (const QString& p : out.refused)
            console.outLine(
                QStringLiteral("Left %1: folders and Folivo databases are not imported from the import folder").arg(p));
        if (!out.ran) {
            console.outLine(QStringLiteral("Nothing to import."));
            return doc.saveChanges(false).error.isEmpty() ? 0 : 1;
        }
        return finishImport(console, doc, out.import, true);
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(DrainCommand);
} // namespace folivo::cli
