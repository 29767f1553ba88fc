// create DB: a new, empty database.

#include "command.h"
#include "console.h"
#include "registry.h"
#include "terminalui.h"

#include "store/mydocument.h"

namespace folivo::cli {
namespace {

class CreateCommand : public Command {
public:
    CreateCommand()
        : Command({"create", UsageGroup::Reading, 10,
                   {{"create DB", {"create a new database (\".fvdb\" is added when missing)"}}}, 1, {}})
    {
    }
    int run(Invocation& call) const override
    {
        TerminalUi ui(call.console);
        MyDocument doc(ui);
        const OpenResult r = doc.createDatabase(call.arguments[0]);
        if (!r.ok()) {
            call.console.err(r.message);
            return 1;
        }
        call.console.outLine(doc.dbPath());
        return 0;
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(CreateCommand);
} // namespace folivo::cli
