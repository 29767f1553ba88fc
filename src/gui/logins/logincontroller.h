#pragma once
// Auto-login for the whole application: the one login context, the runner that types one
// sequence at a time, the two floating panels, Go To's opening of a website, and the hot
// keys. Database windows hand it a snapshot of the folder's login; what the person shows
// afterwards changes nothing of a sequence under way.

#include "logincontext.h"
#include "loginrunner.h"

#include "logins/loginrecord.h"
#include "prefs/hotkeyprefs.h"

#include <QObject>
#include <QUrl>
#include <functional>

class QWidget;

namespace folivo {
class KTPrefs;
}

namespace folivo::platform {
class Platform;
}

namespace folivo::gui {

class LoginPanels;

class LoginController : public QObject {
    Q_OBJECT
public:
    LoginController(KTPrefs* prefs, platform::Platform* platform, QObject* parent = nullptr);
    ~LoginController() override;

    LoginContext& context() { return context_; }
    LoginRunner& runner() { return *runner_; }
    LoginPanels& panels() { return *panels_; }

    enum class GoToOutcome {
        NoAddress, // nothing to open
        Opened,    // opened; nothing to type (or typing is not available here)
        Typing,    // opened, and the login is being typed
        Busy,      // opened, but another sequence is still typing
        NotOpened, // no browser could be started: the person was told, nothing is typed
        BuiltIn,   // handed to Folivo's own browser
    };
    // Opens the record's website and, when it logs in, types the login into the browser.
    // `window` is the database window that asked.
    GoToOutcome goTo(const LoginRecord& record, QWidget* window);

    // Folivo's own browser, when there is one: opens the address in a new browser window
    // and logs in there. While unset, the website opens in the person's browser.
    std::function<void(const QUrl& address, const LoginRecord& record, QWidget* window)> openInBuiltInBrowser;
    // How messages are shown (the application's alert; tests record them).
    std::function<void(const QString& title, const QString& text)> alert;

public slots:
    // A login hot key was pressed: types into the window in front, unless no database
    // shows a login or a sequence is already typing.
    void hotKeyPressed(folivo::LoginHotKey key);

private:
    LoginPlanSettings settings() const;
    // Runs the steps; false when nothing was started.
    bool run(std::vector<LoginStep> steps, const LoginPlanSettings& settings);
    bool typingUsable();
    void ended(LoginRunner::Outcome outcome);
    void tell(const QString& title, const QString& text);

    KTPrefs* prefs_;
    platform::Platform* platform_;
    LoginContext context_;
    LoginPanels* panels_;
    LoginRunner* runner_;
    bool toldUnavailable_ = false;
};

} // namespace folivo::gui
