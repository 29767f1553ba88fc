// help COMMAND: how one command is called.

#include "console.h"
#include "registry.h"

namespace folivo::cli {
namespace {

class HelpCommand : public Command {
public:
    HelpCommand()
        : Command({"help", UsageGroup::Help, 10,
                   {{"help COMMAND", {"show how COMMAND is called and the options it takes"}}}, 1, {}})
    {
    }
    QString checkUsage(const Invocation& call) const override
    {
        if (!CommandRegistry::instance().find(call.arguments[0]))
            return QStringLiteral("Unknown command %1.").arg(call.arguments[0]);
        return {};
    }
    int run(Invocation& call) const override
    {
        call.console.out(commandHelp(*CommandRegistry::instance().find(call.arguments[0])));
        return 0;
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(HelpCommand);
} // namespace folivo::cli
