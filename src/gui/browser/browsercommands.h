#pragma once
// The browser's commands: new folder, rename, delete (also of files dragged to the Trash),
// copy, expand and collapse, sorting, the history's back and forward, and what a
// double-click on a row opens.

#include "commandmodule.h"

#include <QDateTime>
#include <QStringList>

class QModelIndex;

namespace folivo {
class IndexItem;
}

namespace folivo::gui {

class BrowserCommands : public CommandModule {
    Q_OBJECT
public:
    explicit BrowserCommands(WindowContext& window);
    QString name() const override { return QStringLiteral("browser"); }
    void registerCommands(CommandRegistry& registry) override;
    void fillMenuContext(MenuContext& context) const override;

    void newFolder();
    void deleteSelected();
    // Files dragged out of the window ended in the desktop's Trash: their items are deleted
    // once the person agrees. The copies thrown away are taken out of the Trash again when
    // they are the plain text of an encrypted database.
    void deleteDraggedFiles(const QStringList& itemPaths, const QStringList& copyPaths, const QDateTime& since);
    void editName();
    void copySelected();
    void sortSelected();
    void toggleSorting(MenuCommand command);
    void doubleClicked(const QModelIndex& index);

private:
    bool confirmsDelete() const;
    // Deletes the items, last first, with the progress sheet (and Stop for several);
    // false when the person stopped it.
    bool deleteRecorded(const QStringList& paths);
    void showFilesOfSmartFolder(const IndexItem& folder);
};

} // namespace folivo::gui
