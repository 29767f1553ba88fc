// The window's command modules together: every command the window offers comes from
// exactly one module, sits in a menu, and has a key of its own.

#include "gui/guitest.h"

#include "mainwindow.h"

#include "prefs/ktprefs.h"
#include "prefs/launchdefaults.h"

#include <QAction>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::gui;

namespace {

// The commands of the menu rules the window offers today, and the rows without one.
const QList<MenuCommand> kOffered = {
    MenuCommand::NewDatabase, MenuCommand::OpenDatabase, MenuCommand::OpenAndRebuild, MenuCommand::Import,
    MenuCommand::ImportFromClipboard, MenuCommand::ImportFolderSettings, MenuCommand::Backup, MenuCommand::Close,
    MenuCommand::Quit, MenuCommand::Copy, MenuCommand::NewFolder, MenuCommand::EditName, MenuCommand::Delete,
    MenuCommand::Preferences, MenuCommand::ExpandAll, MenuCommand::CollapseAll, MenuCommand::Sort,
    MenuCommand::KeepSorted, MenuCommand::SortYearsDescending, MenuCommand::SortMonthsDescending,
    MenuCommand::IgnoreCase, MenuCommand::Back, MenuCommand::Forward, MenuCommand::ClearHistory,
    MenuCommand::ShowAttributes, MenuCommand::MoveableAttributesPanel, MenuCommand::CustomAttributes,
    MenuCommand::SpecifyAutoTagging,
    MenuCommand::AutoTagImportedFiles, MenuCommand::AutoTagSelectedFiles, MenuCommand::NewSmartFolderFromSelection,
    MenuCommand::ExportReport, MenuCommand::Export, MenuCommand::Send,
    MenuCommand::Find,
    MenuCommand::FindNext, MenuCommand::FindPrevious,
    MenuCommand::ZoomIn, MenuCommand::ZoomOut, MenuCommand::ZoomReset, MenuCommand::RotateLeft,
    MenuCommand::RotateRight, MenuCommand::ToggleEnhance, MenuCommand::ShowPdfAsText, MenuCommand::OpenShownFile,
    MenuCommand::OpenShownFileWith, MenuCommand::OpenInPdfViewer, MenuCommand::GoToUrl};
const QStringList kOtherRows = {"ImportFolder", "ImportLogins", "About", "EmailTheAuthor", "NewTagSmartFolder",
                                "EditTagSmartFolder", "ClearRecentWebsites", "Help.Contents", "Help.GettingStarted",
                                "Help.Databases", "Help.Importing", "Help.Finding", "Help.WebsiteLogins",
                                "Help.CommandLine"};

QString rowName(const CommandRow& row)
{
    return row.command ? QStringLiteral("command %1").arg(int(*row.command)) : row.id;
}

// Every action reachable from the menu bar, submenus included.
QList<QAction*> menuActions(QMenuBar* bar)
{
    QList<QAction*> out;
    std::function<void(const QList<QAction*>&)> walk = [&](const QList<QAction*>& actions) {
        for (QAction* a : actions) {
            if (a->menu())
                walk(a->menu()->actions());
            else if (!a->isSeparator())
                out << a;
        }
    };
    walk(bar->actions());
    return out;
}

} // namespace

TEST(CommandModules, EveryCommandComesFromOneModuleAndHasAKeyOfItsOwn)
{
    const test::Scratch scratch;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch.file("config")));
    KTPrefs prefs(QStringLiteral("org.folivo.FolivoModulesTest"));
    applyLaunchDefaults(prefs);
    MainWindow window(nullptr, &prefs);
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    ASSERT_TRUE(window.createDatabase(scratch.file("Home.fvdb")).ok());

    // Registered once, by one module.
    QMap<QString, QStringList> modulesOf;
    for (const CommandRegistry::Entry& entry : window.commandRegistry().entries()) {
        EXPECT_TRUE(entry.row.command.has_value() != !entry.row.id.isEmpty())
            << "a row is a menu command or has a name of its own: " << rowName(entry.row).toStdString();
        EXPECT_TRUE(bool(entry.row.run)) << rowName(entry.row).toStdString() << " runs nothing";
        modulesOf[rowName(entry.row)] << entry.module;
    }
    QStringList expected;
    for (MenuCommand c : kOffered)
        expected << QStringLiteral("command %1").arg(int(c));
    expected << kOtherRows;
    expected.sort();
    QStringList registered = modulesOf.keys();
    registered.sort();
    EXPECT_EQ(registered, expected) << "a command was dropped, or one appeared without this test knowing it";
    for (auto it = modulesOf.begin(); it != modulesOf.end(); ++it)
        EXPECT_EQ(it.value().size(), 1) << it.key().toStdString() << " registered by " << it.value().join(", ").toStdString();

    // In a menu, and run through the menu rules.
    const QList<QAction*> inMenus = menuActions(window.menuBar());
    for (MenuCommand c : kOffered) {
        QAction* a = window.action(c);
        ASSERT_TRUE(a) << int(c);
        EXPECT_TRUE(inMenus.contains(a)) << "command " << int(c) << " is in no menu";
    }
    EXPECT_EQ(inMenus.size(), int(kOffered.size() + kOtherRows.size()));

    // No key starts two commands.
    QMap<QString, QStringList> byKey;
    for (QAction* a : inMenus)
        for (const QKeySequence& key : a->shortcuts())
            if (!key.isEmpty())
                byKey[key.toString(QKeySequence::PortableText)] << a->text();
    for (auto it = byKey.begin(); it != byKey.end(); ++it)
        EXPECT_EQ(it.value().size(), 1) << it.key().toStdString() << " is the key of "
                                        << it.value().join(", ").toStdString();
    window.close();
}
