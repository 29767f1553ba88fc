#include "store/tree.h"

#include "store/keys.h"
#include "store/months.h"

#include <algorithm>

namespace folivo {

IndexTree::IndexTree() : root_(std::make_unique<IndexItem>(plist::Dict{}, true)) {}

IndexTree::~IndexTree() = default;

const ItemList& IndexTree::childrenOf(const IndexItem* folder) const
{
    return folder ? folder->children_ : root_->children_;
}

namespace {

qsizetype countSubtree(const IndexItem& item)
{
    qsizetype n = 1;
    for (const auto& c : item.children())
        n += countSubtree(*c);
    return n;
}

} // namespace

void IndexTree::setParents(IndexItem* item)
{
    for (auto& c : item->children_) {
        c->parent_ = item;
        setParents(c.get());
    }
}

void IndexTree::reset(ItemList topLevel)
{
    const auto observers = observers_;
    for (TreeObserver* o : observers)
        o->treeWillReset();
    ItemList old = std::move(root_->children_);
    cache_.clear();
    flat_.clear();
    root_->children_ = std::move(topLevel);
    // Sizing the path cache once avoids rehashing it over and over while a large tree
    // is loaded.
    qsizetype count = 0;
    for (const auto& top : root_->children_)
        count += countSubtree(*top);
    cache_.reserve(count);
    for (auto& top : root_->children_) {
        top->parent_ = nullptr;
        setParents(top.get());
        cacheSubtree(top.get());
    }
    old.clear();
    for (TreeObserver* o : observers)
        o->treeDidReset();
}

void IndexTree::adoptChildren(IndexItem* parent, ItemList children)
{
    for (auto& c : children) {
        c->parent_ = parent;
        parent->children_.push_back(std::move(c));
    }
}

ItemList IndexTree::takeAll()
{
    const auto observers = observers_;
    for (TreeObserver* o : observers)
        o->treeWillReset();
    cache_.clear();
    flat_.clear();
    ItemList taken = std::move(root_->children_);
    root_->children_.clear();
    for (TreeObserver* o : observers)
        o->treeDidReset();
    return taken;
}

IndexItem* IndexTree::itemForPath(const QString& path) const
{
    if (path.isEmpty())
        return nullptr;
    return cache_.value(path, nullptr);
}

IndexItem* IndexTree::findCategoryWithPath(const QString& path, const IndexItem* start) const
{
    const ItemList& list = childrenOf(start);
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        if ((*it)->path() == path)
            return it->get();
        if ((*it)->hasChildren())
            if (IndexItem* found = findCategoryWithPath(path, it->get()))
                return found;
    }
    return nullptr;
}

void IndexTree::cacheSubtree(IndexItem* item)
{
    // The first item with a path wins, like the search from the end would find one of
    // them; loaders make paths unique before they get here. One lookup: the slot of a new
    // path starts as nullptr.
    IndexItem*& slot = cache_[item->path()];
    if (!slot)
        slot = item;
    for (auto& c : item->children_)
        cacheSubtree(c.get());
}

void IndexTree::uncacheSubtree(const IndexItem* item)
{
    for (const auto& c : item->children_)
        uncacheSubtree(c.get());
    auto it = cache_.find(item->path());
    if (it != cache_.end() && it.value() == item)
        cache_.erase(it);
}

IndexItem* IndexTree::insert(IndexItem* parent, std::unique_ptr<IndexItem> item, int index)
{
    ItemList& list = parent ? parent->children_ : root_->children_;
    item->parent_ = parent;
    setParents(item.get());
    IndexItem* raw = item.get();
    if (index < 0 || std::size_t(index) >= list.size())
        list.push_back(std::move(item));
    else
        list.insert(list.begin() + index, std::move(item));
    cacheSubtree(raw);
    flat_.clear();
    return raw;
}

int IndexTree::indexOf(const IndexItem* item) const
{
    const ItemList& list = childrenOf(item->parent_);
    for (std::size_t i = list.size(); i-- > 0;)
        if (list[i].get() == item)
            return int(i);
    return -1;
}

void IndexTree::notifyRemoval(const IndexItem& item)
{
    for (const auto& c : item.children_)
        notifyRemoval(*c);
    const auto observers = observers_; // an observer may unregister itself
    for (TreeObserver* o : observers)
        o->itemWillBeRemoved(item);
}

