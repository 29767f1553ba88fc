#include "browserdrops.h"

#include "widgets/callout.h"
#include "browser/treemodel.h"

#include "browser/expansion.h"
#include "store/indexitem.h"
#include "store/keys.h"
#include "util/trash.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QMimeData>
#include <QPainter>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QSignalBlocker>
#include <QTreeView>

namespace folivo::gui {

namespace {

// How long the copies a drag handed out are watched for a file manager throwing them into
// the Trash: it does so after the drop, in its own time.
constexpr int kTrashWatchMs = 5000;
constexpr int kTrashPollMs = 150;

bool fromABrowser(const QDropEvent* event)
{
    return qobject_cast<const BrowserView*>(event->source()) != nullptr;
}

// What a drag from a browser of this program asks for: a move, or a copy with Ctrl.
Qt::DropAction askedFor(Qt::KeyboardModifiers modifiers)
{
    return modifiers & Qt::ControlModifier ? Qt::CopyAction : Qt::MoveAction;
}

// A picture of the dragged rows: their icons and names, as many as fit in a few lines.
QPixmap dragPicture(const QTreeView* view, const QModelIndexList& indexes)
{
    constexpr int kRows = 5;
    const QFontMetrics metrics(view->font());
    const int line = std::max(18, metrics.height() + 2);
    int width = 0;
    const int shown = std::min<int>(int(indexes.size()), kRows);
    for (int i = 0; i < shown; ++i)
        width = std::max(width, 22 + metrics.horizontalAdvance(indexes[i].data(Qt::DisplayRole).toString()) + 12);
    width = std::min(width, 360);
    const qreal ratio = view->devicePixelRatioF();
    QPixmap picture(QSize(width, line * shown) * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setOpacity(0.8);
    p.setFont(view->font());
    for (int i = 0; i < shown; ++i) {
        const QRect row(0, i * line, width, line);
        const QIcon icon = indexes[i].data(Qt::DecorationRole).value<QIcon>();
        if (!icon.isNull())
            icon.paint(&p, QRect(row.left() + 2, row.top() + (line - 16) / 2, 16, 16));
        p.drawText(row.adjusted(22, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft,
                   metrics.elidedText(indexes[i].data(Qt::DisplayRole).toString(), Qt::ElideMiddle, width - 24));
    }
    return picture;
}

} // namespace

BrowserView::BrowserView(QWidget* parent) : QTreeView(parent)
{
    spring_.setSingleShot(true);
    connect(&spring_, &QTimer::timeout, this, [this] { springOpen(); });
}

void BrowserView::expandMany(const QModelIndexList& indexes)
{
    // Nothing to expand needs no layout now; a layout of 100,000 rows for nothing would
    // cost more than selecting the row that usually comes with it.
    if (indexes.isEmpty())
        return;
    // With a layout pending, expanding only records the index; one layout at the end then
    // places every row, instead of one layout per expanded folder.
    scheduleDelayedItemsLayout();
    {
        // The callers note the expanded folders themselves; a signal per folder would cost
        // more than the expanding (25,000 of them at 100,000 items).
        const QSignalBlocker quiet(this);
        for (const QModelIndex& index : indexes)
            expand(index);
    }
    executeDelayedItemsLayout();
}

// ---- Dragging out -------------------------------------------------------------------------

void BrowserView::startDrag(Qt::DropActions)
{
    auto* m = qobject_cast<TreeModel*>(model());
    if (!m)
        return;
    QModelIndexList indexes;
    for (const QModelIndex& index : selectedIndexes())
        if (index.column() == 0 && (index.flags() & Qt::ItemIsDragEnabled))
            indexes << index;
    if (indexes.isEmpty())
        return;
    QMimeData* data = m->mimeData(indexes);
    if (!data)
        return;
    QList<std::pair<QString, QString>> copies;
    for (const TreeModel::HandedOut& h : m->lastDragCopies())
        copies.append({h.itemPath, h.copyPath});

    auto* drag = new QDrag(this); // Qt deletes it once the drag is over
    drag->setMimeData(data);
    drag->setPixmap(dragPicture(this, indexes));
    const QDateTime since = QDateTime::currentDateTime();
    // Copy is all that is offered, so that no other program takes it for a move; a drop on
    // a browser of this program decides for itself from the keys held.
    const Qt::DropAction done = drag->exec(Qt::CopyAction, Qt::CopyAction);
    const bool here = drag->target() != nullptr;
    if (!here && done != Qt::IgnoreAction && !copies.isEmpty())
        watchForTrash(copies, since);
}

void BrowserView::watchForTrash(const QList<std::pair<QString, QString>>& copies, const QDateTime& since)
{
    // Polled for a while: the copies that turn up in the Trash are gathered until no more
    // arrive, and the items they stand for are then reported together.
    auto* timer = new QTimer(this);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    auto found = std::make_shared<QList<std::pair<QString, QString>>>();
    auto quietSince = std::make_shared<qint64>(-1);
    connect(timer, &QTimer::timeout, this, [=, this] {
        bool newOne = false;
        for (const auto& [item, copy] : copies) {
            if (found->contains(std::pair{item, copy}))
                continue;
            if (trash::trashedFrom(copy, since)) {
                found->append({item, copy});
                newOne = true;
            }
        }
        if (newOne)
            *quietSince = clock->elapsed();
        const bool allIn = found->size() == copies.size();
        const bool settled = *quietSince >= 0 && clock->elapsed() - *quietSince > 600;
        if (!allIn && !settled && clock->elapsed() < kTrashWatchMs)
            return;
        timer->stop();
        timer->deleteLater();
        if (found->isEmpty())
            return;
        QStringList items, paths;
        for (const auto& [item, copy] : *found) {
            items << item;
            paths << copy;
        }
        emit draggedToTrash(items, paths, since);
    });
    timer->start(kTrashPollMs);
}

// ---- Dropping in --------------------------------------------------------------------------

void BrowserView::dragEnterEvent(QDragEnterEvent* event)
{
    QTreeView::dragEnterEvent(event);
    // Taken as a copy, or not at all.
    if (event->isAccepted() && (event->possibleActions() & Qt::CopyAction))
        event->setDropAction(Qt::CopyAction);
    else
        event->ignore();
}

void BrowserView::dragMoveEvent(QDragMoveEvent* event)
{
    // The view and the model see what the drop would really be: from a browser of this
    // program a move (or a copy with Ctrl), from any other program a copy.
    const bool ours = fromABrowser(event);
    QDragMoveEvent asked(event->position().toPoint(), ours ? Qt::CopyAction | Qt::MoveAction : event->possibleActions(),
                         event->mimeData(), event->buttons(), event->modifiers());
    asked.setDropAction(ours ? askedFor(event->modifiers()) : Qt::CopyAction);
    QTreeView::dragMoveEvent(&asked);
    if (asked.isAccepted() && (event->possibleActions() & Qt::CopyAction)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
    springTowards(indexAt(event->position().toPoint()), event->mimeData());
}

void BrowserView::dragLeaveEvent(QDragLeaveEvent* event)
{
    QTreeView::dragLeaveEvent(event);
    spring_.stop();
    springTarget_ = QPersistentModelIndex();
    closeSprung();
}

void BrowserView::dropEvent(QDropEvent* event)
{
    spring_.stop();
    springTarget_ = QPersistentModelIndex();
    auto* m = qobject_cast<TreeModel*>(model());
    // The place, as the indicator showed it: between rows, onto a row, or the top level.
    const QModelIndex over = indexAt(event->position().toPoint());
    int row = -1;
    QModelIndex parent = rootIndex();
    if (over.isValid()) {
        switch (dropIndicatorPosition()) {
        case AboveItem:
            row = over.row();
            parent = over.parent();
            break;
        case BelowItem:
            row = over.row() + 1;
            parent = over.parent();
            break;
        case OnItem:
            parent = over;
            break;
        case OnViewport:
            break;
        }
    }
    const Qt::DropAction action = fromABrowser(event) ? askedFor(event->modifiers()) : Qt::CopyAction;
    closeSprung(parent);
    const bool taken = m && (event->possibleActions() & Qt::CopyAction)
                       && m->canDropMimeData(event->mimeData(), action, row, 0, parent)
                       && m->dropMimeData(event->mimeData(), action, row, 0, parent);
    if (taken) {
        // The source is told "copied", whatever happened here: it must not delete anything.
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
    stopAutoScroll();
    setState(NoState);
    viewport()->update();
}

void BrowserView::springTowards(const QModelIndex& index, const QMimeData* data)
{
    if (index == springTarget_)
        return;
    springTarget_ = index;
    spring_.stop();
    auto* m = qobject_cast<TreeModel*>(model());
    if (index.isValid() && m && !isExpanded(index) && m->hasChildren(index) && m->springsOpen(index, data))
        spring_.start(springDelayMs_);
}

void BrowserView::springOpen()
{
    if (!springTarget_.isValid() || isExpanded(springTarget_) || state() != DraggingState)
        return;
    sprung_ << springTarget_;
    expand(springTarget_);
}

void BrowserView::closeSprung(const QModelIndex& keep)
{
    QList<QPersistentModelIndex> sprung;
    std::swap(sprung, sprung_);
    // Innermost first, so that each closes while it is still shown.
    for (auto it = sprung.crbegin(); it != sprung.crend(); ++it) {
        if (!it->isValid())
            continue;
        bool onTheWay = false;
        for (QModelIndex p = keep; p.isValid() && !onTheWay; p = p.parent())
            onTheWay = p == *it;
        if (!onTheWay)
            collapse(*it);
    }
}

// ---- Alt on a triangle --------------------------------------------------------------------

bool BrowserView::onDisclosureTriangle(const QModelIndex& index, const QPoint& pos) const
{
    if (!index.isValid() || !model()->hasChildren(index))
        return false;
    const QRect rect = visualRect(index);
    return pos.x() < rect.left() && pos.x() >= rect.left() - indentation() && pos.y() >= rect.top()
           && pos.y() <= rect.bottom();
}

void BrowserView::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton && (event->modifiers() & Qt::AltModifier)) {
        const QModelIndex index = indexAt(pos);
        if (onDisclosureTriangle(index, pos)) {
            toggleBranch(index);
            event->accept();
            return;
        }
    }
    QTreeView::mousePressEvent(event);
}

void BrowserView::toggleBranch(const QModelIndex& index)
{
    auto* m = qobject_cast<TreeModel*>(model());
    const IndexItem* item = m ? m->itemFromIndex(index) : nullptr;
    if (!item)
        return;
    QModelIndexList branch;
    for (const IndexItem* folder : foldersToExpand(m->tree(), item))
        branch << m->indexForItem(folder);
    if (isExpanded(index)) {
        // The whole branch closes, so that it opens one level at a time again.
        for (auto it = branch.crbegin(); it != branch.crend(); ++it)
            collapse(*it);
        return;
    }
    expandMany(branch);
    emit branchExpanded(branch);
}

bool BrowserView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    if (trigger == DoubleClicked) {
        auto* m = qobject_cast<TreeModel*>(model());
        const IndexItem* item = m ? m->itemFromIndex(index) : nullptr;
        const plist::Value* type = item && item->isSmartFolder() ? item->value(keys::SmartFolderType) : nullptr;
        if (type && type->toInt(-1) >= 0 && type->toInt(-1) <= 2)
            return false;
    }
    return QTreeView::edit(index, trigger, event);
}

// ---- Setting up ---------------------------------------------------------------------------

void setUpBrowserView(QTreeView* view)
{
    if (!view)
        return;
    // Not InternalMove: items also go to other databases' windows and to other programs,
    // and files come in from outside; the model decides every drop.
    view->setDragEnabled(true);
    view->setAcceptDrops(true);
    view->viewport()->setAcceptDrops(true);
    view->setDragDropMode(QAbstractItemView::DragDrop);
    view->setDropIndicatorShown(true);
    view->setDragDropOverwriteMode(false);
    // Without a modifier a drag proposes a move; Ctrl proposes a copy.
    view->setDefaultDropAction(Qt::MoveAction);
    // A double-click edits only where the model allows it, which follows the preference.
    view->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked
                          | QAbstractItemView::DoubleClicked);

    auto* model = qobject_cast<TreeModel*>(view->model());
    if (!model)
        return;
    QPointer<QTreeView> guarded(view);
    QObject::connect(model, &TreeModel::calloutRequested, view, [guarded](const QModelIndex& index, const QString& message) {
        if (guarded)
            showCallout(guarded, index, message);
    });
    QObject::connect(model, &TreeModel::editAgainRequested, view, [guarded](const QModelIndex& index) {
        if (!guarded || !index.isValid())
            return;
        const QPersistentModelIndex where(index);
        auto editNow = [guarded, where] {
            if (!guarded || !where.isValid())
                return;
            guarded->setCurrentIndex(where);
            guarded->edit(where);
        };
        Callout* shown = nullptr;
        for (Callout* c : guarded->findChildren<Callout*>(Qt::FindDirectChildrenOnly))
            if (c->isVisible())
                shown = c;
        if (shown)
            QObject::connect(shown, &Callout::dismissed, guarded, editNow, Qt::QueuedConnection);
        else
            editNow();
    });
}

} // namespace folivo::gui
