// cat DB ITEMPATH: an item's plain content on standard output.

#include "console.h"
#include "databasecommand.h"
#include "registry.h"

#include "store/mydocument.h"

namespace folivo::cli {
namespace {

class CatCommand : public DatabaseCommand {
public:
    CatCommand()
        : DatabaseCommand({"cat", UsageGroup::Reading, 50,
                           {{"cat DB ITEMPATH",
                             {"write an item's content to standard output; for a folder item",
                              "(a document bundle) name a file inside it: Notes/Report.rtfd/TXT.rtf"}}},
                           2, {}},
                          Access::Reading)
    {
    }
    // The path may go on inside a folder item: the longest leading part that is a file
    // item names the item.
    int runOn(Invocation& call, MyDocument& doc, TerminalUi&) const override
    {
        Console& console = call.console;
        const QString& path = call.arguments[1];
        const QStringList parts = path.split('/');
        for (qsizetype n = parts.size(); n > 0; --n) {
            const QString itemPath = parts.mid(0, n).join('/');
            const IndexItem* item = doc.tree().itemForPath(itemPath);
            if (!item)
                continue;
            if (!item->isFile()) {
                console.err(QStringLiteral("\"%1\" is a folder, not a file.").arg(itemPath));
                return 1;
            }
            QString error;
            const bool ok = doc.readItemContent(
                itemPath, parts.mid(n).join('/'),
                [&](const char* data, qsizetype size) { return console.writeOut(data, size); }, &error);
            if (!console.flushOut() && ok) {
                console.err(QStringLiteral("The content could not be written out."));
                return 1;
            }
            if (!ok) {
                console.err(error);
                return 1;
            }
            return 0;
        }
        console.err(QStringLiteral("There is no item \"%1\" in %2.").arg(path, doc.dbPath()));
        return 1;
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(CatCommand);
} // namespace folivo::cli
