// The logins page of the preferences: what it shows of the stored typing, waiting, length
// and hot-key settings, what OK writes back, and the lines about hot keys that cannot be
// used.

#include "gui/guitest.h"

#include "preferences/loginpreferences.h"
#include "preferences/preferencesdialog.h"
#include "preferences/preferencesmessages.h"
#include "prefs/hotkeyprefs.h"
#include "prefs/ktprefs.h"
#include "prefs/launchdefaults.h"
#include "prefs/prefkeys.h"
#include "widgets/hotkeyrecorder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>
#include <optional>

using namespace folivo;
using namespace folivo::gui;

namespace {

// Key events sent by a test leave the modifiers they held as the application's keyboard
// state; a plain key sets it back to none, so that later tests do not see Control held.
struct LetGoOfModifiers {
    ~LetGoOfModifiers()
    {
        QWidget scratch;
        QTest::keyClick(&scratch, Qt::Key_A);
    }
};

const QString kId = QStringLiteral("org.folivo.LoginPreferencesTest");
const QKeyCombination CtrlAltU(Qt::ControlModifier | Qt::AltModifier, Qt::Key_U);
const QKeyCombination CtrlAltP(Qt::ControlModifier | Qt::AltModifier, Qt::Key_P);

class LoginPreferences : public ::testing::Test {
protected:
    void SetUp() override
    {
        oldConfig_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch_.file("config")));
        prefs_ = std::make_unique<KTPrefs>(kId);
        applyLaunchDefaults(*prefs_);
    }
    void TearDown() override { qputenv("XDG_CONFIG_HOME", oldConfig_); }

    // Accepted or not, what the store then holds for `key`.
    std::optional<plist::Value> at(const QString& key) const
    {
        const plist::Value* v = prefs_->objectForKey(key);
        return v ? std::optional(*v) : std::nullopt;
    }
    void set(const QString& key, std::optional<qint64> value)
    {
        if (value)
            prefs_->setInteger(*value, key);
        else
            prefs_->removeObjectForKey(key);
    }

    test::Scratch scratch_;
    QByteArray oldConfig_;
    std::unique_ptr<KTPrefs> prefs_;
};

TEST_F(LoginPreferences, ShowsTheStoredSettingsAndOkStoresWhatItShows)
{
    LetGoOfModifiers letGo;
    struct Case {
        const char* what;
        std::optional<qint64> typeSpeed, delay, length;
        bool typing;
        int slider;
        int delayShown;
        int lengthShown;
        std::int64_t typeSpeedStored;
    };
    const Case cases[] = {
        {"nothing stored yet", std::nullopt, std::nullopt, std::nullopt, false, 50, 10, 24, 0},
        {"pasting, no wait", 0, 0, 10, false, 50, 10, 12, 0},
        {"typing at 75", 75, 25, 16, true, 75, 25, 16, 75},
        {"faster than the slider goes", 150, 3, 30, true, 100, 3, 30, 150},
        {"below zero pastes", -3, -4, -5, false, 50, 10, 8, 0},
    };
    for (const Case& c : cases) {
        set(prefkeys::TypeSpeed, c.typeSpeed);
        set(prefkeys::BrowserPageLoadDelay, c.delay);
        set(prefkeys::GeneratedPasswordLength, c.length);
        LoginPreferencesPage page;
        page.fillFrom(*prefs_);
        EXPECT_EQ(page.typingSwitch()->isChecked(), c.typing) << c.what;
        EXPECT_EQ(page.speedSlider()->isEnabled(), c.typing) << c.what;
        EXPECT_EQ(page.speedSlider()->value(), c.slider) << c.what;
        EXPECT_EQ(page.pageLoadDelayField()->value(), c.delayShown) << c.what;
        EXPECT_EQ(page.passwordLengthMenu()->currentData().toInt(), c.lengthShown) << c.what;
        // Only the five lengths, and a longer one stored elsewhere.
        EXPECT_EQ(page.passwordLengthMenu()->count(), c.lengthShown > 24 ? 6 : 5) << c.what;

        page.storeTo(*prefs_);
        EXPECT_EQ(at(prefkeys::TypeSpeed), plist::Value(c.typeSpeedStored)) << c.what;
        EXPECT_EQ(at(prefkeys::BrowserPageLoadDelay), plist::Value(std::int64_t(c.delayShown))) << c.what;
        EXPECT_EQ(at(prefkeys::GeneratedPasswordLength), plist::Value(std::int64_t(c.lengthShown))) << c.what;
    }
}

