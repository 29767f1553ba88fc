#include "browserpane.h"

#include "browser/browserdrops.h"
#include "browser/messages.h"
#include "browser/treemodel.h"
#include "content/contentarea.h"
#include "database/qtdocumentui.h"

#include "browser/commands.h"
#include "browser/expansion.h"
#include "browser/windowrules.h"
#include "prefs/ktprefs.h"
#include "prefs/prefkeys.h"
#include "store/keys.h"
#include "store/mydocument.h"

#include <functional>
#include <QHeaderView>
#include <QScopedValueRollback>
#include <QTimer>

namespace folivo::gui {

BrowserPane::BrowserPane(MyDocument& doc, QtDocumentUi& ui, KTPrefs* prefs, QWidget* viewParent)
    : QObject(nullptr),
      doc_(doc),
      ui_(ui),
      prefs_(prefs),
      model_(std::make_unique<TreeModel>(doc)),
      view_(new BrowserView(viewParent))
{
    view_->setObjectName(QStringLiteral("browser"));
    view_->setModel(model_.get());
    view_->setHeaderHidden(true);
    view_->setUniformRowHeights(true); // keeps large folders fast to lay out
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setAnimated(false);
    view_->setIconSize(QSize(16, 16));
    view_->setFrameShape(QFrame::NoFrame);
    setUpBrowserView(view_);
    ui_.attachBrowser(model_.get(), view_);

    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { selectionChanged(); });
    connect(view_, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        if (const IndexItem* item = model_->itemFromIndex(index))
            expandedPaths_.insert(item->path());
        emit commandsChanged();
    });
    connect(view_, &QTreeView::collapsed, this, [this](const QModelIndex& index) {
        if (const IndexItem* item = model_->itemFromIndex(index))
            expandedPaths_.remove(item->path());
        emit commandsChanged();
    });
    connect(view_, &BrowserView::branchExpanded, this, [this](const QModelIndexList& indexes) {
        for (const QModelIndex& index : indexes)
            if (const IndexItem* item = model_->itemFromIndex(index))
                expandedPaths_.insert(item->path());
        emit commandsChanged();
    });
    // An expanded folder stays expanded under its new name, after the next reset too.
    connect(model_.get(), &TreeModel::pathChanged, this, [this](const QString& from, const QString& to) {
        if (expandedPaths_.remove(from))
            expandedPaths_.insert(to);
    });
    connect(model_.get(), &QAbstractItemModel::modelReset, this, [this] { scheduleRestore(); });
    connect(model_.get(), &TreeModel::selectRequested, this,
            [this](const QStringList& paths, const QString& message) {
                // After a rename the item is selected again as it was; after a drop, what
                // was dropped is selected as one step of the history.
                QTimer::singleShot(0, this, [this, paths, message] {
                    if (message.isEmpty())
                        showItems(paths, QString());
                    else
                        selectItems(paths, message);
                });
            });
}

void BrowserPane::showSelectionIn(ContentArea* content)
{
    content_ = content;
}

void BrowserPane::setPathLine(const QString& text)
{
    if (content_)
        content_->setPathLineText(text);
}

BrowserPane::~BrowserPane()
{
    // The document outlives the pane and clears its history as it goes.
    doc_.history().setView(nullptr);
    // The view goes with the window's children, after the pane: let go of the model now.
    view_->setModel(nullptr);
}

void BrowserPane::databaseOpened()
{
    model_->setEditContext(editContext());
    model_->reload();
    doc_.history().setView(this);
    doc_.history().showCurrent();
}

void BrowserPane::databaseClosing()
{
    doc_.history().setView(nullptr);
    model_->suspend();
}

void BrowserPane::preferencesChanged()
{
    model_->setEditContext(editContext());
    model_->reload();
}

// ---- Editing names ------------------------------------------------------------------

void BrowserPane::editWithButton(const QModelIndex& index)
{
    // While the command runs, the name may be edited whatever a double-click means.
    EditContext context = editContext();
    context.editButton = true;
    model_->setEditContext(context);
    view_->edit(index);
    model_->setEditContext(editContext());
}

EditContext BrowserPane::editContext() const
{
    EditContext context;
    context.doubleClickMeaning = prefs_ ? int(prefs_->integerForKey(prefkeys::DoubleClickMeaning)) : 0;
    context.dbWriteable = doc_.canChange();
    context.maintainLastImport = prefs_ && prefs_->boolForKey(prefkeys::MaintainLastImport);
    return context;
}

// ---- Selection ----------------------------------------------------------------------

