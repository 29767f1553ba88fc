// Typing into another program and the global hot keys on a real X server (a virtual one with
// a window manager, see on_desktop.sh). The program typed into is a small window of two
// fields (typingtarget.cpp) that writes what it received as hex; secrets are compared with
// EXPECT_TRUE so that a failure never prints one.

#include "platform/linux/desktopplatform.h"
#include "platform/linux/x11hotkeys.h"
#include "platform/linux/x11typing.h"
#include "platform/typing.h"
#include "support/testsecrets.h"
#include "platform/x11/typingtargetprocess.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QMimeData>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <memory>
#include <optional>

using namespace folivo::platform;
namespace secrets = folivo::test::secrets;

namespace {

bool onX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

// Spins the event loop until `done` or the time is up.
template <typename F>
bool waitFor(F done, int ms = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QTest::qWait(10);
    }
    return true;
}

// The test's own connection to the server: the person at the keyboard, and another client.
struct TestDisplay {
    Display* display = XOpenDisplay(nullptr);
    ~TestDisplay()
    {
        if (display)
            XCloseDisplay(display);
    }
    void key(KeySym sym, bool down)
    {
        XTestFakeKeyEvent(display, XKeysymToKeycode(display, sym), down, CurrentTime);
        XSync(display, False);
    }
    void lock(unsigned mask, bool on)
    {
        XkbLockModifiers(display, XkbUseCoreKbd, mask, on ? mask : 0);
        XSync(display, False);
    }
    unsigned lockedModifiers()
    {
        XkbStateRec state{};
        XkbGetState(display, XkbUseCoreKbd, &state);
        return state.locked_mods;
    }
    unsigned numLockMask()
    {
        const KeyCode numLock = XKeysymToKeycode(display, XK_Num_Lock);
        XModifierKeymap* map = XGetModifierMapping(display);
        unsigned mask = 0;
        for (int i = 0; i < 8 * map->max_keypermod; ++i)
            if (numLock && map->modifiermap[i] == numLock)
                mask = 1u << (i / map->max_keypermod);
        XFreeModifiermap(map);
        return mask;
    }
    bool keycodeEmpty(KeyCode code)
    {
        int perKey = 0;
        KeySym* syms = XGetKeyboardMapping(display, code, 1, &perKey);
        bool empty = true;
        for (int i = 0; i < perKey; ++i)
            if (syms[i] != NoSymbol)
                empty = false;
        XFree(syms);
        return empty;
    }
    Window clipboardOwner()
    {
        return XGetSelectionOwner(display, XInternAtom(display, "CLIPBOARD", False));
    }
};

void setLayout(const char* layout)
{
    ASSERT_EQ(QProcess::execute(QStringLiteral("setxkbmap"), {QString::fromLatin1(layout)}), 0);
}

// The window typed into, a program of its own.
class Target : public folivo::test::TypingTargetProcess {
public:
    Target() : TypingTargetProcess(QStringLiteral(FOLIVO_TYPING_TARGET)) {}
};

class X11TypingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!onX11())
            GTEST_SKIP() << "needs an X server";
        ASSERT_TRUE(test.display);
    }
    void TearDown() override
    {
        if (!onX11())
            return;
        // Whatever a test left locked or changed is put back for the next.
        test.lock(LockMask | test.numLockMask(), false);
        setLayout("us");
    }

    static std::unique_ptr<X11Typing> typing(X11Typing::Timing timing = {})
    {
        auto t = X11Typing::open(timing);
        EXPECT_TRUE(t) << "no XTEST on the test's X server";
        return t;
    }

    TestDisplay test;
};

struct TypingCase {
    const char* name;
    QString first;
    QString second; // typed after a Tab when not empty
    bool capsLock;
    const char* layout;
};

// A failing case is named, never printed: its fields are secrets.
void PrintTo(const TypingCase& c, std::ostream* out)
{
    *out << c.name;
}

class TypingIntoAnotherProgram : public X11TypingTest, public ::testing::WithParamInterface<TypingCase> {};

