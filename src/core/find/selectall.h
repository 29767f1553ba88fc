#pragma once
// Selecting every item that meets the criteria: a walk over the tree in the browser's
// order, cut into steps so that a window can run it between events and stop it.

#include "find/criteria.h"

#include <QSet>
#include <QStringList>

namespace folivo {

class IndexTree;
class IndexItem;
class MatchContext;

// The item a found file is selected as: a lone file in date folders is shown by its
// outermost such date folder, collapsed.
const IndexItem* itemToSelectForItem(const IndexItem& item);

class SelectAllScan {
public:
    // The items are taken by path when the scan starts, in the browser's order (folders
    // before their children, smart folders without theirs); an item removed meanwhile is
    // passed over.
    SelectAllScan(IndexTree& tree, FindCriteria criteria, MatchContext& context);

    // Tests up to `count` further items; false once the walk is through.
    bool step(int count);
    bool finished() const { return next_ >= paths_.size(); }
    qsizetype position() const { return next_; }
    qsizetype total() const { return paths_.size(); }
    // The paths to select, in the walk's order, each once.
    const QStringList& found() const { return found_; }

private:
    IndexTree& tree_;
    FindCriteria criteria_;
    MatchContext& context_;
    QStringList paths_;
    qsizetype next_ = 0;
    QStringList found_;
    QSet<QString> taken_;
};

// The whole walk at once (the command line, tests).
QStringList selectAllMatching(IndexTree& tree, const FindCriteria& criteria, MatchContext& context);

} // namespace folivo
