// save DB: the index and settings of the package brought up to date.

#include "console.h"
#include "databasecommand.h"
#include "registry.h"

#include "store/mydocument.h"

namespace folivo::cli {
namespace {

class SaveCommand : public DatabaseCommand {
public:
    SaveCommand()
        : DatabaseCommand({"save", UsageGroup::Changing, 100,
                           {{"save DB", {"bring the index and settings of the package up to date"}}}, 1, {}},
                          Access::Writing)
    {
    }
    int runOn(Invocation& call, MyDocument& doc, TerminalUi&) const override
    {
        const SaveOutcome out = doc.saveChanges(false);
        if (!out.error.isEmpty()) {
            call.console.err(QStringLiteral("%1 was not completely saved: %2").arg(doc.dbPath(), out.error));
            return 1;
        }
        call.console.outLine((out.saved ? QStringLiteral("Saved %1") : QStringLiteral("Nothing to save in %1"))
                                 .arg(doc.dbPath()));
        return 0;
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(SaveCommand);
} // namespace folivo::cli
