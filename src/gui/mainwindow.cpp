#include "mainwindow.h"

#include "folivo-config.h"

#include "app/appcommands.h"
#include "attributes/attributescommands.h"
#include "attributes/tagscommands.h"
#include "reminders/reminderscommands.h"
#include "browser/browsercommands.h"
#include "browser/browserdrops.h"
#include "browser/browserpane.h"
#include "browser/treemodel.h"
#include "content/contentarea.h"
#include "database/databasecommands.h"
#include "debuginfo/debuginfocommands.h"
#include "find/findcommands.h"
#include "logins/loginscommands.h"
#include "smartfolders/tagpanelcommands.h"
#include "import/importcommands.h"
#include "preferences/preferencescommands.h"
#include "reports/reportcommands.h"
#include "export/exportcommands.h"
#include "smartfolders/smartfoldercommands.h"
#if FOLIVO_WITH_VIEWER
#include "viewer/viewercommands.h"
#endif
#include "widgets/busymode.h"

#include "prefs/ktprefs.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <algorithm>
#include <map>

namespace folivo::gui {

namespace {

// Saves come this often while a database is open.
constexpr int kSaveIntervalMs = 60 * 1000;

QString menuTitle(MenuId menu)
{
    switch (menu) {
    case MenuId::File:
        return MainWindow::tr("&File");
    case MenuId::Edit:
        return MainWindow::tr("&Edit");
    case MenuId::View:
        return MainWindow::tr("&View");
    case MenuId::Go:
        return MainWindow::tr("&Go");
    case MenuId::Help:
        return MainWindow::tr("&Help");
    }
    return {};
}

} // namespace

MainWindow::MainWindow(AppController* app, KTPrefs* prefs, platform::Platform* platform, QWidget* parent)
    : QMainWindow(parent),
      app_(app),
      prefs_(prefs),
      platform_(platform),
      ui_(this),
      doc_(std::make_unique<MyDocument>(ui_, prefs)),
      splitter_(new QSplitter(Qt::Horizontal, this)),
      leftSplitter_(new QSplitter(Qt::Vertical, splitter_)),
      // The view first: it is the first to take the focus, the panes below it after it.
      browser_(std::make_unique<BrowserPane>(*doc_, ui_, prefs, leftSplitter_)),
      rightSplitter_(new QSplitter(Qt::Vertical, splitter_)),
      content_(new ContentArea(rightSplitter_)),
      status_(new QLabel(this)),
      saveTimer_(new QTimer(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setAcceptDrops(true);
    doc_->setApplicationPreferences(prefs_);
    setWindowTitle(QApplication::applicationName());

    browser_->showSelectionIn(content_);
    leftSplitter_->addWidget(browser_->view());
    leftSplitter_->setStretchFactor(0, 3);
    leftSplitter_->setChildrenCollapsible(false);

    rightSplitter_->addWidget(content_);
    rightSplitter_->setChildrenCollapsible(false);
    splitter_->addWidget(leftSplitter_);
    splitter_->addWidget(rightSplitter_);
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

    connect(browser_.get(), &BrowserPane::commandsChanged, this, [this] { refreshActions(); });
    connect(browser_.get(), &BrowserPane::treeChanged, this, [this] { updateStatus(); });
    connect(browser_.get(), &BrowserPane::selectionShown, this, [this](const QStringList& paths) {
        for (const auto& module : modules_)
            module->selectionChanged(paths);
    });
    connect(browser_.get(), &BrowserPane::fileReady, this, [this](const QString& path) {
        for (const auto& module : modules_)
            module->fileReady(path);
    });

    saveTimer_->setInterval(kSaveIntervalMs);
    connect(saveTimer_, &QTimer::timeout, this, [this] { saveNow(true); });

    addModules();
    buildActions();
    updateStatus();
    refreshActions();
}

MainWindow::~MainWindow() = default;

void MainWindow::addModules()
{
    WindowContext& context = *this;
    auto database = std::make_unique<DatabaseCommands>(context);
    auto import = std::make_unique<ImportCommands>(context, drainWait);
    database_ = database.get();
    import_ = import.get();
    modules_.push_back(std::move(database));
    modules_.push_back(std::move(import));
    modules_.push_back(std::make_unique<BrowserCommands>(context));
    modules_.push_back(std::make_unique<PreferencesCommands>(context));
    modules_.push_back(std::make_unique<AppCommands>(context));
    modules_.push_back(std::make_unique<DebugInfoCommands>(context));
    auto attributes = std::make_unique<AttributesCommands>(context);
    AttributesCommands* attributesCommands = attributes.get();
    AttributesArea* area = attributes->area();
    modules_.push_back(std::move(attributes));
    modules_.push_back(std::make_unique<TagsCommands>(context, area));
    auto reminders = std::make_unique<RemindersCommands>(context, attributesCommands);
    auto logins = std::make_unique<LoginsCommands>(context);
    // A reminder that opens its folder's website does it the way Go To does.
    reminders->openWebsite = [l = logins.get()](const QString& folderPath) { l->goTo(folderPath); };
    modules_.push_back(std::move(reminders));
    modules_.push_back(std::make_unique<FindCommands>(context));
    modules_.push_back(std::move(logins));
    auto smartFolders = std::make_unique<SmartFolderCommands>(context);
    auto tagPanel = std::make_unique<TagPanelCommands>(context);
    // Editing a tag smart folder's row opens the tag panel for it.
    smartFolders->editTagFolder = [panel = tagPanel.get()](const QString& path) { panel->editTagSmartFolder(path); };
    modules_.push_back(std::move(smartFolders));
    modules_.push_back(std::move(tagPanel));
#if FOLIVO_WITH_VIEWER
    modules_.push_back(std::make_unique<ViewerCommands>(context));
#endif
    // After the viewer: a smart folder's report takes the place the viewer gave up.
    modules_.push_back(std::make_unique<ReportCommands>(context, area));
    modules_.push_back(std::make_unique<ExportCommands>(context));
}

// ---- Commands and their rules ------------------------------------------------------

QAction* MainWindow::makeAction(const CommandRow& row)
{
    auto* action = new QAction(row.text, this);
    if (!row.shortcut.isEmpty())
        action->setShortcut(row.shortcut);
    // The first of the names the icon theme has ("a|b": a, else b).
    for (const QString& name : row.icon.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        const QIcon icon = QIcon::fromTheme(name);
        if (!icon.isNull()) {
            action->setIcon(icon);
            break;
        }
    }
    if (!row.iconText.isEmpty())
        action->setIconText(row.iconText);
    action->setCheckable(row.checkable);
    action->setMenuRole(row.role);
    const std::optional<MenuCommand> rule = row.command ? row.command : row.enabledLike;
    connect(action, &QAction::triggered, this, [this, rule, run = row.run] {
        // A shortcut reaches here even when the menu shows the command disabled: ask again.
        if (!rule || commandState(*rule).enabled)
            run();
        refreshActions();
    });
    return action;
}

void MainWindow::buildActions()
{
    for (const auto& module : modules_) {
        registry_.setModule(module->name());
        module->registerCommands(registry_);
    }
    // The rows of each menu by section, in the order the modules registered them; a
    // submenu sits where its first row would.
    std::map<MenuId, std::vector<const CommandRow*>> byMenu;
    std::vector<std::pair<int, QAction*>> toolbar;
    for (const CommandRegistry::Entry& entry : registry_.entries()) {
        const CommandRow& row = entry.row;
        QAction* a = makeAction(row);
        rowActions_.emplace_back(&row, a);
        if (row.command && !actions_.contains(int(*row.command)))
            actions_.insert(int(*row.command), a);
        byMenu[row.menu].push_back(&row);
        if (row.toolbarPosition >= 0)
            toolbar.emplace_back(row.toolbarPosition, a);
    }
    const auto actionOf = [this](const CommandRow* row) {
        for (const auto& [r, a] : rowActions_)
            if (r == row)
                return a;
        return static_cast<QAction*>(nullptr);
    };
    std::vector<QMenu*> menus;
    for (MenuId id : {MenuId::File, MenuId::Edit, MenuId::View, MenuId::Go, MenuId::Help}) {
        auto found = byMenu.find(id);
        if (found == byMenu.end())
            continue;
        std::vector<const CommandRow*>& rows = found->second;
        std::stable_sort(rows.begin(), rows.end(),
                         [](const CommandRow* a, const CommandRow* b) { return a->section < b->section; });
        QMenu* menu = menuBar()->addMenu(menuTitle(id));
        menus.push_back(menu);
        QHash<QString, QMenu*> submenus;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (i > 0 && rows[i]->section != rows[i - 1]->section)
                menu->addSeparator();
            QMenu* into = menu;
            if (!rows[i]->submenu.isEmpty()) {
                into = submenus.value(rows[i]->submenu);
                if (!into) {
                    into = menu->addMenu(rows[i]->submenu);
                    submenus.insert(rows[i]->submenu, into);
                }
            }
            into->addAction(actionOf(rows[i]));
        }
        connect(menu, &QMenu::aboutToShow, this, &MainWindow::refreshActions);
    }

    QToolBar* tools = addToolBar(tr("Browser"));
    tools->setObjectName(QStringLiteral("browserToolBar"));
    tools->setMovable(false);
    tools->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    std::stable_sort(toolbar.begin(), toolbar.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < toolbar.size(); ++i) {
        if (i > 0 && toolbar[i].first / 10 != toolbar[i - 1].first / 10)
            tools->addSeparator();
        tools->addAction(toolbar[i].second);
    }
}

MenuContext MainWindow::menuContext() const
{
    MenuContext c;
    c.userInteractionDisabled = BusyMode::userInteractionDisabled() || ui_.busy() || doc_->busy();
    c.dbOpen = doc_->dbOpen();
    c.dbWriteable = doc_->canChange();
    c.dbEncrypted = doc_->dbEncrypted();
    for (const auto& module : modules_)
        module->fillMenuContext(c);
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
    for (const auto& [row, a] : rowActions_) {
        if (row->command) {
            const MenuState state = menuState(*row->command, context);
            a->setEnabled(state.enabled);
            if (state.checked) {
                a->setCheckable(true);
                a->setChecked(*state.checked);
            }
            if (state.title)
                a->setText(*state.title);
        } else if (row->enabledLike) {
            a->setEnabled(menuState(*row->enabledLike, context).enabled);
        }
    }
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
    if (leftSplitter_->count() == 2) {
        if (sizes.size() >= 3 && sizes[1] > 0 && sizes[2] > 0)
            leftSplitter_->setSizes({sizes[1], sizes[2]});
        else
            leftSplitter_->setSizes({std::max(200, height() - 220), 220});
    }
    browser_->databaseOpened();
    for (const auto& module : modules_)
        module->databaseOpened();
    saveTimer_->start();
    updateStatus();
    refreshActions();
    // Already in front (the password sheet had the focus): the open is this round's cue.
    if (rounds_.databaseOpened(isActiveWindow()))
        QTimer::singleShot(0, this, [this] { windowActivated(); });
}

void MainWindow::reportIndexProblems()
{
    database_->reportIndexProblems();
}

// ---- Saving and closing ---------------------------------------------------------------

bool MainWindow::inTheMiddleOfAStep() const
{
    // A step waiting on a question, an operation, an import or a drain.
    if (ui_.busy() || doc_->busy() || busy_)
        return true;
    return std::any_of(modules_.begin(), modules_.end(), [](const auto& m) { return m->inTheMiddleOfAStep(); });
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
    if (!isVisible() || sizes.size() != 2 || left.isEmpty() || sizes[0] <= 0)
        return;
    // A pane below the tree that is hidden or floats has no height now: it keeps the one it had.
    const QList<int>& kept = doc_->settings().paneSizes;
    int below = left.size() >= 2 ? left[1] : 0;
    if (below <= 0)
        below = kept.size() >= 3 ? kept[2] : 0;
    doc_->settings().paneSizes = {sizes[0], left[0], below};
}

void MainWindow::keepCopy(PlainCopy copy)
{
    keptCopies_.push_back(std::move(copy));
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
    for (const auto& module : modules_)
        module->windowClosing();
    keepPaneSizes();
    browser_->databaseClosing();
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
    if (doc_->dbOpen() && !inTheMiddleOfAStep())
        for (const auto& module : modules_)
            module->windowActivated();
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

void MainWindow::preferencesChanged()
{
    browser_->preferencesChanged();
    refreshActions();
}

// ---- What the panes and modules offer, for the controller and the tests -----------

TreeModel* MainWindow::model() const
{
    return browser_->model();
}

BrowserView* MainWindow::treeView() const
{
    return browser_->view();
}

QString MainWindow::statusText() const
{
    return status_->text();
}

QString MainWindow::pathLineText() const
{
    return content_->pathLineText();
}

void MainWindow::setPathLineText(const QString& text)
{
    content_->setPathLineText(text);
}

bool MainWindow::selectPath(const QString& path)
{
    return browser_->selectPath(path);
}

void MainWindow::selectItems(const QStringList& paths, const QString& message)
{
    browser_->selectItems(paths, message);
}

QStringList MainWindow::selectedPaths() const
{
    return browser_->selectedPaths();
}

void MainWindow::reminderNotification(const QString& folderPath)
{
    if (auto* reminders = qobject_cast<RemindersCommands*>(module(QStringLiteral("reminders"))))
        reminders->gotReminderNotification(folderPath);
}

CommandModule* MainWindow::module(const QString& name) const
{
    for (const auto& m : modules_)
        if (m->name() == name)
            return m.get();
    return nullptr;
}

void MainWindow::expandAll()
{
    browser_->expandAll();
}

void MainWindow::collapseAll()
{
    browser_->collapseAll();
}

ImportOutcome MainWindow::importPaths(const QStringList& paths, const QString& parentPath, int index,
                                      bool ignoreUserSelection, bool dropped)
{
    return import_->importPaths(paths, parentPath, index, ignoreUserSelection, dropped);
}

ImportOutcome MainWindow::importDroppedFiles()
{
    return import_->importDroppedFiles();
}

ImportOutcome MainWindow::importFromClipboard()
{
    return import_->importFromClipboard();
}

DrainOutcome MainWindow::drainImportFolder()
{
    return import_->drainImportFolder();
}

int MainWindow::drainsRun() const
{
    return import_->drainsRun();
}

} // namespace folivo::gui
