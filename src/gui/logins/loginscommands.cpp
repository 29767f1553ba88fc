#include "loginscommands.h"

#include "app/appcontroller.h"
#include "attributes/attributesarea.h"
#include "browser/browserpane.h"
#include "logincontroller.h"
#include "loginimportdialog.h"
#include "loginmessages.h"
#include "loginpage.h"
#include "loginpanels.h"

#include "logins/loginimport.h"
#include "logins/loginplanner.h"
#include "logins/recentwebsitelist.h"
#include "store/dboperation.h"
#include "store/indexitem.h"
#include "store/mydocument.h"

#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>

namespace folivo::gui {

LoginsCommands::LoginsCommands(WindowContext& window) : CommandModule(window) {}

LoginsCommands::~LoginsCommands()
{
    if (observing_)
        window_.document().removeOperationObserver(this);
    // The context forgets this window by itself: it holds the login page only weakly.
}

LoginController& LoginsCommands::controller()
{
    if (AppController* app = window_.app())
        return app->logins();
    if (!own_) {
        own_ = std::make_unique<LoginController>(window_.preferences(), window_.platform());
        own_->alert = [this](const QString& title, const QString& text) {
            QMessageBox::information(window_.window(), title, text);
        };
    }
    return *own_;
}

LoginPage* LoginsCommands::page() const
{
    auto* area = window_.window()->findChild<AttributesArea*>();
    return area ? area->loginPage() : nullptr;
}

void LoginsCommands::registerCommands(CommandRegistry& registry)
{
    {
        CommandRow r;
        r.command = MenuCommand::GoToUrl;
        r.menu = MenuId::File;
        r.section = 25;
        r.text = loginmsg::GoToWebsite;
        // Control+G is Find Next.
        r.shortcut = QKeySequence(Qt::CTRL | Qt::Key_U);
        r.run = [this] {
            if (LoginPage* p = page())
                goTo(p->folderPath());
        };
        registry.add(std::move(r));
    }
    {
        // The submenu's entries come and go with the database's list; this row is its last.
        CommandRow r;
        r.id = QStringLiteral("ClearRecentWebsites");
        r.menu = MenuId::File;
        r.section = 25;
        r.submenu = loginmsg::RecentWebsites;
        r.text = loginmsg::ClearMenu;
        r.run = [this] {
            if (recent_)
                recent_->clear();
        };
        registry.add(std::move(r));
    }
    CommandRow r;
    r.id = QStringLiteral("ImportLogins");
    // Like every import: a database that can change, nothing else running.
    r.enabledLike = MenuCommand::Import;
    r.menu = MenuId::File;
    r.section = 20;
    r.text = tr("Import Logins…");
    r.run = [this] { importLogins(); };
    registry.add(std::move(r));
}

void LoginsCommands::fillMenuContext(MenuContext& context) const
{
    const LoginPage* p = page();
    context.websiteUrlAvailable =
        p && !p->folderPath().isEmpty() && !p->addressField()->text().trimmed().isEmpty();
}

void LoginsCommands::databaseOpened()
{
    MyDocument& doc = window_.document();
    if (!observing_) {
        doc.addOperationObserver(this);
        observing_ = true;
    }
    recent_ = std::make_unique<RecentWebsiteList>(doc);
    recent_->changed = [this] { rebuildRecentMenu(); };
    for (QMenu* menu : window_.window()->findChildren<QMenu*>())
        if (menu->title() == loginmsg::RecentWebsites)
            recentMenu_ = menu;
    if (recentMenu_)
        for (QAction* a : recentMenu_->actions())
            if (a->text() == loginmsg::ClearMenu)
                clearMenu_ = a;
    rebuildRecentMenu();
    if (LoginPage* p = page()) {
        if (!pageConnected_) {
            connect(p, &LoginPage::folderShown, this, &LoginsCommands::pageShows);
            connect(p, &LoginPage::goToRequested, this, [this](const QString& path) { goTo(path); });
            // A password being changed is not the one to show any more.
            connect(p->passwordField(), &QLineEdit::textEdited, this, [this] { controller().panels().hidePassword(); });
            pageConnected_ = true;
        }
        pageShows(p->folderPath());
    }
}

void LoginsCommands::windowActivated()
{
    // The window in front is the one whose login the hot keys type.
    if (LoginPage* p = page(); p && !p->folderPath().isEmpty())
        pageShows(p->folderPath());
}

void LoginsCommands::windowClosing()
{
    controller().context().clearFor(&window_.document());
}

void LoginsCommands::pageShows(const QString& folderPath)
{
    LoginContext& context = controller().context();
    LoginPage* p = page();
    if (folderPath.isEmpty()) {
        if (context.editor() == p)
            context.clear();
        return;
    }
    context.set(&window_.document(), folderPath, p);
}

void LoginsCommands::operationFinished(const DBOperation& operation, const OperationResult& result)
{
    if (!window_.app() && !own_)
        return;
    MyDocument& doc = window_.document();
    LoginContext& context = controller().context();
    if (const QString now = folderMovedTo(doc, operation, result); !now.isEmpty())
        context.folderMoved(&doc, operation.path, now);
    else if (folderDeletedBy(doc, operation))
        context.folderRemoved(&doc, operation.path);
}

bool LoginsCommands::goTo(const QString& folderPath)
{
    MyDocument& doc = window_.document();
    if (folderPath.isEmpty())
        return false;
    // What is typed in the page and not yet stored counts.
    if (LoginPage* p = page(); p && p->folderPath() == folderPath)
        p->commitPending();
    const IndexItem* folder = doc.tree().itemForPath(folderPath);
    if (!folder || !folder->isPlainFolder())
        return false;
    // The login as it is now: the timers of the typing read this, not the folder shown later.
    const LoginRecord record = LoginRecord::of(*folder);
    if (goToAddress(record.url).isEmpty())
        return false;
    if (recent_)
        recent_->visit(folderPath);
    controller().goTo(record, window_.window());
    return true;
}

bool LoginsCommands::goToRecent(const QString& folderPath)
{
    const IndexItem* folder = window_.document().tree().itemForPath(folderPath);
    if (!folder || !folder->isPlainFolder())
        return false;
    if (LoginPage* p = page())
        p->commitPending();
    // Shown where it is and selected, which shows its login; not opened.
    window_.browser().selectItems({folderPath});
    return goTo(folderPath);
}

void LoginsCommands::rebuildRecentMenu()
{
    if (!recentMenu_ || !clearMenu_)
        return;
    for (QAction* a : std::as_const(recentEntries_)) {
        recentMenu_->removeAction(a);
        a->deleteLater();
    }
    recentEntries_.clear();
    const QStringList titles = recent_ ? recent_->titles() : QStringList();
    for (const QString& title : titles) {
        auto* entry = new QAction(title, recentMenu_);
        connect(entry, &QAction::triggered, this, [this, title] { goToRecent(title); });
        recentMenu_->insertAction(clearMenu_, entry);
        recentEntries_ << entry;
    }
    if (!titles.isEmpty())
        recentEntries_ << recentMenu_->insertSeparator(clearMenu_);
    clearMenu_->setEnabled(!titles.isEmpty());
}

void LoginsCommands::importLogins()
{
    const QString file = QFileDialog::getOpenFileName(
        window_.window(), tr("Import Logins"), QString(),
        tr("Exported logins (*.csv *.txt *.ssv *.tsv);;All files (*)"));
    if (file.isEmpty())
        return;
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        QMessageBox::warning(window_.window(), tr("Import Logins"),
                             tr("\"%1\" cannot be read: %2").arg(file, in.errorString()));
        return;
    }
    LoginImportDialog* dialog = importDialogFor(decodeLoginFile(in.readAll()));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

LoginImportDialog* LoginsCommands::importDialogFor(const QString& text)
{
    if (dialog_)
        dialog_->deleteLater();
    // The folder the new ones go into is the one selected when the import starts.
    const IndexItem* selected = window_.browser().singleSelected();
    const QString parentPath = selected && selected->isPlainFolder() ? selected->path() : QString();
    dialog_ = new LoginImportDialog(
        text,
        [this, parentPath](const QList<QStringList>& rows, const QList<LoginColumn>& columns) {
            MyDocument& doc = window_.document();
            if (!doc.canChange())
                return LoginImportOutcome{{}, rows, QStringList(rows.size(), tr("The database cannot change.")), true};
            const QString parent = doc.tree().itemForPath(parentPath) ? parentPath : QString();
            LoginImportOutcome outcome = importLoginRows(doc, rows, columns, parent);
            if (!outcome.folders.isEmpty())
                window_.browser().selectItems({outcome.folders.back()});
            window_.updateStatus();
            return outcome;
        },
        window_.window());
    return dialog_;
}

} // namespace folivo::gui
