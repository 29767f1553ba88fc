#include "preferencescommands.h"

#include "app/appcontroller.h"
#include "preferences/preferencesdialog.h"

namespace folivo::gui {

void PreferencesCommands::registerCommands(CommandRegistry& registry)
{
    CommandRow r;
    r.command = MenuCommand::Preferences;
    r.menu = MenuId::Edit;
    r.section = 90;
    r.text = tr("&Preferences…");
    r.shortcut = QKeySequence::Preferences;
    r.icon = QStringLiteral("preferences-system");
    r.role = QAction::PreferencesRole;
    r.run = [this] { showPreferences(); };
    registry.add(std::move(r));
}

void PreferencesCommands::showPreferences()
{
    KTPrefs* prefs = window_.preferences();
    if (!prefs)
        return;
    PreferencesDialog dialog(*prefs, window_.window());
    AppController* app = window_.app();
    if ((app ? app->runPreferences(dialog) : dialog.exec()) != QDialog::Accepted)
        return;
    if (app)
        app->preferencesChanged();
    else
        window_.preferencesChanged();
}

} // namespace folivo::gui
