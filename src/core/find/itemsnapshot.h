#pragma once
// The items of the tree in the browser's order at one moment (folders before their
// children, smart folders without theirs), held by handle for a walk that lasts across
// turns of the event loop. Operations may change the tree meanwhile (the import folder, a
// drop, the save timer): an item removed since reads as nullptr, a renamed or moved one goes
// on under its new path, and an item added since is not in the snapshot.

#include "store/tree.h"

#include <QHash>
#include <vector>

namespace folivo {

class FlatSnapshot : public TreeObserver {
public:
    explicit FlatSnapshot(IndexTree& tree);
    ~FlatSnapshot() override;
    FlatSnapshot(const FlatSnapshot&) = delete;
    FlatSnapshot& operator=(const FlatSnapshot&) = delete;

    qsizetype size() const { return qsizetype(items_.size()); }
    // The item at `i`, or nullptr when it has left the tree since.
    IndexItem* at(qsizetype i) const { return items_[std::size_t(i)]; }
    // Where `item` stands; -1 when it is not in the snapshot.
    qsizetype indexOf(const IndexItem* item) const { return index_.value(item, -1); }

    // TreeObserver
    void itemWillBeRemoved(const IndexItem& item) override;
    void treeWillReset() override;

private:
    IndexTree& tree_;
    std::vector<IndexItem*> items_;
    QHash<const IndexItem*, qsizetype> index_;
};

} // namespace folivo
