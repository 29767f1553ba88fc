#include "appcontroller.h"

#include "logins/logincontroller.h"

#include "mainwindow.h"

#include "app/appmessages.h"
#include "logins/loginhotkeys.h"
#include "logins/loginmessages.h"
#include "preferences/preferencesdialog.h"
#include "reminders/reminderscheduler.h"
#include "reminders/reminders.h"
#include "platform/linux/desktopplatform.h"
#include "platform/platform.h"
#include "prefs/ktprefs.h"
#include "prefs/prefkeys.h"
#include "store/messages.h"
#include "util/debuglog.h"
#include "util/fs.h"

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
#include <QTimer>
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

std::optional<OpenFailureNotice> openFailureNotice(const OpenResult& result, bool creating)
{
    // An invalid package was explained by the store, and a cancel (also of the password
    // sheet) needs no word.
    if (result.status != OpenStatus::NotFound && result.status != OpenStatus::Failed && result.status != OpenStatus::InUse)
        return std::nullopt;
    OpenFailureNotice notice;
    if (result.status == OpenStatus::InUse)
        notice.title = msg::DatabaseInUseTitle; // a command (or another Folivo) holds it
    else
        notice.title = creating ? QObject::tr("Cannot Create Database") : QObject::tr("Cannot Open Database");
    notice.text = result.message.isEmpty() ? QObject::tr("The database could not be opened.") : result.message;
    return notice;
}

namespace {

void showAlert(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox box(parent);
    if (parent)
        box.setWindowModality(Qt::WindowModal);
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(title);
    box.setTextFormat(Qt::PlainText);
    box.setText(title);
    box.setInformativeText(displayText(text));
    box.addButton(QMessageBox::Ok);
    box.exec();
}

// Lets the store's checks speak through the controller's alerts.
class ControllerAlerts : public SilentUi {
public:
    explicit ControllerAlerts(AppController& app) : app_(app) {}
    int ask(const Prompt& prompt) override
    {
        app_.alert(prompt.title, prompt.text);
        return 0;
    }

private:
    AppController& app_;
};

bool isDatabasePath(const QString& path)
{
    return QFileInfo(path).suffix().compare(QLatin1String("fvdb"), Qt::CaseInsensitive) == 0;
}

} // namespace

void reportOpenFailure(QWidget* parent, const OpenResult& result, bool creating)
{
    if (const auto notice = openFailureNotice(result, creating))
        showAlert(parent, notice->title, notice->text);
}

AppController::AppController(KTPrefs* prefs, QObject* parent)
    : QObject(parent), prefs_(prefs), ownPlatform_(platform::makeDesktopPlatform()), platform_(ownPlatform_.get())
{
    makeScheduler(NoticeStore());
    loginHotKeys_ = std::make_unique<LoginHotKeys>(platform_->hotKeys(), prefs_);
    makeLogins();
}

AppController::AppController(KTPrefs* prefs, platform::Platform& platform, QObject* parent)
    : QObject(parent), prefs_(prefs), platform_(&platform)
{
    makeScheduler(NoticeStore());
    loginHotKeys_ = std::make_unique<LoginHotKeys>(platform_->hotKeys(), prefs_);
    makeLogins();
}

void AppController::makeLogins()
{
    logins_ = std::make_unique<LoginController>(prefs_, platform_);
    logins_->alert = [this](const QString& title, const QString& text) { alert(title, text); };
    // A hot key types into the window in front; the controller ignores it without a login or
    // while a sequence runs.
    connect(loginHotKeys_.get(), &LoginHotKeys::pressed, logins_.get(), &LoginController::hotKeyPressed);
}

void AppController::startHotKeys()
{
    const QList<LoginHotKey> taken = loginHotKeys_->registerHotKeys();
    if (taken.isEmpty() || !prefs_)
        return;
    QStringList lines;
    for (const LoginHotKey which : taken)
        lines << hotKeyInUseText(loginHotKey(*prefs_, which));
    // After the launch, so that the windows it opens are not held up by the message.
    QTimer::singleShot(0, this, [this, text = lines.join(QStringLiteral("\n\n"))] {
        alert(loginmsg::HotKeyInUseTitle, text);
    });
}