TEST_F(LoginPreferences, TheTypingSwitchStartsAtAMiddleSpeedAndOffStoresPasting)
{
    LetGoOfModifiers letGo;
    prefs_->setInteger(0, prefkeys::TypeSpeed);
    LoginPreferencesPage page;
    page.fillFrom(*prefs_);
    page.speedSlider()->setValue(90); // moved while off: nothing to keep
    page.typingSwitch()->click();
    EXPECT_TRUE(page.speedSlider()->isEnabled());
    EXPECT_EQ(page.speedSlider()->value(), 50);
    page.speedSlider()->setValue(80);
    page.storeTo(*prefs_);
    EXPECT_EQ(at(prefkeys::TypeSpeed), plist::Value(80));
    page.typingSwitch()->click();
    EXPECT_FALSE(page.speedSlider()->isEnabled());
    page.storeTo(*prefs_);
    EXPECT_EQ(at(prefkeys::TypeSpeed), plist::Value(0));
}

TEST_F(LoginPreferences, HotKeysRoundTripAndRecordedOnesAreStoredInTheOlderMask)
{
    LetGoOfModifiers letGo;
    // The launch defaults: Control+Alt+U and Control+Alt+P.
    const plist::Value userMask = *prefs_->objectForKey(prefkeys::HotkeyUserIDModifierFlags);
    LoginPreferencesPage page;
    page.fillFrom(*prefs_);
    EXPECT_EQ(page.userIDRecorder()->keys(), CtrlAltU);
    EXPECT_EQ(page.passwordRecorder()->keys(), CtrlAltP);
    page.storeTo(*prefs_);
    EXPECT_EQ(at(prefkeys::HotkeyCodeUserID), plist::Value(std::int64_t(Qt::Key_U)));
    EXPECT_EQ(at(prefkeys::HotkeyUserIDModifierFlags), userMask) << "same value, same type";

    page.passwordRecorder()->startRecording();
    QTest::keyClick(page.passwordRecorder(), Qt::Key_K, Qt::MetaModifier | Qt::ShiftModifier);
    page.userIDRecorder()->startRecording();
    QTest::keyClick(page.userIDRecorder(), Qt::Key_Backspace);
    page.storeTo(*prefs_);
    EXPECT_EQ(prefs_->integerForKey(prefkeys::HotkeyCodePassword), qint64(Qt::Key_K));
    EXPECT_EQ(prefs_->uInt32ForKey(prefkeys::HotkeyPasswordModifierFlags), eventmask::Command | eventmask::Shift);
    EXPECT_EQ(prefs_->integerForKey(prefkeys::HotkeyCodeUserID), 0) << "cleared: no hot key";
    EXPECT_EQ(loginHotKey(*prefs_, LoginHotKey::UserID).key(), Qt::Key_unknown);

    // A store that never held hot keys is left for the launch defaults to fill in.
    prefs_->removeObjectForKey(prefkeys::HotkeyCodeUserID);
    prefs_->removeObjectForKey(prefkeys::HotkeyCodePassword);
    LoginPreferencesPage fresh;
    fresh.fillFrom(*prefs_);
    fresh.storeTo(*prefs_);
    EXPECT_FALSE(prefs_->objectForKey(prefkeys::HotkeyCodeUserID));
    EXPECT_FALSE(prefs_->objectForKey(prefkeys::HotkeyCodePassword));
}

TEST_F(LoginPreferences, TheDialogRefusesOneHotKeyForBothAndCancelKeepsEverything)
{
    LetGoOfModifiers letGo;
    ASSERT_TRUE(prefs_->synchronize());
    const plist::Dict before = prefs_->prefsMutableDictionary();
    {
        PreferencesDialog d(*prefs_);
        LoginPreferencesPage* page = d.loginsPage();
        ASSERT_TRUE(page);
        EXPECT_EQ(d.tabs()->tabText(d.tabs()->indexOf(page)), QStringLiteral("Logins"));
        page->typingSwitch()->click();
        page->pageLoadDelayField()->setValue(40);
        page->passwordRecorder()->startRecording();
        QTest::keyClick(page->passwordRecorder(), Qt::Key_F9);
        d.reject();
        EXPECT_EQ(prefs_->prefsMutableDictionary(), before);
    }

    PreferencesDialog d(*prefs_);
    LoginPreferencesPage* page = d.loginsPage();
    d.tabs()->setCurrentIndex(0);
    page->passwordRecorder()->startRecording();
    QTest::keyClick(page->passwordRecorder(), Qt::Key_U, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_FALSE(page->passwordKeyLine()->isHidden());
    EXPECT_EQ(page->passwordKeyLine()->text(), prefsmsg::HotKeySameAsUserID);
    d.accept();
    EXPECT_NE(d.result(), QDialog::Accepted);
    EXPECT_EQ(d.tabs()->currentWidget(), page);
    EXPECT_EQ(prefs_->prefsMutableDictionary(), before);

    page->passwordRecorder()->startRecording();
    QTest::keyClick(page->passwordRecorder(), Qt::Key_F9);
    EXPECT_TRUE(page->passwordKeyLine()->isHidden());
    d.accept();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(KTPrefs(kId).integerForKey(prefkeys::HotkeyCodePassword), qint64(Qt::Key_F9));
}

} // namespace
