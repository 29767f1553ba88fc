// mkdir DB PATH: a new folder.

#include "commands/support.h"
#include "console.h"
#include "databasecommand.h"
#include "registry.h"

#include "store/mydocument.h"

namespace folivo::cli {
namespace {

class MkdirCommand : public DatabaseCommand {
public:
    MkdirCommand()
        : DatabaseCommand({"mkdir", UsageGroup::Changing, 10,
                           {{"mkdir DB PATH [--index N]", {"make a folder; its parent is the folder part of PATH"}}}, 2,
                           {"--index"}},
                          Access::Writing)
    {
    }
    int runOn(Invocation& call, MyDocument& doc, TerminalUi& ui) const override
    {
        const QString path = itemPath(call.arguments[1]);
        if (path.isEmpty()) {
            call.console.err(QStringLiteral("A folder needs a name."));
            return 1;
        }
        bool found = false;
        const IndexItem* parent = folderArgument(doc, folderOf(path), &found);
        if (!found)
            return noItem(call.console, doc, folderOf(path));
        const OperationResult r = doc.recordNewCategory(path, parent, call.options.index.value_or(-1));
        return finishOperation(call, doc, ui, r, [&] { return QStringLiteral("Created folder %1").arg(r.resultPath); });
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(MkdirCommand);
} // namespace folivo::cli
