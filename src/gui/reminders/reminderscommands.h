#pragma once
// Reminders in the window: the list of due (or all) reminders above the shown file, brought
// up to date whenever the window comes to the front, and the way from a row to its folder.

#include "commandmodule.h"

namespace folivo::gui {

class AttributesCommands;
class ReminderList;

class RemindersCommands : public CommandModule {
    Q_OBJECT
public:
    // `attributes` shows the folder's reminder page when a row is opened.
    RemindersCommands(WindowContext& window, AttributesCommands* attributes);
    ~RemindersCommands() override;
    QString name() const override { return QStringLiteral("reminders"); }
    void registerCommands(CommandRegistry&) override {}
    void databaseOpened() override;
    void windowActivated() override;
    void windowClosing() override;

    ReminderList* list() const { return list_; }
    // Reveals and selects the folder in the browser and shows its reminder page.
    void revealFolder(const QString& folderPath);

private:
    AttributesCommands* attributes_;
    ReminderList* list_;
};

} // namespace folivo::gui
