#pragma once
// The commands on a database as a whole: new and open (with a rebuild of the index), back
// up now, close; and what the open found wrong with the index.

#include "commandmodule.h"

namespace folivo::gui {

class DatabaseCommands : public CommandModule {
    Q_OBJECT
public:
    using CommandModule::CommandModule;
    QString name() const override { return QStringLiteral("database"); }
    void registerCommands(CommandRegistry& registry) override;
    void fillMenuContext(MenuContext& context) const override;

    void backupNow();
    // Tells the person about index entries the last open had to leave out, if any.
    void reportIndexProblems();
};

} // namespace folivo::gui