std::vector<const IndexItem*> BrowserPane::selectedItems() const
{
    std::vector<const IndexItem*> out;
    if (model_->suspended())
        return out;
    QModelIndexList rows = view_->selectionModel()->selectedRows();
    // In the order the tree shows them.
    std::sort(rows.begin(), rows.end(), [this](const QModelIndex& a, const QModelIndex& b) {
        return view_->visualRect(a).top() < view_->visualRect(b).top();
    });
    for (const QModelIndex& index : rows)
        if (const IndexItem* item = model_->itemFromIndex(index))
            out.push_back(item);
    return out;
}

const IndexItem* BrowserPane::singleSelected() const
{
    const std::vector<const IndexItem*> items = selectedItems();
    return items.size() == 1 ? items.front() : nullptr;
}

QStringList BrowserPane::selectedPaths() const
{
    QStringList out;
    for (const IndexItem* item : selectedItems())
        out << item->path();
    return out;
}

bool BrowserPane::isExpanded(const IndexItem* item) const
{
    return item && view_->isExpanded(model_->indexForItem(item));
}

void BrowserPane::selectionChanged()
{
    if (restoring_ || model_->suspended())
        return;
    const std::vector<const IndexItem*> items = noteSelection();
    addSelectionToHistory(QString());
    showSelection(items, QString());
    emit commandsChanged();
}

std::vector<const IndexItem*> BrowserPane::noteSelection()
{
    const std::vector<const IndexItem*> items = selectedItems();
    selectedPaths_.clear();
    for (const IndexItem* item : items)
        selectedPaths_ << item->path();
    return items;
}

void BrowserPane::addSelectionToHistory(const QString& message)
{
    // The history holds the tree's own items, found again by path.
    std::vector<IndexItem*> items;
    for (const QString& path : selectedPaths_)
        if (IndexItem* item = doc_.tree().itemForPath(path))
            items.push_back(item);
    History& history = doc_.history();
    if (items.size() == 1 && message.isEmpty())
        history.addItem(items.front());
    else if (!items.empty())
        history.addItems(items, message.isEmpty() ? cmdmsg::MultipleItemsSelected : message);
}

QStringList BrowserPane::selectRowsQuietly(const QStringList& paths, bool reveal, const QModelIndexList& expandFirst)
{
    QItemSelection selection;
    QModelIndex first;
    QStringList kept;
    for (const QString& path : paths) {
        const IndexItem* item = doc_.tree().itemForPath(path);
        const QModelIndex index = model_->indexForItem(item);
        if (!index.isValid())
            continue;
        if (reveal)
            ui_.revealItem(item, false);
        selection.select(index, index);
        kept << path;
        if (!first.isValid())
            first = index;
    }
    {
        // Selecting by code is not a step of its own: the caller decides what the history gets.
        QScopedValueRollback quiet(restoring_, true);
        view_->expandMany(expandFirst);
        view_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        if (first.isValid())
            view_->selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    }
    if (reveal && first.isValid())
        view_->scrollTo(first);
    return kept;
}

void BrowserPane::showItems(const std::vector<IndexItem*>& items, const QString& message)
{
    QStringList paths;
    for (const IndexItem* item : items)
        if (item)
            paths << item->path();
    showItems(paths, message);
}

void BrowserPane::backForwardChanged(bool, bool)
{
    emit commandsChanged();
}

void BrowserPane::showSelection(const std::vector<const IndexItem*>& items, const QString& message)
{
    QStringList paths;
    for (const IndexItem* item : items)
        paths << item->path();
    if (items.empty()) {
        setPathLine(message.isEmpty() ? cmdmsg::NoItemsSelected : message);
        emit selectionShown(paths);
        return;
    }
    if (items.size() > 1) {
        setPathLine(message.isEmpty() ? cmdmsg::MultipleItemsSelected : message);
        emit selectionShown(paths);
        return;
    }
    const IndexItem* item = items.front();
    if (item->hasChildren()) {
        setPathLine(message.isEmpty() ? cmdmsg::FolderSelected : message);
        emit selectionShown(paths);
        return;
    }
    const plist::Value* real = item->value(keys::SmartFile);
    setPathLine(!message.isEmpty() ? message : real && real->isString() ? real->string() : item->path());
    const bool isFile = item->isFile();
    emit selectionShown(paths);
    if (isFile) {
        // Never change the tree inside the selection handler: the view is still in the
        // middle of its own change.
        const QString path = paths.front();
        QTimer::singleShot(0, this, [this, path] { checkSelectedFile(path); });
    }
}

void BrowserPane::checkSelectedFile(const QString& path)
{
    const IndexItem* item = doc_.tree().itemForPath(path);
    if (!item || selectedPaths_ != QStringList{path} || !doc_.dbOpen())
        return;
    const SelectedFileDecision decision = decideSelectedFileOnDisk(doc_, path);
    switch (decision.action) {
    case SelectedFileAction::Show:
        emit fileReady(path);
        return;
    case SelectedFileAction::RemoveItem:
        ui_.alert(QString(), decision.message);
        if (doc_.tree().itemForPath(path)) {
            view_->clearSelection();
            doc_.recordDelete(path);
        }
        break;
    case SelectedFileAction::ReportMissingKeep:
        ui_.alert(QString(), decision.message);
        view_->clearSelection();
        break;
    case SelectedFileAction::ReportUnreadableKeep:
        ui_.alert(QString(), decision.message);
        break;
    }
    emit commandsChanged();
}