// Characters of every kind reach the other program as they are: ASCII that needs Shift,
// letters of both cases with Caps Lock on, characters the layout has no key for (é, €,
// beyond the basic plane), a Latin password on a Cyrillic layout; Tab moves to the next
// field and Return submits.
TEST_P(TypingIntoAnotherProgram, TypesTheTextAsItIs)
{
    const TypingCase& c = GetParam();
    if (std::string(c.layout) != "us")
        setLayout(c.layout);
    if (c.capsLock)
        test.lock(LockMask, true);
    auto t = typing({.fetchTimeoutMs = 3000, .clearAfterMs = 10000, .releaseSpareAfterMs = 300});
    ASSERT_TRUE(t);
    Target target;
    ASSERT_NE(target.waitReady(), 0u);

    t->beginSequence();
    t->typeText(c.first);
    if (!c.second.isEmpty()) {
        t->pressKey(Qt::Key_Tab);
        // One code point per call, as the caller's timers type.
        for (const char32_t cp : c.second.toStdU32String())
            t->typeText(QString::fromUcs4(&cp, 1));
    }
    const std::vector<x11::KeyCode> spares = t->boundSpareKeys();
    t->pressKey(Qt::Key_Return);
    t->endSequence();

    const auto fields = target.fields();
    ASSERT_TRUE(fields) << "Return did not reach the window";
    EXPECT_TRUE(fields->first == c.first) << "the first field differs";
    EXPECT_TRUE(fields->second == c.second) << "the second field differs";
    // Caps Lock is as the person had it; the spare keys are empty again a moment later.
    EXPECT_EQ((test.lockedModifiers() & LockMask) != 0, c.capsLock);
    EXPECT_TRUE(waitFor([&] { return t->boundSpareKeys().empty(); }, 2000));
    for (const x11::KeyCode code : spares)
        EXPECT_TRUE(test.keycodeEmpty(code)) << "keycode " << int(code) << " kept its character";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TypingIntoAnotherProgram,
    ::testing::Values(TypingCase{"AsciiSpecials", secrets::Specials, {}, false, "us"},
                      TypingCase{"CapsLockOn", secrets::Specials, secrets::UserID, true, "us"},
                      TypingCase{"NotOnTheLayout", secrets::Accented, {}, false, "us"},
                      TypingCase{"TabToTheSecondField", secrets::UserID, secrets::Password, false, "us"},
                      TypingCase{"LatinOnCyrillicLayout", secrets::Password, secrets::Accented, false, "ru"},
                      // More characters the layout lacks than there are spare keys (19 on
                      // the test server), back to back: keys are bound again while the
                      // window may still be reading earlier ones. Not a secret.
                      TypingCase{"MoreThanTheSpareKeys", QStringLiteral("abcdefghijklmnopqrstuvwxyz0123"),
                                 QStringLiteral("ZYXWVUTSRQPONMLKJIHGFEDCBA"), false, "ru"}),
    [](const auto& info) { return std::string(info.param.name); });

// A spare key bound outside a sequence is empty again when the typing goes away.
TEST_F(X11TypingTest, SpareKeysAreEmptiedWhenTypingEnds)
{
    auto t = typing();
    ASSERT_TRUE(t);
    Target target;
    ASSERT_NE(target.waitReady(), 0u);
    t->typeText(QStringLiteral("é"));
    const std::vector<x11::KeyCode> spares = t->boundSpareKeys();
    ASSERT_EQ(spares.size(), 1u);
    EXPECT_FALSE(test.keycodeEmpty(spares[0]));
    t.reset();
    EXPECT_TRUE(test.keycodeEmpty(spares[0]));
}

struct PasteCase {
    const char* name;
    const char* layout;
};
void PrintTo(const PasteCase& c, std::ostream* out)
{
    *out << c.name;
}

class PastingIntoAnotherProgram : public X11TypingTest, public ::testing::WithParamInterface<PasteCase> {};

// The text goes over the clipboard to the other program, which fetches it when it gets
// Control+V (found in the layout, also where the layout has no Latin letters); the
// clipboard only, marked as a secret, and emptied again afterwards.
TEST_P(PastingIntoAnotherProgram, TheWindowFetchesTheText)
{
    if (std::string(GetParam().layout) != "us")
        setLayout(GetParam().layout);
    auto t = typing({.fetchTimeoutMs = 3000, .clearAfterMs = 2500, .releaseSpareAfterMs = 1000});
    ASSERT_TRUE(t);
    Target target;
    ASSERT_NE(target.waitReady(), 0u);
    QSignalSpy finished(t.get(), &Typing::pasteFinished);

    t->pasteText(secrets::Password);
    QClipboard* clipboard = QGuiApplication::clipboard();
    ASSERT_TRUE(clipboard->ownsClipboard());
    EXPECT_FALSE(clipboard->ownsSelection()) << "the primary selection was set";
    EXPECT_EQ(clipboard->mimeData()->data(QStringLiteral("x-kde-passwordManagerHint")), QByteArray("secret"));

    ASSERT_TRUE(waitFor([&] { return !finished.isEmpty(); }, 4000));
    EXPECT_TRUE(finished.first().first().toBool()) << "the window did not fetch the text";
    t->pressKey(Qt::Key_Return);
    const auto fields = target.fields();
    ASSERT_TRUE(fields);
    EXPECT_TRUE(fields->first == secrets::Password) << "the pasted text differs";

    EXPECT_NE(test.clipboardOwner(), Window(None));
    EXPECT_TRUE(waitFor([&] { return test.clipboardOwner() == None; }, 4000)) << "the clipboard was not emptied";
    EXPECT_EQ(finished.size(), 1);
}

