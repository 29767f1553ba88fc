#pragma once
// One window per open database: the browser tree at the top left with the selected item's
// details below it, the path line and the shown item on the right. The window owns its
// document and everything that refers to the document's tree; every command it offers
// asks the core's menu rules first, from the menu, the toolbar or a shortcut alike.

#include "browserdrops.h"
#include "qtdocumentui.h"

#include "browser/menuvalidation.h"
#include "filing/importfolder.h"
#include "filing/importpipeline.h"
#include "store/mydocument.h"

#include <QHash>
#include <QMainWindow>
#include <QSet>
#include <QTreeView>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class QSplitter;
class QTimer;

namespace folivo::platform {
class Platform;
}

namespace folivo::gui {

class AppController;
class BusyMode;
class DetailsPane;
class TreeModel;

class MainWindow : public QMainWindow, private HistoryView {
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

    MyDocument& document() { return *doc_; }
    KTPrefs* preferences() const { return prefs_; }
    platform::Platform* platform() const { return platform_; }
    QString databasePath() const { return doc_->dbPath(); }
    TreeModel* model() const { return model_.get(); }
    BrowserView* treeView() const { return view_; }
    DetailsPane* details() const { return details_; }
    QtDocumentUi& documentUi() { return ui_; }
    QString statusText() const;
    // The line above the shown item: its path, or what the selection is.
    QString pathLineText() const;
    void setPathLineText(const QString& text);

    // Imports files and folders from outside into this database through the import
    // pipeline: into `parentPath` at `index` when given (a drop), else filed by the rules.
    // `dropped`: a drop on the tree, at `index` even at the top level (`parentPath` empty).
    // Shows what the import asks and selects what was imported.
    ImportOutcome importPaths(const QStringList& paths, const QString& parentPath = {}, int index = -1,
                              bool ignoreUserSelection = false, bool dropped = false);
    // Imports the files dropped on the program before this database was open, if any.
    ImportOutcome importDroppedFiles();
    // Imports what the clipboard holds (its best kind of content, or the files it names).
    ImportOutcome importFromClipboard();
    // Empties the database's import folder into it. Runs once at a time: the progress
    // sheet and the settling wait bring the window forward again while it runs. What the
    // session was told already (a missing folder, "Don't Import") is not asked again.
    DrainOutcome drainImportFolder();
    int drainsRun() const { return drainsRun_; }
    // How the drain waits for files to settle; tests put their own in.
    std::function<void(int ms)> drainWait;

    // Tells the person about index entries the last open had to leave out, if any.
    void reportIndexProblems();

    // Selects the item with the stored path, revealing it; false when there is none.
    bool selectPath(const QString& path);
    // Selects the items (revealing them) and shows `message` on the path line; with a
    // message, the selection is one step of the history.
    void selectItems(const QStringList& paths, const QString& message = {});
    QStringList selectedPaths() const;

    // The commands, as the menus run them. Each checks the menu rules first and does
    // nothing when they say no.
    bool runCommand(MenuCommand command);
    MenuState commandState(MenuCommand command) const;
    QAction* action(MenuCommand command) const { return actions_.value(int(command)); }
    void refreshActions();

    void expandAll();
    void collapseAll();

    // Saves now (the timer, deactivation), unless the document is in the middle of a step.
    SaveOutcome saveNow(bool fromTimer);
    QTimer* saveTimer() const { return saveTimer_; }

    // Sizes of the panes, kept with the database.
    QSplitter* mainSplitter() const { return splitter_; }
    QSplitter* leftSplitter() const { return leftSplitter_; }

    // What the preferences changed: dates, the browser's icons and double-click.
    void preferencesChanged();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    bool takesDrop(const QDropEvent* event) const;
    bool confirmsDelete() const;
    void buildActions();
    QAction* addCommand(MenuCommand command, const QString& text, const QKeySequence& shortcut,
                        std::function<void()> run, const QString& iconName = {});
    MenuContext menuContext() const;
    void databaseOpened();
    void selectionChanged();
    // Selects without adding to the history (the history's own steps, restoring).
    void showItems(const QStringList& paths, const QString& message);
    void showSelection(const std::vector<const IndexItem*>& items, const QString& message);
    // Notes what the view has selected (its paths) and answers it in the tree's order.
    std::vector<const IndexItem*> noteSelection();
    void addSelectionToHistory(const QString& message);
    // Selects the rows of `paths` (expanding `expandFirst` before) without the history
    // hearing of it; answers the paths that have a row.
    QStringList selectRowsQuietly(const QStringList& paths, bool reveal, const QModelIndexList& expandFirst = {});
    bool inTheMiddleOfAStep() const;
    // HistoryView
    void showItems(const std::vector<IndexItem*>& items, const QString& message) override;
    void backForwardChanged(bool canGoBack, bool canGoForward) override;
    void checkSelectedFile(const QString& path);
    void scheduleRestore();
    void restoreViewState();
    void updateStatus();
    void about();
    void windowActivated();
    // Whether the window's focus went to one of its own dialogs or sheets.
    bool ownDialogInFront() const;
    void scheduleSkipWarning();
    ImportContext importContext() const;
    void showImportOutcome(const ImportOutcome& outcome);
    ImportOutcome runImport(const ImportRequest& request);
    std::vector<const IndexItem*> selectedItems() const;
    const IndexItem* singleSelected() const;
    void keepPaneSizes();

    // Commands.
    void newFolder();
    void deleteSelected();
    // Deletes the items, last first, with the progress sheet (and Stop for several);
    // false when the person stopped it.
    bool deleteRecorded(const QStringList& paths);
    // Files dragged out of the window ended in the desktop's Trash: their items are deleted
    // once the person agrees. The copies thrown away are taken out of the Trash again when
    // they are the plain text of an encrypted database.
    void deleteDraggedFiles(const QStringList& itemPaths, const QStringList& copyPaths, const QDateTime& since);
    void sortSelected();
    void editName();
    void copySelected();
    void toggleSorting(MenuCommand command);
    void importPanel(bool folders);
    void backupNow();
    void goBack();
    void goForward();
    void showPreferences();
    void editImportFolder();
    void doubleClicked(const QModelIndex& index);
    void showFilesOfSmartFolder(const IndexItem& folder);
    void editWithButton(const QModelIndex& index);
    EditContext editContext() const;

    AppController* app_;
    KTPrefs* prefs_;
    platform::Platform* platform_;
    QtDocumentUi ui_;
    std::unique_ptr<MyDocument> doc_;
    std::unique_ptr<TreeModel> model_; // after doc_: it leaves the tree's observers first
    QSplitter* splitter_;
    QSplitter* leftSplitter_;
    BrowserView* view_;
    DetailsPane* details_;
    QLabel* pathLine_;
    QLabel* status_;
    QLabel* lock_;     // shown while the database is encrypted
    QLabel* readOnly_; // shown while the database cannot be changed
    QTimer* saveTimer_;
    QHash<int, QAction*> actions_;
    QAction* importFolder_ = nullptr; // "Import Folder…": the rule of Import, another chooser

    // What the person had expanded and selected, by path: a model reset forgets indexes,
    // and the items behind them may have gone.
    QSet<QString> expandedPaths_;
    QStringList selectedPaths_;
    bool restorePending_ = false;
    bool restoring_ = false;
    bool draining_ = false;
    // Which activations empty the import folder.
    ImportFolderRounds rounds_;
    int drainsRun_ = 0;
    BusyMode* busy_ = nullptr;
    // Plain copies handed to other programs (opened, copied): kept until the window closes.
    std::vector<PlainCopy> keptCopies_;
};

} // namespace folivo::gui
