// attr-names DB [--add NAME] [--rename OLD NEW] [--delete NAME]: the custom attribute names
// of a database; a rename or deletion reaches every item, smart folder and the last search.

#include "commands/support.h"
#include "console.h"
#include "databasecommand.h"
#include "registry.h"
#include "terminalui.h"

#include "attributes/customattributes.h"
#include "attributes/messages.h"
#include "prefs/ktprefs.h"
#include "store/mydocument.h"

namespace folivo::cli {
namespace {

class AttrNamesCommand : public DatabaseCommand {
public:
    AttrNamesCommand()
        : DatabaseCommand({"attr-names", UsageGroup::Changing, 81,
                           {{"attr-names DB", {"list the custom attribute names of a database"}},
                            {"attr-names DB --add NAME", {"add a name (letters a-z and A-Z only)"}},
                            {"attr-names DB --rename OLD NEW",
                             {"rename a name in every file and folder, smart folder and the last search"}},
                            {"attr-names DB --delete NAME",
                             {"delete a name and every attribute using it; conditions and report lines",
                              "naming it are left with an empty name"}}},
                           1,
                           {QStringLiteral("--add"), QStringLiteral("--rename"), QStringLiteral("--delete")}},
                          Access::Writing)
    {
    }
    QString checkUsage(const Invocation& call) const override
    {
        const Options& o = call.options;
        if (int(o.addTags.size()) + int(o.renameName.has_value()) + int(o.deleteName.has_value()) > 1)
            return QStringLiteral("attr-names takes one of --add, --rename and --delete at a time.");
        return {};
    }

protected:
    Access access(const Invocation& call) const override
    {
        const Options& o = call.options;
        return !o.addTags.isEmpty() || o.renameName || o.deleteName ? Access::Writing : Access::Reading;
    }
    int runOn(Invocation& call, MyDocument& doc, TerminalUi&) const override
    {
        Console& console = call.console;
        const Options& o = call.options;
        QStringList names = doc.customAttributeNames();
        if (o.addTags.isEmpty() && !o.renameName && !o.deleteName) {
            for (const QString& n : names)
                console.outLine(n);
            return 0;
        }
        if (!o.addTags.isEmpty()) {
            const QString& name = o.addTags.first();
            if (const QString problem = newNameProblem(names, name); !problem.isEmpty()) {
                console.err(problem);
                return 1;
            }
            addAttributeName(names, name);
            doc.customAttributes().setNames(doc, names);
            console.outLine(QStringLiteral("Added %1").arg(name));
            return saveChange(console, doc);
        }
        const QString& old = o.renameName ? o.renameName->first : *o.deleteName;
        if (!names.contains(old)) {
            console.err(QStringLiteral("\"%1\" is not a custom attribute name of this database.").arg(old));
            return 1;
        }
        // The last search is kept with the application's preferences: read just before the
        // change and written at once, so that as little as possible comes between.
        KTPrefs& prefs = call.applicationPrefs();
        const plist::Dict before = prefs.prefsMutableDictionary();
        int items = 0;
        const AttributeProgress counted = [&](int, int total) { items = total; };
        if (o.renameName) {
            const QString& to = o.renameName->second;
            if (const QString problem = newNameProblem(names, to); !problem.isEmpty()) {
                console.err(problem);
                return 1;
            }
            customAttributeRename(doc, old, to, &prefs, counted);
            names.removeAll(old);
            addAttributeName(names, to);
            console.outLine(QStringLiteral("Renamed %1 -> %2 (%3 items changed)").arg(old, to).arg(items));
        } else {
            customAttributeNameDelete(doc, old, &prefs, counted);
            names.removeAll(old);
            console.outLine(QStringLiteral("Deleted %1 (%2 items changed)").arg(old).arg(items));
        }
        doc.customAttributes().setNames(doc, names);
        if (!(prefs.prefsMutableDictionary() == before) && !prefs.synchronize())
            console.err(QStringLiteral("The last search in the preferences could not be updated."));
        return saveChange(console, doc);
    }

private:
    static QString newNameProblem(const QStringList& names, const QString& name)
    {
        if (!isValidAttributeName(name))
            return QStringLiteral("\"%1\": a name has letters a-z and A-Z only, at least one.").arg(name);
        if (names.contains(name))
            return QStringLiteral("\"%1\" is a custom attribute name of this database already.").arg(name);
        return {};
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(AttrNamesCommand);
} // namespace folivo::cli
