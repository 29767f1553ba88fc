#pragma once
// The viewer's commands: zoom, rotation, enhance mode, the PDF shown as text, and opening
// the shown file in other programs. It puts the viewer page into the content area and
// shows there the file the browser found ready.

#include "commandmodule.h"
#include "viewer/viewerpage.h"

#include <QPointer>

namespace folivo::platform {
struct Application;
class Platform;
} // namespace folivo::platform

namespace folivo::gui {

class ViewerCommands : public CommandModule {
    Q_OBJECT
public:
    explicit ViewerCommands(WindowContext& window);
    QString name() const override { return QStringLiteral("viewer"); }
    void registerCommands(CommandRegistry& registry) override;
    void fillMenuContext(MenuContext& context) const override;
    void selectionChanged(const QStringList& paths) override;
    void fileReady(const QString& path) override;
    void windowClosing() override;

    ViewerPage* page() const { return page_; }

    void toggleEnhance();
    void togglePdfAsText();
    void openShownFile();
    // The desktop's own chooser where it has one, else a list of the programs for the type.
    void openShownFileWith();
    // `choose`: ask for the program again (Shift held), not only when none was chosen.
    void openInPdfViewer(bool choose);

    // Picks one of `apps` for a question; the window asks the person, a test answers.
    using ApplicationChooser = std::function<std::optional<platform::Application>(
        const QString& title, const QString& text, const QList<platform::Application>& apps)>;
    void setApplicationChooser(ApplicationChooser chooser) { chooser_ = std::move(chooser); }

private:
    // A plain path of the shown file another program may read (a copy in an encrypted
    // database, kept until the window closes); empty after telling the person why not.
    QString pathToHandOut();
    void openWithFromList(platform::Platform& platform, const QString& mime, const QString& name, const QString& path);
    std::optional<platform::Application> choose(const QString& title, const QString& text,
                                                const QList<platform::Application>& apps);

    QPointer<ViewerPage> page_;
    ApplicationChooser chooser_;
};

} // namespace folivo::gui