INSTANTIATE_TEST_SUITE_P(Layouts, PastingIntoAnotherProgram,
                         ::testing::Values(PasteCase{"Latin", "us"}, PasteCase{"Cyrillic", "ru"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Nobody asks for the text: the paste ends as not fetched once the wait is over.
TEST_F(X11TypingTest, APasteNobodyFetchesEndsUnfetched)
{
    auto t = typing({.fetchTimeoutMs = 400, .clearAfterMs = 10000, .releaseSpareAfterMs = 1000});
    ASSERT_TRUE(t);
    QSignalSpy finished(t.get(), &Typing::pasteFinished);
    // Control+V goes to the root window: no window has the keyboard.
    t->pasteText(secrets::Password2);
    ASSERT_TRUE(waitFor([&] { return !finished.isEmpty(); }, 3000));
    EXPECT_FALSE(finished.first().first().toBool());
    t.reset();
    // Going away takes the text off the clipboard at once.
    EXPECT_TRUE(waitFor([&] { return test.clipboardOwner() == None; }, 2000));
}

TEST_F(X11TypingTest, ModifiersHeldFollowsTheKeyboard)
{
    auto t = typing();
    ASSERT_TRUE(t);
    EXPECT_FALSE(t->modifiersHeld());
    for (const KeySym modifier : {XK_Control_L, XK_Shift_L, XK_Alt_L, XK_Super_L}) {
        test.key(modifier, true);
        EXPECT_TRUE(t->modifiersHeld()) << XKeysymToString(modifier);
        test.key(modifier, false);
        EXPECT_FALSE(t->modifiersHeld()) << XKeysymToString(modifier);
    }
    // A locked Caps Lock or NumLock is not a key held down.
    test.lock(LockMask | test.numLockMask(), true);
    EXPECT_FALSE(t->modifiersHeld());
}

TEST_F(X11TypingTest, ActiveWindowFollowsTheWindowInFront)
{
    auto t = typing();
    ASSERT_TRUE(t);
    Target first;
    const quint64 firstWindow = first.waitReady();
    ASSERT_NE(firstWindow, 0u);
    EXPECT_TRUE(waitFor([&] { return t->activeWindow() == firstWindow; }, 2000));
    Target second;
    const quint64 secondWindow = second.waitReady();
    ASSERT_NE(secondWindow, 0u);
    EXPECT_TRUE(waitFor([&] { return t->activeWindow() == secondWindow; }, 2000));
}

class X11HotKeysTest : public X11TypingTest {
protected:
    void press(std::initializer_list<KeySym> keys)
    {
        for (const KeySym k : keys)
            test.key(k, true);
        for (auto it = std::rbegin(keys); it != std::rend(keys); ++it)
            test.key(*it, false);
    }
};

// The combination fires whatever the lock keys say, and only the combination does.
TEST_F(X11HotKeysTest, FiresWithTheLockKeysOnOrOff)
{
    auto hotKeys = X11HotKeys::create();
    ASSERT_TRUE(hotKeys);
    QSignalSpy activated(hotKeys.get(), &HotKeys::activated);
    ASSERT_TRUE(hotKeys->registerHotKey(1, QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_U)));
    ASSERT_TRUE(hotKeys->registerHotKey(2, QKeyCombination(Qt::MetaModifier | Qt::ShiftModifier, Qt::Key_F7)));

    const unsigned numLock = test.numLockMask();
    ASSERT_NE(numLock, 0u);
    for (const unsigned locks : {0u, numLock, unsigned(LockMask), numLock | LockMask}) {
        SCOPED_TRACE(locks);
        test.lock(LockMask | numLock, false);
        test.lock(locks, true);
        activated.clear();
        press({XK_Control_L, XK_Alt_L, XK_u});
        ASSERT_TRUE(waitFor([&] { return activated.size() == 1; }, 2000));
        EXPECT_EQ(activated.first().first().toInt(), 1);
        press({XK_Super_L, XK_Shift_L, XK_F7});
        ASSERT_TRUE(waitFor([&] { return activated.size() == 2; }, 2000));
        EXPECT_EQ(activated.last().first().toInt(), 2);
    }

    // Held down, the key repeats (the server's own repeat, and presses of a key that is
    // down already): one press is one activation; a press after the release is the next.
    activated.clear();
    test.key(XK_Control_L, true);
    test.key(XK_Alt_L, true);
    test.key(XK_u, true);
    QTest::qWait(900);
    test.key(XK_u, true);
    test.key(XK_u, false);
    QTest::qWait(50);
    press({XK_u});
    test.key(XK_Alt_L, false);
    test.key(XK_Control_L, false);
    ASSERT_TRUE(waitFor([&] { return activated.size() == 2; }, 2000));
    QTest::qWait(200);
    EXPECT_EQ(activated.size(), 2) << "a repeat of the held key counted as a press";

    // Other modifiers with the key, or the key alone, are not the combination.
    activated.clear();
    press({XK_Control_L, XK_u});
    press({XK_Control_L, XK_Alt_L, XK_Shift_L, XK_u});
    hotKeys->unregisterHotKey(1);
    press({XK_Control_L, XK_Alt_L, XK_u});
    QTest::qWait(300);
    EXPECT_TRUE(activated.isEmpty());
}

// A combination another program holds is refused, and so is one already registered here;
// a refusal leaves the other program's grab alone.
TEST_F(X11HotKeysTest, ACombinationTakenElsewhereIsRefused)
{
    const KeyCode k = XKeysymToKeycode(test.display, XK_k);
    XGrabKey(test.display, k, ControlMask | Mod1Mask, DefaultRootWindow(test.display), True, GrabModeAsync,
             GrabModeAsync);
    XSync(test.display, False);

    auto hotKeys = X11HotKeys::create();
    ASSERT_TRUE(hotKeys);
    const QKeyCombination taken(Qt::ControlModifier | Qt::AltModifier, Qt::Key_K);
    EXPECT_FALSE(hotKeys->registerHotKey(1, taken));
    const QKeyCombination free(Qt::ControlModifier | Qt::AltModifier, Qt::Key_J);
    EXPECT_TRUE(hotKeys->registerHotKey(1, free));
    EXPECT_FALSE(hotKeys->registerHotKey(2, free)) << "two ids on one grab";
    EXPECT_FALSE(hotKeys->registerHotKey(3, QKeyCombination(Qt::ControlModifier, Qt::Key_unknown)));

    // The other program still gets its combination.
    XSelectInput(test.display, DefaultRootWindow(test.display), KeyPressMask);
    press({XK_Control_L, XK_Alt_L, XK_k});
    bool otherGotIt = false;
    waitFor([&] {
        while (XPending(test.display)) {
            XEvent event;
            XNextEvent(test.display, &event);
            if (event.type == KeyPress && event.xkey.keycode == k)
                otherGotIt = true;
        }
        return otherGotIt;
    }, 2000);
    EXPECT_TRUE(otherGotIt);
    XUngrabKey(test.display, k, ControlMask | Mod1Mask, DefaultRootWindow(test.display));
    XSync(test.display, False);
}

TEST_F(X11TypingTest, TheDesktopPlatformHasTheX11Services)
{
    const auto platform = makeDesktopPlatform();
    ASSERT_TRUE(platform->typing());
    EXPECT_TRUE(platform->typing()->available());
    EXPECT_TRUE(platform->typing()->unavailableReason().isEmpty());
    ASSERT_TRUE(platform->hotKeys());
    EXPECT_TRUE(platform->hotKeys()->registerHotKey(1, QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_F9)));
}

// Off X11 typing says why, in one sentence the person can act on.
TEST(TypingUnavailable, SaysWhy)
{
    EXPECT_TRUE(typingUnavailableReason(QStringLiteral("xcb"), false, true).isEmpty());
    EXPECT_TRUE(typingUnavailableReason(QStringLiteral("wayland"), true, false).endsWith(QLatin1String("this session is Wayland.")));
    EXPECT_TRUE(typingUnavailableReason(QStringLiteral("offscreen"), true, false).endsWith(QLatin1String("this session is Wayland.")));
    EXPECT_TRUE(typingUnavailableReason(QStringLiteral("offscreen"), false, false).contains(QLatin1String("X11 session")));
    EXPECT_TRUE(typingUnavailableReason(QStringLiteral("xcb"), false, false).contains(QLatin1String("XTEST")));
    if (!onX11()) {
        const auto platform = makeDesktopPlatform();
        EXPECT_FALSE(platform->typing()->available());
        EXPECT_FALSE(platform->typing()->unavailableReason().isEmpty());
        EXPECT_FALSE(platform->hotKeys()->registerHotKey(1, QKeyCombination(Qt::ControlModifier, Qt::Key_U)));
        QSignalSpy finished(platform->typing(), &Typing::pasteFinished);
        platform->typing()->pasteText(secrets::Password);
        ASSERT_TRUE(finished.wait(1000));
        EXPECT_FALSE(finished.first().first().toBool());
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