int AppController::runPreferences(PreferencesDialog& dialog)
{
    loginHotKeys_->unregisterHotKeys();
    LoginHotKeys* hotKeys = loginHotKeys_.get();
    dialog.setHotKeyCheck([hotKeys](QKeyCombination keys) { return hotKeys->isAvailable(keys); });
    const int result = dialog.exec();
    loginHotKeys_->registerHotKeys();
    return result;
}

void AppController::makeScheduler(NoticeStore store)
{
    scheduler_.reset();
    if (!platform_->notifications())
        return;
    scheduler_ = std::make_unique<ReminderScheduler>(*platform_->notifications(), prefs_, std::move(store));
    connect(scheduler_.get(), &ReminderScheduler::requested, this,
            [this](const ReminderNotice& notice) { openReminderNotice(notice, false); });
}

void AppController::useNoticeStore(NoticeStore store)
{
    makeScheduler(std::move(store));
}

void AppController::startReminders()
{
    if (scheduler_)
        scheduler_->start();
}

void AppController::openReminder(const QString& identifier, bool launched)
{
    if (launched)
        appendDebugInfo(QStringLiteral("\n\nWhile NOT open, got notification: %1").arg(identifier));
    const std::optional<ReminderNotice> notice = scheduler_ ? scheduler_->request(identifier) : std::nullopt;
    if (!notice) {
        // Not one of ours (or no longer): nothing opens, but a launch still leaves a window.
        if (launched && windows().isEmpty())
            openUntitled();
        return;
    }
    openReminderNotice(*notice, launched);
}

void AppController::openReminderNotice(const ReminderNotice& notice, bool launched)
{
    if (!launched)
        appendDebugInfo(QStringLiteral("\n\ndidActivateNotification called:%1").arg(notice.identifier));
    MainWindow* window = openDatabase(notice.dbPath);
    if (!window) {
        if (launched && windows().isEmpty())
            showStartDialog();
        return;
    }
    appendDebugInfo(QStringLiteral("\n\ngotReminderNotificationForFolderPath called:%1").arg(notice.folderPath));
    window->reminderNotification(notice.folderPath);
}

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
    activation_.prepend(window);
    window->installEventFilter(this);
    connect(window, &QObject::destroyed, this, [this](QObject* gone) {
        windows_.removeIf([gone](const Entry& e) { return e.object == gone; });
        activation_.removeIf([](const QPointer<MainWindow>& w) { return w.isNull(); });
        checkFinished();
    });
    // A database window has loaded: files opened with the program have somewhere to go, and
    // the next time they have not, the person is told again.
    warnedOnceAlready_ = false;
    // A database opened some other way (a later launch) replaces the start dialog.
    if (start_) {
        start_->hide();
        start_->deleteLater();
        start_.clear();
    }
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
    auto* window = new MainWindow(this, prefs_, platform_);
    const OpenResult result = window->openDatabase(path, options);
    if (!result.ok()) {
        window->hide();
        delete window;
        if (const auto notice = openFailureNotice(result, false))
            alert(notice->title, notice->text);
        return nullptr;
    }
    adopt(window);
    window->reportIndexProblems();
    warnAboutBackupsOnce(window);
    return window;
}

void AppController::warnAboutBackupsOnce(MainWindow* window)
{
    // An encrypted database is told once to keep backups, right after its password was
    // accepted, unless backups are already going to a usable folder.
    MyDocument& doc = window->document();
    const bool backupOn = prefs_ && prefs_->boolForKey(prefkeys::BackupDatabase);
    const plist::Value* folder = prefs_ ? prefs_->objectForKey(prefkeys::BackupFolderPath) : nullptr;
    const bool folderGood = folder && folder->isString()
                            && MyDocument::backupFolderProblem(folder->string(), doc.dbPath()) == BackupFolderProblem::None;
    if (!doc.needsBackupWarning(backupOn, folderGood))
        return;
    alert(QString(), msg::BackupWarning);
    if (!doc.markWarnedAboutBackup())
        appendDebugInfo(QStringLiteral("\n\nThe backup warning of %1 could not be noted: %2").arg(doc.dbPath(), fs::lastError()));
    if (!prefs_)
        return;
    PreferencesDialog dialog(*prefs_, window);
    dialog.showBackupPage();
    if (runPreferences(dialog) == QDialog::Accepted)
        preferencesChanged();
}