std::unique_ptr<IndexItem> IndexTree::take(IndexItem* item)
{
    const int i = indexOf(item);
    if (i < 0)
        return nullptr;
    notifyRemoval(*item);
    ItemList& list = item->parent_ ? item->parent_->children_ : root_->children_;
    std::unique_ptr<IndexItem> owned = std::move(list[std::size_t(i)]);
    list.erase(list.begin() + i);
    uncacheSubtree(owned.get());
    owned->parent_ = nullptr;
    flat_.clear();
    return owned;
}

void IndexTree::moveItem(IndexItem* item, IndexItem* newParent, int index)
{
    const int from = indexOf(item);
    if (from < 0)
        return;
    ItemList& source = item->parent_ ? item->parent_->children_ : root_->children_;
    std::unique_ptr<IndexItem> owned = std::move(source[std::size_t(from)]);
    source.erase(source.begin() + from);
    ItemList& target = newParent ? newParent->children_ : root_->children_;
    owned->parent_ = newParent;
    if (index < 0 || std::size_t(index) >= target.size())
        target.push_back(std::move(owned));
    else
        target.insert(target.begin() + index, std::move(owned));
    flat_.clear();
}

void IndexTree::replaceChildren(IndexItem* folder, ItemList children)
{
    if (!folder)
        return;
    for (const auto& c : folder->children_)
        notifyRemoval(*c);
    ItemList old = std::move(folder->children_);
    folder->children_.clear();
    for (const auto& c : old)
        uncacheSubtree(c.get());
    folder->children_ = std::move(children);
    for (auto& c : folder->children_) {
        c->parent_ = folder;
        setParents(c.get());
        cacheSubtree(c.get());
    }
    // The flat list leaves a smart folder's contents out, so it stays as it is for one.
    if (!folder->isSmartFolder())
        flat_.clear();
}

void IndexTree::setPath(IndexItem* item, const QString& path)
{
    const QString old = item->path();
    auto it = cache_.find(old);
    if (it != cache_.end() && it.value() == item)
        cache_.erase(it);
    item->setPathInternal(path);
    cache_.insert(path, item);
    const auto observers = observers_;
    for (TreeObserver* o : observers)
        o->itemPathChanged(*item, old);
}

namespace {

// The rank of an item in the ordering: plain items, years, then other date folders.
enum Rank { Plain = 0, Year = 1, OtherDate = 2 };

// The value of the leading decimal digits of a name, 0 when it has none.
bool hasYearValue(const QString& name)
{
    for (QChar c : name) {
        if (!c.isDigit() || c.unicode() > '9')
            break;
        if (c != '0')
            return true;
    }
    return false;
}

Rank rankOf(const IndexItem& item)
{
    if (!item.isDateFolder())
        return Plain;
    return hasYearValue(item.name()) ? Year : OtherDate;
}

int sign(int v)
{
    return v < 0 ? -1 : v > 0 ? 1 : 0;
}

} // namespace

int IndexTree::categoriesSort(const IndexItem& a, const IndexItem& b) const
{
    const Rank ra = rankOf(a), rb = rankOf(b);
    if (ra != rb)
        return ra < rb ? -1 : 1;
    const QString na = a.name(), nb = b.name();
    switch (ra) {
    case Plain:
        return sign(QString::compare(na, nb, sorting.ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive));
    case Year: {
        const int c = sign(QString::compare(na, nb, Qt::CaseSensitive));
        return sorting.yearDescending ? -c : c;
    }
    case OtherDate: {
        // A name that is not a month has no position, which counts as after December.
        int pa = KTMonths::position(na), pb = KTMonths::position(nb);
        if (pa < 0)
            pa = 12;
        if (pb < 0)
            pb = 12;
        if (pa != pb)
            return sorting.monthDescending ? (pa > pb ? -1 : 1) : (pa < pb ? -1 : 1);
        return sign(QString::compare(na, nb, Qt::CaseSensitive));
    }
    }
    return 0;
}

void IndexTree::sortByName(IndexItem* folder)
{
    ItemList& list = folder ? folder->children_ : root_->children_;
    std::stable_sort(list.begin(), list.end(),
                     [this](const auto& x, const auto& y) { return categoriesSort(*x, *y) < 0; });
    flat_.clear();
}

