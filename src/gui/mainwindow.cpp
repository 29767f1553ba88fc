#include "mainwindow.h"

#include "appcontroller.h"
#include "busymode.h"
#include "detailspane.h"
#include "importfoldersheet.h"
#include "preferencesdialog.h"
#include "browserdrops.h"
#include "treemodel.h"

#include "browser/commands.h"
#include "browser/expansion.h"
#include "browser/selection.h"
#include "find/filetext.h"
#include "platform/desktop.h"
#include "platform/platform.h"
#include "prefs/ktprefs.h"
#include "prefs/prefkeys.h"
#include "store/bookmark.h"
#include "store/keys.h"
#include "store/messages.h"
#include "util/fs.h"
#include "util/trash.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QInputDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#ifndef FOLIVO_VERSION
#define FOLIVO_VERSION "0"
#endif

namespace folivo::gui {

namespace {

// Saves come this often while a database is open.
constexpr int kSaveIntervalMs = 60 * 1000;

QStringList localPaths(const QMimeData* mime)
{
    QStringList out;
    if (!mime || !mime->hasUrls())
        return out;
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            out << url.toLocalFile();
    return out;
}

} // namespace

MainWindow::MainWindow(AppController* app, KTPrefs* prefs, platform::Platform* platform, QWidget* parent)
    : QMainWindow(parent),
      app_(app),
      prefs_(prefs),
      platform_(platform),
      ui_(this),
      doc_(std::make_unique<MyDocument>(ui_, prefs)),
      model_(std::make_unique<TreeModel>(*doc_)),
      splitter_(new QSplitter(Qt::Horizontal, this)),
      leftSplitter_(new QSplitter(Qt::Vertical, splitter_)),
      view_(new BrowserView(leftSplitter_)),
      details_(new DetailsPane(leftSplitter_)),
      pathLine_(new QLabel(this)),
      status_(new QLabel(this)),
      saveTimer_(new QTimer(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setAcceptDrops(true);
    doc_->setApplicationPreferences(prefs_);
    setWindowTitle(QApplication::applicationName());

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

    leftSplitter_->addWidget(view_);
    leftSplitter_->addWidget(details_);
    leftSplitter_->setStretchFactor(0, 3);
    leftSplitter_->setStretchFactor(1, 1);
    leftSplitter_->setChildrenCollapsible(false);

    // The right side: the path line over the shown item.
    auto* right = new QWidget(splitter_);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(8, 6, 8, 6);
    pathLine_->setObjectName(QStringLiteral("pathLine"));
    pathLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    pathLine_->setWordWrap(true);
    {
        QFont bold = pathLine_->font();
        bold.setBold(true);
        pathLine_->setFont(bold);
    }
    rightLayout->addWidget(pathLine_);
    auto* hint = new QLabel(tr("Drop files or folders here, or on a folder of the tree, to import them. Double-click "
                               "a file to open it."),
                            right);
    hint->setObjectName(QStringLiteral("viewerHint"));
    hint->setWordWrap(true);
    hint->setAlignment(Qt::AlignCenter);
    hint->setEnabled(false);
    rightLayout->addWidget(hint, 1);

    splitter_->addWidget(leftSplitter_);
    splitter_->addWidget(right);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setChildrenCollapsible(false);
    setCentralWidget(splitter_);

    statusBar()->addWidget(status_, 1);
    readOnly_ = new QLabel(tr("Read-only"), this);
    readOnly_->setObjectName(QStringLiteral("readOnlyIcon"));
    {
        const QIcon icon = QIcon::fromTheme(QStringLiteral("emblem-readonly"));
        if (!icon.isNull())
            readOnly_->setPixmap(icon.pixmap(16, 16));
    }
    readOnly_->setToolTip(tr("This database cannot be changed: it is read-only."));
    readOnly_->setVisible(false);
    statusBar()->addPermanentWidget(readOnly_);
    lock_ = new QLabel(this);
    lock_->setObjectName(QStringLiteral("lockIcon"));
    {
        // The theme's padlock where there is one; a plain word otherwise.
        const QIcon padlock = QIcon::fromTheme(QStringLiteral("changes-prevent"),
                                               QIcon::fromTheme(QStringLiteral("object-locked")));
        if (!padlock.isNull())
            lock_->setPixmap(padlock.pixmap(16, 16));
        else
            lock_->setText(tr("Encrypted"));
    }
    lock_->setToolTip(tr("This database is encrypted: its files are stored enciphered under its password."));
    lock_->setVisible(false);
    statusBar()->addPermanentWidget(lock_);
    resize(1100, 700);

    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { selectionChanged(); });
    connect(view_, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        if (const IndexItem* item = model_->itemFromIndex(index))
            expandedPaths_.insert(item->path());
        refreshActions();
    });
    connect(view_, &QTreeView::collapsed, this, [this](const QModelIndex& index) {
        if (const IndexItem* item = model_->itemFromIndex(index))
            expandedPaths_.remove(item->path());
        refreshActions();
    });
    connect(view_, &QTreeView::doubleClicked, this, &MainWindow::doubleClicked);
    connect(view_, &BrowserView::branchExpanded, this, [this](const QModelIndexList& indexes) {
        for (const QModelIndex& index : indexes)
            if (const IndexItem* item = model_->itemFromIndex(index))
                expandedPaths_.insert(item->path());
        refreshActions();
    });
    connect(view_, &BrowserView::draggedToTrash, this, &MainWindow::deleteDraggedFiles);
    // An expanded folder stays expanded under its new name, after the next reset too.
    connect(model_.get(), &TreeModel::pathChanged, this, [this](const QString& from, const QString& to) {
        if (expandedPaths_.remove(from))
            expandedPaths_.insert(to);
    });
    connect(model_.get(), &QAbstractItemModel::modelReset, this, [this] { scheduleRestore(); });
    connect(model_.get(), &TreeModel::importRequested, this,
            [this](const QStringList& paths, const QString& parentPath, int index) {
                // After the drag has finished: the import shows sheets of its own.
                QTimer::singleShot(0, this, [this, paths, parentPath, index] {
                    importPaths(paths, parentPath, index, true, true);
                });
            });
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
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] { refreshActions(); });

    saveTimer_->setInterval(kSaveIntervalMs);
    connect(saveTimer_, &QTimer::timeout, this, [this] { saveNow(true); });

    buildActions();
    updateStatus();
    refreshActions();
}

