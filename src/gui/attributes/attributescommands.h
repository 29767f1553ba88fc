#pragma once
// The attributes area in its window: shown or hidden ("Show Attributes"), in the left column
// below the browser's tree or in a moveable panel of its own ("Use Moveable Attributes
// Panel"), both kept with the database; it follows the browser's selection and the file
// the content area shows.

#include "commandmodule.h"

#include <QPointer>

namespace folivo::gui {

class AttributesArea;

class AttributesCommands : public CommandModule {
    Q_OBJECT
public:
    explicit AttributesCommands(WindowContext& window);
    ~AttributesCommands() override;
    QString name() const override { return QStringLiteral("attributes"); }
    void registerCommands(CommandRegistry& registry) override;
    void fillMenuContext(MenuContext& context) const override;
    void databaseOpened() override;
    void windowClosing() override;
    void selectionChanged(const QStringList& paths) override;

    AttributesArea* area() const { return area_; }
    // The moveable panel (a tool window of the database window); none while the area sits in
    // the window.
    QWidget* panel() const { return panel_; }
    bool shown() const { return shown_; }

    void toggleShown();
    void toggleMoveable();
    // Runs the editor of the database's custom attribute names.
    void editCustomAttributeNames();

private:
    // Puts the area where the settings say, shown or hidden.
    void place();
    void keepPanelPosition();

    AttributesArea* area_;
    QPointer<QWidget> panel_;
    bool shown_ = false;
};

} // namespace folivo::gui
