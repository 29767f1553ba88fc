#pragma once
// Find next and find previous: a walk over the tree in the browser's order from the current
// selection to the next item that meets the criteria, wrapping round at either end, cut into
// steps so that a window can run it between events and stop it. The walk holds its own
// snapshot of the items and its own criteria: the tree may change between steps, and an
// item that left it meanwhile is passed over.

#include "find/criteria.h"
#include "find/itemsnapshot.h"

#include <QString>

namespace folivo {

class IndexTree;
class IndexItem;
class MatchContext;

class FindWalk : public TreeObserver {
public:
    // `selected`: the path of the selected item, empty when nothing is selected. The walk
    // starts just after it (before it, backward); after a date folder that stands for a
    // lone file it starts after that file. A smart file stands where its smart folder
    // stands, so the walk goes on with the item after the smart folder (before it, backward).
    FindWalk(IndexTree& tree, FindCriteria criteria, MatchContext& context, const QString& selected, bool backward);
    ~FindWalk() override;

    // Tests up to `count` further items; false once the walk found a match or came back
    // to where it began.
    bool step(int count);
    bool finished() const { return found_ != nullptr || done_; }
    // The item that met the criteria, if the walk found one and it is still in the tree.
    IndexItem* found() const { return found_; }
    // The item to be tested next (where a stopped walk stopped); nullptr for an empty tree
    // or an item that has gone.
    IndexItem* current() const { return snapshot_.size() ? snapshot_.at(index_) : nullptr; }
    // The flat index tested first; for tests.
    qsizetype start() const { return start_; }
    qsizetype tested() const { return tested_; }
    qsizetype total() const { return snapshot_.size(); }
    const FindCriteria& criteria() const { return criteria_; }

    // TreeObserver: a found item that leaves the tree is forgotten.
    void itemWillBeRemoved(const IndexItem& item) override;
    void treeWillReset() override { found_ = nullptr; }

private:
    IndexTree& tree_;
    FindCriteria criteria_;
    MatchContext& context_;
    FlatSnapshot snapshot_;
    qsizetype start_ = 0;
    qsizetype index_ = 0;
    int direction_ = 1;
    qsizetype tested_ = 0;
    bool done_ = false;
    IndexItem* found_ = nullptr;
};

} // namespace folivo
