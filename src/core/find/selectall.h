#pragma once
// Selecting every item that meets the criteria: a walk over the tree in the browser's
// order, cut into steps so that a window can run it between events and stop it.

#include "find/criteria.h"
#include "find/itemsnapshot.h"

#include <QSet>
#include <QStringList>
#include <vector>

namespace folivo {

class IndexTree;
class IndexItem;
class MatchContext;

// The item a found file is selected as: a lone file in date folders is shown by its
// outermost such date folder, collapsed.
const IndexItem* itemToSelectForItem(const IndexItem& item);
// The item a found item is selected as: a folder itself, a file by itemToSelectForItem.
const IndexItem* itemToSelectForFound(const IndexItem& item);

class SelectAllScan {
public:
    // The items are taken when the scan starts, in the browser's order (folders before
    // their children, smart folders without theirs); an item removed meanwhile is passed
    // over, and one found and removed afterwards is no longer among the found.
    SelectAllScan(IndexTree& tree, FindCriteria criteria, MatchContext& context);

    // Tests up to `count` further items; false once the walk is through.
    bool step(int count);
    bool finished() const { return next_ >= snapshot_.size(); }
    qsizetype position() const { return next_; }
    qsizetype total() const { return snapshot_.size(); }
    // How many items to select were found so far (removed ones included).
    qsizetype foundCount() const { return qsizetype(found_.size()); }
    // The items to select that are still in the tree, in the walk's order, each once.
    std::vector<IndexItem*> foundItems() const;
    QStringList found() const;

private:
    IndexTree& tree_;
    FindCriteria criteria_;
    MatchContext& context_;
    FlatSnapshot snapshot_;
    qsizetype next_ = 0;
    std::vector<qsizetype> found_; // indexes into the snapshot
    QSet<qsizetype> taken_;
};

// The whole walk at once (the command line, tests).
QStringList selectAllMatching(IndexTree& tree, const FindCriteria& criteria, MatchContext& context);

} // namespace folivo
