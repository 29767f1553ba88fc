// dup DB PATH: a copy of a file in "Unfiled".

#include "commands/support.h"
#include "databasecommand.h"
#include "registry.h"

#include "store/mydocument.h"

namespace folivo::cli {
namespace {

class DupCommand : public DatabaseCommand {
public:
    DupCommand()
        : DatabaseCommand({"dup", UsageGroup::Changing, 50,
                           {{"dup DB PATH", {"duplicate a file into \"Unfiled\""}}}, 2, {}},
                          Access::Writing)
    {
    }
    int runOn(Invocation& call, MyDocument& doc, TerminalUi& ui) const override
    {
        const QString path = itemPath(call.arguments[1]);
        const OperationResult r = doc.recordDuplicate(path, QStringLiteral("Unfiled"));
        return finishOperation(call, doc, ui, r,
                               [&] { return QStringLiteral("Duplicated %1 -> %2").arg(path, r.resultPath); });
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(DupCommand);
} // namespace folivo::cli
