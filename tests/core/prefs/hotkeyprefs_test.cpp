#include "prefs/hotkeyprefs.h"

#include "prefs/ktprefs.h"
#include "prefs/launchdefaults.h"
#include "prefs/prefkeys.h"

#include "support/testsupport.h"

#include <gtest/gtest.h>

using namespace folivo;

TEST(HotKeyPrefs, ModifierMasksConvertBitForBit)
{
    struct Case {
        quint32 event, recorder;
    };
    const Case cases[] = {
        {0x100, 0x100000},   {0x200, 0x20000},   {0x800, 0x80000}, {0x1000, 0x40000},
        {0x1800, 0xC0000},   {0x1b00, 0x1E0000}, {0, 0},
        {0x800000, 0x800000}, // function keys: the same bit in both forms
    };
    for (const Case& c : cases) {
        EXPECT_EQ(recorderMaskFromEventMask(c.event), c.recorder) << std::hex << c.event;
        EXPECT_EQ(eventMaskFromRecorderMask(c.recorder), c.event) << std::hex << c.recorder;
    }
    // Bits of neither form are not carried across.
    EXPECT_EQ(recorderMaskFromEventMask(0x1 | 0x1000), 0x40000u);
    EXPECT_EQ(eventMaskFromRecorderMask(0x1 | 0x100000), 0x100u);
}

TEST(HotKeyPrefs, StoredCodesBecomeKeyCombinationsAndBack)
{
    // The default: control + option with U is Ctrl+Alt+U here.
    EXPECT_EQ(hotKeyCombination(Qt::Key_U, 6144), QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_U));
    EXPECT_EQ(hotKeyCombination(Qt::Key_P, 0x100 | 0x200),
              QKeyCombination(Qt::MetaModifier | Qt::ShiftModifier, Qt::Key_P));
    for (const qint64 bad : {qint64(0), qint64(-1), qint64(1) << 40})
        EXPECT_EQ(hotKeyCombination(bad, 6144).key(), Qt::Key_unknown) << bad;

    const QKeyCombination keys(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_F5);
    const StoredHotKey stored = storedHotKey(keys);
    EXPECT_EQ(stored, (StoredHotKey{Qt::Key_F5, 0x1000 | 0x200}));
    EXPECT_EQ(hotKeyCombination(stored.code, stored.eventMask), keys);
    EXPECT_EQ(storedHotKey(QKeyCombination(Qt::Key_unknown)), StoredHotKey{});
}

TEST(HotKeyPrefs, LaunchDefaultsGiveControlOptionUAndP)
{
    test::Scratch scratch;
    const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", scratch.path().toLocal8Bit());
    {
        KTPrefs prefs(QStringLiteral("org.folivo.HotKeyTest"));
        EXPECT_EQ(loginHotKey(prefs, LoginHotKey::UserID).key(), Qt::Key_unknown);
        applyLaunchDefaults(prefs);
        EXPECT_EQ(loginHotKey(prefs, LoginHotKey::UserID),
                  QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_U));
        EXPECT_EQ(loginHotKey(prefs, LoginHotKey::Password),
                  QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_P));

        setLoginHotKey(prefs, LoginHotKey::Password, QKeyCombination(Qt::MetaModifier, Qt::Key_J));
        EXPECT_EQ(prefs.integerForKey(prefkeys::HotkeyCodePassword), qint64(Qt::Key_J));
        EXPECT_EQ(prefs.integerForKey(prefkeys::HotkeyPasswordModifierFlags), 0x100);
        EXPECT_EQ(loginHotKey(prefs, LoginHotKey::UserID).key(), Qt::Key_U); // the other one untouched
    }
    qputenv("XDG_CONFIG_HOME", previous);
}
