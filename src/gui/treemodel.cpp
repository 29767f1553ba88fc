#include "treemodel.h"

namespace folivo::gui {

TreeModel::TreeModel(IndexTree& tree, QObject* parent) : QAbstractItemModel(parent), tree_(tree)
{
    tree_.addObserver(this);
}

TreeModel::~TreeModel()
{
    tree_.removeObserver(this);
}

IndexItem* TreeModel::itemFromIndex(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    return static_cast<IndexItem*>(index.internalPointer());
}

const ItemList* TreeModel::childrenOf(const QModelIndex& parent) const
{
    if (suspended())
        return nullptr;
    if (!parent.isValid())
        return &tree_.categoriesArray();
    if (parent.column() != 0)
        return nullptr;
    const IndexItem* item = itemFromIndex(parent);
    return item ? &item->children() : nullptr;
}

QModelIndex TreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0)
        return {};
    const ItemList* list = childrenOf(parent);
    if (!list || std::size_t(row) >= list->size())
        return {};
    handedOut_ = true;
    return createIndex(row, 0, (*list)[std::size_t(row)].get());
}

int TreeModel::rowOf(const IndexItem* item) const
{
    const ItemList& siblings = tree_.childrenOf(item->parent());
    auto hint = rowHints_.constFind(item);
    if (hint != rowHints_.constEnd() && std::size_t(*hint) < siblings.size() && siblings[std::size_t(*hint)].get() == item)
        return *hint;
    int found = -1;
    for (std::size_t i = 0; i < siblings.size(); ++i) {
        rowHints_.insert(siblings[i].get(), int(i));
        if (siblings[i].get() == item)
            found = int(i);
    }
    return found;
}

QModelIndex TreeModel::parent(const QModelIndex& child) const
{
    const IndexItem* item = itemFromIndex(child);
    if (!item || suspended())
        return {};
    const IndexItem* parentItem = item->parent();
    if (!parentItem)
        return {};
    const int row = rowOf(parentItem);
    if (row < 0)
        return {};
    handedOut_ = true;
    return createIndex(row, 0, const_cast<IndexItem*>(parentItem));
}

QModelIndex TreeModel::indexForItem(const IndexItem* item) const
{
    if (!item || suspended())
        return {};
    const int row = rowOf(item);
    if (row < 0)
        return {};
    handedOut_ = true;
    return createIndex(row, 0, const_cast<IndexItem*>(item));
}

int TreeModel::rowCount(const QModelIndex& parent) const
{
    const ItemList* list = childrenOf(parent);
    return list ? int(list->size()) : 0;
}

int TreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool TreeModel::hasChildren(const QModelIndex& parent) const
{
    const ItemList* list = childrenOf(parent);
    return list && !list->empty();
}

QVariant TreeModel::data(const QModelIndex& index, int role) const
{
    const IndexItem* item = itemFromIndex(index);
    if (!item || suspended())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return item->name();
    case Qt::DecorationRole:
        return icons_.iconFor(*item);
    case Qt::ToolTipRole:
        return item->path();
    default:
        return {};
    }
}

QVariant TreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return tr("Name");
    return {};
}

Qt::ItemFlags TreeModel::flags(const QModelIndex& index) const
{
    if (!itemFromIndex(index))
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void TreeModel::reload()
{
    beginResetModel();
    rowHints_.clear();
    handedOut_ = false;
    endResetModel();
}

void TreeModel::suspend()
{
    if (suspendCount_++ > 0)
        return;
    beginResetModel();
    rowHints_.clear();
    handedOut_ = false;
    endResetModel();
}

void TreeModel::resume()
{
    if (suspendCount_ == 0 || --suspendCount_ > 0)
        return;
    reload();
}

void TreeModel::itemWillBeRemoved(const IndexItem&)
{
    // The tree still holds the item, so the reset is consistent; afterwards no view holds
    // an index into the subtree. Later notices of the same removal find nothing handed out.
    if (handedOut_ && !suspended())
        reload();
}

void TreeModel::treeWillReset()
{
    // The old items die before treeDidReset; no index into them may outlive this.
    if (!suspended()) {
        beginResetModel();
        rowHints_.clear();
        handedOut_ = false;
        resetting_ = true;
    }
}

void TreeModel::treeDidReset()
{
    if (resetting_) {
        resetting_ = false;
        endResetModel();
    }
}

void TreeModel::itemPathChanged(const IndexItem& item, const QString&)
{
    const QModelIndex idx = indexForItem(&item);
    if (idx.isValid())
        emit dataChanged(idx, idx, {Qt::DisplayRole, Qt::DecorationRole, Qt::ToolTipRole});
}

} // namespace folivo::gui
