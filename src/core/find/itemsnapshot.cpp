#include "find/itemsnapshot.h"

namespace folivo {

FlatSnapshot::FlatSnapshot(IndexTree& tree) : tree_(tree)
{
    tree_.rebuildCategoriesFlatArrayIfNeeded();
    items_ = tree_.flatArray();
    index_.reserve(qsizetype(items_.size()));
    for (std::size_t i = 0; i < items_.size(); ++i)
        index_.insert(items_[i], qsizetype(i));
    tree_.addObserver(this);
}

FlatSnapshot::~FlatSnapshot()
{
    tree_.removeObserver(this);
}

void FlatSnapshot::itemWillBeRemoved(const IndexItem& item)
{
    // The tree tells of every item of a removed subtree, smart files among them, which the
    // snapshot does not hold.
    const auto it = index_.find(&item);
    if (it == index_.end())
        return;
    items_[std::size_t(it.value())] = nullptr;
    index_.erase(it);
}

void FlatSnapshot::treeWillReset()
{
    std::fill(items_.begin(), items_.end(), nullptr);
    index_.clear();
}

} // namespace folivo
