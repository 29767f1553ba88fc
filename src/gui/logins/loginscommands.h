#pragma once
// Website logins in a database window: importing the logins another password keeper exported,
// each line a new folder with its login.

#include "commandmodule.h"

#include <QPointer>

namespace folivo::gui {

class LoginImportDialog;

class LoginsCommands : public CommandModule {
    Q_OBJECT
public:
    explicit LoginsCommands(WindowContext& window);
    QString name() const override { return QStringLiteral("logins"); }
    void registerCommands(CommandRegistry& registry) override;

    // Asks for the exported file, then shows its lines for the import.
    void importLogins();
    // The dialog for `text` (the file's content, decoded): new folders go into the selected
    // folder when it is one, else to the top level. Tests fill and accept it.
    LoginImportDialog* importDialogFor(const QString& text);

private:
    QPointer<LoginImportDialog> dialog_;
};

} // namespace folivo::gui
