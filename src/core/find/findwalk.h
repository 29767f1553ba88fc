#pragma once
// Find next and find previous: a walk over the tree in the browser's order from the current
// selection to the next item that meets the criteria, wrapping round at either end, cut into
// steps so that a window can run it between events and stop it.

#include "find/criteria.h"

#include <QStringList>
#include <optional>

namespace folivo {

class IndexTree;
class MatchContext;

class FindWalk {
public:
    // `selected`: the path of the selected item, empty when nothing is selected. The walk
    // starts just after it (before it, backward); after a date folder that stands for a
    // lone file it starts after that file.
    FindWalk(IndexTree& tree, FindCriteria criteria, MatchContext& context, const QString& selected, bool backward);

    // Tests up to `count` further items; false once the walk found a match or came back
    // to where it began.
    bool step(int count);
    bool finished() const { return found_.has_value() || done_; }
    // The item that met the criteria, if the walk found one.
    const std::optional<QString>& found() const { return found_; }
    // The item to be tested next (where a stopped walk stopped); empty for an empty tree.
    QString current() const { return paths_.isEmpty() ? QString() : paths_[index_]; }
    qsizetype tested() const { return tested_; }
    qsizetype total() const { return paths_.size(); }

private:
    IndexTree& tree_;
    FindCriteria criteria_;
    MatchContext& context_;
    QStringList paths_;
    qsizetype start_ = 0;
    qsizetype index_ = 0;
    int direction_ = 1;
    qsizetype tested_ = 0;
    bool done_ = false;
    std::optional<QString> found_;
};

} // namespace folivo
