#pragma once
// The application's windows: opening and creating databases each in a window of its own,
// the start dialog when no database is open, and the end of the run when the last window
// closes.

#include "store/mydocument.h"

#include <QDialog>
#include <QList>
#include <QObject>
#include <QPointer>

namespace folivo {
class KTPrefs;
}

namespace folivo::gui {

class MainWindow;

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

// True while Shift or Alt is held: opening then offers to rebuild the index.
bool rebuildModifierHeld();

class AppController : public QObject {
    Q_OBJECT
public:
    // `prefs` is the application's preference store, handed to every window; none in
    // tests that need none.
    explicit AppController(KTPrefs* prefs = nullptr, QObject* parent = nullptr);
    KTPrefs* preferences() const { return prefs_; }
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

signals:
    void windowOpened(folivo::gui::MainWindow* window);
    // No window and no start dialog is left: time to end the run.
    void finished();

private:
    MainWindow* adopt(MainWindow* window);
    void checkFinished();
    void startDialogDone(MainWindow* opened);

    // The window as a plain QObject too: when it is destroyed it is no MainWindow any more
    // and may only be compared as what it still is.
    struct Entry {
        QObject* object;
        QPointer<MainWindow> window;
    };
    QList<Entry> windows_;
    QPointer<StartDialog> start_;
    KTPrefs* prefs_ = nullptr;
};

// Shows why a database could not be opened or created, unless the store showed it already.
void reportOpenFailure(QWidget* parent, const OpenResult& result, bool creating);

} // namespace folivo::gui
