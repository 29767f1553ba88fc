// dump DB: the whole tree with every key and type, as JSON.

#include "console.h"
#include "databasecommand.h"
#include "registry.h"

#include "plist/typedjson.h"
#include "store/mydocument.h"

namespace folivo::cli {
namespace {

class DumpCommand : public DatabaseCommand {
public:
    DumpCommand()
        : DatabaseCommand({"dump", UsageGroup::Reading, 40,
                           {{"dump DB", {"print the whole tree with every key and type, as JSON"}}}, 1, {}},
                          Access::Reading)
    {
    }
    int runOn(Invocation& call, MyDocument& doc, TerminalUi&) const override
    {
        plist::Array top;
        for (const auto& item : doc.tree().categoriesArray())
            top.push_back(item->toValue());
        const QByteArray json = plist::toTypedJson(top) + '\n';
        call.console.writeOut(json.constData(), json.size());
        return 0;
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(DumpCommand);
} // namespace folivo::cli
