#include "mainwindow.h"

#include "appcontroller.h"
#include "detailspane.h"
#include "treemodel.h"

#include "prefs/ktprefs.h"
#include "store/messages.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QSplitter>
#include <QStatusBar>
#include <QPointer>
#include <QTimer>
#include <QTreeView>

#ifndef FOLIVO_VERSION
#define FOLIVO_VERSION "0"
#endif

namespace folivo::gui {

MainWindow::MainWindow(AppController* app, KTPrefs* prefs, QWidget* parent)
    : QMainWindow(parent),
      app_(app),
      prefs_(prefs),
      ui_(this),
      doc_(std::make_unique<MyDocument>(ui_, prefs)),
      model_(std::make_unique<TreeModel>(*doc_)),
      splitter_(new QSplitter(Qt::Horizontal, this)),
      view_(new QTreeView(splitter_)),
      details_(new DetailsPane(splitter_)),
      status_(new QLabel(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    doc_->setApplicationPreferences(prefs_);
    setWindowTitle(QApplication::applicationName());

    view_->setModel(model_.get());
    view_->setHeaderHidden(true);
    view_->setUniformRowHeights(true); // keeps large folders fast to lay out
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setAnimated(false);
    view_->setIconSize(QSize(16, 16));
    view_->setFrameShape(QFrame::NoFrame);
    ui_.attachBrowser(model_.get(), view_);

    splitter_->addWidget(view_);
    splitter_->addWidget(details_);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setChildrenCollapsible(false);
    setCentralWidget(splitter_);
    statusBar()->addWidget(status_, 1);
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
    resize(1000, 650);

    connect(view_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { currentChanged(current); });
    connect(view_, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        if (const IndexItem* item = model_->itemFromIndex(index))
            expandedPaths_.insert(item->path());
    });
    connect(view_, &QTreeView::collapsed, this, [this](const QModelIndex& index) {
        if (const IndexItem* item = model_->itemFromIndex(index))
            expandedPaths_.remove(item->path());
    });
    connect(model_.get(), &QAbstractItemModel::modelReset, this, [this] { scheduleRestore(); });

    buildMenus();
    updateStatus();
}

MainWindow::~MainWindow()
{
    // The view goes with the window's children, after the members: let go of the model now.
    view_->setModel(nullptr);
}

void MainWindow::buildMenus()
{
    QMenu* file = menuBar()->addMenu(tr("&File"));
    QAction* newDb = file->addAction(tr("&New Database…"));
    newDb->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    connect(newDb, &QAction::triggered, this, [this] {
        if (app_)
            app_->chooseAndCreate(this);
    });
    QAction* open = file->addAction(tr("&Open Database…"));
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(open, &QAction::triggered, this, [this] {
        if (app_)
            app_->chooseAndOpen(this, false);
    });
    // Stands in for holding Shift while opening, which a file chooser cannot pass on.
    QAction* rebuild = file->addAction(tr("Open with Index &Rebuild…"));
    rebuild->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    connect(rebuild, &QAction::triggered, this, [this] {
        if (app_)
            app_->chooseAndOpen(this, true);
    });
    file->addSeparator();
    QAction* closeWindow = file->addAction(tr("&Close"));
    closeWindow->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    connect(closeWindow, &QAction::triggered, this, &QWidget::close);
    QAction* quit = file->addAction(tr("&Quit"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, this, [this] {
        if (app_)
            app_->quit();
        else
            close();
    });

    QMenu* view = menuBar()->addMenu(tr("&View"));
    connect(view->addAction(tr("&Expand All")), &QAction::triggered, this, &MainWindow::expandAll);
    connect(view->addAction(tr("&Collapse All")), &QAction::triggered, this, &MainWindow::collapseAll);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    QAction* about = help->addAction(tr("&About Folivo"));
    about->setMenuRole(QAction::AboutRole);
    connect(about, &QAction::triggered, this, &MainWindow::about);
}

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
    const int left = qBound(160, int(doc_->settings().leftPaneWidth), 700);
    splitter_->setSizes({left, std::max(300, width() - left)});
    model_->reload();
    updateStatus();
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

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Another window's Quit can arrive while this document waits on a question in the
    // middle of a step; closing now would pull the document out from under that step.
    if (ui_.busy() || doc_->busy()) {
        event->ignore();
        return;
    }
    // Nothing may look at the tree once the document forgets it.
    details_->showItem(nullptr);
    model_->suspend();
    // Closing saves, so the next open reads the index instead of rebuilding it.
    if (doc_->dbOpen())
        doc_->closeDatabase();
    doc_->close();
    event->accept();
}

void MainWindow::currentChanged(const QModelIndex& current)
{
    const IndexItem* item = model_->itemFromIndex(current);
    currentPath_ = item ? item->path() : QString();
    details_->showItem(item);
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
    for (auto it = expandedPaths_.begin(); it != expandedPaths_.end();) {
        const IndexItem* item = tree.itemForPath(*it);
        const QModelIndex index = model_->indexForItem(item);
        if (!index.isValid()) {
            it = expandedPaths_.erase(it);
            continue;
        }
        view_->expand(index);
        ++it;
    }
    const QModelIndex current = model_->indexForItem(tree.itemForPath(currentPath_));
    if (current.isValid()) {
        view_->setCurrentIndex(current);
        details_->showItem(model_->itemFromIndex(current));
    } else {
        currentPath_.clear();
        details_->showItem(nullptr);
    }
    updateStatus();
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

void MainWindow::expandAll()
{
    view_->expandAll();
    // The view expands without telling which items it expanded.
    expandedPaths_.clear();
    doc_->tree().forEach([this](IndexItem& item) {
        if (!item.children().empty())
            expandedPaths_.insert(item.path());
    });
}

void MainWindow::collapseAll()
{
    view_->collapseAll();
    expandedPaths_.clear();
}

ImportContext MainWindow::importContext() const
{
    ImportContext context;
    // The folder the browser's selected row stands for: a file or a date folder stands for
    // the folder it lies in.
    const IndexItem* item = model_->itemFromIndex(view_->currentIndex());
    while (item && !item->isPlainFolder())
        item = item->parent();
    if (item)
        context.browserSelection = item->path();
    return context;
}

ImportOutcome MainWindow::importPaths(const QStringList& paths, const QString& parentPath, int index,
                                      bool ignoreUserSelection)
{
    ImportOutcome outcome;
    if (paths.isEmpty() || !doc_->dbOpen())
        return outcome;
    ImportRequest request;
    request.paths = paths;
    request.parentPath = parentPath;
    request.parentIndex = index;
    request.ignoreUserSelection = ignoreUserSelection;
    ImportPipeline pipeline(*doc_, prefs_);
    outcome = pipeline.doImport(request, importContext());
    showImportOutcome(outcome);
    return outcome;
}

ImportOutcome MainWindow::importDroppedFiles()
{
    if (!doc_->dbOpen())
        return {};
    const ImportOutcome outcome = folivo::importDroppedFiles(*doc_, prefs_, importContext());
    showImportOutcome(outcome);
    return outcome;
}

void MainWindow::showImportOutcome(const ImportOutcome& outcome)
{
    if (!outcome.ran)
        return;
    QString first;
    for (const QString& path : outcome.itemsToSelect) {
        if (doc_->tree().itemForPath(path)) {
            first = path;
            break;
        }
    }
    if (!first.isEmpty())
        selectPath(first);
    if (outcome.skipped) {
        // After the import's own sheets are gone, so the warning is not hidden under them.
        QPointer<MainWindow> self(this);
        QTimer::singleShot(0, this, [self] {
            if (self)
                doSkipWarning(self->ui_);
        });
    }
    updateStatus();
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
        return;
    }
    const auto count = doc_->tree().size();
    QString text = count == 1 ? tr("1 item") : tr("%1 items").arg(count);
    if (!doc_->dbWriteable())
        text += tr(" — read-only");
    status_->setText(text);
    lock_->setVisible(doc_->dbEncrypted());
}

void MainWindow::about()
{
    QMessageBox::about(this, tr("About Folivo"),
                       tr("<p><b>Folivo</b> %1</p><p>Keeps your documents in a folder tree, with dates, notes, "
                          "tags and reminders.</p>")
                           .arg(QStringLiteral(FOLIVO_VERSION).toHtmlEscaped()));
}

} // namespace folivo::gui
