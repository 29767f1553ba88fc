#pragma once
// The browser's model: one column over the index tree of one document. Names are edited
// in place and items are dragged and dropped through it; every change it makes to the
// package is a recorded operation of the document.
//
// Each index carries its IndexItem* as internal pointer. A row number is found through
// the parent's children list, with remembered rows so that a folder of 100,000 items
// does not cost a scan per lookup. Views keep indexes (current item, expanded folders,
// selection) and an index whose item has gone would be a dangling pointer, so whenever
// the tree is about to lose an item, or is replaced, the model resets while every item
// it ever handed out is still alive. After a drop of its own the model resets too,
// whatever the window does. A rename of its own is told with fine-grained signals
// instead (the row's data, and a layout change when its siblings were sorted again): a
// reset would make the window expand every expanded folder again and lay out the whole
// tree, which after Expand All costs far more than the rename.

#include "browser/itemicons.h"

#include "crypto/storedforms.h"
#include "store/tree.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QPersistentModelIndex>
#include <vector>

namespace folivo {
class MyDocument;
struct DropDescription;
}

namespace folivo::gui {

// Drag forms of the browser.
namespace mime {
inline const QString Items = QStringLiteral("application/x-folivo-fv-items");
inline const QString Logins = QStringLiteral("application/x-folivo-pw-items");
inline const QString DBPath = QStringLiteral("application/x-folivo-db-path");
inline const QString FileNames = QStringLiteral("text/uri-list");
} // namespace mime

class TreeModel : public QAbstractItemModel, public TreeObserver {
    Q_OBJECT
public:
    explicit TreeModel(MyDocument& document, QObject* parent = nullptr);
    ~TreeModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // A typed name: checked, and when it is good recorded as a rename as soon as control
    // returns to the event loop (after the editor has closed); otherwise calloutRequested
    // says why and nothing changes.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    Qt::DropActions supportedDragActions() const override;
    Qt::DropActions supportedDropActions() const override;
    QStringList mimeTypes() const override;
    // Nothing (no drag) when a smart file is among the items.
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

    // Whether the folder at `index` springs open while `data` is dragged over it.
    bool springsOpen(const QModelIndex& index, const QMimeData* data) const;
    // The files the last drag out handed to other programs: private copies, by the item
    // each is a copy of.
    struct HandedOut {
        QString itemPath;
        QString copyPath;
    };
    QList<HandedOut> lastDragCopies() const;

    IndexItem* itemFromIndex(const QModelIndex& index) const;
    // The index of an item in the tree; invalid for nullptr, an item not in the tree, or
    // while the model is suspended.
    QModelIndex indexForItem(const IndexItem* item) const;

    // What decides whether a name may be edited: the window sets it from the preferences
    // and while its edit-name command runs. The database's own writability counts as well.
    void setEditContext(const EditContext& context) { editContext_ = context; }
    const EditContext& editContext() const { return editContext_; }

    // The tree changed wholesale: views start over.
    void reload();
    // While suspended the model shows nothing, so the tree may be replaced underneath
    // (loading, rebuilding, closing) even while events are processed. Nested calls count.
    void suspend();
    void resume();
    bool suspended() const { return suspendCount_ > 0; }

    const IndexTree& tree() const;
    MyDocument& document() const { return doc_; }

    // TreeObserver
    void itemWillBeRemoved(const IndexItem& item) override;
    void treeWillReset() override;
    void treeDidReset() override;
    void itemPathChanged(const IndexItem& item, const QString& oldPath) override;

signals:
    // A message to show beside the row of `index` (a refused name); sent once the editor
    // has closed.
    void calloutRequested(const QModelIndex& index, const QString& message);
    // After calloutRequested for a name already in use: the row goes back into editing.
    void editAgainRequested(const QModelIndex& index);
    // Files from outside were dropped: the window imports them through the import
    // pipeline into `parentPath` ("" for the top level). `index` is the position as the
    // pipeline takes it: one before the place of the first file, -1 for none.
    void importRequested(const QStringList& paths, const QString& parentPath, int index);
    // Items to select after a change, with the line the window shows (empty: leave it).
    void selectRequested(const QStringList& paths, const QString& message);
    // An item of the tree has a new path (renamed, or moved with its folder); for whoever
    // keeps items by path across resets.
    void pathChanged(const QString& oldPath, const QString& newPath);

private:
    int rowOf(const IndexItem* item) const;
    const ItemList* childrenOf(const QModelIndex& parent) const;
    bool writable() const;
    void renameNow(const QString& oldPath, const QString& newPath, const QPersistentModelIndex& where);
    // The views start over, now (reload() waits while a rename of the model's own runs).
    void resetNow();
    // Around a rename of the model's own: the order of the siblings as the views know it
    // is kept and answered until they have been told (holdOrder), and then they are told
    // what the rename did (tellRenamed). False when the tree changed in a way a rename
    // does not explain; the caller resets then.
    void holdOrder(const IndexItem* folder);
    bool tellRenamed(const QString& newPath);
    EditContext effectiveEditContext() const;
    // The drop as the pure rule sees it; false when the target is not a place at all.
    bool describeDrop(const QMimeData* data, Qt::DropAction action, int row, int column, const QModelIndex& parent,
                      DropDescription& out) const;
    void dropItems(const DropDescription& drop, QStringList& select);
    void dropLogins(const QMimeData* data, const QString& folderPath, int row, QStringList& select);

    MyDocument& doc_;
    IndexTree& tree_;
    ItemIcons icons_;
    EditContext editContext_;
    int suspendCount_ = 0;
    // Whether any index was handed out since the last reset; if not, nobody can hold an
    // item and a removal needs no reset.
    mutable bool handedOut_ = false;
    bool resetting_ = false;
    // Row hints, checked against the parent's list before use (the tree may have been
    // sorted or changed since), and rebuilt for a whole sibling list on a miss.
    mutable QHash<const IndexItem*, int> rowHints_;
    // While a rename of the model's own runs: the store's requests to reload wait for the
    // model to tell the views itself, and the children of `held_.folder` are answered in
    // the order the views know (the store may sort them again under a new name).
    struct HeldOrder {
        bool active = false; // false again once a reset came in between
        const IndexItem* folder = nullptr;
        const ItemList* list = nullptr;
        std::vector<const IndexItem*> rows;
        std::size_t treeSize = 0;
    };
    HeldOrder held_;
    bool ownRename_ = false;
    // Private copies handed to the last drag out (never the package's own files: another
    // program may move or delete what it is given); a drop elsewhere reads them after the
    // drag has left, so they stay until the next drag or the close.
    mutable std::vector<PlainCopy> dragCopies_;
    mutable QList<HandedOut> dragCopyPaths_;
};

} // namespace folivo::gui