MainWindow::~MainWindow()
{
    // The document outlives this body and clears its history as it goes.
    doc_->history().setView(nullptr);
    // The view goes with the window's children, after the members: let go of the model now.
    view_->setModel(nullptr);
}

// ---- Commands and their rules ------------------------------------------------------

QAction* MainWindow::addCommand(MenuCommand command, const QString& text, const QKeySequence& shortcut,
                                std::function<void()> run, const QString& iconName)
{
    auto* action = new QAction(text, this);
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    // The first of the names the icon theme has ("a|b": a, else b).
    for (const QString& name : iconName.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        const QIcon icon = QIcon::fromTheme(name);
        if (!icon.isNull()) {
            action->setIcon(icon);
            break;
        }
    }
    connect(action, &QAction::triggered, this, [this, command, run = std::move(run)] {
        // A shortcut reaches here even when the menu shows the command disabled: ask again.
        if (commandState(command).enabled)
            run();
        refreshActions();
    });
    actions_.insert(int(command), action);
    return action;
}

void MainWindow::buildActions()
{
    using C = MenuCommand;
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addAction(addCommand(C::NewDatabase, tr("&New Database…"), QKeySequence::New, [this] {
        if (app_)
            app_->chooseAndCreate(this);
    }, QStringLiteral("document-new")));
    file->addAction(addCommand(C::OpenDatabase, tr("&Open Database…"), QKeySequence::Open, [this] {
        if (app_)
            app_->chooseAndOpen(this, false);
    }, QStringLiteral("document-open")));
    // Stands in for holding Shift while opening, which a file chooser cannot pass on.
    file->addAction(addCommand(C::OpenAndRebuild, tr("Open and Rebuild &Index…"),
                               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O), [this] {
                                   if (app_)
                                       app_->chooseAndOpen(this, true);
                               }));
    file->addSeparator();
    file->addAction(addCommand(C::Import, tr("&Import Files…"), QKeySequence(Qt::CTRL | Qt::Key_I),
                               [this] { importPanel(false); }, QStringLiteral("document-import|go-down")));
    {
        // The same rule as importing files; only the chooser differs.
        importFolder_ = new QAction(tr("Import &Folder…"), this);
        importFolder_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_I));
        connect(importFolder_, &QAction::triggered, this, [this] {
            if (commandState(MenuCommand::Import).enabled)
                importPanel(true);
        });
        file->addAction(importFolder_);
    }
    file->addAction(addCommand(C::ImportFromClipboard, tr("Import From &Clipboard"),
                               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V), [this] { importFromClipboard(); }));
    file->addAction(addCommand(C::ImportFolderSettings, tr("Import Folder &Settings…"), {}, [this] { editImportFolder(); }));
    file->addSeparator();
    file->addAction(addCommand(C::Backup, tr("&Back Up Now"), QKeySequence(Qt::CTRL | Qt::Key_B), [this] { backupNow(); }));
    file->addSeparator();
    file->addAction(addCommand(C::Close, tr("&Close"), QKeySequence::Close, [this] { close(); }));
    QAction* quit = addCommand(C::Quit, tr("&Quit"), QKeySequence::Quit, [this] {
        if (app_)
            app_->quit();
        else
            close();
    });
    quit->setMenuRole(QAction::QuitRole);
    file->addAction(quit);

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    edit->addAction(addCommand(C::Copy, tr("&Copy"), QKeySequence::Copy, [this] { copySelected(); }));
    edit->addSeparator();
    edit->addAction(addCommand(C::NewFolder, tr("&New Folder"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N),
                               [this] { newFolder(); }, QStringLiteral("folder-new")));
    edit->addAction(addCommand(C::EditName, tr("&Rename"), QKeySequence(Qt::Key_F2), [this] { editName(); }));
    edit->addAction(addCommand(C::Delete, tr("&Delete"), QKeySequence::Delete, [this] { deleteSelected(); },
                               QStringLiteral("edit-delete")));
    edit->addSeparator();
    QAction* preferences = addCommand(C::Preferences, tr("&Preferences…"), QKeySequence::Preferences,
                                      [this] { showPreferences(); }, QStringLiteral("preferences-system"));
    preferences->setMenuRole(QAction::PreferencesRole);
    edit->addAction(preferences);

    QMenu* viewMenu = menuBar()->addMenu(tr("&View"));
    viewMenu->addAction(addCommand(C::ExpandAll, tr("&Expand All"), QKeySequence(Qt::CTRL | Qt::Key_Plus),
                                   [this] { expandAll(); }));
    viewMenu->addAction(addCommand(C::CollapseAll, tr("&Collapse All"), QKeySequence(Qt::CTRL | Qt::Key_Minus),
                                   [this] { collapseAll(); }));
    viewMenu->addSeparator();
    viewMenu->addAction(addCommand(C::Sort, tr("&Sort Selected Folders"), {}, [this] { sortSelected(); }));
    QMenu* sorting = viewMenu->addMenu(tr("Sorting"));
    for (auto [command, title] : {std::pair{C::KeepSorted, tr("Keep Folders Sorted")},
                                  std::pair{C::SortYearsDescending, tr("Sort \"Year\" Folders Newest First")},
                                  std::pair{C::SortMonthsDescending, tr("Sort \"Month\" Folders Newest First")},
                                  std::pair{C::IgnoreCase, tr("Ignore Case When Sorting")}}) {
        QAction* a = addCommand(command, title, {}, [this, command = command] { toggleSorting(command); });
        a->setCheckable(true);
        sorting->addAction(a);
    }

    QMenu* go = menuBar()->addMenu(tr("&Go"));
    go->addAction(addCommand(C::Back, tr("&Back"), QKeySequence(Qt::ALT | Qt::Key_Left), [this] { goBack(); },
                             QStringLiteral("go-previous")));
    go->addAction(addCommand(C::Forward, tr("&Forward"), QKeySequence(Qt::ALT | Qt::Key_Right), [this] { goForward(); },
                             QStringLiteral("go-next")));
    go->addSeparator();
    go->addAction(addCommand(C::ClearHistory, tr("&Clear History"), {}, [this] { doc_->history().clear(); }));

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    QAction* aboutAction = help->addAction(tr("&About Folivo"));
    aboutAction->setMenuRole(QAction::AboutRole);
    connect(aboutAction, &QAction::triggered, this, &MainWindow::about);

    for (QMenu* menu : {file, edit, viewMenu, go})
        connect(menu, &QMenu::aboutToShow, this, &MainWindow::refreshActions);

    QToolBar* tools = addToolBar(tr("Browser"));
    tools->setObjectName(QStringLiteral("browserToolBar"));
    tools->setMovable(false);
    tools->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    for (MenuCommand c : {C::Back, C::Forward})
        tools->addAction(action(c));
    tools->addSeparator();
    for (MenuCommand c : {C::NewFolder, C::Delete, C::Import})
        tools->addAction(action(c));
    action(C::Import)->setIconText(tr("Import"));
    action(C::NewFolder)->setIconText(tr("New Folder"));
}

