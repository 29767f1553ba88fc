#pragma once
// The back/forward history of what the person looked at in the browser of one database.
// An entry is one item, or a named group of items (a multiple selection, found or imported
// files, a deletion). Items are held by pointer only while they are in the tree: the tree
// tells the history when one leaves, and the entry then keeps the item's path, which is
// looked up again when the entry is next shown. Paths are also what is stored on disk, as
// the tree's items are new objects after every open.

#include "plist/value.h"
#include "store/tree.h"

#include <QSet>
#include <QString>
#include <optional>
#include <vector>

namespace folivo {

// The window's side of the history: it selects what the history shows and draws the Back
// and Forward buttons.
class HistoryView {
public:
    virtual ~HistoryView() = default;
    // Selects `items` in the browser (an empty list selects nothing) and shows `message`
    // in the path field, or, when it is empty, what the selection itself calls for. The
    // history is navigating: anything added to it during this call is ignored.
    virtual void showItems(const std::vector<IndexItem*>& items, const QString& message) = 0;
    virtual void backForwardChanged(bool canGoBack, bool canGoForward) = 0;
};

class History : public TreeObserver {
public:
    // Descriptions of groups added by the browser and by deletions.
    static inline const QString MultipleSelectionDescription = QStringLiteral("Multiple Items Selected in Browser");
    static inline const QString DeletedDescription = QStringLiteral("Selected Item(s) Were Deleted");
    // Keys of the stored file and of a stored group.
    static inline const QString ArrayKey = QStringLiteral("historyArray");
    static inline const QString IndexKey = QStringLiteral("historyIndex");
    static inline const QString GroupDescriptionKey = QStringLiteral("History");
    static inline const QString GroupItemsKey = QStringLiteral("Items");
    // The most entries kept: a select all adds one for every match, and ".history" must stay
    // small. The oldest go first.
    static constexpr int MaxEntries = 1000;

    // One item of an entry: a live item, or (item null) the path of one that is not
    // looked up yet or has left the tree.
    struct Member {
        IndexItem* item = nullptr;
        QString path;
        QString currentPath() const { return item ? item->path() : path; }
    };
    struct Entry {
        std::optional<QString> description; // set for a group
        std::vector<Member> members;        // exactly one for a single item
        bool isGroup() const { return description.has_value(); }
    };

    explicit History(IndexTree& tree);
    ~History() override;
    History(const History&) = delete;
    History& operator=(const History&) = delete;

    // The window attaches itself once it can show things (nullptr detaches); it is told
    // the buttons' state at once.
    void setView(HistoryView* view);

    // Adding. A new entry discards everything after the current one and becomes current;
    // the same item twice in a row, or a group with the same items as the last group, is
    // not added again. Items that are not in the tree are not taken.
    void addItem(IndexItem* item);
    void addItems(const std::vector<IndexItem*>& items, const QString& description);
    // The next add is ignored: a caller about to change the browser's selection itself
    // calls this first, so the change it causes is not recorded.
    void doNotAddNextTimeCalled() { doNotAddToHistory_ = true; }

    // Navigation. Entries whose items have all left the database are dropped on the way
    // and the nearest live entry in the same direction is shown instead.
    void back();
    void forward();
    // Shows entry `i` (0-based) and makes it current.
    void selectIndex(int i);
    // Shows the current entry; the window calls this once it is attached after an open.
    void showCurrent();
    bool canGoBack() const { return historyIndex_ >= 2; }
    bool canGoForward() const { return historyIndex_ < count(); }
    void enableBackForwardButtons();

    void clear();
    // Removes an item that is being deleted, and all its descendants, from every entry,
    // then records the deletion. Call it while the item is still in the tree.
    void deleteItem(const IndexItem& item);

    int count() const { return int(entries_.size()); }
    // The number of entries up to and including the current one; 0 when empty.
    int historyIndex() const { return historyIndex_; }
    const std::vector<Entry>& entries() const { return entries_; }

    // The stored form {"historyArray": entries as paths, "historyIndex": n}. With `keep`
    // false an empty history is stored; the history in memory is never changed by this.
    plist::Value archiveValue(bool keep) const;
    // Replaces the history with a stored one without showing anything. Anything that is not
    // a stored history gives an empty one (answered false); an index outside the entries is
    // brought inside them.
    bool restore(const std::optional<plist::Value>& stored);

    // TreeObserver
    void itemWillBeRemoved(const IndexItem& item) override;
    void itemPathChanged(const IndexItem& item, const QString& oldPath) override;
    void treeWillReset() override;

private:
    void add(Entry entry);
    Member memberFor(IndexItem* item);
    bool sameMember(const Member& a, const Member& b) const;
    // Looks the entry's paths up; false when it no longer leads anywhere.
    bool resolve(int i);
    void show(int i);
    // Shows the live entry nearest to `i`, looking toward older entries first or toward
    // newer ones first, and dropping dead entries on the way.
    void showNearest(int i, bool olderFirst);
    void eraseEntry(int i);

    IndexTree& tree_;
    HistoryView* view_ = nullptr;
    std::vector<Entry> entries_;
    int historyIndex_ = 0;
    bool doNotAddToHistory_ = false;
    bool navigating_ = false;
    // Every item an entry may hold (a superset), so that removals of the many items the
    // history never saw cost nothing.
    QSet<const IndexItem*> held_;
    // Whether any entry may hold a path, for the same reason with renames.
    bool mayHoldPaths_ = false;
};

} // namespace folivo
