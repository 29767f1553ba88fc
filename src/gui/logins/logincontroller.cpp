#include "logincontroller.h"

#include "loginmessages.h"
#include "loginpanels.h"

#include "logins/loginplanner.h"
#include "platform/desktop.h"
#include "platform/platform.h"
#include "platform/typing.h"

#include <QLoggingCategory>
#include <QMessageBox>

Q_DECLARE_LOGGING_CATEGORY(lcLoginRunner)

namespace folivo::gui {

namespace {

bool typesKeys(const std::vector<LoginStep>& steps)
{
    return std::any_of(steps.begin(), steps.end(), [](const LoginStep& s) {
        return s.kind == LoginStep::Kind::Tab || s.kind == LoginStep::Kind::Return || s.kind == LoginStep::Kind::Text;
    });
}

} // namespace

LoginController::LoginController(KTPrefs* prefs, platform::Platform* platform, QObject* parent)
    : QObject(parent),
      prefs_(prefs),
      platform_(platform),
      context_(this),
      panels_(new LoginPanels(this)),
      runner_(new LoginRunner(platform ? platform->typing() : nullptr, panels_, this))
{
    connect(runner_, &LoginRunner::finished, this, &LoginController::ended);
}

LoginController::~LoginController() = default;

void LoginController::tell(const QString& title, const QString& text)
{
    if (alert)
        alert(title, text);
    else
        QMessageBox::information(nullptr, title, text);
}

LoginPlanSettings LoginController::settings() const
{
    return LoginPlanSettings::from(prefs_);
}

bool LoginController::typingUsable()
{
    platform::Typing* typing = platform_ ? platform_->typing() : nullptr;
    if (typing && typing->available())
        return true;
    // Once a run: the reason does not change while it lasts.
    if (!toldUnavailable_) {
        toldUnavailable_ = true;
        const QString why = typing ? typing->unavailableReason()
                                   : QStringLiteral("Typing into other programs is not available on this system.");
        tell(loginmsg::TypingUnavailableTitle, loginmsg::TypingUnavailable.arg(why));
    }
    return false;
}

bool LoginController::run(std::vector<LoginStep> steps, const LoginPlanSettings& s)
{
    if (steps.empty() || runner_->running())
        return false;
    // A sequence that only shows the password needs no typing.
    if (typesKeys(steps) && !typingUsable())
        return false;
    LoginRun r;
    r.steps = std::move(steps);
    r.hotKey = s.hotKey;
    r.characterDelayMicros = typingDelayMicros(s.typeSpeed);
    return runner_->start(std::move(r));
}

LoginController::GoToOutcome LoginController::goTo(const LoginRecord& record, QWidget* window)
{
    const QString address = goToAddress(record.url);
    if (address.isEmpty())
        return GoToOutcome::NoAddress;
    const QUrl url = QUrl::fromUserInput(address);
    if (record.useBuiltInBrowser && openInBuiltInBrowser) {
        openInBuiltInBrowser(url, record, window);
        return GoToOutcome::BuiltIn;
    }
    bool opened = false;
    if (platform_) {
        // The browser the folder names first; one that is gone (or a name from another
        // system) gives way to the desktop's default.
        if (!record.useBuiltInBrowser && !record.browserBundleID.isEmpty())
            opened = platform_->desktop().openWith(record.browserBundleID, {url});
        if (!opened)
            opened = platform_->desktop().openUrl(url);
    }
    if (!opened) {
        // Typing now would type the login into whatever window is in front.
        tell(loginmsg::NotOpenedTitle, loginmsg::NotOpened.arg(address));
        return GoToOutcome::NotOpened;
    }
    if (!record.logsIn())
        return GoToOutcome::Opened;
    if (runner_->running())
        return GoToOutcome::Busy;
    LoginPlanSettings s = settings();
    s.builtInBrowser = false; // typed into the person's browser, even when Folivo's was chosen
    s.hotKey = false;
    return run(goToSequence(record, s), s) ? GoToOutcome::Typing : GoToOutcome::Opened;
}

void LoginController::hotKeyPressed(folivo::LoginHotKey key)
{
    if (runner_->running())
        return; // the keys of one sequence at a time
    const std::optional<LoginRecord> record = context_.record();
    if (!record)
        return;
    LoginPlanSettings s = settings();
    s.hotKey = true;
    s.builtInBrowser = false;
    qCDebug(lcLoginRunner) << "hot key" << int(key);
    switch (key) {
    case LoginHotKey::UserID:
        run(combinedSequence(*record, s), s);
        break;
    case LoginHotKey::Password:
        run(passwordSequence(*record, s), s);
        break;
    }
}

void LoginController::ended(LoginRunner::Outcome outcome)
{
    switch (outcome) {
    case LoginRunner::Outcome::Done:
    case LoginRunner::Outcome::Stopped:
    case LoginRunner::Outcome::TargetGone:
        break;
    case LoginRunner::Outcome::OwnWindowInFront:
        panels_->showNotice(loginmsg::StoppedOwnWindow);
        break;
    case LoginRunner::Outcome::WindowChanged:
        panels_->showNotice(loginmsg::StoppedWindowChanged);
        break;
    case LoginRunner::Outcome::ModifiersHeld:
        panels_->showNotice(loginmsg::StoppedModifiersHeld);
        break;
    case LoginRunner::Outcome::NoBrowserWindow:
        panels_->showNotice(loginmsg::StoppedNoBrowser);
        break;
    }
}

} // namespace folivo::gui
