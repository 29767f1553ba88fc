#pragma once
// The application's own commands in every database window: Quit and About.

#include "commandmodule.h"

namespace folivo::gui {

class AppCommands : public CommandModule {
    Q_OBJECT
public:
    using CommandModule::CommandModule;
    QString name() const override { return QStringLiteral("app"); }
    void registerCommands(CommandRegistry& registry) override;

    void about();
};

} // namespace folivo::gui
