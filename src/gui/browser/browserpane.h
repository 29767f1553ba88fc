#pragma once
// The browser on the left of a database window: the tree view over the tree model, and the
// glue that keeps the selection, the expanded folders and the history in step with the
// tree as operations change it. What the selection is shows on the content area's path
// line; the panes that follow it hear selectionShown.

#include "history/history.h"
#include "store/tree.h"

#include <QModelIndex>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <memory>
#include <vector>

class QWidget;

namespace folivo {
class IndexItem;
class KTPrefs;
class MyDocument;
} // namespace folivo

namespace folivo::gui {

class BrowserView;
class ContentArea;
class QtDocumentUi;
class TreeModel;

class BrowserPane : public QObject, private HistoryView {
    Q_OBJECT
public:
    // The view is made a child of `viewParent`; the model is the pane's own.
    BrowserPane(MyDocument& doc, QtDocumentUi& ui, KTPrefs* prefs, QWidget* viewParent);
    // Where what the selection is shows: the content area's path line.
    void showSelectionIn(ContentArea* content);
    ~BrowserPane() override;

    BrowserView* view() const { return view_; }
    TreeModel* model() const { return model_.get(); }

    // The selected items in the order the tree shows them; none while the model is suspended.
    std::vector<const IndexItem*> selectedItems() const;
    const IndexItem* singleSelected() const;
    QStringList selectedPaths() const;
    bool isExpanded(const IndexItem* item) const;

    // Selects the item with the stored path, revealing it; false when there is none.
    bool selectPath(const QString& path);
    // Selects the items (revealing them) and shows `message` on the path line; with a
    // message, the selection is one step of the history.
    void selectItems(const QStringList& paths, const QString& message = {});
    // Selects without adding to the history (the history's own steps, after a rename).
    void showItems(const QStringList& paths, const QString& message);
    // The selection has gone (its items were deleted): nothing is selected, and `message`
    // says why.
    void selectionRemoved(const QString& message);

    void expandAll();
    // Opens the folder at `path` and every folder beneath it.
    void expandBeneath(const QString& path);
    void collapseAll();
    void collapse(const QString& path);
    // Opens the folder with every folder beneath it when it is closed, else closes it with
    // them; true when it is open afterwards.
    bool toggleExpandedWithChildren(const QString& path);

    // Starts editing the name of the row, whatever a double-click means.
    void editWithButton(const QModelIndex& index);
    EditContext editContext() const;
    // The preferences changed: the model shows dates, icons and edits by them again.
    void preferencesChanged();

    void databaseOpened();
    // Nothing may look at the tree once the document forgets it.
    void databaseClosing();

signals:
    // What the commands may do changed (the selection, the expansion, the history).
    void commandsChanged();
    // The tree changed: the item count may too.
    void treeChanged();
    // The selection shown changed to `paths` (empty: nothing selected), in the tree's order.
    // Told at once, before the selected file's check on disk.
    void selectionShown(const QStringList& paths);
    // The one selected file passed its check on disk and may be shown: told after
    // selectionShown, on a later turn of the event loop.
    void fileReady(const QString& path);

private:
    void selectionChanged();
    void showSelection(const std::vector<const IndexItem*>& items, const QString& message);
    // Notes what the view has selected (its paths) and answers it in the tree's order.
    std::vector<const IndexItem*> noteSelection();
    void addSelectionToHistory(const QString& message);
    // Selects the rows of `paths` (expanding `expandFirst` before) without the history
    // hearing of it; answers the paths that have a row.
    QStringList selectRowsQuietly(const QStringList& paths, bool reveal, const QModelIndexList& expandFirst = {});
    // HistoryView
    void showItems(const std::vector<IndexItem*>& items, const QString& message) override;
    void backForwardChanged(bool canGoBack, bool canGoForward) override;
    void checkSelectedFile(const QString& path);
    void setPathLine(const QString& text);
    void scheduleRestore();
    void restoreViewState();

    MyDocument& doc_;
    QtDocumentUi& ui_;
    KTPrefs* prefs_;
    ContentArea* content_ = nullptr;
    std::unique_ptr<TreeModel> model_;
    BrowserView* view_;

    // What the person had expanded and selected, by path: a model reset forgets indexes,
    // and the items behind them may have gone.
    QSet<QString> expandedPaths_;
    QStringList selectedPaths_;
    bool restorePending_ = false;
    bool restoring_ = false;
};

} // namespace folivo::gui
