#include "logins/loginplanner.h"

#include "prefs/ktprefs.h"

namespace folivo {

namespace {

using Kind = LoginStep::Kind;

LoginStep step(Kind kind, int count = 0, int millis = 0)
{
    LoginStep s;
    s.kind = kind;
    s.count = count;
    s.millis = millis;
    return s;
}

LoginStep text(const QString& t, const LoginPlanSettings& settings, bool secret)
{
    LoginStep s;
    s.kind = Kind::Text;
    s.text = t;
    s.paste = settings.typeSpeed == 0;
    s.secret = secret;
    return s;
}

void tabs(std::vector<LoginStep>& out, int n)
{
    if (n > 0)
        out.push_back(step(Kind::Tab, n));
}

} // namespace

LoginPlanSettings LoginPlanSettings::from(const KTPrefs* prefs)
{
    LoginPlanSettings s;
    if (!prefs)
        return s;
    // Absent is 0, pasting, as the preferences dialog shows it (its typing switch off).
    s.typeSpeed = prefs->objectForKey(QStringLiteral("typeSpeed"))
                      ? int(std::clamp<qint64>(prefs->integerForKey(QStringLiteral("typeSpeed")), 0, 1000))
                      : 0;
    if (prefs->objectForKey(QStringLiteral("browserPageLoadDelay"))) {
        const qint64 seconds = prefs->integerForKey(QStringLiteral("browserPageLoadDelay"));
        s.pageLoadDelayMs = int(std::clamp<qint64>(seconds, 0, 600) * 1000);
    }
    return s;
}

int typingDelayMicros(int typeSpeed)
{
    return typeSpeed >= 100 || typeSpeed <= 0 ? 0 : (100 - typeSpeed) * 2500;
}

QString goToAddress(const QString& url)
{
    const QString trimmed = url.trimmed();
    if (trimmed.isEmpty())
        return {};
    for (const char* scheme : {"http://", "https://", "file://"})
        if (trimmed.startsWith(QLatin1String(scheme), Qt::CaseInsensitive))
            return trimmed;
    return QStringLiteral("http://") + trimmed;
}

int tabsBefore(const LoginRecord& r, bool password)
{
    const bool on = password ? r.passwordTab : r.userIDTab;
    const int count = password ? r.passwordTabCount : r.userIDTabCount;
    return on && count >= 0 ? count + 1 : 0;
}

std::vector<LoginStep> userIDSequence(const LoginRecord& r, const LoginPlanSettings& s)
{
    std::vector<LoginStep> out;
    if (!s.hotKey)
        tabs(out, tabsBefore(r, false));
    if (!r.userID.isEmpty())
        out.push_back(text(r.userID, s, false));
    if (!r.userID2.isEmpty()) {
        if (!s.builtInBrowser)
            out.push_back(step(Kind::Wait, 0, 1000));
        tabs(out, 1);
        out.push_back(text(r.userID2, s, false));
    }
    if (!s.builtInBrowser)
        out.push_back(step(Kind::Wait, 0, 1000));
    if (r.userIDReturn) {
        // The next page, in Folivo's browser, is where the password goes.
        if (s.builtInBrowser && r.passwordOption == int(PasswordEntry::NextPage))
            out.push_back(step(Kind::SetBrowserState, 2));
        out.push_back(step(Kind::Return));
    }
    return out;
}

std::vector<LoginStep> passwordSequence(const LoginRecord& r, const LoginPlanSettings& s)
{
    std::vector<LoginStep> out;
    if (r.password.isEmpty())
        return out;
    if (r.passwordOption == int(PasswordEntry::ShownInPanel)) {
        LoginStep panel = step(Kind::ShowPassword, 0, 10000);
        panel.text = r.password;
        panel.secret = true;
        out.push_back(panel);
        out.push_back(step(Kind::HideWarning));
        return out;
    }
    if (!s.hotKey) {
        if (r.passwordOption == int(PasswordEntry::NextPage) && !s.builtInBrowser) {
            out.push_back(step(Kind::ShowWarning));
            out.push_back(step(Kind::WaitForPage, 0, s.pageLoadDelayMs));
        }
        tabs(out, tabsBefore(r, true));
    }
    out.push_back(text(r.password, s, true));
    if (s.builtInBrowser) {
        if (r.passwordReturn) {
            out.push_back(step(Kind::Wait, 0, 500));
            out.push_back(step(Kind::WaitForOwnBrowser));
            out.push_back(step(Kind::Return));
        }
    } else {
        out.push_back(step(Kind::Wait, 0, 1000));
        if (r.passwordReturn)
            out.push_back(step(Kind::Return));
    }
    out.push_back(step(Kind::HideWarning));
    return out;
}

std::vector<LoginStep> combinedSequence(const LoginRecord& r, const LoginPlanSettings& s)
{
    std::vector<LoginStep> out = userIDSequence(r, s);
    if (r.passwordOption == int(PasswordEntry::NotTyped))
        return out; // the password has its own hot key
    LoginPlanSettings automatic = s;
    automatic.hotKey = false;
    if (s.builtInBrowser) {
        out.push_back(step(Kind::ShowBrowserWarning));
        out.push_back(step(Kind::Wait, 0, 500));
        out.push_back(step(Kind::WaitForOwnBrowser));
        const std::vector<LoginStep> password = passwordSequence(r, automatic);
        out.insert(out.end(), password.begin(), password.end());
        out.push_back(step(Kind::ClearBrowserWarning));
    } else {
        const std::vector<LoginStep> password = passwordSequence(r, automatic);
        out.insert(out.end(), password.begin(), password.end());
    }
    return out;
}

std::vector<LoginStep> goToSequence(const LoginRecord& r, const LoginPlanSettings& s)
{
    if (!r.logsIn() || s.builtInBrowser)
        return {};
    std::vector<LoginStep> out{step(Kind::ShowWarning), step(Kind::WaitForPage, 0, s.pageLoadDelayMs)};
    LoginPlanSettings automatic = s;
    automatic.hotKey = false;
    const std::vector<LoginStep> login = combinedSequence(r, automatic);
    out.insert(out.end(), login.begin(), login.end());
    out.push_back(step(Kind::HideWarning));
    return out;
}

} // namespace folivo
