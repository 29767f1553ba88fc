#include "browserdrops.h"

#include "callout.h"
#include "treemodel.h"

#include <QPersistentModelIndex>
#include <QPointer>
#include <QTreeView>

namespace folivo::gui {

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
    view->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);

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
