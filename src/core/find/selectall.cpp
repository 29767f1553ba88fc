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

const IndexItem* itemToSelectForFound(const IndexItem& item)
{
    return item.hasChildren() ? &item : itemToSelectForItem(item);
}

SelectAllScan::SelectAllScan(IndexTree& tree, FindCriteria criteria, MatchContext& context)
    : tree_(tree), criteria_(std::move(criteria)), context_(context), snapshot_(tree)
{
}

bool SelectAllScan::step(int count)
{
    for (int i = 0; i < count && next_ < snapshot_.size(); ++i) {
        const IndexItem* item = snapshot_.at(next_++);
        if (!item || !matches(*item, criteria_, context_))
            continue;
        // The date folders a lone file is shown by come before it in the walk, so they are
        // in the snapshot too.
        const qsizetype shown = snapshot_.indexOf(itemToSelectForFound(*item));
        if (shown >= 0 && !taken_.contains(shown)) {
            taken_.insert(shown);
            found_.push_back(shown);
        }
    }
    return !finished();
}

std::vector<IndexItem*> SelectAllScan::foundItems() const
{
    std::vector<IndexItem*> items;
    items.reserve(found_.size());
    for (qsizetype i : found_)
        if (IndexItem* item = snapshot_.at(i))
            items.push_back(item);
    return items;
}

QStringList SelectAllScan::found() const
{
    QStringList paths;
    for (const IndexItem* item : foundItems())
        paths << item->path();
    return paths;
}

QStringList selectAllMatching(IndexTree& tree, const FindCriteria& criteria, MatchContext& context)
{
    SelectAllScan scan(tree, criteria, context);
    while (scan.step(4096)) {
    }
    return scan.found();
}

} // namespace folivo