bool BrowserPane::selectPath(const QString& path)
{
    const IndexItem* item = doc_.tree().itemForPath(path);
    const QModelIndex index = model_->indexForItem(item);
    if (!index.isValid())
        return false;
    ui_.revealItem(item, false);
    view_->setCurrentIndex(index);
    return true;
}

void BrowserPane::selectItems(const QStringList& paths, const QString& message)
{
    showItems(paths, message);
    // A step of the history: with a message, the group under it; otherwise what the
    // selection holds, as a selection by hand would add it.
    addSelectionToHistory(message);
}

void BrowserPane::showItems(const QStringList& paths, const QString& message)
{
    selectRowsQuietly(paths, true);
    showSelection(noteSelection(), message);
    emit commandsChanged();
}

void BrowserPane::selectionRemoved(const QString& message)
{
    selectedPaths_.clear();
    setPathLine(message);
}

// ---- Keeping the view across resets --------------------------------------------------

void BrowserPane::scheduleRestore()
{
    emit treeChanged();
    if (restorePending_)
        return;
    restorePending_ = true;
    // Later, not now: a reset can come just before an item leaves the tree, and expanding
    // that item again now would hand the view an index that is about to dangle.
    QTimer::singleShot(0, this, [this] { restoreViewState(); });
}

void BrowserPane::restoreViewState()
{
    restorePending_ = false;
    if (model_->suspended())
        return; // the model resets again when it resumes
    const IndexTree& tree = doc_.tree();
    QModelIndexList expand;
    for (auto it = expandedPaths_.begin(); it != expandedPaths_.end();) {
        const QModelIndex index = model_->indexForItem(tree.itemForPath(*it));
        if (!index.isValid()) {
            it = expandedPaths_.erase(it);
            continue;
        }
        expand << index;
        ++it;
    }
    const QStringList kept = selectRowsQuietly(selectedPaths_, false, expand);
    if (kept != selectedPaths_) {
        selectedPaths_ = kept;
        if (kept.isEmpty())
            setPathLine(cmdmsg::NoItemsSelected);
        // Items of the selection left the tree: what follows the selection hears of it.
        emit selectionShown(kept);
    }
    emit treeChanged();
    emit commandsChanged();
}

// ---- Expanding ----------------------------------------------------------------------

void BrowserPane::expandAll()
{
    if (model_->suspended())
        return;
    // Every folder opens except a date folder that holds nothing but one file: it stands
    // for that file and stays closed.
    QModelIndexList indexes;
    for (const IndexItem* item : foldersToExpand(doc_.tree(), nullptr)) {
        indexes << model_->indexForItem(item);
        expandedPaths_.insert(item->path());
    }
    view_->expandMany(indexes);
    emit commandsChanged();
    const QModelIndexList selected = view_->selectionModel()->selectedRows();
    if (!selected.isEmpty())
        view_->scrollTo(selected.front());
}

void BrowserPane::expandBeneath(const QString& path)
{
    const IndexItem* from = doc_.tree().itemForPath(path);
    if (model_->suspended() || !from)
        return;
    QModelIndexList indexes;
    for (const IndexItem* item : foldersToExpand(doc_.tree(), from)) {
        indexes << model_->indexForItem(item);
        expandedPaths_.insert(item->path());
    }
    view_->expandMany(indexes);
    emit commandsChanged();
}

void BrowserPane::collapseAll()
{
    view_->collapseAll();
    expandedPaths_.clear();
}

void BrowserPane::collapse(const QString& path)
{
    view_->collapse(model_->indexForItem(doc_.tree().itemForPath(path)));
}

bool BrowserPane::toggleExpandedWithChildren(const QString& path)
{
    const QModelIndex index = model_->indexForItem(doc_.tree().itemForPath(path));
    if (!index.isValid() || !model_->hasChildren(index))
        return false;
    if (!view_->isExpanded(index)) {
        view_->expandRecursively(index);
        return true;
    }
    // Closed with everything beneath it, so that opening it again shows only its own rows.
    std::function<void(const QModelIndex&)> close = [&](const QModelIndex& parent) {
        for (int row = 0; row < model_->rowCount(parent); ++row) {
            const QModelIndex child = model_->index(row, 0, parent);
            if (view_->isExpanded(child))
                close(child);
        }
        view_->collapse(parent);
    };
    close(index);
    return false;
}

} // namespace folivo::gui
