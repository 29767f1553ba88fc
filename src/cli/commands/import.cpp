// import DB FILE...: files and folders imported and filed as the window does.

#include "commands/support.h"
#include "console.h"
#include "databasecommand.h"
#include "registry.h"

#include "filing/importpipeline.h"
#include "store/mydocument.h"

#include <QDir>
#include <QFileInfo>

namespace folivo::cli {
namespace {

class ImportCommand : public DatabaseCommand {
public:
    ImportCommand()
        : DatabaseCommand({"import", UsageGroup::Changing, 80,
                           {{"import DB FILE... [--to FOLDER] [--no-autofile]",
                             {"import files and folders and file them by the filing rules, as",
                              "the window does with FOLDER selected in the browser; prints where",
                              "each one went and its dates; a folder is imported as a hierarchy"}}},
                           -2, {"--to", "--no-autofile"}},
                          Access::Writing)
    {
    }
    int runOn(Invocation& call, MyDocument& doc, TerminalUi&) const override
    {
        ImportContext context;
        if (!folderOption(call, doc, &context.browserSelection))
            return 1;
        QStringList paths;
        QHash<QString, QString> typed;
        for (const QString& f : call.arguments.mid(1)) {
            const QFileInfo info(f);
            if (!info.exists() && !info.isSymLink()) {
                call.console.err(QStringLiteral("There is no file \"%1\".").arg(f));
                return 1;
            }
            const QString abs = QDir::cleanPath(info.absoluteFilePath());
            paths << abs;
            typed.insert(abs, f);
        }
        KTPrefs& prefs = call.applicationPrefs();
        doc.setApplicationPreferences(&prefs);
        ImportPipeline pipeline(doc, &prefs);
        ImportRequest request;
        request.paths = paths;
        request.autoFile = !call.options.noAutofile;
        const ImportOutcome outcome = pipeline.doImport(request, context);
        if (!outcome.ran) {
            call.console.err(QStringLiteral("%1 does not take imports (it is read-only).").arg(doc.dbPath()));
            return 1;
        }
        return finishImport(call.console, doc, outcome, printImport(call.console, outcome, typed));
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(ImportCommand);
} // namespace folivo::cli
