#pragma once
// Sets up a browser view for what its model decides: names edited in place, items dragged
// out and dropped in, and refused names explained beside their row.

#include <QDateTime>
#include <QPersistentModelIndex>
#include <QTimer>
#include <QTreeView>
#include <utility>

namespace folivo::gui {

// Call after the view has its TreeModel. Drags carry the browser's own forms and the file
// names; whether a drop is taken, and as a copy or a move, is the model's decision (Ctrl
// asks for a copy). Editing starts with the edit key or a click on the selected row, where
// the model allows it. A callout asked for by the model appears beside its row; after a
// name already in use, the row goes back into editing once the callout is dismissed.
void setUpBrowserView(QTreeView* view);

// The browser's view: a tree view that can expand many rows at once without laying the
// tree out again for each of them, and that drags and drops as a person expects:
// - Other programs are offered copies only, and what they get are private copies (a file
//   manager that moves what it is given moves a copy). A drag that ends with those copies
//   in the desktop's Trash asks to delete the items (draggedToTrash).
// - Within this program a drag moves, or copies with Ctrl; between two databases it copies.
// - Files from other programs are always taken as copies: a source told "moved" would
//   delete its file before the import has read it.
// - A folder springs open when something rests over it a moment; such folders close again
//   after the drop, except the one the drop went into and those above it.
// - Alt on a folder's disclosure triangle opens or closes its whole branch.
// - A double-click edits the name where the model lets the name be edited (the preference
//   says what a double-click does), except on a smart folder, whose double-click has work
//   of its own.
class BrowserView : public QTreeView {
    Q_OBJECT
public:
    explicit BrowserView(QWidget* parent = nullptr);
    using QTreeView::edit;
    void expandMany(const QModelIndexList& indexes);
    // How long something dragged must rest over a folder before it springs open.
    void setSpringDelay(int ms) { springDelayMs_ = ms; }
    int springDelay() const { return springDelayMs_; }

signals:
    // A drag out of the window ended with the copies of these items in the desktop's Trash.
    void draggedToTrash(const QStringList& itemPaths, const QStringList& copyPaths, const QDateTime& since);
    // Alt on a disclosure triangle opened these folders.
    void branchExpanded(const QModelIndexList& indexes);

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;

private:
    void springTowards(const QModelIndex& index, const QMimeData* data);
    void springOpen();
    // Closes the folders that sprang open, but for `keep` and the folders above it.
    void closeSprung(const QModelIndex& keep = {});
    bool onDisclosureTriangle(const QModelIndex& index, const QPoint& pos) const;
    void toggleBranch(const QModelIndex& index);
    void watchForTrash(const QList<std::pair<QString, QString>>& copies, const QDateTime& since);

    int springDelayMs_ = 700;
    QTimer spring_;
    QPersistentModelIndex springTarget_;
    QList<QPersistentModelIndex> sprung_;
};

} // namespace folivo::gui
