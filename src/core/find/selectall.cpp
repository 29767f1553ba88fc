#include "find/selectall.h"

#include "find/matcher.h"
#include "find/messages.h"
#include "store/tree.h"

namespace folivo {

QString findmsg::foundSoFar(qsizetype count)
{
    if (count == 0)
        return NoFilesFoundYet;
    if (count == 1)
        return OneFileFound;
    return FilesFound.arg(count);
}

QString findmsg::foundSelected(qsizetype count)
{
    if (count == 0)
        return NoFilesFound;
    if (count == 1)
        return OneFoundFileSelected;
    return FoundFilesSelected.arg(count);
}

const IndexItem* itemToSelectForItem(const IndexItem& item)
{
    const IndexItem* shown = &item;
    for (IndexItem* up = item.parent(); up && up->isDateFolder(); up = up->parent()) {
        if (IndexTree::onlyOneFileInDateFolder(up, nullptr) != &item)
            break;
        shown = up;
    }
    return shown;
}

SelectAllScan::SelectAllScan(IndexTree& tree, FindCriteria criteria, MatchContext& context)
    : tree_(tree), criteria_(std::move(criteria)), context_(context)
{
    tree_.rebuildCategoriesFlatArrayIfNeeded();
    const std::vector<IndexItem*>& flat = tree_.flatArray();
    paths_.reserve(qsizetype(flat.size()));
    for (const IndexItem* item : flat)
        paths_.append(item->path());
}

bool SelectAllScan::step(int count)
{
    for (int i = 0; i < count && next_ < paths_.size(); ++i) {
        const IndexItem* item = tree_.itemForPath(paths_[next_++]);
        if (!item || !matches(*item, criteria_, context_))
            continue;
        const IndexItem* shown = item->hasChildren() ? item : itemToSelectForItem(*item);
        if (!taken_.contains(shown->path())) {
            taken_.insert(shown->path());
            found_.append(shown->path());
        }
    }
    return !finished();
}

QStringList selectAllMatching(IndexTree& tree, const FindCriteria& criteria, MatchContext& context)
{
    SelectAllScan scan(tree, criteria, context);
    while (scan.step(4096)) {
    }
    return scan.found();
}

} // namespace folivo
