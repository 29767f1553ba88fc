#include "browser/expansion.h"

#include "store/indexitem.h"
#include "store/tree.h"

namespace folivo {

namespace {

bool standsForOneFile(const IndexItem& item)
{
    return item.isDateFolder() && item.children().size() == 1 && !item.children().front()->hasChildren();
}

void walk(const IndexTree& tree, const IndexItem* folder, std::vector<const IndexItem*>& out)
{
    for (const auto& child : tree.childrenOf(folder)) {
        const IndexItem* item = child.get();
        if (!item->hasChildren() || item->children().empty() || standsForOneFile(*item))
            continue;
        out.push_back(item);
        if (!item->isSmartFolder())
            walk(tree, item, out);
    }
}

} // namespace

std::vector<const IndexItem*> foldersToExpand(const IndexTree& tree, const IndexItem* from)
{
    std::vector<const IndexItem*> out;
    if (from) {
        if (!from->hasChildren() || from->children().empty())
            return out;
        // Asked for by the person: it opens even when it stands for one file.
        out.push_back(from);
        if (from->isSmartFolder())
            return out;
    }
    walk(tree, from, out);
    return out;
}

} // namespace folivo
