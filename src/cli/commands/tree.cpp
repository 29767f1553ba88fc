// tree DB: the tree, one item a line, indented, kinds marked.

#include "console.h"
#include "databasecommand.h"
#include "registry.h"

#include "store/mydocument.h"

namespace folivo::cli {
namespace {

const char* marker(const IndexItem& item)
{
    switch (item.kind()) {
    case ItemKind::Folder: return "/";
    case ItemKind::DateFolder: return "/ [date]";
    case ItemKind::SmartFolder: return " [smart folder]";
    case ItemKind::SmartFile: return " [smart file]";
    case ItemKind::File: return "";
    }
    return "";
}

void printTree(QString& out, const ItemList& items, int level)
{
    for (const auto& item : items) {
        out += QString(level * 2, ' ') + item->name() + QString::fromLatin1(marker(*item)) + '\n';
        if (item->hasChildren() && !item->isSmartFolder())
            printTree(out, item->children(), level + 1);
    }
}

class TreeCommand : public DatabaseCommand {
public:
    TreeCommand()
        : DatabaseCommand({"tree", UsageGroup::Reading, 20,
                           {{"tree DB", {"print the tree, one item a line, indented, kinds marked"}}}, 1, {}},
                          Access::Reading)
    {
    }
    int runOn(Invocation& call, MyDocument& doc, TerminalUi&) const override
    {
        QString out;
        printTree(out, doc.tree().categoriesArray(), 0);
        call.console.out(out);
        return 0;
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(TreeCommand);
} // namespace folivo::cli
