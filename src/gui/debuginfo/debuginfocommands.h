#pragma once
// The Help menu's command that sends the debugging information to the support address:
// through the person's mail program, or on the clipboard for mail in a web browser.

#include "commandmodule.h"

namespace folivo::gui {

class DebugInfoCommands : public CommandModule {
    Q_OBJECT
public:
    using CommandModule::CommandModule;
    QString name() const override { return QStringLiteral("debuginfo"); }
    void registerCommands(CommandRegistry& registry) override;

    // Asks how the person sends mail and sends the text that way.
    void emailTheAuthor();
    // The text as it is sent, for this window (its preferences and selected item).
    QString debugInfoText() const;

private:
    void sendByMailProgram(const QString& text);
    void putOnClipboard(const QString& text);
};

} // namespace folivo::gui
