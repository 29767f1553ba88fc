// The login hot keys of the application: grabbed at launch from the preferences, one held
// by another program said once, let go while the preferences dialog is open and grabbed
// again from what it stored when it closes, and a press reported as the key it is.

#include "gui/guitest.h"

#include "app/appcontroller.h"
#include "logins/loginhotkeys.h"
#include "preferences/loginpreferences.h"
#include "preferences/preferencesdialog.h"
#include "preferences/preferencesmessages.h"
#include "widgets/hotkeyrecorder.h"

#include "platform/fake/fakedesktop.h"
#include "platform/fake/fakeplatform.h"
#include "prefs/ktprefs.h"
#include "prefs/launchdefaults.h"
#include "prefs/prefkeys.h"

#include <QLabel>
#include <QTimer>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::gui;

namespace {

const QKeyCombination CtrlAltU(Qt::ControlModifier | Qt::AltModifier, Qt::Key_U);
const QKeyCombination CtrlAltP(Qt::ControlModifier | Qt::AltModifier, Qt::Key_P);
const QKeyCombination CtrlAltK(Qt::ControlModifier | Qt::AltModifier, Qt::Key_K);

// What a recording of `keys` ends in (the recorder's keys are tested on their own; key events
// sent into a running modal dialog would leave the modifiers they hold behind for later tests).
void record(HotKeyRecorder* recorder, QKeyCombination keys)
{
    recorder->setKeys(keys);
    emit recorder->changed(keys);
}

class RecordingController : public AppController {
public:
    using AppController::AppController;
    void alert(const QString& title, const QString& text) override { alerts << title + ": " + text; }
    QStringList alerts;
};

// A desktop that hands out no hot keys at all.
class RefusingHotKeys final : public platform::HotKeys {
public:
    bool registerHotKey(int, QKeyCombination) override { return false; }
    void unregisterHotKey(int) override {}
    void unregisterAll() override {}
};

class LoginHotKeysTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previousConfig_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", scratch_.file("config").toLocal8Bit());
        prefs_ = std::make_unique<KTPrefs>(QStringLiteral("org.folivo.LoginHotKeysTest"));
        applyLaunchDefaults(*prefs_);
        prefs_->setBool(false, prefkeys::NotifyOpenIndexCheck);
    }
    void TearDown() override
    {
        for (const auto& b : responder_.seen())
            ADD_FAILURE() << "unexpected box: " << qPrintable(b.title) << " " << qPrintable(b.text);
        controller_.reset();
        prefs_.reset();
        qputenv("XDG_CONFIG_HOME", previousConfig_);
    }
    RecordingController& controller(platform::Platform& platform)
    {
        controller_ = std::make_unique<RecordingController>(prefs_.get(), platform);
        return *controller_;
    }
    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }
    platform::FakeHotKeys& hotKeys() { return fake_.hotKeys(); }

    test::Scratch scratch_;
    QByteArray previousConfig_;
    std::unique_ptr<KTPrefs> prefs_;
    platform::FakePlatform fake_;
    std::unique_ptr<RecordingController> controller_;
    test::ModalResponder responder_{[](QMessageBox* box) { box->reject(); }};
};

TEST_F(LoginHotKeysTest, GrabbedAtLaunchAndEachPressSaysWhichKey)
{
    RecordingController& app = controller(fake_.platform());
    QList<LoginHotKey> pressed;
    QObject::connect(app.loginHotKeys(), &LoginHotKeys::pressed, [&](LoginHotKey k) { pressed << k; });
    EXPECT_TRUE(hotKeys().registered.isEmpty()) << "nothing before the launch asks for them";
    app.startHotKeys();
    settle();
    EXPECT_EQ(hotKeys().registered.value(int(LoginHotKey::UserID)), CtrlAltU);
    EXPECT_EQ(hotKeys().registered.value(int(LoginHotKey::Password)), CtrlAltP);
    EXPECT_TRUE(app.alerts.isEmpty());

    EXPECT_TRUE(hotKeys().press(CtrlAltP));
    EXPECT_TRUE(hotKeys().press(CtrlAltU));
    emit hotKeys().activated(7); // not one of ours
    EXPECT_EQ(pressed, (QList<LoginHotKey>{LoginHotKey::Password, LoginHotKey::UserID}));
}

