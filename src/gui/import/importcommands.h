#pragma once
// Every way files come into a database from its window: Import Files… and Import Folder…,
// the clipboard, files dropped on the window or on a folder of the tree, files dropped on
// the program before the database was open, and the database's import folder, emptied on
// activation.

#include "commandmodule.h"

#include "filing/importfolder.h"
#include "filing/importpipeline.h"

#include <functional>

class QEvent;

namespace folivo::gui {

class ImportCommands : public CommandModule {
    Q_OBJECT
public:
    // `drainWait`: how the import folder waits for files to settle, when set (tests).
    ImportCommands(WindowContext& window, const std::function<void(int ms)>& drainWait);
    QString name() const override { return QStringLiteral("import"); }
    void registerCommands(CommandRegistry& registry) override;
    void fillMenuContext(MenuContext& context) const override;
    void windowActivated() override;
    bool inTheMiddleOfAStep() const override { return draining_; }

    // Imports files and folders from outside through the import pipeline: into `parentPath`
    // at `index` when given (a drop), else filed by the rules. `dropped`: a drop on the
    // tree, at `index` even at the top level (`parentPath` empty). Shows what the import
    // asks and selects what was imported.
    ImportOutcome importPaths(const QStringList& paths, const QString& parentPath = {}, int index = -1,
                              bool ignoreUserSelection = false, bool dropped = false);
    ImportOutcome importDroppedFiles();
    ImportOutcome importFromClipboard();
    // Empties the import folder into the database, once at a time. What the session was
    // told already (a missing folder, "Don't Import") is not asked again.
    DrainOutcome drainImportFolder();
    int drainsRun() const { return drainsRun_; }
    void editImportFolder();

protected:
    // Files from other programs dropped on the window itself.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void importPanel(bool folders);
    ImportContext importContext() const;
    ImportOutcome runImport(const ImportRequest& request);
    void showImportOutcome(const ImportOutcome& outcome);
    void scheduleSkipWarning();

    const std::function<void(int ms)>& drainWait_;
    bool draining_ = false;
    int drainsRun_ = 0;
};

} // namespace folivo::gui
