#include "browsercommands.h"

#include "browser/browserdrops.h"
#include "browser/browserpane.h"
#include "browser/messages.h"
#include "browser/treemodel.h"
#include "content/contentarea.h"
#include "database/qtdocumentui.h"
#include "smartfolders/smartfoldercommands.h"
#include "widgets/busymode.h"

#include "browser/commands.h"
#include "smartfolders/smartfolders.h"
#include "browser/windowrules.h"
#include "find/filetext.h"
#include "platform/desktop.h"
#include "platform/platform.h"
#include "prefs/ktprefs.h"
#include "prefs/prefkeys.h"
#include "store/keys.h"
#include "store/mydocument.h"
#include "util/trash.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>
#include <QTimer>
#include <QUrl>

namespace folivo::gui {

BrowserCommands::BrowserCommands(WindowContext& window) : CommandModule(window)
{
    BrowserView* view = window_.browser().view();
    connect(view, &QTreeView::doubleClicked, this, &BrowserCommands::doubleClicked);
    connect(view, &BrowserView::draggedToTrash, this, &BrowserCommands::deleteDraggedFiles);
}

void BrowserCommands::registerCommands(CommandRegistry& registry)
{
    using C = MenuCommand;
    BrowserPane& pane = window_.browser();
    MyDocument& doc = window_.document();
    const auto row = [](C command, MenuId menu, int section, const QString& text, const QKeySequence& shortcut,
                        std::function<void()> run, const QString& icon = {}) {
        CommandRow r;
        r.command = command;
        r.menu = menu;
        r.section = section;
        r.text = text;
        r.shortcut = shortcut;
        r.run = std::move(run);
        r.icon = icon;
        return r;
    };
    registry.add(row(C::Copy, MenuId::Edit, 10, tr("&Copy"), QKeySequence::Copy, [this] { copySelected(); }));
    {
        CommandRow r = row(C::NewFolder, MenuId::Edit, 20, tr("&New Folder"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N),
                           [this] { newFolder(); }, QStringLiteral("folder-new"));
        r.toolbarPosition = 20;
        r.iconText = tr("New Folder");
        registry.add(std::move(r));
    }
    registry.add(row(C::EditName, MenuId::Edit, 20, tr("&Rename"), QKeySequence(Qt::Key_F2), [this] { editName(); }));
    {
        CommandRow r = row(C::Delete, MenuId::Edit, 20, tr("&Delete"), QKeySequence::Delete, [this] { deleteSelected(); },
                           QStringLiteral("edit-delete"));
        r.toolbarPosition = 21;
        registry.add(std::move(r));
    }

    registry.add(row(C::ExpandAll, MenuId::View, 10, tr("&Expand All"),
                     QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Right), [&pane] { pane.expandAll(); }));
    registry.add(row(C::CollapseAll, MenuId::View, 10, tr("&Collapse All"),
                     QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Left), [&pane] { pane.collapseAll(); }));
    registry.add(row(C::Sort, MenuId::View, 20, tr("&Sort Selected Folders"), {}, [this] { sortSelected(); }));
    for (auto [command, title] : {std::pair{C::KeepSorted, tr("Keep Folders Sorted")},
                                  std::pair{C::SortYearsDescending, tr("Sort \"Year\" Folders Newest First")},
                                  std::pair{C::SortMonthsDescending, tr("Sort \"Month\" Folders Newest First")},
                                  std::pair{C::IgnoreCase, tr("Ignore Case When Sorting")}}) {
        CommandRow r = row(command, MenuId::View, 20, title, {}, [this, command = command] { toggleSorting(command); });
        r.submenu = tr("Sorting");
        r.checkable = true;
        registry.add(std::move(r));
    }

    {
        CommandRow r = row(C::Back, MenuId::Go, 10, tr("&Back"), QKeySequence(Qt::ALT | Qt::Key_Left),
                           [&doc] { doc.history().back(); }, QStringLiteral("go-previous"));
        r.toolbarPosition = 10;
        registry.add(std::move(r));
    }
    {
        CommandRow r = row(C::Forward, MenuId::Go, 10, tr("&Forward"), QKeySequence(Qt::ALT | Qt::Key_Right),
                           [&doc] { doc.history().forward(); }, QStringLiteral("go-next"));
        r.toolbarPosition = 11;
        registry.add(std::move(r));
    }
    registry.add(row(C::ClearHistory, MenuId::Go, 20, tr("&Clear History"), {}, [&doc] { doc.history().clear(); }));
}