MainWindow* AppController::createDatabase(const QString& path)
{
    auto* window = new MainWindow(this, prefs_, platform_);
    const OpenResult result = window->createDatabase(path);
    if (!result.ok()) {
        delete window;
        if (const auto notice = openFailureNotice(result, true))
            alert(notice->title, notice->text);
        return nullptr;
    }
    return adopt(window);
}

bool rebuildModifierHeld()
{
    return QGuiApplication::queryKeyboardModifiers() & (Qt::ShiftModifier | Qt::AltModifier);
}

QString chooseDatabaseFolder(QWidget* parent, const QString& title)
{
    // A database is a folder, but it is one document: choosing it, or opening it in the
    // chooser as one would open a folder, picks the database instead of going inside.
    QFileDialog dialog(parent, title, QDir::homePath());
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setLabelText(QFileDialog::Accept, QObject::tr("Open"));
    QString chosen;
    QObject::connect(&dialog, &QFileDialog::directoryEntered, &dialog, [&dialog, &chosen](const QString& dir) {
        if (isDatabasePath(QDir::cleanPath(dir))) {
            chosen = dir;
            static_cast<QDialog&>(dialog).done(QDialog::Accepted);
        }
    });
    if (parent)
        dialog.setWindowModality(Qt::WindowModal);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    if (!chosen.isEmpty())
        return QDir::cleanPath(chosen);
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : QDir::cleanPath(files.constFirst());
}

