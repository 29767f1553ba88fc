#pragma once
// One window per open database, a frame of panes and command modules: the browser pane at
// the top left with the panes of modules below it (the attributes area), the content area on the right,
// and the modules that bring the menus' commands. The window owns its document and
// everything that refers to the document's tree; every command it offers asks the core's
// menu rules first, from the menu, the toolbar or a shortcut alike.

#include "browser/browserdrops.h"
#include "commandmodule.h"
#include "database/qtdocumentui.h"

#include "browser/menuvalidation.h"
#include "filing/importfolder.h"
#include "filing/importpipeline.h"
#include "store/mydocument.h"

#include <QHash>
#include <QMainWindow>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QLabel;
class QSplitter;
class QTimer;

namespace folivo::platform {
class Platform;
}

namespace folivo::gui {

class AppController;
class BrowserPane;
class BrowserView;
class BusyMode;
class ContentArea;
class DatabaseCommands;
class ImportCommands;
class TreeModel;

class MainWindow : public QMainWindow, private WindowContext {
    Q_OBJECT
public:
    // Without a controller, the File menu's New and Open do nothing (tests, embedding).
    // `prefs` is the application's preference store (none in tests that need none).
    // `platform` gives the desktop services; without it nothing opens in other programs.
    explicit MainWindow(AppController* app = nullptr, KTPrefs* prefs = nullptr, platform::Platform* platform = nullptr,
                        QWidget* parent = nullptr);
    ~MainWindow() override;

    // Opens or creates the window's database. The window shows itself once the database
    // is past its checks; on failure it stays hidden (and may be deleted).
    OpenResult openDatabase(const QString& path, OpenOptions options = {});
    OpenResult createDatabase(const QString& path);

    MyDocument& document() override { return *doc_; }
    KTPrefs* preferences() const override { return prefs_; }
    platform::Platform* platform() const override { return platform_; }
    QString databasePath() const { return doc_->dbPath(); }
    BrowserPane& browser() override { return *browser_; }
    ContentArea& content() override { return *content_; }
    QSplitter& leftColumn() override { return *leftSplitter_; }
    QSplitter& rightColumn() override { return *rightSplitter_; }
    QString selectedReminder() const override { return selectedReminder_; }
    void setSelectedReminder(const QString& folderPath) override { selectedReminder_ = folderPath; }
    TreeModel* model() const;
    BrowserView* treeView() const;
    QtDocumentUi& documentUi() override { return ui_; }
    QString statusText() const;
    // The line above the shown item: its path, or what the selection is.
    QString pathLineText() const;
    void setPathLineText(const QString& text);

    // The import entry points (see ImportCommands).
    ImportOutcome importPaths(const QStringList& paths, const QString& parentPath = {}, int index = -1,
                              bool ignoreUserSelection = false, bool dropped = false);
    ImportOutcome importDroppedFiles();
    ImportOutcome importFromClipboard();
    DrainOutcome drainImportFolder();
    int drainsRun() const;
    // How the drain waits for files to settle; tests put their own in.
    std::function<void(int ms)> drainWait;

    // Tells the person about index entries the last open had to leave out, if any.
    void reportIndexProblems();

    bool selectPath(const QString& path);
    void selectItems(const QStringList& paths, const QString& message = {});
    QStringList selectedPaths() const;

    // The commands, as the menus run them. Each checks the menu rules first and does
    // nothing when they say no.
    bool runCommand(MenuCommand command);
    MenuState commandState(MenuCommand command) const override;
    QAction* action(MenuCommand command) const { return actions_.value(int(command)); }
    void refreshActions() override;
    // The rows the modules registered, as they registered them.
    const CommandRegistry& commandRegistry() const { return registry_; }
    // The snapshot the menu rules read, as the modules fill it.
    MenuContext menuContext() const;

    void expandAll();
    void collapseAll();

    // A clicked reminder notification of this database names the folder.
    void reminderNotification(const QString& folderPath);
    // The module with the name, if the window has one.
    CommandModule* module(const QString& name) const;

    // Saves now (the timer, deactivation), unless the document is in the middle of a step.
    SaveOutcome saveNow(bool fromTimer);
    QTimer* saveTimer() const { return saveTimer_; }

    // Sizes of the panes, kept with the database.
    QSplitter* mainSplitter() const { return splitter_; }
    QSplitter* leftSplitter() const { return leftSplitter_; }

    // What the preferences changed: dates, the browser's icons and double-click.
    void preferencesChanged() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    // Every module, in the order its rows come within a section of a menu.
    void addModules();
    void buildActions();
    QAction* makeAction(const CommandRow& row);
    void databaseOpened();
    void updateStatus() override;
    void windowActivated();
    // Whether the window's focus went to one of its own dialogs or sheets.
    bool ownDialogInFront() const;
    void keepPaneSizes();
    // WindowContext
    QWidget* window() override { return this; }
    AppController* app() const override { return app_; }
    BusyMode* busyMode() const override { return busy_; }
    void setBusyMode(BusyMode* busy) override { busy_ = busy; }
    bool inTheMiddleOfAStep() const override;
    void keepCopy(PlainCopy copy) override;

    AppController* app_;
    KTPrefs* prefs_;
    platform::Platform* platform_;
    QtDocumentUi ui_;
    std::unique_ptr<MyDocument> doc_;
    QSplitter* splitter_;
    QSplitter* leftSplitter_;
    std::unique_ptr<BrowserPane> browser_; // after doc_: its model leaves the tree's observers first
    QSplitter* rightSplitter_;
    QString selectedReminder_;
    ContentArea* content_;
    QLabel* status_;
    QLabel* lock_;     // shown while the database is encrypted
    QLabel* readOnly_; // shown while the database cannot be changed
    QTimer* saveTimer_;

    std::vector<std::unique_ptr<CommandModule>> modules_;
    ImportCommands* import_ = nullptr;     // the import entry points the window offers
    DatabaseCommands* database_ = nullptr; // the report of index problems after an open
    CommandRegistry registry_;
    QHash<int, QAction*> actions_;                                 // by menu command
    std::vector<std::pair<const CommandRow*, QAction*>> rowActions_; // every row's action

    // Which activations empty the import folder.
    ImportFolderRounds rounds_;
    BusyMode* busy_ = nullptr;
    // Plain copies handed to other programs (opened, copied): kept until the window closes.
    std::vector<PlainCopy> keptCopies_;
};

} // namespace folivo::gui
