// What logging in types: the plans for the user ID, the password and both, by password
// option, for the person's browser and Folivo's own, started by a hot key or by Go To.

#include "logins/loginplanner.h"

#include "prefs/ktprefs.h"

#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <optional>

namespace folivo {
namespace {

// A plan in a few letters: "Tab2 T:me W1000 R" ("P:" pasted, "*" a secret).
QString describe(const std::vector<LoginStep>& steps)
{
    using K = LoginStep::Kind;
    QStringList out;
    for (const LoginStep& s : steps) {
        switch (s.kind) {
        case K::Tab: out << QStringLiteral("Tab%1").arg(s.count); break;
        case K::Return: out << "R"; break;
        case K::Text: out << QString(s.paste ? "P:" : "T:") + s.text + (s.secret ? "*" : ""); break;
        case K::Wait: out << QStringLiteral("W%1").arg(s.millis); break;
        case K::WaitForPage: out << QStringLiteral("Page%1").arg(s.millis); break;
        case K::ShowWarning: out << "Warn"; break;
        case K::HideWarning: out << "Unwarn"; break;
        case K::ShowPassword: out << QStringLiteral("Panel%1").arg(s.millis); break;
        case K::SetBrowserState: out << QStringLiteral("State%1").arg(s.count); break;
        case K::WaitForOwnBrowser: out << "Own"; break;
        case K::ShowBrowserWarning: out << "BWarn"; break;
        case K::ClearBrowserWarning: out << "BClear"; break;
        }
    }
    return out.join(' ');
}

LoginRecord login(int passwordOption)
{
    LoginRecord r;
    r.url = "bank.example";
    r.userID = "me";
    r.password = "pw";
    r.userIDOption = 1;
    r.userIDTab = true;
    r.userIDTabCount = 1;
    r.userIDReturn = passwordOption == 1;
    r.passwordOption = passwordOption;
    r.passwordTab = passwordOption == 0;
    r.passwordReturn = true;
    return r;
}

TEST(LoginPlanner, SequencesByPasswordOptionBrowserAndHotKey)
{
    const struct {
        int option;
        bool builtIn, hotKey;
        const char* combined;
    } cases[] = {
        {0, false, false, "Tab2 T:me W1000 Tab1 T:pw* W1000 R Unwarn"},
        {0, false, true, "T:me W1000 Tab1 T:pw* W1000 R Unwarn"}, // the hot key: the person is in the field
        {1, false, false, "Tab2 T:me W1000 R Warn Page10000 T:pw* W1000 R Unwarn"},
        {2, false, false, "Tab2 T:me W1000"},                     // the password has its own hot key
        {3, false, false, "Tab2 T:me W1000 Panel10000 Unwarn"},
        {0, true, false, "Tab2 T:me BWarn W500 Own Tab1 T:pw* W500 Own R Unwarn BClear"},
        {1, true, false, "Tab2 T:me State2 R BWarn W500 Own T:pw* W500 Own R Unwarn BClear"},
    };
    for (const auto& c : cases) {
        LoginPlanSettings s;
        s.builtInBrowser = c.builtIn;
        s.hotKey = c.hotKey;
        EXPECT_EQ(describe(combinedSequence(login(c.option), s)), QString::fromLatin1(c.combined))
            << "option " << c.option << " built-in " << c.builtIn << " hot key " << c.hotKey;
    }
}

TEST(LoginPlanner, PasswordHotKeyPastingAndGoTo)
{
    LoginPlanSettings s;
    s.hotKey = true;
    EXPECT_EQ(describe(passwordSequence(login(3), s)), "Panel10000 Unwarn") << "option 3 types nothing";
    LoginRecord empty = login(0);
    empty.password.clear();
    EXPECT_TRUE(passwordSequence(empty, s).empty()) << "an empty password does nothing at all";

    s.typeSpeed = 0;
    EXPECT_EQ(describe(passwordSequence(login(0), s)), "P:pw* W1000 R Unwarn");

    LoginPlanSettings go;
    go.pageLoadDelayMs = 3000;
    EXPECT_EQ(describe(goToSequence(login(2), go)), "Warn Page3000 Tab2 T:me W1000 Unwarn");
    LoginRecord opensOnly = login(0);
    opensOnly.userIDOption = 0;
    EXPECT_TRUE(goToSequence(opensOnly, go).empty());
    LoginRecord two = login(2);
    two.userID2 = "branch";
    EXPECT_EQ(describe(userIDSequence(two, go)), "Tab2 T:me W1000 Tab1 T:branch W1000");
}

TEST(LoginPlanner, TabsAddressesAndTypingDelays)
{
    LoginRecord r;
    r.userIDTab = true;
    r.userIDTabCount = 0;
    EXPECT_EQ(tabsBefore(r, false), 1);
    r.userIDTab = false;
    r.userIDTabCount = 4;
    EXPECT_EQ(tabsBefore(r, false), 0) << "the switch off presses nothing, whatever the count";

    EXPECT_EQ(goToAddress("bank.example/login"), "http://bank.example/login");
    EXPECT_EQ(goToAddress("https://bank.example"), "https://bank.example");
    EXPECT_EQ(goToAddress("file:///home/me/x.html"), "file:///home/me/x.html");
    EXPECT_EQ(goToAddress("  "), "");

    EXPECT_EQ(typingDelayMicros(75), 62500);
    EXPECT_EQ(typingDelayMicros(50), 125000);
    EXPECT_EQ(typingDelayMicros(100), 0);
    EXPECT_EQ(LoginPlanSettings::from(nullptr).pageLoadDelayMs, 10000) << "absent is ten seconds";
}

// The settings read from the preferences as the preferences dialog shows them: an absent
// typing speed is the typing switch off (paste), an absent page wait is ten seconds.
TEST(LoginPlanSettings, AbsentPreferencesReadAsTheDialogShowsThem)
{
    test::Scratch scratch;
    const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", scratch.path().toLocal8Bit());
    {
        KTPrefs prefs(QStringLiteral("org.folivo.PlanSettingsTest"));
        const struct {
            std::optional<qint64> speed, delay;
            int wantSpeed, wantDelayMs;
        } cases[] = {
            {std::nullopt, std::nullopt, 0, 10000},
            {75, 25, 75, 25000},
            {0, 0, 0, 0},
            {-3, -4, 0, 0},
        };
        for (const auto& c : cases) {
            prefs.removeObjectForKey(QStringLiteral("typeSpeed"));
            prefs.removeObjectForKey(QStringLiteral("browserPageLoadDelay"));
            if (c.speed)
                prefs.setInteger(*c.speed, QStringLiteral("typeSpeed"));
            if (c.delay)
                prefs.setInteger(*c.delay, QStringLiteral("browserPageLoadDelay"));
            const LoginPlanSettings s = LoginPlanSettings::from(&prefs);
            EXPECT_EQ(s.typeSpeed, c.wantSpeed) << c.speed.value_or(-99);
            EXPECT_EQ(s.pageLoadDelayMs, c.wantDelayMs) << c.delay.value_or(-99);
        }
    }
    qputenv("XDG_CONFIG_HOME", previous);
}

} // namespace
} // namespace folivo