MenuContext MainWindow::menuContext() const
{
    MenuContext c;
    c.userInteractionDisabled = BusyMode::userInteractionDisabled() || ui_.busy() || doc_->busy();
    c.dbOpen = doc_->dbOpen();
    c.dbWriteable = doc_->canChange();
    c.dbEncrypted = doc_->dbEncrypted();
    const std::vector<const IndexItem*> items = selectedItems();
    c.counts = countSelection(items);
    c.selectedRowCount = int(items.size());
    if (items.size() == 1) {
        c.singleKind = browserItemKind(*items.front());
        c.singleExpanded = view_->isExpanded(model_->indexForItem(items.front()));
        c.singleIsMaintainedLastImport = items.front()->has(keys::SystemLastImportFolder) && prefs_
                                         && prefs_->boolForKey(prefkeys::MaintainLastImport);
    }
    c.canCopySelectedFile = c.counts.singleFileSelected;
    if (const QMimeData* mime = QGuiApplication::clipboard()->mimeData())
        c.clipboardHasData = !mime->formats().isEmpty();
    c.needsBackup = doc_->needsBackup();
    if (prefs_) {
        const plist::Value* folder = prefs_->objectForKey(prefkeys::BackupFolderPath);
        c.backupFolderSet = folder && folder->isString() && !folder->string().isEmpty();
    }
    c.historyCanGoBack = doc_->history().canGoBack();
    c.historyCanGoForward = doc_->history().canGoForward();
    const SortFlags& s = doc_->tree().sorting;
    c.sortingKeepSorted = s.keepSorted;
    c.sortingYearDescending = s.yearDescending;
    c.sortingMonthDescending = s.monthDescending;
    c.sortingIgnoreCase = s.ignoreCase;
    return c;
}

MenuState MainWindow::commandState(MenuCommand command) const
{
    return menuState(command, menuContext());
}

bool MainWindow::runCommand(MenuCommand command)
{
    QAction* a = action(command);
    if (!a || !commandState(command).enabled)
        return false;
    a->trigger();
    return true;
}

void MainWindow::refreshActions()
{
    const MenuContext context = menuContext();
    for (auto it = actions_.begin(); it != actions_.end(); ++it) {
        const MenuState state = menuState(MenuCommand(it.key()), context);
        QAction* a = it.value();
        a->setEnabled(state.enabled);
        if (state.checked) {
            a->setCheckable(true);
            a->setChecked(*state.checked);
        }
        if (state.title)
            a->setText(*state.title);
    }
    importFolder_->setEnabled(action(MenuCommand::Import)->isEnabled());
}

// ---- Opening --------------------------------------------------------------------------

OpenResult MainWindow::openDatabase(const QString& path, OpenOptions options)
{
    const OpenResult result = doc_->openDatabase(path, options);
    if (result.ok())
        databaseOpened();
    return result;
}

OpenResult MainWindow::createDatabase(const QString& path)
{
    const OpenResult result = doc_->createDatabase(path);
    if (result.ok())
        databaseOpened();
    return result;
}

void MainWindow::databaseOpened()
{
    setWindowTitle(tr("%1 — %2").arg(QFileInfo(doc_->dbPath()).completeBaseName(), QApplication::applicationName()));
    setWindowFilePath(doc_->dbPath());
    // The sizes the panes had when this database was last open here.
    const QList<int>& sizes = doc_->settings().paneSizes;
    const int left = sizes.size() >= 1 ? qBound(160, sizes[0], 1200) : 340;
    splitter_->setSizes({left, std::max(300, width() - left)});
    if (sizes.size() >= 3 && sizes[1] > 0 && sizes[2] > 0)
        leftSplitter_->setSizes({sizes[1], sizes[2]});
    else
        leftSplitter_->setSizes({std::max(200, height() - 220), 220});
    model_->setEditContext(editContext());
    model_->reload();
    doc_->history().setView(this);
    doc_->history().showCurrent();
    saveTimer_->start();
    updateStatus();
    refreshActions();
    // Already in front (the password sheet had the focus): the open is this round's cue.
    if (rounds_.databaseOpened(isActiveWindow()))
        QTimer::singleShot(0, this, [this] { windowActivated(); });
}

