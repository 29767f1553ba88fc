#include "history/history.h"

#include <algorithm>
#include <cstdint>
#include <functional>

namespace folivo {

History::History(IndexTree& tree) : tree_(tree)
{
    entries_.reserve(10);
    tree_.addObserver(this);
}

History::~History()
{
    tree_.removeObserver(this);
}

void History::setView(HistoryView* view)
{
    view_ = view;
    enableBackForwardButtons();
}

void History::enableBackForwardButtons()
{
    if (view_)
        view_->backForwardChanged(canGoBack(), canGoForward());
}

// ---------------------------------------------------------------------------------------
// Adding

History::Member History::memberFor(IndexItem* item)
{
    held_.insert(item);
    return Member{item, QString()};
}

bool History::sameMember(const Member& a, const Member& b) const
{
    if (a.item && b.item)
        return a.item == b.item;
    // A path not looked up yet is the same as the live item it names.
    return a.currentPath() == b.currentPath();
}

void History::addItem(IndexItem* item)
{
    // An item outside the tree would never be reported as removed, and could not be held.
    if (!item || tree_.itemForPath(item->path()) != item)
        return;
    Entry entry;
    entry.members.push_back(memberFor(item));
    add(std::move(entry));
}

void History::addItems(const std::vector<IndexItem*>& items, const QString& description)
{
    Entry entry;
    entry.description = description;
    entry.members.reserve(items.size());
    for (IndexItem* item : items)
        if (item && tree_.itemForPath(item->path()) == item)
            entry.members.push_back(memberFor(item));
    add(std::move(entry));
}

void History::add(Entry entry)
{
    // Showing an entry changes the browser's selection, which must not add it again.
    if (navigating_)
        return;
    if (doNotAddToHistory_) {
        doNotAddToHistory_ = false;
        return;
    }
    bool forwardDropped = false;
    if (count() > historyIndex_) {
        entries_.erase(entries_.begin() + historyIndex_, entries_.end());
        forwardDropped = true;
    }
    if (!entries_.empty()) {
        const Entry& last = entries_.back();
        bool same = false;
        if (!last.isGroup() && !entry.isGroup())
            same = last.members.size() == 1 && entry.members.size() == 1 && sameMember(last.members[0], entry.members[0]);
        else if (last.isGroup() && entry.isGroup())
            same = std::equal(last.members.begin(), last.members.end(), entry.members.begin(), entry.members.end(),
                              [this](const Member& a, const Member& b) { return sameMember(a, b); });
        if (same) {
            if (forwardDropped)
                enableBackForwardButtons();
            return;
        }
    }
    entries_.push_back(std::move(entry));
    if (count() > MaxEntries)
        entries_.erase(entries_.begin(), entries_.begin() + (count() - MaxEntries));
    historyIndex_ = count();
    enableBackForwardButtons();
}

// ---------------------------------------------------------------------------------------
// Navigation

bool History::resolve(int i)
{
    if (i < 0 || i >= count())
        return false;
    Entry& entry = entries_[std::size_t(i)];
    const bool hadMembers = !entry.members.empty();
    for (auto it = entry.members.end(); it != entry.members.begin();) {
        --it;
        if (it->item)
            continue;
        if (IndexItem* found = tree_.itemForPath(it->path)) {
            *it = memberFor(found);
        } else {
            it = entry.members.erase(it);
        }
    }
    // A group recorded without items (a deletion) still shows its description.
    if (entry.isGroup())
        return !hadMembers || !entry.members.empty();
    return !entry.members.empty();
}

void History::show(int i)
{
    const Entry& entry = entries_[std::size_t(i)];
    std::vector<IndexItem*> items;
    items.reserve(entry.members.size());
    for (const Member& m : entry.members)
        if (m.item)
            items.push_back(m.item);
    const QString message = entry.description.value_or(QString());
    if (!view_)
        return;
    navigating_ = true;
    view_->showItems(items, message);
    navigating_ = false;
}

void History::eraseEntry(int i)
{
    entries_.erase(entries_.begin() + i);
    if (historyIndex_ > i)
        --historyIndex_;
}

void History::showNearest(int i, bool olderFirst)
{
    auto showAt = [this](int j) {
        historyIndex_ = j + 1;
        show(j);
    };
    auto walkOlder = [&](int j) {
        for (; j >= 0; --j) {
            if (resolve(j)) {
                showAt(j);
                return true;
            }
            eraseEntry(j);
        }
        return false;
    };
    auto walkNewer = [&](int j) {
        while (j < count()) {
            if (resolve(j)) {
                showAt(j);
                return true;
            }
            eraseEntry(j);
        }
        return false;
    };
    if (!entries_.empty()) {
        i = std::clamp(i, 0, count() - 1);
        // When one direction holds nothing live, every entry passed was dropped, so the
        // other direction starts at the near end of what is left.
        if (olderFirst ? !walkOlder(i) && !walkNewer(0) : !walkNewer(i) && !walkOlder(count() - 1))
            historyIndex_ = 0;
    } else {
        historyIndex_ = 0;
    }
    enableBackForwardButtons();
}

void History::back()
{
    if (canGoBack())
        showNearest(historyIndex_ - 2, true);
}

void History::forward()
{
    if (canGoForward())
        showNearest(historyIndex_, false);
}

void History::selectIndex(int i)
{
    if (i < 0 || i >= count())
        return;
    showNearest(i, historyIndex_ > i);
}

void History::showCurrent()
{
    if (entries_.empty())
        enableBackForwardButtons();
    else
        selectIndex(historyIndex_ - 1);
}

// ---------------------------------------------------------------------------------------
// Clearing and deleting

void History::clear()
{
    entries_.clear();
    historyIndex_ = 0;
    held_.clear();
    mayHoldPaths_ = false;
    enableBackForwardButtons();
}

void History::deleteItem(const IndexItem& item)
{
    // One pass over the history for the whole subtree: a large folder against a long
    // history must not cost their product.
    QSet<const IndexItem*> items;
    QSet<QString> paths;
    std::function<void(const IndexItem&)> collect = [&](const IndexItem& i) {
        items.insert(&i);
        paths.insert(i.path());
        for (const auto& child : i.children())
            collect(*child);
    };
    collect(item);
    auto gone = [&](const Member& m) { return m.item ? items.contains(m.item) : paths.contains(m.path); };

    for (int j = count() - 1; j >= 0; --j) {
        Entry& entry = entries_[std::size_t(j)];
        const std::size_t before = entry.members.size();
        std::erase_if(entry.members, gone);
        // A group that only held deleted items goes; one recorded empty stays.
        if (entry.members.empty() && (before > 0 || !entry.isGroup()))
            entries_.erase(entries_.begin() + j);
    }
    historyIndex_ = count();
    enableBackForwardButtons();
    addItems({}, DeletedDescription);
}

// ---------------------------------------------------------------------------------------
// The tree's reports

void History::itemWillBeRemoved(const IndexItem& item)
{
    if (!held_.remove(&item))
        return;
    for (Entry& entry : entries_)
        for (Member& m : entry.members)
            if (m.item == &item) {
                m.path = item.path();
                m.item = nullptr;
                mayHoldPaths_ = true;
            }
}

void History::itemPathChanged(const IndexItem& item, const QString& oldPath)
{
    // Items held by pointer follow by themselves; paths naming the old place follow here.
    if (!mayHoldPaths_)
        return;
    bool anyPath = false;
    for (Entry& entry : entries_)
        for (Member& m : entry.members)
            if (!m.item) {
                anyPath = true;
                if (m.path == oldPath)
                    m.path = item.path();
            }
    mayHoldPaths_ = anyPath;
}

void History::treeWillReset()
{
    for (Entry& entry : entries_)
        for (Member& m : entry.members)
            if (m.item) {
                m.path = m.item->path();
                m.item = nullptr;
                mayHoldPaths_ = true;
            }
    held_.clear();
}

// ---------------------------------------------------------------------------------------
// Stored form

plist::Value History::archiveValue(bool keep) const
{
    plist::Array list;
    std::int64_t index = 0;
    if (keep) {
        list.reserve(entries_.size());
        for (const Entry& entry : entries_) {
            if (!entry.isGroup()) {
                if (!entry.members.empty())
                    list.push_back(entry.members.front().currentPath());
                continue;
            }
            plist::Array items;
            items.reserve(entry.members.size());
            for (const Member& m : entry.members)
                items.push_back(m.currentPath());
            list.push_back(plist::Dict{{GroupDescriptionKey, *entry.description}, {GroupItemsKey, std::move(items)}});
        }
        index = historyIndex_;
    }
    return plist::Dict{{ArrayKey, std::move(list)}, {IndexKey, plist::Value(index)}};
}

namespace {

// A stored path: a string, or a whole item record that carries one.
std::optional<QString> storedPath(const plist::Value& v)
{
    if (v.isString() && !v.string().isEmpty())
        return v.string();
    if (v.isDict())
        if (const plist::Value* p = v.dict().find(QStringLiteral("Path")); p && p->isString() && !p->string().isEmpty())
            return p->string();
    return std::nullopt;
}

} // namespace

bool History::restore(const std::optional<plist::Value>& stored)
{
    entries_.clear();
    historyIndex_ = 0;
    held_.clear();
    mayHoldPaths_ = false;

    const plist::Value* list = stored && stored->isDict() ? stored->dict().find(ArrayKey) : nullptr;
    if (!list || !list->isArray()) {
        enableBackForwardButtons();
        return false;
    }
    const plist::Value* storedIndex = stored->dict().find(IndexKey);
    std::int64_t wanted = 0;
    if (storedIndex && storedIndex->isUnsigned())
        wanted = std::int64_t(std::min<std::uint64_t>(storedIndex->unsignedValue(), INT64_MAX));
    else if (storedIndex && storedIndex->isNumber())
        wanted = storedIndex->toInt(0);

    std::int64_t position = 0;
    for (const plist::Value& v : list->array()) {
        ++position;
        Entry entry;
        const plist::Value* description = v.isDict() ? v.dict().find(GroupDescriptionKey) : nullptr;
        if (description) {
            const plist::Value* items = v.dict().find(GroupItemsKey);
            if (!description->isString() || !items || !items->isArray())
                continue;
            entry.description = description->string();
            for (const plist::Value& member : items->array())
                if (const auto path = storedPath(member))
                    entry.members.push_back(Member{nullptr, *path});
            // A group whose members are all unreadable is damage, not a record of a deletion.
            if (entry.members.empty() && !items->array().empty())
                continue;
        } else if (const auto path = storedPath(v)) {
            entry.members.push_back(Member{nullptr, *path});
        } else {
            continue;
        }
        entries_.push_back(std::move(entry));
        // The current entry stays current when entries before it could not be read.
        if (position <= wanted)
            historyIndex_ = count();
    }
    // A history stored by an edition without a bound keeps its newest entries; when the
    // current one was older, the oldest kept one becomes current.
    if (count() > MaxEntries) {
        const int dropped = count() - MaxEntries;
        entries_.erase(entries_.begin(), entries_.begin() + dropped);
        historyIndex_ -= dropped;
    }
    if (!entries_.empty())
        historyIndex_ = std::clamp(historyIndex_, 1, count());
    mayHoldPaths_ = !entries_.empty();
    enableBackForwardButtons();
    return true;
}

} // namespace folivo
