// attr DB ITEMPATH [NAME [VALUE]] [--delete NAME]: the custom attributes of one file or folder.

#include "commands/support.h"
#include "console.h"
#include "databasecommand.h"
#include "registry.h"
#include "terminalui.h"

#include "attributes/customattributes.h"
#include "store/indexitem.h"
#include "store/mydocument.h"

namespace folivo::cli {
namespace {

class AttrCommand : public DatabaseCommand {
public:
    AttrCommand()
        : DatabaseCommand({"attr", UsageGroup::Changing, 80,
                           {{"attr DB ITEMPATH", {"list the custom attributes of a file or folder, NAME<TAB>VALUE"}},
                            {"attr DB ITEMPATH NAME", {"print the value of one attribute (exit 1 when it has none)"}},
                            {"attr DB ITEMPATH NAME VALUE",
                             {"set an attribute, adding it when missing; NAME must be one of attr-names"}},
                            {"attr DB ITEMPATH --delete NAME", {"remove an attribute from the item"}}},
                           -2,
                           {QStringLiteral("--delete")}},
                          Access::Writing)
    {
    }
    QString checkUsage(const Invocation& call) const override
    {
        if (call.arguments.size() > 4)
            return QStringLiteral("Wrong number of arguments for attr.");
        if (call.options.deleteName && call.arguments.size() > 2)
            return QStringLiteral("--delete NAME takes no NAME or VALUE besides.");
        return {};
    }

protected:
    // Listing and reading share the database with other readers.
    Access access(const Invocation& call) const override
    {
        return call.arguments.size() == 4 || call.options.deleteName ? Access::Writing : Access::Reading;
    }
    int runOn(Invocation& call, MyDocument& doc, TerminalUi&) const override
    {
        Console& console = call.console;
        const QString path = itemPath(call.arguments[1]);
        const IndexItem* item = doc.tree().itemForPath(path);
        if (!item)
            return noItem(console, doc, path);
        if (!canCarryCustomAttributes(*item)) {
            console.err(QStringLiteral("%1 has no custom attributes: only files and folders of your own have them.")
                            .arg(path));
            return 1;
        }
        if (call.arguments.size() == 2 && !call.options.deleteName) {
            for (const AttributeEntry& e : customAttributesOf(*item))
                console.outLine(e.name + '\t' + e.value);
            return 0;
        }
        if (call.arguments.size() == 3) {
            const auto value = customAttributeValue(*item, call.arguments[2]);
            if (!value) {
                console.err(QStringLiteral("%1 has no attribute \"%2\".").arg(path, call.arguments[2]));
                return 1;
            }
            console.outLine(*value);
            return 0;
        }
        if (call.options.deleteName) {
            const QString& name = *call.options.deleteName;
            if (!customAttributeValue(*item, name)) {
                console.err(QStringLiteral("%1 has no attribute \"%2\".").arg(path, name));
                return 1;
            }
            if (!removeCustomAttribute(doc, path, name))
                return notChanged(console);
            console.outLine(QStringLiteral("Removed %1 from %2").arg(name, path));
            return saveChange(console, doc);
        }
        const QString& name = call.arguments[2];
        const QString& value = call.arguments[3];
        if (!doc.customAttributeNames().contains(name)) {
            console.err(QStringLiteral("\"%1\" is not a custom attribute name of this database; add it with "
                                       "attr-names DB --add %1 first.")
                            .arg(name));
            return 1;
        }
        if (customAttributeValue(*item, name) == value) {
            console.outLine(QStringLiteral("Nothing to change."));
            return 0;
        }
        if (!setCustomAttribute(doc, path, name, value))
            return notChanged(console);
        console.outLine(QStringLiteral("Set %1 of %2").arg(name, path));
        return saveChange(console, doc);
    }

private:
    static int notChanged(Console& console)
    {
        console.err(QStringLiteral("The change was not made."));
        return 1;
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(AttrCommand);
} // namespace folivo::cli