void IndexTree::sortDatesOnly(IndexItem* folder)
{
    ItemList& list = folder ? folder->children_ : root_->children_;
    auto firstDate = std::stable_partition(list.begin(), list.end(),
                                           [](const auto& x) { return !x->isDateFolder(); });
    std::stable_sort(firstDate, list.end(),
                     [this](const auto& x, const auto& y) { return categoriesSort(*x, *y) < 0; });
    flat_.clear();
}

void IndexTree::sortCategories(IndexItem* folder)
{
    if (sorting.keepSorted)
        sortByName(folder);
    else
        sortDatesOnly(folder);
    ItemList& list = folder ? folder->children_ : root_->children_;
    for (auto& c : list)
        if (c->hasChildren() && !c->isSmartFolder())
            sortCategories(c.get());
}

void IndexTree::appendFlat(const IndexItem* folder)
{
    for (const auto& c : childrenOf(folder)) {
        flat_.push_back(c.get());
        if (c->hasChildren() && !c->isSmartFolder())
            appendFlat(c.get());
    }
}

const std::vector<IndexItem*>& IndexTree::flatArray()
{
    if (flat_.empty()) {
        flat_.reserve(std::size_t(cache_.size()));
        appendFlat(nullptr);
    }
    return flat_;
}

int IndexTree::rebuildCategoriesFlatArrayIfNeeded()
{
    return int(flatArray().size());
}

std::unique_ptr<IndexItem> IndexTree::removeCategoryWithPath(const QString& path, const IndexItem* start)
{
    // The cache is exact, so it answers for the whole tree; below a folder, search it.
    IndexItem* found = start ? findCategoryWithPath(path, start) : itemForPath(path);
    return found ? take(found) : nullptr;
}

QString IndexTree::uniqueSmartFolderNameFor(const QString& name) const
{
    if (!itemForPath(name))
        return name;
    for (qint64 n = 2;; ++n) {
        const QString candidate = name + QString::number(n);
        if (!itemForPath(candidate))
            return candidate;
    }
}

IndexItem* IndexTree::onlyOneFileInDateFolder(IndexItem* item, int* increment)
{
    // Iterative: a hostile tree could nest date folders deeply.
    while (item && item->isDateFolder()) {
        if (increment)
            ++*increment;
        if (item->children_.size() != 1)
            return nullptr;
        IndexItem* only = item->children_.front().get();
        if (!only->hasChildren())
            return only->isSmartFile() ? nullptr : only;
        item = only;
    }
    return nullptr;
}

EditDecision IndexTree::canEditItem(const IndexItem& item, const EditContext& ctx)
{
    const bool unfiled = item.parent() == nullptr && item.path() == pkg::Unfiled;
    EditDecision d;
    if (!ctx.editButton && ctx.doubleClickMeaning != 0) {
        if (unfiled || !ctx.dbWriteable)
            return d;
        if (item.isSmartFile() || item.isSmartFolder())
            return d;
        if (item.isPlainFolder()) {
            d.editable = true;
            return d;
        }
        d.doubleAction = DoubleAction::OpenWithDefaultApp; // a file or a date folder
        return d;
    }
    if (item.isSmartFolder() && item.path() == pkg::LastImport && ctx.maintainLastImport)
        return d;
    if (item.isSmartFile() || item.isDateFolder() || unfiled || !ctx.dbWriteable)
        return d;
    d.editable = true;
    return d;
}

void IndexTree::addObserver(TreeObserver* observer)
{
    if (std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
        observers_.push_back(observer);
}

void IndexTree::removeObserver(TreeObserver* observer)
{
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void IndexTree::forEach(const std::function<void(IndexItem&)>& visit) const
{
    std::vector<IndexItem*> stack;
    for (auto it = root_->children_.rbegin(); it != root_->children_.rend(); ++it)
        stack.push_back(it->get());
    while (!stack.empty()) {
        IndexItem* item = stack.back();
        stack.pop_back();
        visit(*item);
        for (auto it = item->children_.rbegin(); it != item->children_.rend(); ++it)
            stack.push_back(it->get());
    }
}

} // namespace folivo