void MainWindow::reportIndexProblems()
{
    const std::vector<IndexProblem>& problems = doc_->indexProblems();
    if (problems.empty())
        return;
    // A tree with entries missing must not pass for the whole database.
    constexpr std::size_t kListed = 15;
    QStringList lines;
    for (std::size_t i = 0; i < problems.size() && i < kListed; ++i)
        lines << QStringLiteral("\u2022 \"%1\": %2").arg(problems[i].path, problems[i].reason);
    if (problems.size() > kListed)
        lines << tr("\u2026 and %1 more.").arg(problems.size() - kListed);
    const QString intro = problems.size() == 1
                              ? tr("One entry of the index could not be used and was left out of the tree:")
                              : tr("%1 entries of the index could not be used and were left out of the tree:")
                                    .arg(problems.size());
    ui_.alert(msg::RebuildProblemsTitle, intro + QStringLiteral("\r\r") + lines.join('\r'));
}

// ---- Saving and closing ---------------------------------------------------------------

bool MainWindow::inTheMiddleOfAStep() const
{
    // A step waiting on a question, an operation, an import or a drain.
    return ui_.busy() || doc_->busy() || draining_ || busy_;
}

SaveOutcome MainWindow::saveNow(bool fromTimer)
{
    // The next tick tries again.
    if (!doc_->dbOpen() || inTheMiddleOfAStep()) {
        SaveOutcome deferred;
        deferred.deferred = doc_->dbOpen();
        return deferred;
    }
    keepPaneSizes();
    return doc_->saveChanges(fromTimer);
}

void MainWindow::keepPaneSizes()
{
    // Only sizes the person could have seen: a window never shown has none worth keeping.
    const QList<int> sizes = splitter_->sizes();
    const QList<int> left = leftSplitter_->sizes();
    if (!isVisible() || sizes.size() != 2 || left.size() != 2 || sizes[0] <= 0)
        return;
    doc_->settings().paneSizes = {sizes[0], left[0], left[1]};
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Another window's Quit can arrive while this document waits on a question in the
    // middle of a step; closing now would pull the document out from under that step.
    if (inTheMiddleOfAStep()) {
        event->ignore();
        return;
    }
    saveTimer_->stop();
    rounds_.databaseClosed();
    doc_->history().setView(nullptr);
    keepPaneSizes();
    // Nothing may look at the tree once the document forgets it.
    details_->showItem(nullptr);
    model_->suspend();
    // Closing saves (the index, the settings, the history), counts the close for the
    // backups and backs up when one is due.
    if (doc_->dbOpen())
        doc_->closeDatabase();
    keptCopies_.clear();
    doc_->close();
    event->accept();
}

bool MainWindow::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::WindowActivate:
        // Decided now, run after the event: the round shows sheets of its own.
        if (rounds_.activated())
            QTimer::singleShot(0, this, [this] { windowActivated(); });
        break;
    case QEvent::WindowDeactivate:
        rounds_.deactivated(ownDialogInFront());
        // The person may be about to copy the package or switch it off: save what changed.
        if (doc_->dbOpen())
            QTimer::singleShot(0, this, [this] { saveNow(false); });
        break;
    default:
        break;
    }
    return QMainWindow::event(event);
}

void MainWindow::windowActivated()
{
    if (doc_->dbOpen() && !inTheMiddleOfAStep()) {
        importDroppedFiles();
        drainImportFolder();
    }
    rounds_.roundFinished();
    refreshActions();
}

bool MainWindow::ownDialogInFront() const
{
    const auto ours = [this](const QWidget* w) {
        for (; w; w = w->parentWidget())
            if (w == this)
                return true;
        return false;
    };
    // The focus may not have arrived yet when the window hears it has lost it; a modal
    // dialog of its own that is up has taken it all the same.
    const QWidget* active = QApplication::activeWindow();
    const QWidget* modal = QApplication::activeModalWidget();
    return (active && active != this && ours(active)) || (modal && modal != this && ours(modal));
}

// ---- Selection ----------------------------------------------------------------------

std::vector<const IndexItem*> MainWindow::selectedItems() const
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

const IndexItem* MainWindow::singleSelected() const
{
    const std::vector<const IndexItem*> items = selectedItems();
    return items.size() == 1 ? items.front() : nullptr;
}

QStringList MainWindow::selectedPaths() const
{
    QStringList out;
    for (const IndexItem* item : selectedItems())
        out << item->path();
    return out;
}

QString MainWindow::pathLineText() const
{
    return pathLine_->text();
}

void MainWindow::setPathLineText(const QString& text)
{
    pathLine_->setText(text);
}

void MainWindow::selectionChanged()
{
    if (restoring_ || model_->suspended())
        return;
    const std::vector<const IndexItem*> items = noteSelection();
    addSelectionToHistory(QString());
    showSelection(items, QString());
    refreshActions();
}

std::vector<const IndexItem*> MainWindow::noteSelection()
{
    const std::vector<const IndexItem*> items = selectedItems();
    selectedPaths_.clear();
    for (const IndexItem* item : items)
        selectedPaths_ << item->path();
    return items;
}

void MainWindow::addSelectionToHistory(const QString& message)
{
    // The history holds the tree's own items, found again by path.
    std::vector<IndexItem*> items;
    for (const QString& path : selectedPaths_)
        if (IndexItem* item = doc_->tree().itemForPath(path))
            items.push_back(item);
    History& history = doc_->history();
    if (items.size() == 1 && message.isEmpty())
        history.addItem(items.front());
    else if (!items.empty())
        history.addItems(items, message.isEmpty() ? cmdmsg::MultipleItemsSelected : message);
}

