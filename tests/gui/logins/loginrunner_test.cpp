// Typing a login on timers: the pause before each character, pastes that continue once the
// text was fetched, one sequence at a time, and the rules that stop a sequence before it
// types into the wrong window. Nothing the runner types reaches the log.

#include "gui/guitest.h"

#include "logins/loginpanels.h"
#include "logins/loginrunner.h"

#include "logins/loginplanner.h"
#include "platform/fake/faketyping.h"
#include "support/testsecrets.h"

#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::gui;
namespace secrets = folivo::test::secrets;
using Stroke = platform::FakeTyping::Stroke;
using Kind = LoginStep::Kind;
using Outcome = LoginRunner::Outcome;

namespace {

LoginStep step(Kind kind, int count = 0, int millis = 0)
{
    LoginStep s;
    s.kind = kind;
    s.count = count;
    s.millis = millis;
    return s;
}

LoginStep text(const QString& t, bool paste = false)
{
    LoginStep s = step(Kind::Text);
    s.text = t;
    s.paste = paste;
    s.secret = true;
    return s;
}

// Folivo's own browser window, as a test sees it.
class FakeBrowserTarget : public LoginBrowserTarget {
public:
    QObject* targetObject() override { return window.get(); }
    platform::Typing* typing() override { return &keys; }
    bool inFront() const override { return front; }
    void setAutoLoginState(int state) override { states << state; }
    void showAutoLoginWarning() override { ++warnings; }
    void clearAutoLoginWarning() override { ++cleared; }

    std::unique_ptr<QObject> window = std::make_unique<QObject>();
    platform::FakeTyping keys;
    bool front = false;
    QList<int> states;
    int warnings = 0;
    int cleared = 0;
};

class Runner : public ::testing::Test {
protected:
    void SetUp() override
    {
        runner_.timeScale = 0; // every wait planned, none waited
        runner_.ownWindowActive = [this] { return ownActive_; };
    }
    // Runs the sequence to its end and answers how it ended.
    Outcome run(LoginRun r)
    {
        QSignalSpy done(&runner_, &LoginRunner::finished);
        EXPECT_TRUE(runner_.start(std::move(r)));
        if (done.isEmpty()) {
            EXPECT_TRUE(done.wait(5000));
        }
        return done.isEmpty() ? Outcome::Stopped : done.first().first().value<Outcome>();
    }
    QList<qint64> waitsOf(LoginRunner::WaitKind kind) const
    {
        QList<qint64> out;
        for (const auto& w : runner_.waits)
            if (w.kind == kind)
                out << w.micros;
        return out;
    }

