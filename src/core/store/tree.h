#pragma once
// The index tree in memory: the top-level items (`categoriesArray`), the exact path cache
// (`itemFromPath`), the flat list, ordering, and the questions the browser asks.
// Nothing here touches the disk; MyDocument combines these with the package.

#include "store/indexitem.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace folivo {

// Whoever holds item pointers (history, reminders, smart folders, the browser model) is
// told before an item leaves the tree and after its path changes.
class TreeObserver {
public:
    virtual ~TreeObserver() = default;
    virtual void itemWillBeRemoved(const IndexItem& item) = 0;
    virtual void itemPathChanged(const IndexItem& item, const QString& oldPath) { (void)item, (void)oldPath; }
    // The whole tree is replaced (load, rebuild, close): every item pointer dies between
    // these two calls.
    virtual void treeWillReset() {}
    virtual void treeDidReset() {}
};

struct SortFlags {
    bool keepSorted = false;
    bool yearDescending = true;
    bool monthDescending = false;
    bool ignoreCase = false;
};

// What a double-click on a browser row does.
enum class DoubleAction { None, OpenWithDefaultApp };
struct EditDecision {
    bool editable = false;
    DoubleAction doubleAction = DoubleAction::None;
};
struct EditContext {
    bool editButton = false;        // the explicit edit-name action is running
    int doubleClickMeaning = 0;     // the global preference: 0 edits, otherwise opens
    bool dbWriteable = true;
    bool maintainLastImport = true; // the global preference "MaintainLastImport"
};

class IndexTree {
public:
    IndexTree();
    ~IndexTree();
    IndexTree(const IndexTree&) = delete;
    IndexTree& operator=(const IndexTree&) = delete;

    // The top-level items in display order.
    const ItemList& categoriesArray() const { return root_->children_; }
    // The children of `folder`, or the top level for nullptr.
    const ItemList& childrenOf(const IndexItem* folder) const;
    bool empty() const { return categoriesArray().empty(); }
    std::size_t size() const { return cache_.size(); }

    // Replaces the whole tree (load, rebuild or close); observers hear of it before and after.
    void reset(ItemList topLevel);
    // Gives a detached item (one being built by a loader) its children.
    static void adoptChildren(IndexItem* parent, ItemList children);
    ItemList takeAll();

    // Lookup. The path cache is exact (only this class changes the tree), so a miss is
    // an answer and never costs a search of the tree.
    IndexItem* itemForPath(const QString& path) const;
    // Searches from the last entry to the first, descending into children, as a fallback
    // that does not rely on the cache. `start` nullptr means the top level.
    IndexItem* findCategoryWithPath(const QString& path, const IndexItem* start) const;

    // Insertion: index -1 (or past the end) appends. The item and its descendants enter
    // the cache. Answers the inserted item.
    IndexItem* insert(IndexItem* parent, std::unique_ptr<IndexItem> item, int index = -1);
    // Takes an item (with its subtree) out of the tree after telling the observers.
    std::unique_ptr<IndexItem> take(IndexItem* item);
    // Moves an item (with its subtree) to another place in the tree, or to another index
    // among its siblings; index -1 (or past the end) appends. The item does not leave the
    // tree, so observers hear nothing: whoever holds it keeps it (paths change later
    // through setPath).
    void moveItem(IndexItem* item, IndexItem* newParent, int index);
    // Replaces all children of `folder` at once (a smart folder's computed contents): the
    // old ones leave the path cache after the observers heard of it, the new ones enter it.
    void replaceChildren(IndexItem* folder, ItemList children);
    // Changes one item's path (its descendants are the caller's business).
    void setPath(IndexItem* item, const QString& path);
    int indexOf(const IndexItem* item) const;

    // Ordering.
    SortFlags sorting;
    // Negative, zero or positive, like strcmp. A total order: plain items, then year
    // folders, then month folders, then any other date folders.
    int categoriesSort(const IndexItem& a, const IndexItem& b) const;
    void sortCategories(IndexItem* folder); // the folder's children and all below; nullptr: top
    void sortDatesOnly(IndexItem* folder);  // only moves date folders to the end, in order
    void sortByName(IndexItem* folder);     // one level, by categoriesSort

    // Flat list in pre-order, not descending into smart folders. Built on demand.
    const std::vector<IndexItem*>& flatArray();
    int rebuildCategoriesFlatArrayIfNeeded();
    void invalidateFlatArray() { flat_.clear(); }

    // Removes the entry for `path` found below `start` (nullptr: whole tree) from the tree
    // only: nothing on disk changes. Answers the removed subtree, or nullptr.
    std::unique_ptr<IndexItem> removeCategoryWithPath(const QString& path, const IndexItem* start = nullptr);

    QString uniqueSmartFolderNameFor(const QString& name) const;
    // For a date folder that leads to exactly one file, that file; counts the date folders
    // passed in `increment` when given.
    static IndexItem* onlyOneFileInDateFolder(IndexItem* item, int* increment);
    static EditDecision canEditItem(const IndexItem& item, const EditContext& context);

    void addObserver(TreeObserver* observer);
    void removeObserver(TreeObserver* observer);

    // Visits every item in pre-order (including smart folders' contents).
    void forEach(const std::function<void(IndexItem&)>& visit) const;

private:
    IndexItem* mutableItem(const IndexItem* item) const { return const_cast<IndexItem*>(item); }
    void cacheSubtree(IndexItem* item);
    void uncacheSubtree(const IndexItem* item);
    void notifyRemoval(const IndexItem& item);
    void appendFlat(const IndexItem* folder);
    static void setParents(IndexItem* item);

    std::unique_ptr<IndexItem> root_; // holds the top level as its children; never shown
    QHash<QString, IndexItem*> cache_;
    std::vector<IndexItem*> flat_;
    std::vector<TreeObserver*> observers_;
};

} // namespace folivo
