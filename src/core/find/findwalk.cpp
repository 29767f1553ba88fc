#include "find/findwalk.h"

#include "find/matcher.h"
#include "store/tree.h"

namespace folivo {

FindWalk::FindWalk(IndexTree& tree, FindCriteria criteria, MatchContext& context, const QString& selected, bool backward)
    : tree_(tree), criteria_(std::move(criteria)), context_(context), snapshot_(tree), direction_(backward ? -1 : 1)
{
    tree_.addObserver(this);
    const qsizetype count = snapshot_.size();
    if (count == 0) {
        done_ = true;
        return;
    }
    auto wrap = [count](qsizetype i) { return ((i % count) + count) % count; };

    IndexItem* item = selected.isEmpty() ? nullptr : tree_.itemForPath(selected);
    qsizetype at = item ? snapshot_.indexOf(item) : -1;
    // An item the walk does not visit (a smart file) stands where the nearest item above it
    // that it does visit stands. Going on from there forward tests the item right after the
    // smart folder first: a match just below the selection is the next match.
    for (IndexItem* up = item; item && at < 0 && up;) {
        up = up->parent();
        if (up)
            at = snapshot_.indexOf(up);
    }
    if (at < 0) {
        start_ = backward ? count - 1 : 0;
    } else if (backward) {
        start_ = wrap(at - 1);
    } else {
        qsizetype next = at + 1;
        // A lone file in date folders is shown by selecting the collapsed date folder: the
        // walk goes on after that file.
        int increment = 0;
        if (snapshot_.at(at) == item && IndexTree::onlyOneFileInDateFolder(item, &increment))
            next += increment;
        start_ = next >= count ? 0 : next;
    }
    index_ = start_;
}

FindWalk::~FindWalk()
{
    tree_.removeObserver(this);
}

void FindWalk::itemWillBeRemoved(const IndexItem& item)
{
    if (&item == found_)
        found_ = nullptr;
}

bool FindWalk::step(int count)
{
    const qsizetype n = snapshot_.size();
    for (int i = 0; i < count && !finished(); ++i) {
        ++tested_;
        if (IndexItem* item = snapshot_.at(index_); item && matches(*item, criteria_, context_)) {
            found_ = item;
            return false;
        }
        index_ = ((index_ + direction_) % n + n) % n;
        if (index_ == start_)
            done_ = true;
    }
    return !finished();
}

} // namespace folivo
