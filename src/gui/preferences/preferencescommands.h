#pragma once
// Preferences…: the preferences dialog, and every window following what it changed.

#include "commandmodule.h"

namespace folivo::gui {

class PreferencesCommands : public CommandModule {
    Q_OBJECT
public:
    using CommandModule::CommandModule;
    QString name() const override { return QStringLiteral("preferences"); }
    void registerCommands(CommandRegistry& registry) override;

    void showPreferences();
};

} // namespace folivo::gui