QStringList MainWindow::selectRowsQuietly(const QStringList& paths, bool reveal, const QModelIndexList& expandFirst)
{
    QItemSelection selection;
    QModelIndex first;
    QStringList kept;
    for (const QString& path : paths) {
        const IndexItem* item = doc_->tree().itemForPath(path);
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

void MainWindow::showItems(const std::vector<IndexItem*>& items, const QString& message)
{
    QStringList paths;
    for (const IndexItem* item : items)
        if (item)
            paths << item->path();
    showItems(paths, message);
}

void MainWindow::backForwardChanged(bool, bool)
{
    refreshActions();
}

void MainWindow::showSelection(const std::vector<const IndexItem*>& items, const QString& message)
{
    if (items.empty()) {
        pathLine_->setText(message.isEmpty() ? cmdmsg::NoItemsSelected : message);
        details_->showItem(nullptr);
        return;
    }
    if (items.size() > 1) {
        pathLine_->setText(message.isEmpty() ? cmdmsg::MultipleItemsSelected : message);
        details_->showItem(nullptr);
        return;
    }
    const IndexItem* item = items.front();
    details_->showItem(item);
    if (item->hasChildren()) {
        pathLine_->setText(message.isEmpty() ? cmdmsg::FolderSelected : message);
        return;
    }
    const plist::Value* real = item->value(keys::SmartFile);
    pathLine_->setText(!message.isEmpty() ? message : real && real->isString() ? real->string() : item->path());
    if (item->isFile()) {
        // Never change the tree inside the selection handler: the view is still in the
        // middle of its own change.
        const QString path = item->path();
        QTimer::singleShot(0, this, [this, path] { checkSelectedFile(path); });
    }
}

void MainWindow::checkSelectedFile(const QString& path)
{
    const IndexItem* item = doc_->tree().itemForPath(path);
    if (!item || selectedPaths_ != QStringList{path} || !doc_->dbOpen())
        return;
    const QString plain = doc_->absolutePath(path);
    const QFileInfo info(plain);
    const bool fileExists = !plain.isEmpty() && (info.exists() || info.isSymLink());
    // An enciphered form counts whether or not it can be read: only an item with nothing
    // left on disk is ever taken out of the tree.
    bool storedFormExists = fileExists;
    for (const QString& suffix : pkg::EncipheredSuffixes)
        storedFormExists = storedFormExists || (!plain.isEmpty() && fs::exists(plain + '.' + suffix));
    // The first of the file and its enciphered forms that can be read, if any.
    const bool readable = doc_->pathOrEncryptedPath(path).has_value();
    const bool writeable = doc_->canChange();
    const SelectedFileDecision decision = decideSelectedFile(fileExists, storedFormExists, readable, writeable);
    switch (decision.action) {
    case SelectedFileAction::Show:
        return;
    case SelectedFileAction::RemoveItem:
        ui_.alert(QString(), decision.message);
        if (doc_->tree().itemForPath(path)) {
            view_->clearSelection();
            doc_->recordDelete(path);
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
    refreshActions();
}

bool MainWindow::selectPath(const QString& path)
{
    const IndexItem* item = doc_->tree().itemForPath(path);
    const QModelIndex index = model_->indexForItem(item);
    if (!index.isValid())
        return false;
    ui_.revealItem(item, false);
    view_->setCurrentIndex(index);
    return true;
}

void MainWindow::selectItems(const QStringList& paths, const QString& message)
{
    showItems(paths, message);
    // A step of the history: with a message, the group under it; otherwise what the
    // selection holds, as a selection by hand would add it.
    addSelectionToHistory(message);
}

void MainWindow::showItems(const QStringList& paths, const QString& message)
{
    selectRowsQuietly(paths, true);
    showSelection(noteSelection(), message);
    refreshActions();
}

void MainWindow::scheduleRestore()
{
    updateStatus();
    if (restorePending_)
        return;
    restorePending_ = true;
    // Later, not now: a reset can come just before an item leaves the tree, and expanding
    // that item again now would hand the view an index that is about to dangle.
    QTimer::singleShot(0, this, [this] { restoreViewState(); });
}

void MainWindow::restoreViewState()
{
    restorePending_ = false;
    if (model_->suspended())
        return; // the model resets again when it resumes
    const IndexTree& tree = doc_->tree();
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
            pathLine_->setText(cmdmsg::NoItemsSelected);
    }
    details_->showItem(kept.size() == 1 ? tree.itemForPath(kept.front()) : nullptr);
    updateStatus();
    refreshActions();
}

void MainWindow::expandAll()
{
    if (model_->suspended())
        return;
    // Every folder opens except a date folder that holds nothing but one file: it stands
    // for that file and stays closed.
    QModelIndexList indexes;
    for (const IndexItem* item : foldersToExpand(doc_->tree(), nullptr)) {
        indexes << model_->indexForItem(item);
        expandedPaths_.insert(item->path());
    }
    view_->expandMany(indexes);
    refreshActions();
    const QModelIndexList selected = view_->selectionModel()->selectedRows();
    if (!selected.isEmpty())
        view_->scrollTo(selected.front());
}

void MainWindow::collapseAll()
{
    view_->collapseAll();
    expandedPaths_.clear();
}

QString MainWindow::statusText() const
{
    return status_->text();
}

void MainWindow::updateStatus()
{
    if (!doc_->dbOpen()) {
        status_->clear();
        lock_->setVisible(false);
        readOnly_->setVisible(false);
        return;
    }
    const auto count = doc_->tree().size();
    status_->setText(count == 1 ? tr("1 item") : tr("%1 items").arg(count));
    readOnly_->setVisible(!doc_->dbWriteable() || doc_->dbReadOnly());
    lock_->setVisible(doc_->dbEncrypted());
}

void MainWindow::about()
{
    QMessageBox::about(this, tr("About Folivo"),
                       tr("<p><b>Folivo</b> %1</p><p>Keeps your documents in a folder tree, with dates, notes, "
                          "tags and reminders.</p>")
                           .arg(QStringLiteral(FOLIVO_VERSION).toHtmlEscaped()));
}

// ---- Import -------------------------------------------------------------------------

ImportContext MainWindow::importContext() const
{
    ImportContext context;
    // The folder the browser's selected row stands for: a file or a date folder stands for
    // the folder it lies in.
    const IndexItem* item = singleSelected();
    while (item && !item->isPlainFolder())
        item = item->parent();
    if (item)
        context.browserSelection = item->path();
    return context;
}

ImportOutcome MainWindow::runImport(const ImportRequest& request)
{
    ImportOutcome outcome;
    if (!doc_->dbOpen() || busy_)
        return outcome;
    BusyMode busy(this, tr("Importing …"));
    QScopedValueRollback<BusyMode*> marked(busy_, &busy);
    ui_.setStopHandler([&busy] { busy.requestStop(); });
    refreshActions();
    ImportPipeline pipeline(*doc_, prefs_);
    pipeline.shouldStop = [&busy] { return busy.stopRequested(); };
    outcome = pipeline.doImport(request, importContext());
    ui_.setStopHandler({});
    return outcome;
}

ImportOutcome MainWindow::importPaths(const QStringList& paths, const QString& parentPath, int index,
                                      bool ignoreUserSelection, bool dropped)
{
    if (paths.isEmpty() || !doc_->dbOpen())
        return {};
    ImportRequest request;
    request.paths = paths;
    request.parentPath = parentPath;
    request.parentIndex = index;
    // A folder named here comes from a drop on the tree, with its position; so does a drop
    // between top-level rows, which names none.
    request.dropPosition = dropped || !parentPath.isEmpty();
    request.ignoreUserSelection = ignoreUserSelection;
    const ImportOutcome outcome = runImport(request);
    showImportOutcome(outcome);
    return outcome;
}

ImportOutcome MainWindow::importDroppedFiles()
{
    const ImportOutcome outcome = folivo::importDroppedFiles(*doc_, prefs_, importContext());
    showImportOutcome(outcome);
    return outcome;
}

ImportOutcome MainWindow::importFromClipboard()
{
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    const ClipboardImportChoice choice =
        chooseClipboardImport(mime ? mime->formats() : QStringList(), mime ? mime->urls() : QList<QUrl>());
    ImportRequest request;
    switch (choice.kind) {
    case ClipboardImportKind::Empty:
        ui_.alert(QString(), cmdmsg::ClipboardEmpty);
        return {};
    case ClipboardImportKind::Files:
        return importPaths(choice.files);
    case ClipboardImportKind::AskExtension: {
        bool ok = false;
        const QString typed = QInputDialog::getText(
            this, tr("Import From Clipboard"),
            tr("The clipboard holds \"%1\", which Folivo does not know. Type the file extension to store it "
               "under (for example \"svg\"):")
                .arg(choice.mimeType),
            QLineEdit::Normal, QString(), &ok);
        if (!ok)
            return {};
        const std::optional<QString> extension = clipboardExtension(typed);
        if (!extension) {
            ui_.alert(QString(), tr("\"%1\" cannot be used as a file extension.").arg(typed));
            return {};
        }
        request.dataName = clipboardFileName(*extension);
        break;
    }
    case ClipboardImportKind::Data:
        request.dataName = choice.fileName;
        break;
    }
    const QByteArray data = mime ? mime->data(choice.mimeType) : QByteArray();
    if (data.isEmpty()) {
        ui_.alert(QString(), cmdmsg::ClipboardEmpty);
        return {};
    }
    request.data = data;
    const ImportOutcome outcome = runImport(request);
    showImportOutcome(outcome);
    return outcome;
}

DrainOutcome MainWindow::drainImportFolder()
{
    DrainOutcome outcome;
    if (draining_ || busy_ || !doc_->dbOpen() || !doc_->settings().importFolderEnabled
        || doc_->settings().importFolderPath.isEmpty())
        return outcome;
    QScopedValueRollback guard(draining_, true);
    ++drainsRun_;
    DrainOptions options;
    options.wait = drainWait ? drainWait : [](int ms) {
        // Waiting keeps the window painting; input waits its turn.
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    };
    options.memory = &ImportFolderMemory::session();
    outcome = importFromImportFolder(*doc_, prefs_, importContext(), options);
    if (outcome.specifyNew)
        QTimer::singleShot(0, this, [this] { editImportFolder(); });
    showImportOutcome(outcome.import);
    if (outcome.skipWarning && !outcome.import.skipped)
        scheduleSkipWarning();
    return outcome;
}

void MainWindow::scheduleSkipWarning()
{
    // After the import's own sheets are gone, so the warning is not hidden under them.
    QPointer<MainWindow> self(this);
    QTimer::singleShot(0, this, [self] {
        if (self)
            doSkipWarning(self->ui_);
    });
}

void MainWindow::showImportOutcome(const ImportOutcome& outcome)
{
    if (!outcome.ran)
        return;
    if (!outcome.itemsToSelect.isEmpty())
        selectItems(outcome.itemsToSelect, outcome.selectMessage.isEmpty() ? importmsg::ImportedItemsSelected
                                                                           : outcome.selectMessage);
    if (!outcome.collapse.isEmpty())
        view_->collapse(model_->indexForItem(doc_->tree().itemForPath(outcome.collapse)));
    if (outcome.skipped)
        scheduleSkipWarning();
    updateStatus();
    refreshActions();
}

void MainWindow::importPanel(bool folders)
{
    QStringList paths;
    if (folders) {
        const QString dir = QFileDialog::getExistingDirectory(this, tr("Import Folder"), QDir::homePath());
        if (!dir.isEmpty())
            paths << dir;
    } else {
        paths = QFileDialog::getOpenFileNames(this, tr("Import Files"), QDir::homePath());
    }
    if (paths.isEmpty())
        return;
    // The import log folder selected: the import files by the rules, not into the logs.
    const IndexItem* single = singleSelected();
    const bool logsSelected = single && single->path() == importmsg::ImportLogsFolder;
    importPaths(paths, QString(), -1, logsSelected);
}

bool MainWindow::takesDrop(const QDropEvent* event) const
{
    // Files from other programs, as copies: a source told "moved" would delete its file
    // before the import has read it. The browser's own items are the tree's business; their
    // files are copies of what the database holds already.
    const QMimeData* mime = event->mimeData();
    return mime && !mime->hasFormat(mime::Items) && !mime->hasFormat(mime::Logins)
           && (event->possibleActions() & Qt::CopyAction) && !localPaths(mime).isEmpty()
           && commandState(MenuCommand::Import).enabled;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!takesDrop(event))
        return;
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event)
{
    if (!takesDrop(event))
        return;
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    if (!takesDrop(event))
        return;
    const QStringList paths = localPaths(event->mimeData());
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // After the drag has ended: the import shows its own sheets.
    QTimer::singleShot(0, this, [this, paths] { importPaths(paths); });
}

// ---- Browser commands ---------------------------------------------------------------

void MainWindow::newFolder()
{
    const IndexItem* single = singleSelected();
    const bool expanded = single && view_->isExpanded(model_->indexForItem(single));
    const NewFolderPlace place = newFolderPlace(doc_->tree(), single, expanded);
    const QString wanted = place.parent ? place.parent->path() + QLatin1Char('/') + cmdmsg::NewFolderName
                                        : cmdmsg::NewFolderName;
    const QString path = doc_->uniquePathForPath(wanted);
    const OperationResult r = doc_->recordNewCategory(path, place.parent, place.index);
    if (r.status != OperationResult::Status::Done)
        return;
    const QString made = r.resultPath.isEmpty() ? path : r.resultPath;
    selectItems({made});
    // The person types the name at once.
    QTimer::singleShot(0, this, [this, made] {
        const QModelIndex index = model_->indexForItem(doc_->tree().itemForPath(made));
        if (!index.isValid())
            return;
        editWithButton(index);
    });
}

bool MainWindow::confirmsDelete() const
{
    return !prefs_ || !prefs_->objectForKey(prefkeys::ConfirmDelete) || prefs_->boolForKey(prefkeys::ConfirmDelete);
}

void MainWindow::deleteSelected()
{
    const DeletePlan plan = planDelete(selectedItems(), confirmsDelete());
    int answer = -1;
    if (plan.prompt)
        answer = ui_.ask(*plan.prompt);
    if (!plan.proceeds(answer))
        return;
    view_->clearSelection();
    const bool stopped = !deleteRecorded(plan.paths);
    selectedPaths_.clear();
    pathLine_->setText(stopped ? tr("Deleting stopped; what was deleted is gone.") : cmdmsg::SelectedItemsDeleted);
    updateStatus();
}

bool MainWindow::deleteRecorded(const QStringList& paths)
{
    std::unique_ptr<BusyMode> busy;
    if (paths.size() > 1)
        busy = std::make_unique<BusyMode>(this, cmdmsg::Deleting);
    QScopedValueRollback<BusyMode*> marked(busy_, busy.get());
    ui_.progressStart(cmdmsg::Deleting, QString(), 0);
    bool stopped = false;
    for (const QString& path : paths) {
        if (busy && busy->stopRequested()) {
            stopped = true;
            break;
        }
        ui_.progressSetText(path);
        if (const IndexItem* item = doc_->tree().itemForPath(path))
            doc_->history().deleteItem(*item);
        const OperationResult r = doc_->recordDelete(path);
        if (r.status == OperationResult::Status::DiskError)
            break;
    }
    ui_.progressStop();
    return !stopped;
}

void MainWindow::deleteDraggedFiles(const QStringList& itemPaths, const QStringList& copyPaths, const QDateTime& since)
{
    if (doc_->dbOpen() && inTheMiddleOfAStep()) {
        // Asked once the step is over, not in the middle of it.
        QPointer<MainWindow> self(this);
        QTimer::singleShot(300, this, [self, itemPaths, copyPaths, since] {
            if (self)
                self->deleteDraggedFiles(itemPaths, copyPaths, since);
        });
        return;
    }
    // The plain text of an encrypted database does not stay in the Trash, whatever the
    // answer; a plain database's copy stays there, as a file thrown away does.
    const bool encrypted = doc_->dbEncrypted();
    const auto takeBackCopies = [&] {
        if (encrypted)
            for (const QString& copy : copyPaths)
                trash::removeTrashed(copy, since);
    };
    if (!doc_->canChange()) {
        takeBackCopies();
        return;
    }
    QStringList present;
    for (const QString& path : itemPaths)
        if (doc_->tree().itemForPath(path))
            present << path;
    const DeletePlan plan = planDeleteDragged(present, confirmsDelete());
    int answer = -1;
    if (plan.prompt)
        answer = ui_.ask(*plan.prompt);
    if (plan.proceeds(answer)) {
        view_->clearSelection();
        deleteRecorded(plan.paths);
        selectedPaths_.clear();
        pathLine_->setText(fillPlaceholders(cmdmsg::DraggedFilesDeleted,
                                            {plan.paths.size() >= 2 ? QStringLiteral("s") : QString()}));
        updateStatus();
    }
    takeBackCopies();
    refreshActions();
}

void MainWindow::sortSelected()
{
    bool any = false;
    for (const IndexItem* item : withoutNestedItems(selectedItems())) {
        if (!item->hasChildren() || item->isSmartFolder())
            continue;
        auto* folder = doc_->tree().itemForPath(item->path());
        doc_->tree().sortByName(folder);
        doc_->writeAttributesFileForItem(folder);
        any = true;
    }
    if (!any)
        return;
    doc_->changed();
    model_->reload();
}

void MainWindow::editName()
{
    const IndexItem* single = singleSelected();
    const QModelIndex index = model_->indexForItem(single);
    if (!index.isValid())
        return;
    view_->setCurrentIndex(index);
    editWithButton(index);
}

void MainWindow::editWithButton(const QModelIndex& index)
{
    // While the command runs, the name may be edited whatever a double-click means.
    EditContext context = editContext();
    context.editButton = true;
    model_->setEditContext(context);
    view_->edit(index);
    model_->setEditContext(editContext());
}

EditContext MainWindow::editContext() const
{
    EditContext context;
    context.doubleClickMeaning = prefs_ ? int(prefs_->integerForKey(prefkeys::DoubleClickMeaning)) : 0;
    context.dbWriteable = doc_->canChange();
    context.maintainLastImport = prefs_ && prefs_->boolForKey(prefkeys::MaintainLastImport);
    return context;
}

void MainWindow::copySelected()
{
    const IndexItem* single = singleSelected();
    if (!single || !single->isFile())
        return;
    QString error;
    std::optional<PlainCopy> copy = doc_->plainCopyForReading(single->path(), &error);
    if (!copy || !copy->valid()) {
        ui_.alert(QString(), tr("\"%1\" could not be copied. %2").arg(single->name(), error));
        return;
    }
    auto* mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(copy->path())});
    // Text files also go as their text, for pasting into any program.
    static const QStringList textual{"txt", "text", "rtf", "rtfd", "md", "csv"};
    if (textual.contains(QFileInfo(single->path()).suffix().toLower())) {
        const std::optional<QString> text = textOfItem(*doc_, single->path());
        if (text && !text->isEmpty())
            mime->setText(*text);
    }
    QGuiApplication::clipboard()->setMimeData(mime);
    // The copy must outlive this command: the program it is pasted into reads it later.
    keptCopies_.push_back(std::move(*copy));
}