void BrowserCommands::fillMenuContext(MenuContext& c) const
{
    const BrowserPane& pane = window_.browser();
    KTPrefs* prefs = window_.preferences();
    MyDocument& doc = window_.document();
    const std::vector<const IndexItem*> items = pane.selectedItems();
    c.counts = countSelection(items);
    c.selectedRowCount = int(items.size());
    if (items.size() == 1) {
        c.singleKind = browserItemKind(*items.front());
        c.singleExpanded = pane.isExpanded(items.front());
        c.singleIsMaintainedLastImport = items.front()->has(keys::SystemLastImportFolder) && prefs
                                         && prefs->boolForKey(prefkeys::MaintainLastImport);
    }
    c.canCopySelectedFile = c.counts.singleFileSelected;
    c.historyCanGoBack = doc.history().canGoBack();
    c.historyCanGoForward = doc.history().canGoForward();
    const SortFlags& s = doc.tree().sorting;
    c.sortingKeepSorted = s.keepSorted;
    c.sortingYearDescending = s.yearDescending;
    c.sortingMonthDescending = s.monthDescending;
    c.sortingIgnoreCase = s.ignoreCase;
}

void BrowserCommands::newFolder()
{
    BrowserPane& pane = window_.browser();
    MyDocument& doc = window_.document();
    const IndexItem* single = pane.singleSelected();
    const NewFolderPlace place = newFolderPlace(doc.tree(), single, pane.isExpanded(single));
    const QString wanted = place.parent ? place.parent->path() + QLatin1Char('/') + cmdmsg::NewFolderName
                                        : cmdmsg::NewFolderName;
    const QString path = doc.uniquePathForPath(wanted);
    const OperationResult r = doc.recordNewCategory(path, place.parent, place.index);
    if (r.status != OperationResult::Status::Done)
        return;
    const QString made = r.resultPath.isEmpty() ? path : r.resultPath;
    pane.selectItems({made});
    // The person types the name at once.
    QTimer::singleShot(0, this, [this, made] {
        BrowserPane& pane = window_.browser();
        const QModelIndex index = pane.model()->indexForItem(window_.document().tree().itemForPath(made));
        if (!index.isValid())
            return;
        pane.editWithButton(index);
    });
}

bool BrowserCommands::confirmsDelete() const
{
    KTPrefs* prefs = window_.preferences();
    return !prefs || !prefs->objectForKey(prefkeys::ConfirmDelete) || prefs->boolForKey(prefkeys::ConfirmDelete);
}

void BrowserCommands::deleteSelected()
{
    BrowserPane& pane = window_.browser();
    const DeletePlan plan = planDelete(pane.selectedItems(), confirmsDelete());
    int answer = -1;
    if (plan.prompt)
        answer = window_.documentUi().ask(*plan.prompt);
    if (!plan.proceeds(answer))
        return;
    pane.view()->clearSelection();
    const bool stopped = !deleteRecorded(plan.paths);
    pane.selectionRemoved(stopped ? tr("Deleting stopped; what was deleted is gone.") : cmdmsg::SelectedItemsDeleted);
    window_.updateStatus();
}

bool BrowserCommands::deleteRecorded(const QStringList& paths)
{
    MyDocument& doc = window_.document();
    QtDocumentUi& ui = window_.documentUi();
    std::unique_ptr<BusyMode> busy;
    if (paths.size() > 1)
        busy = std::make_unique<BusyMode>(window_.window(), cmdmsg::Deleting);
    BusyMark marked(window_, busy.get());
    ui.progressStart(cmdmsg::Deleting, QString(), 0);
    bool stopped = false;
    for (const QString& path : paths) {
        if (busy && busy->stopRequested()) {
            stopped = true;
            break;
        }
        ui.progressSetText(path);
        if (const IndexItem* item = doc.tree().itemForPath(path))
            doc.history().deleteItem(*item);
        const OperationResult r = doc.recordDelete(path);
        if (r.status == OperationResult::Status::DiskError)
            break;
    }
    ui.progressStop();
    return !stopped;
}

void BrowserCommands::deleteDraggedFiles(const QStringList& itemPaths, const QStringList& copyPaths,
                                         const QDateTime& since)
{
    MyDocument& doc = window_.document();
    if (doc.dbOpen() && window_.inTheMiddleOfAStep()) {
        // Asked once the step is over, not in the middle of it.
        QPointer<BrowserCommands> self(this);
        QTimer::singleShot(300, this, [self, itemPaths, copyPaths, since] {
            if (self)
                self->deleteDraggedFiles(itemPaths, copyPaths, since);
        });
        return;
    }
    // The plain text of an encrypted database does not stay in the Trash, whatever the
    // answer; a plain database's copy stays there, as a file thrown away does.
    const bool encrypted = doc.dbEncrypted();
    const auto takeBackCopies = [&] {
        if (encrypted)
            for (const QString& copy : copyPaths)
                trash::removeTrashed(copy, since);
    };
    if (!doc.canChange()) {
        takeBackCopies();
        return;
    }
    QStringList present;
    for (const QString& path : itemPaths)
        if (doc.tree().itemForPath(path))
            present << path;
    const DeletePlan plan = planDeleteDragged(present, confirmsDelete());
    int answer = -1;
    if (plan.prompt)
        answer = window_.documentUi().ask(*plan.prompt);
    if (plan.proceeds(answer)) {
        BrowserPane& pane = window_.browser();
        pane.view()->clearSelection();
        deleteRecorded(plan.paths);
        pane.selectionRemoved(fillPlaceholders(cmdmsg::DraggedFilesDeleted,
                                               {plan.paths.size() >= 2 ? QStringLiteral("s") : QString()}));
        window_.updateStatus();
    }
    takeBackCopies();
    window_.refreshActions();
}

