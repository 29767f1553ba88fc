// debuginfo [DB ITEMPATH]: prints the debugging information a support request needs; with a
// database and an item, that item's keys are in it too, its secrets by their length only.

#include "console.h"
#include "databasecommand.h"
#include "registry.h"
#include "commands/support.h"

#include "debuginfo/debuginfo.h"
#include "prefs/ktprefs.h"
#include "reminders/noticestore.h"
#include "store/mydocument.h"

namespace folivo::cli {
namespace {

class DebugInfoCommand : public DatabaseCommand {
public:
    DebugInfoCommand()
        : DatabaseCommand({"debuginfo",
                           UsageGroup::Checking,
                           90,
                           {{"debuginfo [DB ITEMPATH]",
                             {"print the debugging information for a support request (the system, the",
                              "preferences, scheduled notifications, the end of Folivo's logs, crash",
                              "reports); with DB and ITEMPATH also that item's keys, secrets by length"}}},
                           0,
                           {}},
                          Access::Reading)
    {
    }

    // The database and the item are optional: they are kept aside here, so that the count
    // of arguments (none) holds for both forms, and put back when the database is opened.
    QString takeArguments(Invocation& call) const override
    {
        if (call.arguments.isEmpty())
            return {};
        if (call.arguments.size() != 2)
            return QStringLiteral("Wrong number of arguments for debuginfo.");
        call.options.own.push_back({QStringLiteral("item"), call.arguments});
        call.arguments.clear();
        return {};
    }

    int run(Invocation& call) const override
    {
        for (const auto& [name, values] : call.options.own)
            if (name == QLatin1String("item")) {
                call.arguments = values;
                return DatabaseCommand::run(call);
            }
        print(call, std::nullopt);
        return 0;
    }

    int runOn(Invocation& call, MyDocument& doc, TerminalUi&) const override
    {
        const IndexItem* item = doc.tree().itemForPath(itemPath(call.arguments[1]));
        if (!item)
            return noItem(call.console, doc, call.arguments[1]);
        print(call, itemDescriptionForDiagnostics(*item));
        return 0;
    }

private:
    static void print(Invocation& call, std::optional<QString> selected)
    {
        DebugInfoEnvironment env = systemDebugInfoEnvironment();
        env.preferences = call.applicationPrefs().description();
        env.selectedItem = std::move(selected);
        env.notices = NoticeStore().future(QDateTime::currentDateTime());
        const QByteArray text = buildDebugInfo(env).toUtf8() + '\n';
        call.console.writeOut(text.constData(), text.size());
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(DebugInfoCommand);
} // namespace folivo::cli
