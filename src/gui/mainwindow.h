#pragma once
// One window per open database: the browser on the left, the selected item's details on
// the right, the item count below. The window owns its document and everything that
// refers to the document's tree.

#include "qtdocumentui.h"

#include "filing/importpipeline.h"
#include "store/mydocument.h"

#include <QMainWindow>
#include <QSet>
#include <memory>

class QLabel;
class QSplitter;
class QTreeView;

namespace folivo::gui {

class AppController;
class DetailsPane;
class TreeModel;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Without a controller, the File menu's New and Open do nothing (tests, embedding).
    // `prefs` is the application's preference store (none in tests that need none).
    explicit MainWindow(AppController* app = nullptr, KTPrefs* prefs = nullptr, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Opens or creates the window's database. The window shows itself once the database
    // is past its checks; on failure it stays hidden (and may be deleted).
    OpenResult openDatabase(const QString& path, OpenOptions options = {});
    OpenResult createDatabase(const QString& path);

    MyDocument& document() { return *doc_; }
    KTPrefs* preferences() const { return prefs_; }

    // Imports files and folders from outside into this database through the import
    // pipeline: into `parentPath` at `index` when given (a drop), else filed by the rules.
    // Shows what the import asks and selects what was imported.
    ImportOutcome importPaths(const QStringList& paths, const QString& parentPath = {}, int index = -1,
                              bool ignoreUserSelection = false);
    // Imports the files dropped on the program before this database was open, if any.
    ImportOutcome importDroppedFiles();
    QString databasePath() const { return doc_->dbPath(); }
    TreeModel* model() const { return model_.get(); }
    QTreeView* treeView() const { return view_; }
    DetailsPane* details() const { return details_; }
    QtDocumentUi& documentUi() { return ui_; }
    QString statusText() const;

    // Tells the person about index entries the last open had to leave out, if any.
    void reportIndexProblems();

    // Selects the item with the stored path, revealing it; false when there is none.
    bool selectPath(const QString& path);
    void expandAll();
    void collapseAll();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void databaseOpened();
    void currentChanged(const QModelIndex& current);
    void scheduleRestore();
    void restoreViewState();
    void updateStatus();
    void about();
    ImportContext importContext() const;
    void showImportOutcome(const ImportOutcome& outcome);

    AppController* app_;
    KTPrefs* prefs_;
    QtDocumentUi ui_;
    std::unique_ptr<MyDocument> doc_;
    std::unique_ptr<TreeModel> model_; // after doc_: it leaves the tree's observers first
    QSplitter* splitter_;
    QTreeView* view_;
    DetailsPane* details_;
    QLabel* status_;
    QLabel* lock_; // shown while the database is encrypted

    // What the person had expanded and selected, by path: a model reset forgets indexes,
    // and the items behind them may have gone.
    QSet<QString> expandedPaths_;
    QString currentPath_;
    bool restorePending_ = false;
};

} // namespace folivo::gui
