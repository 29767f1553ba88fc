// show DB ITEMPATH: every key of one item with its type, as JSON.

#include "commands/support.h"
#include "console.h"
#include "databasecommand.h"
#include "registry.h"

#include "plist/typedjson.h"
#include "store/mydocument.h"

namespace folivo::cli {
namespace {

class ShowCommand : public DatabaseCommand {
public:
    ShowCommand()
        : DatabaseCommand({"show", UsageGroup::Reading, 30,
                           {{"show DB ITEMPATH", {"print every key of one item with its type, as JSON"}}}, 2, {}},
                          Access::Reading)
    {
    }
    int runOn(Invocation& call, MyDocument& doc, TerminalUi&) const override
    {
        const IndexItem* item = doc.tree().itemForPath(call.arguments[1]);
        if (!item)
            return noItem(call.console, doc, call.arguments[1]);
        const QByteArray json = plist::toTypedJson(item->keys()) + '\n';
        call.console.writeOut(json.constData(), json.size());
        return 0;
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(ShowCommand);
} // namespace folivo::cli