MainWindow* AppController::chooseAndOpen(QWidget* parent, bool rebuild)
{
    const QString title = rebuild ? tr("Open Database with Index Rebuild") : tr("Open Database");
    const QString path = chooseDatabaseFolder(parent, title);
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

void AppController::preferencesChanged()
{
    for (MainWindow* w : windows())
        w->preferencesChanged();
    if (scheduler_) {
        QList<const MyDocument*> open;
        for (MainWindow* w : windows())
            if (w->document().dbOpen())
                open << &w->document();
        scheduler_->preferencesChanged(open);
    }
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

bool AppController::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::WindowActivate) {
        for (qsizetype i = 0; i < activation_.size(); ++i) {
            if (activation_[i].data() == watched) {
                activation_.move(i, 0);
                break;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

MainWindow* AppController::frontWindow() const
{
    for (const QPointer<MainWindow>& w : activation_)
        if (w && w->document().dbOpen())
            return w.data();
    return nullptr;
}

void AppController::bringToFront()
{
    QWidget* front = frontWindow();
    if (!front && start_)
        front = start_;
    if (!front)
        return;
    front->show();
    front->raise();
    front->activateWindow();
}

void AppController::alert(const QString& title, const QString& text)
{
    showAlert(QApplication::activeWindow(), title, text);
}

bool AppController::checkBackupFolder()
{
    const plist::Value* folder = prefs_ ? prefs_->objectForKey(prefkeys::BackupFolderPath) : nullptr;
    if (!folder || !folder->isString() || folder->string().isEmpty())
        return true;
    ControllerAlerts ui(*this);
    return MyDocument::checkBackupFolder(folder->string(), {}, ui);
}

QString AppController::lastDatabase() const
{
    const plist::Value* v = prefs_ ? prefs_->objectForKey(prefkeys::LastDBFile) : nullptr;
    if (!v || !v->isString() || v->string().isEmpty() || !QFileInfo::exists(v->string()))
        return {};
    return v->string();
}

void AppController::launch(const QStringList& paths, OpenOptions options)
{
    if (paths.isEmpty()) {
        openUntitled(options);
        return;
    }
    openFiles(paths, options);
    // After the imports queued above: whatever happened, the person is left with a window.
    QTimer::singleShot(0, this, [this] {
        if (windows().isEmpty() && !start_)
            showStartDialog();
    });
}

void AppController::openUntitled(OpenOptions options)
{
    const QString last = lastDatabase();
    if (!last.isEmpty() && openDatabase(last, options))
        return;
    showStartDialog();
}

void AppController::openFiles(const QStringList& paths, OpenOptions options)
{
    for (const QString& path : paths)
        openFile(path, options);
}

void AppController::openFile(const QString& given, OpenOptions options)
{
    if (given.isEmpty())
        return;
    // A shell completes a folder with a trailing "/", which hides its extension.
    const QString path = QDir::cleanPath(given);
    if (isDatabasePath(path)) {
        openDatabase(path, options);
        return;
    }
    unopenedOptions_ = options;
    routeImport(path);
}

void AppController::routeImport(const QString& path)
{
    if (frontWindow() && dropImportFilesOnUnopenedDatabase_.isEmpty()) {
        if (dropImportFilesOnOpenedDatabase_.isEmpty())
            QTimer::singleShot(0, this, &AppController::dropImportOnOpenedDatabase);
        dropImportFilesOnOpenedDatabase_ << path;
    } else if (!lastDatabase().isEmpty()) {
        if (dropImportFilesOnUnopenedDatabase_.isEmpty())
            QTimer::singleShot(0, this, &AppController::dropImportOnUnopenedDatabase);
        dropImportFilesOnUnopenedDatabase_ << path;
    } else if (!warnedOnceAlready_) {
        warnedOnceAlready_ = true;
        alert(appmsg::NoDatabaseTitle, appmsg::NoDatabaseText);
    }
}

void AppController::tellNotImported(const QStringList& files, const QString& why)
{
    const QString text = files.size() == 1
                             ? tr("The file \"%1\" was not imported: %2").arg(QFileInfo(files.front()).fileName(), why)
                             : tr("%1 files were not imported: %2").arg(files.size()).arg(why);
    alert(tr("Files Not Imported"), text);
}

void AppController::dropImportOnOpenedDatabase()
{
    const QStringList files = std::exchange(dropImportFilesOnOpenedDatabase_, {});
    if (files.isEmpty())
        return;
    MainWindow* front = frontWindow();
    if (!front) {
        // The window closed in the meantime: the files go where they would have gone then.
        for (const QString& path : files)
            routeImport(path);
        return;
    }
    bringToFront();
    const MyDocument& doc = front->document();
    // The import would do nothing in a database that cannot be changed, and say nothing.
    if (!doc.canChange()) {
        tellNotImported(files, tr("the database \"%1\" cannot be changed.").arg(QFileInfo(doc.dbPath()).fileName()));
        return;
    }
    front->importPaths(files);
}

void AppController::dropImportOnUnopenedDatabase()
{
    const QStringList files = std::exchange(dropImportFilesOnUnopenedDatabase_, {});
    if (files.isEmpty())
        return;
    const QString last = lastDatabase();
    if (!prefs_ || last.isEmpty()) {
        tellNotImported(files, tr("the database they were meant for cannot be found."));
        return;
    }
    plist::Array list;
    for (const QString& f : files)
        list.emplace_back(f);
    prefs_->setObject(plist::Value(std::move(list)), prefkeys::DroppedFilesToImport);
    prefs_->synchronize();

    MainWindow* window = openDatabase(last, unopenedOptions_);
    if (window)
        window->importDroppedFiles();
    // Still waiting: the database did not open, or cannot take them. They must not be
    // imported into whatever database opens next, perhaps days later.
    if (prefs_->objectForKey(prefkeys::DroppedFilesToImport)) {
        prefs_->removeObjectForKey(prefkeys::DroppedFilesToImport);
        prefs_->synchronize();
        const QString name = QFileInfo(last).fileName();
        tellNotImported(files, window ? tr("the database \"%1\" cannot be changed.").arg(name)
                                      : tr("the database \"%1\" was not opened.").arg(name));
    }
}

} // namespace folivo::gui