void BrowserCommands::sortSelected()
{
    BrowserPane& pane = window_.browser();
    if (sortSelectedFolders(window_.document(), pane.selectedItems()))
        pane.model()->reload();
}

void BrowserCommands::toggleSorting(MenuCommand command)
{
    SortSwitch which;
    switch (command) {
    case MenuCommand::KeepSorted:
        which = SortSwitch::KeepSorted;
        break;
    case MenuCommand::SortYearsDescending:
        which = SortSwitch::YearsDescending;
        break;
    case MenuCommand::SortMonthsDescending:
        which = SortSwitch::MonthsDescending;
        break;
    case MenuCommand::IgnoreCase:
        which = SortSwitch::IgnoreCase;
        break;
    default:
        return;
    }
    if (toggleSortingSwitch(window_.document(), which))
        window_.browser().model()->reload();
}

void BrowserCommands::editName()
{
    BrowserPane& pane = window_.browser();
    // A smart folder's row opens its editor instead (a smart file shows its real file).
    if (const IndexItem* single = pane.singleSelected(); single && (single->isSmartFolder() || single->isSmartFile()))
        if (SmartFolderCommands* smart = SmartFolderCommands::of(window_); smart && smart->edit(single->path()))
            return;
    const QModelIndex index = pane.model()->indexForItem(pane.singleSelected());
    if (!index.isValid())
        return;
    pane.view()->setCurrentIndex(index);
    pane.editWithButton(index);
}

void BrowserCommands::copySelected()
{
    MyDocument& doc = window_.document();
    const IndexItem* single = window_.browser().singleSelected();
    if (!single || !single->isFile())
        return;
    QString error;
    std::optional<PlainCopy> copy = doc.plainCopyForReading(single->path(), &error);
    if (!copy || !copy->valid()) {
        window_.documentUi().alert(QString(), tr("\"%1\" could not be copied. %2").arg(single->name(), error));
        return;
    }
    auto* mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(copy->path())});
    // Text files also go as their text, for pasting into any program.
    static const QStringList textual{"txt", "text", "rtf", "rtfd", "md", "csv"};
    if (textual.contains(QFileInfo(single->path()).suffix().toLower())) {
        const std::optional<QString> text = textOfItem(doc, single->path());
        if (text && !text->isEmpty())
            mime->setText(*text);
    }
    QGuiApplication::clipboard()->setMimeData(mime);
    // The copy must outlive this command: the program it is pasted into reads it later.
    window_.keepCopy(std::move(*copy));
}

void BrowserCommands::showFilesOfSmartFolder(const IndexItem& folder)
{
    // A smart folder of chosen files ("Last Import") shows where its files really are.
    const QStringList paths = filesOfSelectedItemsSmartFolder(window_.document().tree(), folder);
    if (paths.isEmpty())
        return;
    window_.browser().selectItems(paths, tr("Files In Smart Folder \"%1\" Selected in Browser").arg(folder.path()));
}

void BrowserCommands::doubleClicked(const QModelIndex& index)
{
    BrowserPane& pane = window_.browser();
    const IndexItem* item = pane.model()->itemFromIndex(index);
    if (!item)
        return;
    if (item->isSmartFile()) {
        // Its real file is shown where it lies.
        const plist::Value* real = item->value(keys::SmartFile);
        if (real && real->isString())
            pane.selectItems({real->string()});
        return;
    }
    if (item->isSmartFolder()) {
        // The click before the double-click selected the folder and loaded it, and the
        // browser puts its selection back a turn after a load: the files are selected after
        // that, or the folder would take the selection again.
        const QString path = item->path();
        QTimer::singleShot(0, this, [this, path] {
            const IndexItem* folder = window_.document().tree().itemForPath(path);
            if (!folder || smartFolderKind(*folder) != SmartFolderKind::SelectedItems)
                return;
            // Its members, whatever form its references have (the macOS edition's too).
            if (SmartFolderCommands* smart = SmartFolderCommands::of(window_))
                smart->edit(path);
            else
                showFilesOfSmartFolder(*folder);
        });
        return;
    }
    // Where a double-click edits the name, the view has started editing already.
    if (IndexTree::canEditItem(*item, pane.editContext()).doubleAction != DoubleAction::OpenWithDefaultApp
        || !item->isFile())
        return;
    QString error;
    std::optional<PlainCopy> copy = window_.document().plainCopyForReading(item->path(), &error);
    platform::Platform* platform = window_.platform();
    if (!copy || !copy->valid() || !platform || !platform->desktop().openFile(copy->path())) {
        window_.documentUi().alert(QString(), tr("\"%1\" could not be opened. %2").arg(item->name(), error));
        return;
    }
    // The other program reads the copy after this returns; it goes when the window closes.
    window_.keepCopy(std::move(*copy));
}

} // namespace folivo::gui
