#include "appcommands.h"

#include "app/appcontroller.h"
#include "app/help.h"
#include "app/helpanchors.h"
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
    // Each help row is named by the anchor it opens.
    struct HelpRow {
        const QString& anchor;
        QString text;
        int section;
    };
    const HelpRow rows[] = {
        {helpanchors::Contents, tr("Folivo &Help"), 0},
        {helpanchors::GettingStarted, tr("&Getting Started"), 5},
        {helpanchors::Databases, tr("&Databases and Backups"), 5},
        {helpanchors::Importing, tr("&Importing and Filing Rules"), 5},
        {helpanchors::Finding, tr("&Finding and Smart Folders"), 5},
        {helpanchors::Logins, tr("&Website Logins"), 5},
        {helpanchors::CommandLine, tr("The &Command Line"), 5},
    };
    for (const HelpRow& h : rows) {
        CommandRow r;
        r.id = QStringLiteral("Help.") + h.anchor;
        r.menu = MenuId::Help;
        r.section = h.section;
        r.text = h.text;
        if (h.section == 0) {
            r.shortcut = QKeySequence::HelpContents;
            r.icon = QStringLiteral("help-contents|help-browser");
        }
        const QString anchor = h.anchor;
        r.run = [anchor] { gotoHelpAnchor(anchor); };
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
