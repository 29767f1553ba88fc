#include "smartfoldercommands.h"

#include "browser/browserdrops.h"
#include "browser/browserpane.h"
#include "browser/treemodel.h"
#include "find/finddialog.h"
#include "widgets/busymode.h"

#include "attributes/customattributenames.h"
#include "find/documentmatch.h"
#include "smartfolders/messages.h"
#include "smartfolders/smartfolders.h"
#include "store/keys.h"
#include "store/mydocument.h"

#include <QApplication>
#include <QHash>
#include <QTimer>

namespace folivo::gui {

namespace {

QHash<WindowContext*, SmartFolderCommands*>& modulesByWindow()
{
    static QHash<WindowContext*, SmartFolderCommands*> modules;
    return modules;
}

QHash<const QWidget*, SmartFolderCommands*>& modulesByWidget()
{
    static QHash<const QWidget*, SmartFolderCommands*> modules;
    return modules;
}

} // namespace

SmartFolderCommands::SmartFolderCommands(WindowContext& window) : CommandModule(window)
{
    modulesByWindow().insert(&window_, this);
    widget_ = window_.window();
    modulesByWidget().insert(widget_, this);
}

SmartFolderCommands::~SmartFolderCommands()
{
    modulesByWindow().remove(&window_);
    modulesByWidget().remove(widget_);
    // The document outlives the window's modules.
    window_.document().smartFolders().onInvalidated = {};
}

SmartFolderCommands* SmartFolderCommands::of(WindowContext& window)
{
    return modulesByWindow().value(&window, nullptr);
}

SmartFolderCommands* SmartFolderCommands::ofWidget(const QWidget* window)
{
    return modulesByWidget().value(window, nullptr);
}

void SmartFolderCommands::registerCommands(CommandRegistry& registry)
{
    CommandRow r;
    r.command = MenuCommand::NewSmartFolderFromSelection;
    r.menu = MenuId::Edit;
    r.section = 20;
    r.text = tr("New Smart &Folder from Selection");
    r.shortcut = QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_N);
    r.icon = QStringLiteral("folder-saved-search|folder-new");
    r.run = [this] { newSmartFolderFromSelection(); };
    registry.add(std::move(r));
}

void SmartFolderCommands::databaseOpened()
{
    MyDocument& doc = window_.document();
    // Every change of the database closes the smart folders: what they show is stale, and
    // nothing is computed again until one is opened.
    doc.smartFolders().onInvalidated = [this] { collapseSmartFolders(); };
    if (!connected_) {
        connected_ = true;
        QTreeView* view = window_.browser().view();
        connect(view, &QTreeView::expanded, this, &SmartFolderCommands::expanded);
    }
}

void SmartFolderCommands::windowClosing()
{
    window_.document().smartFolders().onInvalidated = {};
}

void SmartFolderCommands::collapseSmartFolders()
{
    BrowserPane& browser = window_.browser();
    for (const IndexItem* folder : window_.document().smartFolders().folders())
        if (browser.isExpanded(folder))
            browser.collapse(folder->path());
}

void SmartFolderCommands::expanded(const QModelIndex& index)
{
    if (expandingOwn_)
        return;
    const IndexItem* item = window_.browser().model()->itemFromIndex(index);
    if (!item || !item->isSmartFolder() || !window_.document().smartFolders().needsLoading(*item))
        return;
    // The browser opens again what was open after the stopped load reset it: that is not
    // the person asking for the load once more.
    if (justStopped_.contains(item->path()))
        return;
    // After the view has finished expanding: the load resets the model.
    const QString path = item->path();
    QTimer::singleShot(0, this, [this, path] {
        if (load(path))
            reveal(path, true);
    });
}

void SmartFolderCommands::selectionChanged(const QStringList& paths)
{
    if (paths.size() != 1 || loading_ || justStopped_.contains(paths.front()))
        return;
    const IndexItem* item = window_.document().tree().itemForPath(paths.front());
    if (!item || !item->isSmartFolder() || !window_.document().smartFolders().needsLoading(*item))
        return;
    const QString path = paths.front();
    QTimer::singleShot(0, this, [this, path] { load(path); });
}

bool SmartFolderCommands::load(const QString& folderPath)
{
    MyDocument& doc = window_.document();
    SmartFolders& smart = doc.smartFolders();
    IndexItem* folder = doc.tree().itemForPath(folderPath);
    if (!folder || !folder->isSmartFolder())
        return false;
    if (!smart.needsLoading(*folder))
        return true;
    // One load at a time, and none while another step of the window waits.
    if (loading_ || smart.loading() || window_.inTheMiddleOfAStep() || BusyMode::userInteractionDisabled())
        return false;
    DocumentMatchContext context(doc);
    std::unique_ptr<SmartFolderLoad> run = smart.startLoad(*folder, context);
    if (!run)
        return false;
    loading_ = true;
    TreeModel* model = window_.browser().model();
    const QModelIndex row = model->indexForItem(folder);
    if (row.isValid())
        emit model->dataChanged(row, row, {Qt::DisplayRole});
    const QString title = run->searchesContents() ? smartmsg::SearchingContents : smartmsg::Loading.arg(folderPath);
    bool stopped = false;
    if (!run->finished()) {
        BusyMode busy(window_.window(), title + '\n' + smartmsg::addedSoFar(0));
        BusyMark mark(window_, &busy);
        while (run->step(sliceSize)) {
            busy.setMessage(title + '\n' + smartmsg::addedSoFar(run->added()));
            // Operations may come in while the window paints (the import folder, the save
            // timer): the load works on its own snapshot and the folder loads again after.
            if (busy.stopRequested()) {
                run->stop();
                break;
            }
        }
    }
    stopped = run->stopped();
    run.reset();
    loading_ = false;
    if (stopped) {
        QApplication::beep();
        // Until the browser has shown the reset (two turns: its restore, then this).
        justStopped_.insert(folderPath);
        QTimer::singleShot(0, this, [this, folderPath] {
            QTimer::singleShot(0, this, [this, folderPath] { justStopped_.remove(folderPath); });
        });
    }
    doc.ui().reloadBrowser();
    window_.refreshActions();
    // A stopped load shows what it found, and loads again the next time it is opened.
    IndexItem* after = doc.tree().itemForPath(folderPath);
    return after && !stopped;
}

