// logins DB [--json] [--show-passwords]: the folders with a website login, with the address
// and the user ID; passwords only when asked for.

#include "commands/support.h"
#include "console.h"
#include "databasecommand.h"
#include "registry.h"

#include "logins/loginrecord.h"
#include "store/indexitem.h"
#include "store/mydocument.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace folivo::cli {
namespace {

class LoginsCommand : public DatabaseCommand {
public:
    LoginsCommand()
        : DatabaseCommand({"logins",
                           UsageGroup::Reading,
                           72,
                           {{"logins DB", {"list the folders with a website login: FOLDER<TAB>ADDRESS<TAB>USER ID"}}},
                           1,
                           {},
                           {{"--json", 0, "--json", {"print an array of {folder, url, userID, userID2}"}},
                            {"--show-passwords", 0, "--show-passwords",
                             {"add the passwords (a fourth column; \"password\" in JSON)"}}}},
                          Access::Reading)
    {
    }

    int runOn(Invocation& call, MyDocument& doc, TerminalUi&) const override
    {
        bool json = false, passwords = false;
        for (const auto& [name, values] : call.options.own) {
            json = json || name == QLatin1String("--json");
            passwords = passwords || name == QLatin1String("--show-passwords");
        }
        QString lines;
        QJsonArray array;
        doc.tree().rebuildCategoriesFlatArrayIfNeeded();
        for (const IndexItem* item : doc.tree().flatArray()) {
            if (!item->isPlainFolder() || !hasLogin(*item))
                continue;
            const LoginRecord login = LoginRecord::of(*item);
            if (json) {
                QJsonObject o{{"folder", item->path()},
                              {"url", login.url},
                              {"userID", login.userID},
                              {"userID2", login.userID2}};
                if (passwords)
                    o.insert("password", login.password);
                array.append(o);
                continue;
            }
            QStringList fields{item->path(), login.url, login.userID};
            if (passwords)
                fields << login.password;
            lines += fields.join(u'\t') + u'\n';
        }
        call.console.out(json ? QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)) : lines);
        return 0;
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(LoginsCommand);
} // namespace folivo::cli
