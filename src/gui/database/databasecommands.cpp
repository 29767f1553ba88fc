#include "databasecommands.h"

#include "app/appcontroller.h"
#include "content/contentarea.h"
#include "database/qtdocumentui.h"

#include "prefs/ktprefs.h"
#include "prefs/prefkeys.h"
#include "store/messages.h"
#include "store/mydocument.h"

#include <QWidget>

namespace folivo::gui {

void DatabaseCommands::registerCommands(CommandRegistry& registry)
{
    using C = MenuCommand;
    const auto row = [](C command, int section, const QString& text, const QKeySequence& shortcut,
                        std::function<void()> run, const QString& icon = {}) {
        CommandRow r;
        r.command = command;
        r.section = section;
        r.text = text;
        r.shortcut = shortcut;
        r.run = std::move(run);
        r.icon = icon;
        return r;
    };
    registry.add(row(C::NewDatabase, 10, tr("&New Database…"), QKeySequence::New, [this] {
        if (AppController* app = window_.app())
            app->chooseAndCreate(window_.window());
    }, QStringLiteral("document-new")));
    registry.add(row(C::OpenDatabase, 10, tr("&Open Database…"), QKeySequence::Open, [this] {
        if (AppController* app = window_.app())
            app->chooseAndOpen(window_.window(), false);
    }, QStringLiteral("document-open")));
    // Stands in for holding Shift while opening, which a file chooser cannot pass on.
    registry.add(row(C::OpenAndRebuild, 10, tr("Open and Rebuild &Index…"),
                     QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O), [this] {
                         if (AppController* app = window_.app())
                             app->chooseAndOpen(window_.window(), true);
                     }));
    registry.add(row(C::Backup, 30, tr("&Back Up Now"), QKeySequence(Qt::CTRL | Qt::Key_B), [this] { backupNow(); }));
    registry.add(row(C::Close, 40, tr("&Close"), QKeySequence::Close, [this] { window_.window()->close(); }));
}

void DatabaseCommands::fillMenuContext(MenuContext& c) const
{
    c.needsBackup = window_.document().needsBackup();
    if (KTPrefs* prefs = window_.preferences()) {
        const plist::Value* folder = prefs->objectForKey(prefkeys::BackupFolderPath);
        c.backupFolderSet = folder && folder->isString() && !folder->string().isEmpty();
    }
}

void DatabaseCommands::backupNow()
{
    MyDocument& doc = window_.document();
    if (doc.busy() || window_.documentUi().busy())
        return;
    const BackupOutcome out = doc.backupDatabase(BackupSettings::from(window_.preferences()));
    if (out.ok)
        window_.content().setPathLineText(tr("Backed up to %1").arg(out.path));
}

void DatabaseCommands::reportIndexProblems()
{
    const std::vector<IndexProblem>& problems = window_.document().indexProblems();
    if (problems.empty())
        return;
    // A tree with entries missing must not pass for the whole database.
    constexpr std::size_t kListed = 15;
    QStringList lines;
    for (std::size_t i = 0; i < problems.size() && i < kListed; ++i)
        lines << QStringLiteral("\u2022 \"%1\": %2").arg(problems[i].path, problems[i].reason);
    if (problems.size() > kListed)
        lines << tr("\u2026 and %1 more.").arg(problems.size() - kListed);
    const QString intro = problems.size() == 1
                              ? tr("One entry of the index could not be used and was left out of the tree:")
                              : tr("%1 entries of the index could not be used and were left out of the tree:")
                                    .arg(problems.size());
    window_.documentUi().alert(msg::RebuildProblemsTitle, intro + QStringLiteral("\r\r") + lines.join('\r'));
}

} // namespace folivo::gui
