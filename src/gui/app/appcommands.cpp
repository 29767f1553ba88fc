#include "appcommands.h"

#include "app/appcontroller.h"
#include "folivo-config.h"

#include <QMessageBox>
#include <QWidget>


namespace folivo::gui {

void AppCommands::registerCommands(CommandRegistry& registry)
{
    {
        CommandRow r;
        r.command = MenuCommand::Quit;
        r.section = 40;
        r.text = tr("&Quit");
        r.shortcut = QKeySequence::Quit;
        r.role = QAction::QuitRole;
        r.run = [this] {
            if (AppController* app = window_.app())
                app->quit();
            else
                window_.window()->close();
        };
        registry.add(std::move(r));
    }
    {
        CommandRow r;
        r.id = QStringLiteral("About");
        r.menu = MenuId::Help;
        r.section = 10;
        r.text = tr("&About Folivo");
        r.role = QAction::AboutRole;
        r.run = [this] { about(); };
        registry.add(std::move(r));
    }
}

void AppCommands::about()
{
    QMessageBox::about(window_.window(), tr("About Folivo"),
                       tr("<p><b>Folivo</b> %1</p><p>Keeps your documents in a folder tree, with dates, notes, "
                          "tags and reminders.</p>")
                           .arg(QStringLiteral(FOLIVO_VERSION_STRING).toHtmlEscaped()));
}

} // namespace folivo::gui
