#pragma once
// The browser's model: one column over the index tree, read-only.
//
// Each index carries its IndexItem* as internal pointer. A row number is found through
// the parent's children list, with remembered rows so that a folder of 100,000 items
// does not cost a scan per lookup. Views keep indexes (current item, expanded folders,
// selection) and an index whose item has gone would be a dangling pointer, so whenever
// the tree is about to lose an item, or is replaced, the model resets while every item
// it ever handed out is still alive.

#include "itemicons.h"

#include "store/tree.h"

#include <QAbstractItemModel>
#include <QHash>

namespace folivo::gui {

class TreeModel : public QAbstractItemModel, public TreeObserver {
    Q_OBJECT
public:
    explicit TreeModel(IndexTree& tree, QObject* parent = nullptr);
    ~TreeModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    IndexItem* itemFromIndex(const QModelIndex& index) const;
    // The index of an item in the tree; invalid for nullptr, an item not in the tree, or
    // while the model is suspended.
    QModelIndex indexForItem(const IndexItem* item) const;

    // The tree changed wholesale: views start over.
    void reload();
    // While suspended the model shows nothing, so the tree may be replaced underneath
    // (loading, rebuilding, closing) even while events are processed. Nested calls count.
    void suspend();
    void resume();
    bool suspended() const { return suspendCount_ > 0; }

    const IndexTree& tree() const { return tree_; }

    // TreeObserver
    void itemWillBeRemoved(const IndexItem& item) override;
    void treeWillReset() override;
    void treeDidReset() override;
    void itemPathChanged(const IndexItem& item, const QString& oldPath) override;

private:
    int rowOf(const IndexItem* item) const;
    const ItemList* childrenOf(const QModelIndex& parent) const;

    IndexTree& tree_;
    ItemIcons icons_;
    int suspendCount_ = 0;
    // Whether any index was handed out since the last reset; if not, nobody can hold an
    // item and a removal needs no reset.
    mutable bool handedOut_ = false;
    bool resetting_ = false;
    // Row hints, checked against the parent's list before use (the tree may have been
    // sorted or changed since), and rebuilt for a whole sibling list on a miss.
    mutable QHash<const IndexItem*, int> rowHints_;
};

} // namespace folivo::gui
