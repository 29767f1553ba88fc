// mv DB PATH FOLDER: an item into another folder, or to another place in its own.

#include "commands/support.h"
#include "databasecommand.h"
#include "registry.h"

#include "store/mydocument.h"

namespace folivo::cli {
namespace {

class MvCommand : public DatabaseCommand {
public:
    MvCommand()
        : DatabaseCommand({"mv", UsageGroup::Changing, 20,
                           {{"mv DB PATH FOLDER [--index N]", {"move an item into FOLDER"}}}, 3, {"--index"}},
                          Access::Writing)
    {
    }
    int runOn(Invocation& call, MyDocument& doc, TerminalUi& ui) const override
    {
        const QString path = itemPath(call.arguments[1]);
        const QString& folder = call.arguments[2];
        bool found = false;
        const IndexItem* parent = folderArgument(doc, folder, &found);
        if (!found)
            return noItem(call.console, doc, itemPath(folder));
        const OperationResult r = doc.recordMovePath(path, parent, call.options.index.value_or(-1));
        return finishOperation(call, doc, ui, r, [&] {
            return r.resultPath == path ? QStringLiteral("Moved %1 to another place in its folder").arg(path)
                                        : QStringLiteral("Moved %1 -> %2").arg(path, r.resultPath);
        });
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(MvCommand);
} // namespace folivo::cli
