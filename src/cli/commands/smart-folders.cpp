// smart-folders DB: the smart folders of a database, each loaded to its end, with its kind
// and how many files it holds.

#include "console.h"
#include "databasecommand.h"
#include "registry.h"

#include "find/documentmatch.h"
#include "smartfolders/smartfolders.h"
#include "store/keys.h"
#include "store/mydocument.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace folivo::cli {
namespace {

QString kindName(const IndexItem& folder)
{
    switch (smartFolderKind(folder).value_or(SmartFolderKind(-1))) {
    case SmartFolderKind::Conditions: return QStringLiteral("conditions");
    case SmartFolderKind::Tags: return QStringLiteral("tags");
    case SmartFolderKind::SelectedItems: return QStringLiteral("selected items");
    }
    return QStringLiteral("other");
}

class SmartFoldersCommand : public DatabaseCommand {
public:
    SmartFoldersCommand()
        : DatabaseCommand({"smart-folders",
                           UsageGroup::Reading,
                           65,
                           {{"smart-folders DB",
                             {"print each smart folder: its name, its kind (conditions, tags or",
                              "selected items) and the number of files it holds, tab-separated"}}},
                           1,
                           {},
                           {{"--json", 0, "--json", {"print an array of {name, type, kind, members, lastImport}"}}}},
                          Access::Reading)
    {
    }

    int runOn(Invocation& call, MyDocument& doc, TerminalUi&) const override
    {
        bool json = false;
        for (const auto& [name, values] : call.options.own)
            json = json || name == QLatin1String("--json");
        SmartFolders& smart = doc.smartFolders();
        DocumentMatchContext context(doc);
        QString lines;
        QJsonArray array;
        for (IndexItem* folder : smart.folders()) {
            // Loading is no change of the database, so it works on a database opened for
            // reading too; what it holds now is counted, not what the index last kept.
            smart.loadToCompletion(*folder, context);
            const qsizetype members = smart.members(*folder).size();
            if (!json) {
                lines += QStringLiteral("%1\t%2\t%3\n").arg(folder->path(), kindName(*folder)).arg(members);
                continue;
            }
            const plist::Value* type = folder->value(keys::SmartFolderType);
            array.append(QJsonObject{{"name", folder->path()},
                                     {"type", type ? qint64(type->toInt(0)) : 0},
                                     {"kind", kindName(*folder)},
                                     {"members", qint64(members)},
                                     {"lastImport", folder->flag(keys::SystemLastImportFolder)}});
        }
        if (json)
            call.console.out(QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)));
        else
            call.console.out(lines);
        return 0;
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(SmartFoldersCommand);
} // namespace folivo::cli