void SmartFolderCommands::reveal(const QString& path, bool expand)
{
    BrowserPane& browser = window_.browser();
    const IndexItem* item = window_.document().tree().itemForPath(path);
    if (!item)
        return;
    browser.selectItems({path});
    if (expand) {
        expandingOwn_ = true;
        browser.view()->expand(browser.model()->indexForItem(item));
        expandingOwn_ = false;
    }
    browser.view()->scrollTo(browser.model()->indexForItem(item));
}

void SmartFolderCommands::newSmartFolderFromSelection()
{
    MyDocument& doc = window_.document();
    if (!doc.canChange() || loading_)
        return;
    QList<const IndexItem*> chosen;
    for (const IndexItem* item : window_.browser().selectedItems())
        chosen << item;
    IndexItem* folder = doc.smartFolders().createSelectedItemsFolder(chosen);
    if (!folder)
        return;
    const QString path = folder->path();
    load(path);
    reveal(path, true);
}

void SmartFolderCommands::createConditionFolder(const FindCriteria& criteria)
{
    MyDocument& doc = window_.document();
    IndexItem* folder = doc.smartFolders().createConditionFolder(criteria);
    if (!folder)
        return;
    const QString path = folder->path();
    // Shown and opened: opening loads it (a contents search in slices the person can stop).
    if (load(path))
        reveal(path, true);
    else
        reveal(path, false);
}

std::optional<FindCriteria> SmartFolderCommands::findDialog(const FindCriteria& criteria, const QString& name)
{
    if (runFindDialog)
        return runFindDialog(criteria, name);
    MyDocument& doc = window_.document();
    FindDialog dialog(doc.customAttributes().names(), DocumentMatchContext::europeanDatesOf(doc), window_.window());
    dialog.setTree(&doc.tree());
    dialog.setup(criteria, name);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.accepted();
}

bool SmartFolderCommands::edit(const QString& path)
{
    MyDocument& doc = window_.document();
    IndexItem* item = doc.tree().itemForPath(path);
    if (!item)
        return false;
    if (item->isSmartFile()) {
        // Its real file is revealed and selected where it lies.
        if (const plist::Value* real = item->value(keys::SmartFile); real && real->isString())
            window_.browser().selectItems({real->string()});
        return true;
    }
    const std::optional<SmartFolderKind> kind = smartFolderKind(*item);
    if (!kind)
        return false;
    switch (*kind) {
    case SmartFolderKind::SelectedItems: {
        if (!load(path))
            return true;
        // After the browser has put back its selection from before the load (a turn later),
        // or the folder would take the selection again.
        QTimer::singleShot(0, this, [this, path] {
            MyDocument& doc = window_.document();
            QStringList targets;
            if (IndexItem* folder = doc.tree().itemForPath(path))
                for (const IndexItem* member : doc.smartFolders().members(*folder))
                    targets << member->path();
            if (!targets.isEmpty())
                window_.browser().selectItems(targets, smartmsg::FilesSelected.arg(path));
        });
        return true;
    }
    case SmartFolderKind::Tags:
        if (!editTagFolder)
            return false;
        editTagFolder(path);
        return true;
    case SmartFolderKind::Conditions: {
        if (!doc.canChange())
            return true;
        FindCriteria criteria = FindCriteria::fromValue(*item->value(keys::SmartFolder));
        criteria.smartFolderName = path;
        criteria.type = int(FindType::SmartFolder);
        const std::optional<FindCriteria> accepted = findDialog(criteria, path);
        item = doc.tree().itemForPath(path);
        if (!accepted || !item)
            return true;
        const bool wasExpanded = window_.browser().isExpanded(item);
        if (!doc.smartFolders().setConditionFolderCriteria(*item, *accepted))
            return true;
        QString now = path;
        if (!accepted->smartFolderName.isEmpty() && accepted->smartFolderName != path) {
            const OperationResult r = doc.recordRename(path, accepted->smartFolderName);
            if (r.status == OperationResult::Status::Done)
                now = r.resultPath.isEmpty() ? accepted->smartFolderName : r.resultPath;
        }
        if (doc.tree().sorting.keepSorted)
            doc.tree().sortByName(nullptr);
        doc.ui().reloadBrowser();
        if (wasExpanded && load(now))
            reveal(now, true);
        else
            reveal(now, false);
        return true;
    }
    }
    return false;
}

} // namespace folivo::gui