    platform::FakeTyping typing_;
    LoginPanels panels_;
    LoginRunner runner_{&typing_, &panels_};
    bool ownActive_ = false;
};

TEST_F(Runner, EachCodePointWaitsForTheTypingSpeed)
{
    // "ab", a character outside the basic plane, a Tab and Return.
    LoginRun r;
    r.steps = {text(u"ab\U0001F600"_qs), step(Kind::Tab, 2), step(Kind::Return)};
    r.characterDelayMicros = typingDelayMicros(75);
    EXPECT_EQ(run(r), Outcome::Done);
    EXPECT_EQ(waitsOf(LoginRunner::WaitKind::Character), (QList<qint64>{62500, 62500, 62500}));
    const QList<Stroke> expected{{Stroke::Kind::Begin, {}, {}},
                                 {Stroke::Kind::Text, {}, "a"},
                                 {Stroke::Kind::Text, {}, "b"},
                                 {Stroke::Kind::Text, {}, u"\U0001F600"_qs},
                                 {Stroke::Kind::Key, QKeyCombination(Qt::Key_Tab), {}},
                                 {Stroke::Kind::Key, QKeyCombination(Qt::Key_Tab), {}},
                                 {Stroke::Kind::Key, QKeyCombination(Qt::Key_Return), {}},
                                 {Stroke::Kind::End, {}, {}}};
    EXPECT_TRUE(typing_.strokes == expected) << "the pair of surrogates goes as one character";

    // At full speed the text goes in one call, without a pause.
    typing_.strokes.clear();
    r.characterDelayMicros = typingDelayMicros(100);
    r.steps = {text(secrets::Accented)};
    EXPECT_EQ(run(r), Outcome::Done);
    EXPECT_TRUE(waitsOf(LoginRunner::WaitKind::Character).isEmpty());
    EXPECT_EQ(typing_.strokes.size(), 3);
    EXPECT_TRUE(typing_.typed() == secrets::Accented);
}

TEST_F(Runner, WaitsArePlannedAsTimersAndAPasteContinuesWhenFetched)
{
    typing_.holdPastes = true;
    LoginRun r;
    r.steps = {step(Kind::WaitForPage, 0, 10000), text(secrets::Password, true), step(Kind::Return)};
    runner_.start(r);
    QTest::qWait(20);
    ASSERT_TRUE(runner_.running());
    EXPECT_EQ(waitsOf(LoginRunner::WaitKind::Step), QList<qint64>{10000000});
    EXPECT_EQ(waitsOf(LoginRunner::WaitKind::BeforePaste), QList<qint64>{1000000});
    ASSERT_EQ(typing_.strokes.size(), 2);
    EXPECT_TRUE(typing_.strokes.back().text == secrets::Password);
    EXPECT_FALSE(runner_.stepLog.contains("Return")) << "Return waits until the page has the pasted text";

    QSignalSpy done(&runner_, &LoginRunner::finished);
    typing_.finishPaste();
    ASSERT_TRUE(done.wait(2000) || !done.isEmpty());
    EXPECT_EQ(typing_.strokes.at(2).key, QKeyCombination(Qt::Key_Return));
}

TEST_F(Runner, OneSequenceAtATime)
{
    LoginRun slow;
    slow.steps = {step(Kind::Wait, 0, 1000), text("first")};
    runner_.timeScale = 0.05; // 50 ms
    ASSERT_TRUE(runner_.start(slow));
    LoginRun other;
    other.steps = {text("second")};
    EXPECT_FALSE(runner_.start(other)) << "a second sequence while one runs";
    QSignalSpy done(&runner_, &LoginRunner::finished);
    ASSERT_TRUE(done.wait(2000));
    EXPECT_EQ(typing_.typed(), "first");
    EXPECT_EQ(run(other), Outcome::Done);
    EXPECT_EQ(typing_.typed(), "firstsecond");
}

TEST_F(Runner, SequencesStopBeforeTypingIntoTheWrongWindow)
{
    const struct {
        const char* name;
        bool hotKey;
        bool ownActive;    // Folivo's own window is active
        int switchAfter;   // the window in front changes after so many strokes (-1: never)
        int releaseAfterMs; // hot key: modifiers held so long (0: not held; -1: never let go)
        Outcome outcome;
        QString typed;
    } cases[] = {
        {"automatic, browser in front", false, false, -1, 0, Outcome::Done, "userpass"},
        {"automatic, Folivo in front", false, true, -1, 0, Outcome::OwnWindowInFront, ""},
        {"automatic, window changed", false, false, 2, 0, Outcome::WindowChanged, "user"},
        {"hot key typed into Folivo's own window", true, true, -1, 0, Outcome::Done, "userpass"},
        {"hot key, window changed", true, false, 1, 0, Outcome::WindowChanged, ""},
        {"hot key, keys let go", true, false, -1, 60, Outcome::Done, "userpass"},
        {"hot key, keys held on", true, false, -1, -1, Outcome::ModifiersHeld, ""},
    };
    runner_.timeScale = 0.1; // the hot key's three seconds of polls take 300 ms
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        typing_.strokes.clear();
        typing_.windowInFront = 7;
        ownActive_ = c.ownActive;
        typing_.heldModifiers = c.releaseAfterMs != 0;
        if (c.releaseAfterMs > 0)
            QTimer::singleShot(c.releaseAfterMs, [this] { typing_.heldModifiers = false; });
        typing_.afterStroke = [&] {
            if (c.switchAfter >= 0 && typing_.strokes.size() >= c.switchAfter)
                typing_.windowInFront = 8;
        };
        LoginRun r;
        r.hotKey = c.hotKey;
        r.steps = {text("user"), step(Kind::Tab, 1), text("pass")};
        EXPECT_EQ(run(r), c.outcome);
        EXPECT_EQ(typing_.typed(), c.typed);
        if (!typing_.strokes.isEmpty()) {
            EXPECT_EQ(typing_.strokes.first().kind, Stroke::Kind::Begin);
            EXPECT_EQ(typing_.strokes.last().kind, Stroke::Kind::End) << "Caps Lock comes back whatever the end";
        }
        if (c.releaseAfterMs > 0) {
            EXPECT_FALSE(waitsOf(LoginRunner::WaitKind::Modifiers).isEmpty());
        }
        QTest::qWait(c.releaseAfterMs > 0 ? c.releaseAfterMs : 0);
    }
    typing_.afterStroke = nullptr;
}

