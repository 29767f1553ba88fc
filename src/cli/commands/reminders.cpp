// reminders DB [--due] [--json]: the folders with reminders and their next dates, in date
// order, as the window lists them ("--due": only those whose day has come).

#include "commands/support.h"
#include "console.h"
#include "databasecommand.h"
#include "registry.h"

#include "reminders/reminder.h"
#include "reminders/reminders.h"
#include "store/indexitem.h"
#include "store/mydocument.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace folivo::cli {
namespace {

class RemindersCommand : public DatabaseCommand {
public:
    RemindersCommand()
        : DatabaseCommand({"reminders",
                           UsageGroup::Reading,
                           70,
                           {{"reminders DB",
                             {"list the folders with reminders, one \"DATE - FOLDER: WHAT\" a line, by date"}}},
                           1,
                           {"--european"},
                           {{"--due", 0, "--due", {"only the reminders whose day has come"}},
                            {"--json", 0, "--json",
                             {"print an array of {folder, date, due, checked, when, what}"}}}},
                          Access::Reading)
    {
    }

    int runOn(Invocation& call, MyDocument& doc, TerminalUi&) const override
    {
        bool dueOnly = false, json = false;
        for (const auto& [name, values] : call.options.own) {
            dueOnly = dueOnly || name == QLatin1String("--due");
            json = json || name == QLatin1String("--json");
        }
        Reminders& reminders = doc.reminders();
        const std::vector<IndexItem*>& list = dueOnly ? reminders.current() : reminders.all();
        QString lines;
        QJsonArray array;
        for (const IndexItem* folder : list) {
            const std::optional<ReminderDefinition> definition = Reminders::definitionOf(*folder);
            const std::optional<QDate> date = Reminders::dueDateOf(*folder);
            if (!definition || !date)
                continue;
            if (!json) {
                lines += reminderRowText(*date, folder->path(), *definition, call.options.european) + u'\n';
                continue;
            }
            array.append(QJsonObject{{"folder", folder->path()},
                                     {"date", date->toString(Qt::ISODate)},
                                     {"due", reminders.isDue(*folder)},
                                     {"checked", Reminders::checkedOf(*folder)},
                                     {"when", definition->when},
                                     {"what", reminderWhat(*definition)}});
        }
        call.console.out(json ? QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)) : lines);
        return 0;
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(RemindersCommand);
} // namespace folivo::cli
