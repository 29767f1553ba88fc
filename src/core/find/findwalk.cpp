#include "find/findwalk.h"

#include "find/matcher.h"
#include "store/tree.h"

namespace folivo {

FindWalk::FindWalk(IndexTree& tree, FindCriteria criteria, MatchContext& context, const QString& selected, bool backward)
    : tree_(tree), criteria_(std::move(criteria)), context_(context), direction_(backward ? -1 : 1)
{
    tree_.rebuildCategoriesFlatArrayIfNeeded();
    const std::vector<IndexItem*>& flat = tree_.flatArray();
    paths_.reserve(qsizetype(flat.size()));
    for (const IndexItem* item : flat)
        paths_.append(item->path());
    const qsizetype count = paths_.size();
    if (count == 0) {
        done_ = true;
        return;
    }
    auto wrap = [count](qsizetype i) { return ((i % count) + count) % count; };

    IndexItem* item = selected.isEmpty() ? nullptr : tree_.itemForPath(selected);
    qsizetype at = item ? paths_.indexOf(item->path()) : -1;
    // An item the walk does not visit (a smart file) stands where the nearest item above it
    // that it does visit stands; the walk starts over from there.
    IndexItem* up = item;
    while (item && at < 0 && up) {
        up = up->parent();
        if (up)
            at = paths_.indexOf(up->path());
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
        if (item && item->path() == paths_[at] && IndexTree::onlyOneFileInDateFolder(item, &increment))
            next += increment;
        start_ = next >= count ? 0 : next;
    }
    index_ = start_;
}

bool FindWalk::step(int count)
{
    for (int i = 0; i < count && !finished(); ++i) {
        const QString& path = paths_[index_];
        ++tested_;
        if (const IndexItem* item = tree_.itemForPath(path); item && matches(*item, criteria_, context_)) {
            found_ = path;
            return false;
        }
        const qsizetype n = paths_.size();
        index_ = ((index_ + direction_) % n + n) % n;
        if (index_ == start_)
            done_ = true;
    }
    return !finished();
}

} // namespace folivo
