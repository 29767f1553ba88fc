#pragma once
// Tag smart folders in a database window: "New Tag Smart Folder…" opens the panel for a new
// folder, and editing a tag smart folder opens it for that folder. While the panel is open,
// each toggle loads the folder again in slices, so its contents follow the selection
// without holding up the window.

#include "commandmodule.h"
#include "tagpanel.h"

#include <QPointer>
#include <memory>

class QTimer;

namespace folivo {
class DocumentMatchContext;
class SmartFolderLoad;
}

namespace folivo::gui {

class TagPanelCommands : public CommandModule {
    Q_OBJECT
public:
    explicit TagPanelCommands(WindowContext& window);
    ~TagPanelCommands() override;
    QString name() const override { return QStringLiteral("tagpanel"); }
    void registerCommands(CommandRegistry& registry) override;
    void windowClosing() override;

    // Opens the panel for a new tag smart folder; false when it did not open (nothing
    // carries a tag or a date: the person is told so beside the browser).
    bool newTagSmartFolder();
    // Opens the panel for the tag smart folder at `path`.
    bool editTagSmartFolder(const QString& path);
    // The same for the selected folder, when it is a tag smart folder.
    bool editSelectedTagSmartFolder();

    // The open panel, if any (tests press its buttons).
    TagPanel* panel() const { return panel_; }
    // The folder's load after a toggle runs; it ends on a later turn of the event loop.
    bool loading() const { return load_ != nullptr; }
    // How many items one slice of a load tests before the window gets a turn.
    int sliceSize = 500;

signals:
    // The panel closed (accepted or not) and the browser shows the result.
    void panelClosed(bool accepted);

private:
    bool openPanel(const QString& path);
    void loadFolder(const QString& path);
    void loadSlice();
    void panelFinished(int result);

    QPointer<TagPanel> panel_;
    QStringList selectionBefore_;
    QString loadingPath_;
    // The load reads through the context: it goes first.
    std::unique_ptr<DocumentMatchContext> context_;
    std::unique_ptr<SmartFolderLoad> load_;
    QTimer* slices_;
};

} // namespace folivo::gui