void MainWindow::toggleSorting(MenuCommand command)
{
    SortFlags& flags = doc_->tree().sorting;
    switch (command) {
    case MenuCommand::KeepSorted:
        flags.keepSorted = !flags.keepSorted;
        break;
    case MenuCommand::SortYearsDescending:
        flags.yearDescending = !flags.yearDescending;
        break;
    case MenuCommand::SortMonthsDescending:
        flags.monthDescending = !flags.monthDescending;
        break;
    case MenuCommand::IgnoreCase:
        flags.ignoreCase = !flags.ignoreCase;
        break;
    default:
        return;
    }
    doc_->settings().sorting = flags;
    doc_->sortAll();
    doc_->saveDBSpecificPreferences();
    model_->reload();
}

void MainWindow::backupNow()
{
    if (doc_->busy() || ui_.busy())
        return;
    const BackupOutcome out = doc_->backupDatabase(BackupSettings::from(prefs_));
    if (out.ok)
        pathLine_->setText(tr("Backed up to %1").arg(out.path));
}

void MainWindow::goBack()
{
    doc_->history().back();
}

void MainWindow::goForward()
{
    doc_->history().forward();
}

void MainWindow::showPreferences()
{
    if (!prefs_)
        return;
    PreferencesDialog dialog(*prefs_, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (app_)
        app_->preferencesChanged();
    else
        preferencesChanged();
}

void MainWindow::preferencesChanged()
{
    model_->setEditContext(editContext());
    model_->reload();
    refreshActions();
}

void MainWindow::editImportFolder()
{
    if (!doc_->dbOpen())
        return;
    ImportFolderSheet sheet(*doc_, this);
    sheet.exec();
    refreshActions();
}

void MainWindow::showFilesOfSmartFolder(const IndexItem& folder)
{
    // A smart folder of chosen files ("Last Import") shows where its files really are.
    const plist::Value* type = folder.value(keys::SmartFolderType);
    const plist::Value* smart = folder.value(keys::SmartFolder);
    if (!type || type->toInt(-1) != 2 || !smart || !smart->isDict())
        return;
    const plist::Value* conditions = smart->dict().find(QStringLiteral("Conditions"));
    if (!conditions || !conditions->isArray())
        return;
    QStringList paths;
    for (const plist::Value& condition : conditions->array()) {
        if (!condition.isDict())
            continue;
        const plist::Value* data = condition.dict().find(QStringLiteral("BookMarkData"));
        if (!data || !data->isData())
            continue;
        const std::optional<QString> path = storedPathFromBookmarkData(data->data());
        if (path && doc_->tree().itemForPath(*path))
            paths << *path;
    }
    if (paths.isEmpty())
        return;
    selectItems(paths, tr("Files In Smart Folder \"%1\" Selected in Browser").arg(folder.path()));
}

void MainWindow::doubleClicked(const QModelIndex& index)
{
    const IndexItem* item = model_->itemFromIndex(index);
    if (!item)
        return;
    if (item->isSmartFile()) {
        // Its real file is shown where it lies.
        const plist::Value* real = item->value(keys::SmartFile);
        if (real && real->isString())
            selectItems({real->string()});
        return;
    }
    if (item->isSmartFolder()) {
        showFilesOfSmartFolder(*item);
        return;
    }
    // Where a double-click edits the name, the view has started editing already.
    if (IndexTree::canEditItem(*item, editContext()).doubleAction != DoubleAction::OpenWithDefaultApp || !item->isFile())
        return;
    QString error;
    std::optional<PlainCopy> copy = doc_->plainCopyForReading(item->path(), &error);
    if (!copy || !copy->valid() || !platform_ || !platform_->desktop().openFile(copy->path())) {
        ui_.alert(QString(), tr("\"%1\" could not be opened. %2").arg(item->name(), error));
        return;
    }
    // The other program reads the copy after this returns; it goes when the window closes.
    keptCopies_.push_back(std::move(*copy));
}

} // namespace folivo::gui
