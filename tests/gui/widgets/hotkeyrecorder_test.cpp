// The hot-key recorder: what ends a recording as a hot key, what keeps it waiting, and the
// keys that give up or clear.

#include "gui/guitest.h"

#include "widgets/hotkeyrecorder.h"
#include "widgets/widgetmessages.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

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

const QKeyCombination CtrlAltU(Qt::ControlModifier | Qt::AltModifier, Qt::Key_U);

struct Recorder {
    Recorder()
    {
        r.setKeys(CtrlAltU);
        QObject::connect(&r, &HotKeyRecorder::changed, [this](QKeyCombination k) { sent << k; });
    }
    HotKeyRecorder r;
    QList<QKeyCombination> sent;
};

TEST(HotKeyRecorder, KeysPressedWhileRecording)
{
    LetGoOfModifiers letGo;
    const Qt::KeyboardModifiers none = Qt::NoModifier;
    struct Case {
        const char* what;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        bool ends;                 // the recording is over
        QKeyCombination afterwards; // the hot key then
    };
    const QKeyCombination cleared(Qt::Key_unknown);
    const Case cases[] = {
        {"Control+Alt+K", Qt::Key_K, Qt::ControlModifier | Qt::AltModifier, true,
         QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_K)},
        {"Super+Shift+P", Qt::Key_P, Qt::MetaModifier | Qt::ShiftModifier, true,
         QKeyCombination(Qt::MetaModifier | Qt::ShiftModifier, Qt::Key_P)},
        {"a function key alone", Qt::Key_F7, none, true, QKeyCombination(Qt::Key_F7)},
        {"Control+Tab (not a move of the focus)", Qt::Key_Tab, Qt::ControlModifier, true,
         QKeyCombination(Qt::ControlModifier, Qt::Key_Tab)},
        {"Control+Backspace is a chord", Qt::Key_Backspace, Qt::ControlModifier, true,
         QKeyCombination(Qt::ControlModifier, Qt::Key_Backspace)},
        {"Backspace clears", Qt::Key_Backspace, none, true, cleared},
        {"Delete clears", Qt::Key_Delete, none, true, cleared},
        {"Escape gives up", Qt::Key_Escape, none, true, CtrlAltU},
        {"a plain letter waits", Qt::Key_A, none, false, CtrlAltU},
        {"Shift+letter waits", Qt::Key_A, Qt::ShiftModifier, false, CtrlAltU},
        {"Control alone waits", Qt::Key_Control, Qt::ControlModifier, false, CtrlAltU},
        {"Super alone waits", Qt::Key_Meta, Qt::MetaModifier, false, CtrlAltU},
        {"Alt+Shift held waits", Qt::Key_Shift, Qt::AltModifier | Qt::ShiftModifier, false, CtrlAltU},
    };
    for (const Case& c : cases) {
        Recorder t;
        t.r.startRecording();
        QTest::keyPress(&t.r, c.key, c.modifiers);
        EXPECT_EQ(t.r.isRecording(), !c.ends) << c.what;
        EXPECT_EQ(t.r.keys(), c.afterwards) << c.what;
        const bool changes = c.ends && c.key != Qt::Key_Escape;
        EXPECT_EQ(t.sent, changes ? QList<QKeyCombination>{c.afterwards} : QList<QKeyCombination>{}) << c.what;
        if (!c.ends) {
            // Whatever was held, the next proper chord still ends it.
            QTest::keyClick(&t.r, Qt::Key_J, Qt::ControlModifier);
            EXPECT_EQ(t.r.keys(), QKeyCombination(Qt::ControlModifier, Qt::Key_J)) << c.what;
            EXPECT_FALSE(t.r.isRecording()) << c.what;
        }
    }
}

TEST(HotKeyRecorder, StartsWithAClickSpaceOrReturnAndShowsWhatItHolds)
{
    LetGoOfModifiers letGo;
    for (const Qt::Key start : {Qt::Key_Space, Qt::Key_Return}) {
        Recorder t;
        EXPECT_EQ(t.r.text(), QKeySequence(CtrlAltU).toString(QKeySequence::NativeText));
        QTest::keyClick(&t.r, start);
        EXPECT_TRUE(t.r.isRecording());
        EXPECT_EQ(t.r.text(), hotkeymsg::TypeHotKey);
        QTest::keyPress(&t.r, Qt::Key_Control, Qt::ControlModifier);
        EXPECT_TRUE(t.r.text().endsWith(QStringLiteral("+…"))) << t.r.text().toStdString();
        QTest::keyClick(&t.r, Qt::Key_Backspace);
        EXPECT_EQ(t.r.text(), hotkeymsg::NoHotKey);
        EXPECT_FALSE(t.r.hasKeys());
    }
    Recorder t;
    QTest::mouseClick(&t.r, Qt::LeftButton);
    EXPECT_TRUE(t.r.isRecording());
    // A key before recording starts is not taken.
    Recorder idle;
    QTest::keyClick(&idle.r, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(idle.r.keys(), CtrlAltU);
    EXPECT_TRUE(idle.sent.isEmpty());
}

} // namespace
