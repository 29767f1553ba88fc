#pragma once
// Smart folders in a database window: "New Smart Folder from Selection", the Find dialog's
// "keep as a smart folder", the editor a smart folder's row opens, and loading a folder when
// it is expanded or selected. A load runs in slices under the window's busy mode, which says
// how many files were added and stops on Control, Escape or Stop; the folder's row says that
// it is loading. Every change of the database collapses the smart folders: nothing is
// computed again until one is shown.

#include "commandmodule.h"

#include "find/criteria.h"

#include <QModelIndex>
#include <QString>
#include <functional>

namespace folivo {
class IndexItem;
}

namespace folivo::gui {

class SmartFolderCommands : public CommandModule {
    Q_OBJECT
public:
    explicit SmartFolderCommands(WindowContext& window);
    ~SmartFolderCommands() override;
    QString name() const override { return QStringLiteral("smartfolders"); }
    void registerCommands(CommandRegistry& registry) override;
    void databaseOpened() override;
    void windowClosing() override;
    void selectionChanged(const QStringList& paths) override;
    bool inTheMiddleOfAStep() const override { return loading_; }

    // The module of a window (other modules reach it through this), if it has one.
    static SmartFolderCommands* of(WindowContext& window);
    static SmartFolderCommands* ofWidget(const QWidget* window);

    // A selected-items folder of the browser's selection ("Selected Files").
    void newSmartFolderFromSelection();
    // A condition folder from the Find dialog's criteria ("Type" 3): made, shown, expanded.
    void createConditionFolder(const FindCriteria& criteria);
    // The edit action of a smart folder's or smart file's row. False when the row is no
    // smart item (the ordinary rename applies).
    bool edit(const QString& path);
    // Loads the folder now when it needs it, in slices under busy mode; true when it is
    // current afterwards (also when it needed nothing).
    bool load(const QString& folderPath);

    // How many items one slice of a scan tests before the window gets a turn.
    int sliceSize = 100;
    // The tag panel edits a tag folder; without it such a folder's row is renamed in place.
    std::function<void(const QString& folderPath)> editTagFolder;
    // How the Find dialog of a condition folder runs; tests replace it. Answers the
    // accepted criteria, or nothing when cancelled.
    std::function<std::optional<FindCriteria>(const FindCriteria& criteria, const QString& name)> runFindDialog;

private:
    void expanded(const QModelIndex& index);
    void collapseSmartFolders();
    void reveal(const QString& path, bool expand);
    std::optional<FindCriteria> findDialog(const FindCriteria& criteria, const QString& name);

    const QWidget* widget_ = nullptr;
    bool loading_ = false;
    bool expandingOwn_ = false;
    bool connected_ = false;
};

} // namespace folivo::gui
