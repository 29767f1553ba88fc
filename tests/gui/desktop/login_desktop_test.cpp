// A login typed into another program on a real desktop: the runner's timers driving the X11
// typing, key by key and through the clipboard, into a program of two fields; and an
// automatic sequence that finds Folivo's own window in front types nothing.

#include "gui/desktop/desktop.h"

#include "logins/loginplanner.h"
#include "logins/loginrecord.h"
#include "logins/loginrunner.h"
#include "platform/linux/desktopplatform.h"
#include "platform/platform.h"
#include "platform/typing.h"
#include "platform/x11/typingtargetprocess.h"
#include "support/testsecrets.h"

#include <QLineEdit>
#include <QSignalSpy>

namespace folivo::gui {
namespace {

using namespace folivo::test::desktop;
namespace secrets = folivo::test::secrets;

// The user ID, Tab, the password, Return: what a login form takes.
LoginRecord formLogin(const QString& userID, const QString& password)
{
    LoginRecord r;
    r.userIDOption = 1;
    r.userID = userID;
    r.password = password;
    r.passwordTab = true; // one Tab from the user ID to the password
    r.passwordReturn = true;
    return r;
}

class DesktopLogin : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(onDesktop()) << "runs on an X server with a window manager (on_desktop.sh)";
        platform_ = platform::makeDesktopPlatform();
        ASSERT_NE(platform_->typing(), nullptr);
        ASSERT_TRUE(platform_->typing()->available()) << qPrintable(platform_->typing()->unavailableReason());
    }
    // Runs the plan to its end and says how it ended.
    LoginRunner::Outcome run(LoginRunner& runner, LoginRun plan)
    {
        QSignalSpy finished(&runner, &LoginRunner::finished);
        EXPECT_TRUE(runner.start(std::move(plan)));
        EXPECT_TRUE(waitUntil([&] { return !finished.isEmpty(); }, 30000));
        return finished.isEmpty() ? LoginRunner::Outcome::Stopped
                                  : finished.first().first().value<LoginRunner::Outcome>();
    }

    std::unique_ptr<platform::Platform> platform_;
};

TEST_F(DesktopLogin, TheHotKeySequenceTypesOrPastesTheLoginIntoTheWindowInFront)
{
    const struct {
        const char* name;
        int typeSpeed; // 0 pastes
        QString password;
    } cases[] = {
        {"typed", 95, secrets::Specials},
        {"typed beyond the layout", 95, secrets::Accented},
        {"pasted", 0, secrets::Password},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TypingTargetProcess target(QStringLiteral(FOLIVO_TYPING_TARGET));
        ASSERT_NE(target.waitReady(), 0u);

        LoginPlanSettings settings;
        settings.hotKey = true;
        settings.typeSpeed = c.typeSpeed;
        LoginRun plan;
        plan.steps = combinedSequence(formLogin(secrets::UserID, c.password), settings);
        plan.hotKey = true;
        plan.characterDelayMicros = typingDelayMicros(c.typeSpeed);
        LoginRunner runner(platform_->typing());
        runner.timeScale = 0.2; // the second-long pauses between the steps, shortened

        EXPECT_EQ(run(runner, std::move(plan)), LoginRunner::Outcome::Done);
        const auto fields = target.fields();
        ASSERT_TRUE(fields.has_value()) << "Return did not reach the form";
        EXPECT_TRUE(fields->first == secrets::UserID) << "the user ID arrived otherwise";
        EXPECT_TRUE(fields->second == c.password) << "the password arrived otherwise";
    }
}

TEST_F(DesktopLogin, AnAutomaticSequenceTypesNothingWhileFolivoIsInFront)
{
    test::TypingTargetProcess target(QStringLiteral(FOLIVO_TYPING_TARGET));
    ASSERT_NE(target.waitReady(), 0u);

    // Folivo's window comes in front of the browser the sequence was meant for.
    QWidget own;
    auto* field = new QLineEdit(&own);
    own.resize(300, 80);
    own.show();
    own.activateWindow();
    ASSERT_TRUE(waitUntil([&] { return own.isActiveWindow(); }, 5000));

    LoginPlanSettings settings;
    settings.typeSpeed = 95;
    LoginRun plan;
    plan.steps = combinedSequence(formLogin(secrets::UserID2, secrets::Password2), settings);
    LoginRunner runner(platform_->typing()); // asks the application whether Folivo is in front
    runner.timeScale = 0.2;
    EXPECT_EQ(run(runner, std::move(plan)), LoginRunner::Outcome::OwnWindowInFront);
    wait(200);
    EXPECT_TRUE(field->text().isEmpty()) << "keys reached Folivo's own window";
}

} // namespace
} // namespace folivo::gui
