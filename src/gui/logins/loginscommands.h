#pragma once
// Website logins in a database window: Go To (the selected folder's website, opened and
// logged in to), the "Go To Recent Website" menu of this database, the login context that
// the window's login page sets, and importing the logins another password keeper exported,
// each line a new folder with its login.

#include "commandmodule.h"

#include "store/documenthooks.h"

#include <QPointer>
#include <memory>

#include <QMenu>

namespace folivo {
class RecentWebsiteList;
}

namespace folivo::gui {

class LoginController;
class LoginImportDialog;
class LoginPage;

class LoginsCommands : public CommandModule, private OperationObserver {
    Q_OBJECT
public:
    explicit LoginsCommands(WindowContext& window);
    ~LoginsCommands() override;
    QString name() const override { return QStringLiteral("logins"); }
    void registerCommands(CommandRegistry& registry) override;
    void fillMenuContext(MenuContext& context) const override;
    void databaseOpened() override;
    void windowActivated() override;
    void windowClosing() override;

    // Opens the website of the folder's login and, when it logs in, types it: what is typed
    // in the page's fields is stored first. False when the folder has no address.
    bool goTo(const QString& folderPath);
    // An entry of the recent websites menu: the folder is shown (not expanded) and selected,
    // then its website opened. A title that names no folder does nothing.
    bool goToRecent(const QString& folderPath);

    // The application's auto-login (the window's own when it has no application).
    LoginController& controller();
    RecentWebsiteList* recentWebsites() const { return recent_.get(); }
    QMenu* recentWebsitesMenu() const { return recentMenu_; }

    // Asks for the exported file, then shows its lines for the import.
    void importLogins();
    // The dialog for `text` (the file's content, decoded): new folders go into the selected
    // folder when it is one, else to the top level. Tests fill and accept it.
    LoginImportDialog* importDialogFor(const QString& text);

private:
    void operationFinished(const DBOperation& operation, const OperationResult& result) override;
    LoginPage* page() const;
    void pageShows(const QString& folderPath);
    void rebuildRecentMenu();

    QPointer<LoginImportDialog> dialog_;
    std::unique_ptr<RecentWebsiteList> recent_;
    std::unique_ptr<LoginController> own_; // without an application
    QPointer<QMenu> recentMenu_;
    QAction* clearMenu_ = nullptr;
    QList<QAction*> recentEntries_;
    bool observing_ = false;
    bool pageConnected_ = false;
};

} // namespace folivo::gui