TEST_F(Runner, StepsOfFolivosBrowserGoToItsWindow)
{
    // Without the browser window, waiting for it stops the sequence before the password.
    LoginRun r;
    r.steps = {text("user"), step(Kind::SetBrowserState, 2), step(Kind::ShowBrowserWarning),
               step(Kind::WaitForOwnBrowser), text("pass"), step(Kind::ClearBrowserWarning)};
    EXPECT_EQ(run(r), Outcome::NoBrowserWindow);
    EXPECT_EQ(typing_.typed(), "user");

    // With it, the keys go into its page, in front or not, once it is in front.
    FakeBrowserTarget target;
    r.target = &target;
    ownActive_ = true; // its own window: no reason to stop
    QTimer::singleShot(30, [&] { target.front = true; });
    runner_.timeScale = 0.01; // polls of 10 ms
    EXPECT_EQ(run(r), Outcome::Done);
    EXPECT_EQ(target.keys.typed(), "userpass");
    EXPECT_EQ(typing_.typed(), "user") << "nothing went to the person's windows";
    EXPECT_EQ(target.states, QList<int>{2});
    EXPECT_EQ(target.warnings, 1);
    EXPECT_EQ(target.cleared, 1);
    EXPECT_FALSE(waitsOf(LoginRunner::WaitKind::OwnBrowser).isEmpty());

    // The window closes while the sequence waits for it: the sequence ends with it.
    FakeBrowserTarget closing;
    r.target = &closing;
    QSignalSpy done(&runner_, &LoginRunner::finished);
    ASSERT_TRUE(runner_.start(r));
    QTest::qWait(30);
    closing.window.reset();
    ASSERT_TRUE(done.wait(2000) || !done.isEmpty());
    EXPECT_EQ(done.first().first().value<Outcome>(), Outcome::TargetGone);
    EXPECT_EQ(closing.keys.typed(), "user");
}

QStringList* gLogged = nullptr;
void keepMessage(QtMsgType, const QMessageLogContext&, const QString& message)
{
    if (gLogged)
        *gLogged << message;
}

TEST_F(Runner, TheLogNamesStepsNeverWhatIsTyped)
{
    QStringList logged;
    gLogged = &logged;
    QLoggingCategory::setFilterRules(QStringLiteral("folivo.logins.*=true"));
    const QtMessageHandler previous = qInstallMessageHandler(keepMessage);
    LoginRun r;
    LoginStep panel = step(Kind::ShowPassword, 0, 10000);
    panel.text = secrets::Password2;
    r.steps = {text(secrets::UserID), text(secrets::Password, true), panel};
    EXPECT_EQ(run(r), Outcome::Done);
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QString());
    gLogged = nullptr;

    EXPECT_FALSE(logged.isEmpty()) << "the steps are logged";
    for (const QString& line : logged)
        for (const QString& secret : {secrets::UserID, secrets::Password, secrets::Password2})
            EXPECT_FALSE(line.contains(secret)) << "a secret reached the log";
    EXPECT_TRUE(panels_.passwordShown() == secrets::Password2);
    QTest::qWait(10);
    EXPECT_TRUE(panels_.passwordShown().isEmpty()) << "the panel's time (scaled to nothing) is up";
}

TEST(LoginPanels, NeverTakeTheKeyboard)
{
    LoginPanels panels;
    panels.showPassword(secrets::Password, 10000);
    panels.showWarning();
    for (QWidget* panel : {panels.passwordPanel(), panels.warningPanel()}) {
        ASSERT_NE(panel, nullptr);
        EXPECT_TRUE(panel->isVisible());
        EXPECT_TRUE(panel->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
        EXPECT_TRUE(panel->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        EXPECT_TRUE(panel->testAttribute(Qt::WA_ShowWithoutActivating));
        EXPECT_FALSE(panel->isActiveWindow());
    }
    EXPECT_TRUE(panels.passwordShown() == secrets::Password);
    panels.hidePassword();
    EXPECT_TRUE(panels.passwordShown().isEmpty());
    panels.showPassword(QString(), 10000);
    EXPECT_FALSE(panels.passwordPanel()->isVisible()) << "an empty password shows nothing";
}

} // namespace
