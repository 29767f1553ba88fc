// rm DB PATH: an item with everything inside it.

#include "commands/support.h"
#include "databasecommand.h"
#include "registry.h"

#include "store/mydocument.h"

namespace folivo::cli {
namespace {

class RmCommand : public DatabaseCommand {
public:
    RmCommand()
        : DatabaseCommand({"rm", UsageGroup::Changing, 40,
                           {{"rm DB PATH", {"delete an item with everything inside it"}}}, 2, {}},
                          Access::Writing)
    {
    }
    int runOn(Invocation& call, MyDocument& doc, TerminalUi& ui) const override
    {
        const QString path = itemPath(call.arguments[1]);
        const OperationResult r = doc.recordDelete(path);
        return finishOperation(call, doc, ui, r, [&] { return QStringLiteral("Deleted %1").arg(path); });
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(RmCommand);
} // namespace folivo::cli
