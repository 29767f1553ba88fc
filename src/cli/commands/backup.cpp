// backup DB: a numbered copy of the package in the backup folder.

#include "console.h"
#include "databasecommand.h"
#include "registry.h"
#include "terminalui.h"

#include "prefs/ktprefs.h"
#include "store/mydocument.h"

#include <QFileInfo>

namespace folivo::cli {
namespace {

class BackupCommand : public DatabaseCommand {
public:
    BackupCommand()
        : DatabaseCommand({"backup", UsageGroup::Changing, 110,
                           {{"backup DB [--to DIR] [--keep K]",
                             {"copy the package into DIR as \"1<name>\", shifting older copies",
                              "up and keeping K+1; DIR and K default to the preferences"}}},
                           1, {"--to", "--keep"}},
                          Access::Writing)
    {
    }
    int runOn(Invocation& call, MyDocument& doc, TerminalUi& ui) const override
    {
        const Options& o = call.options;
        BackupSettings settings;
        if (!o.to || !o.keep)
            settings = BackupSettings::from(&call.applicationPrefs());
        if (o.to)
            settings.folder = QFileInfo(*o.to).absoluteFilePath();
        if (o.keep)
            settings.keep = *o.keep;
        if (settings.folder.isEmpty()) {
            call.console.err(QStringLiteral("No backup folder is set in the preferences; name one with --to DIR."));
            return 1;
        }
        const BackupOutcome out = doc.backupDatabase(settings);
        if (!out.ok) {
            ui.report(out.error.isEmpty() ? QStringLiteral("The backup was not made.") : out.error);
            return 1;
        }
        call.console.outLine(QStringLiteral("Backed up %1 -> %2").arg(doc.dbPath(), out.path));
        return 0;
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(BackupCommand);
} // namespace folivo::cli
