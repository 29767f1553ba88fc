#pragma once
// Reminders in the window: the list of due (or all) reminders above the shown file, brought
// up to date whenever the window comes to the front, and the way from a row to its folder.

#include "commandmodule.h"

#include <functional>

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
    // Reveals and selects the folder in the browser and shows its reminder page: a
    // collapsed folder opens with everything beneath it, an open one closes.
    void revealFolder(const QString& folderPath);

    // A clicked reminder notification of this database: the lists are brought up to date,
    // and by the handling preference the folder is revealed (1) and its website opened (2).
    void gotReminderNotification(const QString& folderPath);
    // Opens the website of the folder's login; the logins' module sets it.
    std::function<void(const QString& folderPath)> openWebsite;

signals:
    // The reminders changed: the application's notification schedule follows.
    void remindersChanged();

private:
    void changed();

    AttributesCommands* attributes_;
    ReminderList* list_;
};

} // namespace folivo::gui
