#include "appcontroller.h"

#include "mainwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace folivo::gui {

StartDialog::StartDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QApplication::applicationName());
    auto* icon = new QLabel(this);
    icon->setPixmap(QApplication::windowIcon().pixmap(64, 64));
    auto* heading = new QLabel(tr("Welcome to Folivo"), this);
    QFont big = heading->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.4);
    heading->setFont(big);
    auto* hint = new QLabel(tr("Open a database, or create a new one to start filing your documents."), this);
    hint->setWordWrap(true);

    auto* open = new QPushButton(tr("&Open Database…"), this);
    auto* create = new QPushButton(tr("&New Database…"), this);
    auto* quit = new QPushButton(tr("&Quit"), this);
    open->setObjectName(QStringLiteral("openButton"));
    create->setObjectName(QStringLiteral("newButton"));
    quit->setObjectName(QStringLiteral("quitButton"));
    open->setDefault(true);
    connect(open, &QPushButton::clicked, this, &StartDialog::openRequested);
    connect(create, &QPushButton::clicked, this, &StartDialog::newRequested);
    connect(quit, &QPushButton::clicked, this, &StartDialog::quitRequested);

    auto* text = new QVBoxLayout;
    text->addWidget(heading);
    text->addWidget(hint);
    text->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(quit);
    buttons->addStretch(1);
    buttons->addWidget(create);
    buttons->addWidget(open);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(12);
    layout->addLayout(buttons);
    setMinimumWidth(460);
}

void StartDialog::closeEvent(QCloseEvent* event)
{
    // Closing the dialog is the same as choosing Quit.
    event->ignore();
    emit quitRequested();
}

// ---------------------------------------------------------------------------------------

void reportOpenFailure(QWidget* parent, const OpenResult& result, bool creating)
{
    // An invalid package was explained by the store, and a cancel (also of the password
    // sheet) needs no word.
    if (result.status != OpenStatus::NotFound && result.status != OpenStatus::Failed)
        return;
    QMessageBox box(parent);
    if (parent)
        box.setWindowModality(Qt::WindowModal);
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(creating ? QObject::tr("Cannot Create Database") : QObject::tr("Cannot Open Database"));
    box.setTextFormat(Qt::PlainText);
    box.setText(box.windowTitle());
    box.setInformativeText(result.message.isEmpty() ? QObject::tr("The database could not be opened.")
                                                    : displayText(result.message));
    box.addButton(QMessageBox::Ok);
    box.exec();
}

AppController::AppController(KTPrefs* prefs, QObject* parent) : QObject(parent), prefs_(prefs) {}

AppController::~AppController()
{
    delete start_.data();
    for (MainWindow* w : windows()) {
        disconnect(w, nullptr, this, nullptr);
        delete w;
    }
}

QList<MainWindow*> AppController::windows() const
{
    QList<MainWindow*> out;
    for (const Entry& e : windows_)
        if (e.window)
            out << e.window.data();
    return out;
}

MainWindow* AppController::windowFor(const QString& path) const
{
    const QString wanted = QFileInfo(path).canonicalFilePath();
    if (wanted.isEmpty())
        return nullptr;
    for (MainWindow* w : windows())
        if (w->document().dbOpen() && QFileInfo(w->databasePath()).canonicalFilePath() == wanted)
            return w;
    return nullptr;
}

MainWindow* AppController::adopt(MainWindow* window)
{
    windows_.append(Entry{window, window});
    connect(window, &QObject::destroyed, this, [this](QObject* gone) {
        windows_.removeIf([gone](const Entry& e) { return e.object == gone; });
        checkFinished();
    });
    window->show();
    window->raise();
    window->activateWindow();
    emit windowOpened(window);
    return window;
}

MainWindow* AppController::openDatabase(const QString& path, OpenOptions options)
{
    // Two documents over one package would each write its index over the other's.
    if (MainWindow* open = windowFor(path)) {
        open->show();
        open->raise();
        open->activateWindow();
        return open;
    }
    auto* window = new MainWindow(this, prefs_);
    const OpenResult result = window->openDatabase(path, options);
    if (!result.ok()) {
        window->hide();
        delete window;
        reportOpenFailure(QApplication::activeWindow(), result, false);
        return nullptr;
    }
    adopt(window);
    window->reportIndexProblems();
    return window;
}

MainWindow* AppController::createDatabase(const QString& path)
{
    auto* window = new MainWindow(this, prefs_);
    const OpenResult result = window->createDatabase(path);
    if (!result.ok()) {
        delete window;
        reportOpenFailure(QApplication::activeWindow(), result, true);
        return nullptr;
    }
    return adopt(window);
}

bool rebuildModifierHeld()
{
    return QGuiApplication::queryKeyboardModifiers() & (Qt::ShiftModifier | Qt::AltModifier);
}

MainWindow* AppController::chooseAndOpen(QWidget* parent, bool rebuild)
{
    const QString title = rebuild ? tr("Open Database with Index Rebuild") : tr("Open Database");
    // A database is a folder: the person picks the ".fvdb" folder itself.
    const QString path = QFileDialog::getExistingDirectory(parent, title, QDir::homePath());
    if (path.isEmpty())
        return nullptr;
    OpenOptions options;
    // Holding Shift (or Alt) while the database opens asks for a rebuild, as the menu item does.
    options.rebuildRequested = rebuild || rebuildModifierHeld();
    return openDatabase(path, options);
}

MainWindow* AppController::chooseAndCreate(QWidget* parent)
{
    // The store refuses an existing path with its own words; the chooser's "replace?"
    // question would promise something that never happens.
    const QString path = QFileDialog::getSaveFileName(
        parent, tr("Create Database"), QDir::home().filePath(QStringLiteral("Untitled.fvdb")),
        tr("Folivo Databases (*.fvdb)"), nullptr, QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty())
        return nullptr;
    return createDatabase(path);
}

void AppController::showStartDialog()
{
    if (!start_) {
        start_ = new StartDialog;
        start_->setAttribute(Qt::WA_DeleteOnClose, false);
        connect(start_, &StartDialog::openRequested, this, [this] { startDialogDone(chooseAndOpen(start_, false)); });
        connect(start_, &StartDialog::newRequested, this, [this] { startDialogDone(chooseAndCreate(start_)); });
        connect(start_, &StartDialog::quitRequested, this, [this] { quit(); });
    }
    start_->show();
    start_->raise();
    start_->activateWindow();
}

void AppController::startDialogDone(MainWindow* opened)
{
    if (!opened || !start_)
        return;
    start_->hide();
    start_->deleteLater();
    start_.clear();
}

void AppController::quit()
{
    if (start_) {
        start_->hide();
        start_->deleteLater();
        start_.clear();
    }
    for (MainWindow* w : windows())
        w->close();
    checkFinished();
}

void AppController::checkFinished()
{
    if (windows().isEmpty() && !(start_ && start_->isVisible()))
        emit finished();
}

} // namespace folivo::gui
