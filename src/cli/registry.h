#pragma once
// Every command of folivo-cli, registered by its own file:
//     FOLIVO_REGISTER_COMMAND(MkdirCommand);
// The dispatch and the usage text come from here; nothing else lists the commands.

#include "command.h"

#include <QList>
#include <QString>

#include <memory>
#include <vector>

namespace folivo::cli {

class CommandRegistry {
public:
    static CommandRegistry& instance();

    void add(std::unique_ptr<Command> command);
    const Command* find(const QString& name) const;
    // In the order of the usage text: by group, then by their place in it.
    QList<const Command*> commands() const;

private:
    std::vector<std::unique_ptr<Command>> commands_;
};

template <class C>
struct CommandRegistration {
    CommandRegistration() { CommandRegistry::instance().add(std::make_unique<C>()); }
};

// The usage text of every registered command, with the options and exit statuses.
QString usageText();
// How one command is called: its lines of the usage text and the options it takes.
QString commandHelp(const Command& command);

} // namespace folivo::cli

#define FOLIVO_REGISTER_COMMAND(Class) \
    static const ::folivo::cli::CommandRegistration<Class> registration##Class {}
