#pragma once
// The application's windows: opening and creating databases each in a window of its own,
// the start dialog when no database is open, files given to the program (opened as
// databases or imported into one), and the end of the run when the last window closes.

#include "store/mydocument.h"

#include <QDialog>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <memory>
#include <optional>

namespace folivo {
class KTPrefs;
class NoticeStore;
struct ReminderNotice;
}

namespace folivo::platform {
class Platform;
}

namespace folivo::gui {

class LoginHotKeys;
class LoginController;
class MainWindow;
class PreferencesDialog;
class ReminderScheduler;

// Shown when the application starts without a database to open.
class StartDialog : public QDialog {
    Q_OBJECT
public:
    explicit StartDialog(QWidget* parent = nullptr);

signals:
    void openRequested();
    void newRequested();
    void quitRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
};

// Asks for a database with a folder chooser in which a ".fvdb" folder is one document:
// opening it picks it. Empty when cancelled.
QString chooseDatabaseFolder(QWidget* parent, const QString& title);

// True while Shift or Alt is held: opening then offers to rebuild the index.
bool rebuildModifierHeld();

class AppController : public QObject {
    Q_OBJECT
public:
    // `prefs` is the application's preference store, handed to every window; none in
    // tests that need none.
    // The desktop services are this session's (the Linux backends).
    explicit AppController(KTPrefs* prefs = nullptr, QObject* parent = nullptr);
    // With the services of `platform`, which outlives the controller (tests give fakes).
    AppController(KTPrefs* prefs, platform::Platform& platform, QObject* parent = nullptr);
    KTPrefs* preferences() const { return prefs_; }
    // The desktop services of the run, handed to every window.
    platform::Platform& platform() const { return *platform_; }
    ~AppController() override;

    // Opens the database at `path` in a new window and shows it; when a window has it open
    // already, raises that window instead. Failures are shown to the person; answers
    // nullptr then.
    MainWindow* openDatabase(const QString& path, OpenOptions options = {});
    // Creates a database at `path` (".fvdb" is added when missing) and opens it.
    MainWindow* createDatabase(const QString& path);

    // Ask for a database with a file chooser, then open or create it.
    MainWindow* chooseAndOpen(QWidget* parent, bool rebuild);
    MainWindow* chooseAndCreate(QWidget* parent);

    void showStartDialog();
    StartDialog* startDialog() const { return start_; }
    QList<MainWindow*> windows() const;
    MainWindow* windowFor(const QString& path) const;

    // Closes every window; the run ends when the last one has gone.
    void quit();
    // The preferences were accepted: every open database window shows what they changed.
    void preferencesChanged();

    // The start of a run: `paths` are routed as files opened with the program; with none,
    // the last database is opened. When that leaves no window, the start dialog is shown.
    // `options` apply to databases opened this way.
    void launch(const QStringList& paths, OpenOptions options = {});

    // A file opened with the program (the command line, a later launch, a file manager): a
    // ".fvdb" package opens as a database; anything else is imported into the database in
    // front. Files that arrive together are imported in one go, on the next pass of the
    // event loop. With no database open they wait in "droppedFilesToImport" while the last
    // database opens; with no last database either, "No Database" is shown, once until a
    // database window has opened.
    void openFile(const QString& path, OpenOptions options = {});
    void openFiles(const QStringList& paths, OpenOptions options = {});
    // Opens the database at "Last DB File" when it is set and opens; else the start dialog.
    void openUntitled(OpenOptions options = {});
    // The window of the database in front: the open database window that was active last.
    MainWindow* frontWindow() const;
    // Raises the front window, or the start dialog when there is none.
    void bringToFront();
    // True while "No Database" was shown and no database window has opened since.
    bool noDatabaseWarned() const { return warnedOnceAlready_; }

    // The notifications of reminders, for every database; none without a notification
    // service.
    ReminderScheduler* reminderScheduler() const { return scheduler_.get(); }
    // Keeps the schedule in `store` instead of the person's (tests).
    void useNoticeStore(NoticeStore store);
    // Hands the schedule to the desktop: at the start of the run.
    void startReminders();
    // A reminder notification was clicked (`launched`: it started this run, through
    // `folivo --reminder ID`): when the schedule holds the identifier, its database opens
    // (asking for its password when it is encrypted) and shows the folder.
    void openReminder(const QString& identifier, bool launched);
    void openReminderNotice(const ReminderNotice& notice, bool launched);

    // The hot keys that type a login's user ID and password (their `pressed` signal).
    LoginHotKeys* loginHotKeys() const { return loginHotKeys_.get(); }
    // Grabs the hot keys at the start of the run; one held by another program is said once,
    // after the launch.
    void startHotKeys();
    // Runs the preferences dialog with the hot keys let go meanwhile, and grabs them again
    // from the stored preferences when it closes, however it closes. Answers its result.
    int runPreferences(PreferencesDialog& dialog);

    // True when "backupFolderPath" is unset or a folder backups can go to; otherwise says
    // "Backup Folder Not Found" and answers false.
    bool checkBackupFolder();

    // Auto-login: the login context of every window, the typing, the hot keys.
    LoginController& logins() const { return *logins_; }

    // Every message the controller shows goes through here: a modal box. Tests record them.
    virtual void alert(const QString& title, const QString& text);

signals:
    void windowOpened(folivo::gui::MainWindow* window);
    // No window and no start dialog is left: time to end the run.
    void finished();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MainWindow* adopt(MainWindow* window);
    void makeScheduler(NoticeStore store);
    void makeLogins();
    // The one-time advice to keep backups of an encrypted database, then its settings.
    void warnAboutBackupsOnce(MainWindow* window);
    void checkFinished();
    void startDialogDone(MainWindow* opened);
    void dropImportOnOpenedDatabase();
    void dropImportOnUnopenedDatabase();
    void routeImport(const QString& path);
    void tellNotImported(const QStringList& files, const QString& why);
    QString lastDatabase() const;

    // The window as a plain QObject too: when it is destroyed it is no MainWindow any more
    // and may only be compared as what it still is.
    struct Entry {
        QObject* object;
        QPointer<MainWindow> window;
    };
    QList<Entry> windows_;
    // The windows, the one active last first.
    QList<QPointer<MainWindow>> activation_;
    QPointer<StartDialog> start_;
    KTPrefs* prefs_ = nullptr;
    std::unique_ptr<platform::Platform> ownPlatform_; // when the controller made them
    platform::Platform* platform_;
    std::unique_ptr<ReminderScheduler> scheduler_;
    std::unique_ptr<LoginHotKeys> loginHotKeys_;
    std::unique_ptr<LoginController> logins_;
    // Files waiting for the next pass of the event loop, to be imported together.
    QStringList dropImportFilesOnOpenedDatabase_;
    QStringList dropImportFilesOnUnopenedDatabase_;
    OpenOptions unopenedOptions_;
    bool warnedOnceAlready_ = false;
};

// What to tell the person when a database could not be opened or created; none when the
// store told them already or there is nothing to say (a cancel).
struct OpenFailureNotice {
    QString title;
    QString text;
};
std::optional<OpenFailureNotice> openFailureNotice(const OpenResult& result, bool creating);

// Shows why a database could not be opened or created, unless the store showed it already.
void reportOpenFailure(QWidget* parent, const OpenResult& result, bool creating);

} // namespace folivo::gui
