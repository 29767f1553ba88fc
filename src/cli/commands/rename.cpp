// rename DB PATH NEWNAME: a new name in the same folder.

#include "commands/support.h"
#include "databasecommand.h"
#include "registry.h"

#include "store/mydocument.h"

namespace folivo::cli {
namespace {

class RenameCommand : public DatabaseCommand {
public:
    RenameCommand()
        : DatabaseCommand({"rename", UsageGroup::Changing, 30,
                           {{"rename DB PATH NEWNAME", {"give an item a new name in the same folder"}}}, 3, {}},
                          Access::Writing)
    {
    }
    QString checkUsage(const Invocation& call) const override
    {
        const QString& newName = call.arguments[2];
        if (newName.isEmpty() || newName.contains('/'))
            return QStringLiteral("NEWNAME is a name, not a path: use mv to put an item elsewhere.");
        return {};
    }
    int runOn(Invocation& call, MyDocument& doc, TerminalUi& ui) const override
    {
        const QString path = itemPath(call.arguments[1]);
        const QString folder = folderOf(path);
        const QString& newName = call.arguments[2];
        const QString newPath = folder.isEmpty() ? newName : folder + '/' + newName;
        const OperationResult r = doc.recordRename(path, newPath);
        return finishOperation(call, doc, ui, r,
                               [&] { return QStringLiteral("Renamed %1 -> %2").arg(path, r.resultPath); });
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(RenameCommand);
} // namespace folivo::cli