TEST_F(LoginHotKeysTest, AKeyHeldElsewhereIsSaidOnceAtLaunchAndShownInTheDialog)
{
    hotKeys().takenElsewhere << CtrlAltU;
    RecordingController& app = controller(fake_.platform());
    app.startHotKeys();
    EXPECT_TRUE(app.alerts.isEmpty()) << "said after the launch, not in the middle of it";
    settle();
    ASSERT_EQ(app.alerts.size(), 1);
    EXPECT_EQ(app.alerts[0], QStringLiteral("Hot Key In Use: The hot key Ctrl+Alt+U is in use by another program. "
                                            "Choose another one in Preferences ▸ Logins."));
    EXPECT_FALSE(hotKeys().registered.contains(int(LoginHotKey::UserID)));
    EXPECT_EQ(hotKeys().registered.value(int(LoginHotKey::Password)), CtrlAltP);

    // The dialog shows it beside the recorder, and follows what is recorded.
    PreferencesDialog dialog(*prefs_);
    LoginPreferencesPage* page = dialog.loginsPage();
    QStringList seen;
    QTimer::singleShot(0, &dialog, [&] {
        seen << QStringLiteral("open with %1 grabbed").arg(hotKeys().registered.size());
        seen << (page->userIDKeyLine()->isHidden() ? "user ID: no line" : "user ID: " + page->userIDKeyLine()->text());
        seen << (page->passwordKeyLine()->isHidden() ? "password: no line" : "password: " + page->passwordKeyLine()->text());
        record(page->userIDRecorder(), CtrlAltK);
        seen << (page->userIDKeyLine()->isHidden() ? "after K: no line" : "after K: " + page->userIDKeyLine()->text());
        record(page->passwordRecorder(), CtrlAltU);
        seen << (page->passwordKeyLine()->isHidden() ? "password U: no line"
                                                     : "password U: " + page->passwordKeyLine()->text());
        dialog.reject();
    });
    EXPECT_EQ(app.runPreferences(dialog), QDialog::Rejected);
    EXPECT_EQ(seen, (QStringList{"open with 0 grabbed", "user ID: " + prefsmsg::HotKeyInUseHere, "password: no line",
                                 "after K: no line", "password U: " + prefsmsg::HotKeyInUseHere}));
    settle();
    EXPECT_EQ(app.alerts.size(), 1) << "said once: closing the dialog says nothing";
    // Cancel: grabbed again as stored, the key held elsewhere still left out.
    EXPECT_FALSE(hotKeys().registered.contains(int(LoginHotKey::UserID)));
    EXPECT_EQ(hotKeys().registered.value(int(LoginHotKey::Password)), CtrlAltP);
}

TEST_F(LoginHotKeysTest, LetGoWhileThePreferencesAreOpenAndGrabbedFromWhatOkStored)
{
    RecordingController& app = controller(fake_.platform());
    app.startHotKeys();
    QList<LoginHotKey> pressed;
    QObject::connect(app.loginHotKeys(), &LoginHotKeys::pressed, [&](LoginHotKey k) { pressed << k; });

    PreferencesDialog dialog(*prefs_);
    bool pressWhileOpen = true;
    QTimer::singleShot(0, &dialog, [&] {
        pressWhileOpen = hotKeys().press(CtrlAltU) || hotKeys().press(CtrlAltP);
        record(dialog.loginsPage()->userIDRecorder(), CtrlAltK);
        dialog.accept();
    });
    EXPECT_EQ(app.runPreferences(dialog), QDialog::Accepted);
    EXPECT_FALSE(pressWhileOpen);
    EXPECT_TRUE(pressed.isEmpty());
    EXPECT_EQ(hotKeys().registered.value(int(LoginHotKey::UserID)), CtrlAltK);
    EXPECT_EQ(hotKeys().registered.value(int(LoginHotKey::Password)), CtrlAltP);
    EXPECT_FALSE(hotKeys().press(CtrlAltU)) << "the old key is free again";
    EXPECT_TRUE(hotKeys().press(CtrlAltK));
    EXPECT_EQ(pressed, QList<LoginHotKey>{LoginHotKey::UserID});
    settle();
    EXPECT_TRUE(app.alerts.isEmpty());
}

TEST_F(LoginHotKeysTest, ADesktopWithoutHotKeysGrabsNothingAndBlamesNoOtherProgram)
{
    platform::Platform none(std::make_unique<platform::FakeDesktop>());
    platform::Platform refusing(std::make_unique<platform::FakeDesktop>(), {}, {}, std::make_unique<RefusingHotKeys>());
    for (platform::Platform* p : {&none, &refusing}) {
        RecordingController& app = controller(*p);
        app.startHotKeys();
        settle();
        EXPECT_TRUE(app.alerts.isEmpty());
        EXPECT_FALSE(app.loginHotKeys()->isRegistered(LoginHotKey::UserID));
        EXPECT_TRUE(app.loginHotKeys()->isAvailable(CtrlAltK));
        PreferencesDialog dialog(*prefs_);
        QTimer::singleShot(0, &dialog, [&] { dialog.reject(); });
        app.runPreferences(dialog);
        EXPECT_TRUE(dialog.loginsPage()->userIDKeyLine()->isHidden());
        controller_.reset();
    }
}

} // namespace
