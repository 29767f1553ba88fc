// parse-date TEXT: how the filing rules read a date (or a quarter such as 2q24).

#include "commands/support.h"
#include "console.h"
#include "registry.h"

#include "filing/filingrules.h"
#include "filing/ktdate.h"

namespace folivo::cli {
namespace {

class ParseDateCommand : public Command {
public:
    ParseDateCommand()
        : Command({"parse-date", UsageGroup::Filing, 10,
                   {{"parse-date TEXT [--european] [--trailing]", {"show the date (or quarter) TEXT is read as"}}}, 1,
                   {"--european", "--trailing"}})
    {
    }
    int run(Invocation& call) const override
    {
        const QString& text = call.arguments[0];
        int m = 0, d = 0, y = 0;
        const int n = parseDate(text, m, d, y, call.options.european, call.options.trailing);
        if (n > 0) {
            call.console.outLine(
                QStringLiteral("%1 (%2 characters)").arg(QDate(y, m, d).toString(QStringLiteral("yyyy-MM-dd"))).arg(n));
            return 0;
        }
        if (const auto q = parseQuarterYearFromString(text)) {
            call.console.outLine(QStringLiteral("quarter %1 \u2013 %2").arg(isoDay(q->start), isoDay(q->end)));
            return 0;
        }
        call.console.err(QStringLiteral("\"%1\" is not a date.").arg(text));
        return 1;
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(ParseDateCommand);
} // namespace folivo::cli
