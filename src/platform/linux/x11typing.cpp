#include "platform/linux/x11typing.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QThread>
#include <QtGui/qguiapplication_platform.h>

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <functional>

namespace folivo::platform {

using x11::KeyCode;
using x11::KeySym;

namespace {

// An error of a request of ours (a keycode the server refuses to bind, a window gone while
// we read its property) is noted and the typing goes on; Xlib's own handler would end the
// program. Errors arrive when the connection is synced, which each scope does at its end.
int noteXError(Display*, XErrorEvent* error)
{
    qWarning("X11 typing: the X server refused request %d.%d (error %d)", int(error->request_code),
             int(error->minor_code), int(error->error_code));
    return 0;
}

class ErrorScope {
public:
    explicit ErrorScope(Display* display) : display_(display), previous_(XSetErrorHandler(noteXError)) {}
    ~ErrorScope()
    {
        XSync(display_, False);
        XSetErrorHandler(previous_);
    }
    ErrorScope(const ErrorScope&) = delete;
    ErrorScope& operator=(const ErrorScope&) = delete;

private:
    Display* display_;
    int (*previous_)(Display*, XErrorEvent*);
};

// The pasted text as the clipboard hands it out. It notices when a program fetches the text
// (not just the list of types, nor the hint meant for clipboard managers) and says so once.
// It holds the text's only copy of ours and wipes it when the clipboard lets it go.
class SecretMimeData final : public QMimeData {
public:
    SecretMimeData(const QString& text, std::function<void()> onFetched)
        : utf8_(text.toUtf8()), onFetched_(std::move(onFetched))
    {
    }
    ~SecretMimeData() override { std::fill(utf8_.begin(), utf8_.end(), '\0'); }

    QStringList formats() const override { return {QStringLiteral("text/plain"), QString::fromLatin1(kHint)}; }
    bool hasFormat(const QString& mimeType) const override { return formats().contains(mimeType); }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType) const override
    {
        if (mimeType == QLatin1String(kHint))
            return QByteArray("secret");
        if (!mimeType.startsWith(QLatin1String("text/plain")))
            return {};
        if (onFetched_) {
            // Told after the answer has gone out, outside the clipboard's own handling.
            auto notify = std::move(onFetched_);
            onFetched_ = nullptr;
            QTimer::singleShot(0, QCoreApplication::instance(), std::move(notify));
        }
        // A copy of its own for the clipboard: ours stays the only one we wipe.
        return QByteArray(utf8_.constData(), utf8_.size());
    }

private:
    static constexpr const char* kHint = "x-kde-passwordManagerHint";
    QByteArray utf8_;
    mutable std::function<void()> onFetched_;
};

Display* qtDisplay()
{
    if (auto* app = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr)
        return app->display();
    return nullptr;
}

} // namespace

std::unique_ptr<X11Typing> X11Typing::open(Timing timing)
{
    // A connection of our own: the keyboard changes and made-up keys do not wait behind
    // Qt's requests, and Qt's connection keeps its own error handling.
    const char* name = nullptr;
    if (Display* qt = qtDisplay())
        name = DisplayString(qt);
    Display* display = XOpenDisplay(name);
    if (!display)
        return nullptr;
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display, &event, &error, &major, &minor)) {
        XCloseDisplay(display);
        return nullptr;
    }
    return std::unique_ptr<X11Typing>(new X11Typing(display, timing));
}

X11Typing::X11Typing(_XDisplay* display, Timing timing) : display_(display), timing_(timing), keymap_(display)
{
    clock_.start();
    // Made-up keys must not wait while another client holds the whole server grabbed.
    XTestGrabControl(display_, True);
    releaseTimer_.setSingleShot(true);
    connect(&releaseTimer_, &QTimer::timeout, this, [this] { releaseSpares(); });
    fetchTimer_.setSingleShot(true);
    connect(&fetchTimer_, &QTimer::timeout, this, [this] { finishPaste(false); });
    clearTimer_.setSingleShot(true);
    connect(&clearTimer_, &QTimer::timeout, this, [this] {
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (pasted_ && clipboard && clipboard->ownsClipboard() && clipboard->mimeData(QClipboard::Clipboard) == pasted_)
            clipboard->clear(QClipboard::Clipboard);
    });
}

X11Typing::~X11Typing()
{
    if (capsLockWasOn_) {
        XkbLockModifiers(display_, XkbUseCoreKbd, LockMask, LockMask);
        capsLockWasOn_ = false;
    }
    releaseSpares();
    // The text must not outlive us on the clipboard.
    if (QClipboard* clipboard = qGuiApp ? QGuiApplication::clipboard() : nullptr)
        if (pasted_ && clipboard->mimeData(QClipboard::Clipboard) == pasted_)
            clipboard->clear(QClipboard::Clipboard);
    XCloseDisplay(display_);
}

void X11Typing::sendKey(KeyCode keycode, bool down)
{
    XTestFakeKeyEvent(display_, keycode, down ? True : False, CurrentTime);
    // One by one, so that the server takes them in the order they were made.
    XSync(display_, False);
}

void X11Typing::tap(KeyCode keycode, const std::vector<KeyCode>& modifiers)
{
    for (const KeyCode m : modifiers)
        sendKey(m, true);
    sendKey(keycode, true);
    sendKey(keycode, false);
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it)
        sendKey(*it, false);
}

std::vector<KeyCode> X11Typing::modifierKeys(Qt::KeyboardModifiers modifiers, bool shift) const
{
    std::vector<KeyCode> keys;
    const auto add = [&](KeySym left, KeySym right) {
        if (auto key = keymap_.modifierKey(left))
            keys.push_back(*key);
        else if (auto other = keymap_.modifierKey(right))
            keys.push_back(*other);
    };
    if (modifiers & Qt::ControlModifier)
        add(XK_Control_L, XK_Control_R);
    if (modifiers & Qt::AltModifier)
        add(XK_Alt_L, XK_Alt_R);
    if (modifiers & Qt::MetaModifier)
        add(XK_Super_L, XK_Super_R);
    if (shift || (modifiers & Qt::ShiftModifier))
        add(XK_Shift_L, XK_Shift_R);
    return keys;
}

KeyCode X11Typing::bindSpare(KeySym keysym)
{
    ++uses_;
    for (Binding& b : bindings_)
        if (b.keysym == keysym) {
            b.lastUse = uses_;
            b.usedAtMs = clock_.elapsed();
            return b.keycode;
        }
    // A key of its own for each character while we can, so that a window still reading an
    // earlier key does not find it bound to a later character; the least recently used one
    // when every spare key is taken.
    Binding* slot = nullptr;
    for (const KeyCode free : keymap_.spareKeycodes()) {
        const bool ours = std::any_of(bindings_.begin(), bindings_.end(),
                                      [free](const Binding& b) { return b.keycode == free; });
        if (!ours) {
            bindings_.push_back({free, 0, 0, 0});
            slot = &bindings_.back();
            break;
        }
    }
    if (!slot && !bindings_.empty())
        slot = &*std::min_element(bindings_.begin(), bindings_.end(),
                                  [](const Binding& a, const Binding& b) { return a.lastUse < b.lastUse; });
    if (!slot)
        return 0;
    if (slot->keysym != 0) {
        // Every spare key holds a character typed a moment ago (a long text of characters
        // the layout lacks). The window may not have handled that key yet, and would find
        // it bound to the new character: a short pause, only then.
        const qint64 since = clock_.elapsed() - slot->usedAtMs;
        if (since < kRebindGapMs)
            QThread::msleep(kRebindGapMs - since);
    }
    // The same keysym on both levels: Shift, held or not, makes no difference to it.
    KeySym syms[2] = {keysym, keysym};
    {
        ErrorScope scope(display_);
        XChangeKeyboardMapping(display_, slot->keycode, 2, syms, 1);
    }
    slot->keysym = keysym;
    slot->lastUse = uses_;
    slot->usedAtMs = clock_.elapsed();
    return slot->keycode;
}

void X11Typing::releaseSpares()
{
    releaseTimer_.stop();
    if (bindings_.empty())
        return;
    ErrorScope scope(display_);
    KeySym none[2] = {NoSymbol, NoSymbol};
    for (const Binding& b : bindings_)
        XChangeKeyboardMapping(display_, b.keycode, 2, none, 1);
    bindings_.clear();
}

std::vector<KeyCode> X11Typing::boundSpareKeys() const
{
    std::vector<KeyCode> keys;
    for (const Binding& b : bindings_)
        keys.push_back(b.keycode);
    return keys;
}

std::optional<x11::Keymap::Stroke> X11Typing::strokeFor(KeySym keysym, char32_t codePoint)
{
    for (const Binding& b : bindings_)
        if (b.keysym == keysym)
            return x11::Keymap::Stroke{bindSpare(keysym), false};
    auto stroke = keymap_.forKeysym(keysym);
    if (!stroke && codePoint)
        stroke = keymap_.forCodePoint(codePoint);
    // A key we bound and may bind to something else is not the layout's.
    if (stroke && std::any_of(bindings_.begin(), bindings_.end(),
                              [&](const Binding& b) { return b.keycode == stroke->keycode; }))
        stroke.reset();
    if (stroke)
        return stroke;
    if (const KeyCode spare = bindSpare(keysym))
        return x11::Keymap::Stroke{spare, false};
    return std::nullopt;
}

void X11Typing::typeCodePoint(char32_t codePoint)
{
    const KeySym keysym = x11::keysymForCodePoint(codePoint);
    if (!keysym)
        return;
    const auto stroke = strokeFor(keysym, codePoint);
    if (!stroke) {
        qWarning("X11 typing: no key is free to type a character the keyboard layout lacks");
        return;
    }
    tap(stroke->keycode, modifierKeys({}, stroke->shift));
}

void X11Typing::typeText(const QString& text)
{
    if (text.isEmpty())
        return;
    // The layout may have changed since the last call (and with it the keys).
    keymap_.refresh();
    std::u32string codePoints = text.toStdU32String();
    for (const char32_t c : codePoints)
        typeCodePoint(c);
    // The copy is ours to wipe; the caller's text is the caller's.
    std::fill(codePoints.begin(), codePoints.end(), U'\0');
    releaseLaterOutsideSequence();
}

void X11Typing::pressKey(QKeyCombination key)
{
    const KeySym keysym = x11::keysymForQtKey(key.key());
    if (!keysym)
        return;
    keymap_.refresh();
    const auto stroke = strokeFor(keysym, 0);
    if (!stroke)
        return;
    tap(stroke->keycode, modifierKeys(key.keyboardModifiers(), stroke->shift));
    releaseLaterOutsideSequence();
}

void X11Typing::releaseLaterOutsideSequence()
{
    // Outside a sequence nobody ends it: the spare keys go back after a while all the same.
    if (sequenceDepth_ == 0 && !bindings_.empty())
        releaseTimer_.start(timing_.releaseSpareAfterMs);
}

bool X11Typing::modifiersHeld() const
{
    XkbStateRec state{};
    XkbGetState(display_, XkbUseCoreKbd, &state);
    const x11::ModifierMasks& m = keymap_.masks();
    return (state.base_mods & (m.shift | m.control | m.alt | m.super)) != 0;
}

void X11Typing::beginSequence()
{
    if (sequenceDepth_++ > 0)
        return;
    releaseTimer_.stop();
    keymap_.refresh();
    XkbStateRec state{};
    XkbGetState(display_, XkbUseCoreKbd, &state);
    capsLockWasOn_ = (state.locked_mods & LockMask) != 0;
    if (capsLockWasOn_) {
        XkbLockModifiers(display_, XkbUseCoreKbd, LockMask, 0);
        XSync(display_, False);
    }
}

void X11Typing::endSequence()
{
    if (sequenceDepth_ == 0 || --sequenceDepth_ > 0)
        return;
    if (capsLockWasOn_) {
        XkbLockModifiers(display_, XkbUseCoreKbd, LockMask, LockMask);
        XSync(display_, False);
        capsLockWasOn_ = false;
    }
    if (!bindings_.empty())
        releaseTimer_.start(timing_.releaseSpareAfterMs);
}

quint64 X11Typing::activeWindow() const
{
    ErrorScope scope(display_);
    const Window root = DefaultRootWindow(display_);
    const Atom active = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    quint64 window = 0;
    if (XGetWindowProperty(display_, root, active, 0, 1, False, XA_WINDOW, &type, &format, &count, &after, &data) ==
            Success &&
        data) {
        if (type == XA_WINDOW && format == 32 && count == 1)
            window = *reinterpret_cast<unsigned long*>(data);
        XFree(data);
    }
    if (window)
        return window;
    // No window manager that says which window is active: the window with the focus.
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display_, &focus, &revert);
    return focus > PointerRoot ? quint64(focus) : 0;
}

void X11Typing::finishPaste(bool fetched)
{
    if (!pasteWaiting_)
        return;
    pasteWaiting_ = false;
    fetchTimer_.stop();
    emit pasteFinished(fetched);
}

void X11Typing::pasteText(const QString& text)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    // A paste still waiting is over: its text leaves the clipboard now.
    finishPaste(false);
    if (!clipboard) {
        QTimer::singleShot(0, this, [this] { emit pasteFinished(false); });
        return;
    }
    QPointer<X11Typing> self(this);
    auto* data = new SecretMimeData(text, [self] {
        if (self)
            self->finishPaste(true);
    });
    pasted_ = data;
    pasteWaiting_ = true;
    // The CLIPBOARD selection only: the primary selection is what a middle click pastes
    // anywhere, long after.
    clipboard->setMimeData(data, QClipboard::Clipboard);
    fetchTimer_.start(timing_.fetchTimeoutMs);
    clearTimer_.start(timing_.clearAfterMs);

    keymap_.refresh();
    // The key that gives "v" in the layout in force; on a layout without Latin letters the
    // key that has it in another group (where programs look for their shortcuts); on a
    // keyboard with no "v" at all a spare key bound to it.
    KeyCode pasteKey = 0;
    if (auto stroke = keymap_.forKeysym(XK_v); stroke && !stroke->shift)
        pasteKey = stroke->keycode;
    else if (auto other = keymap_.inAnyGroup(XK_v))
        pasteKey = *other;
    else
        pasteKey = bindSpare(XK_v);
    if (!pasteKey) {
        qWarning("X11 typing: no key gives \"v\" for the paste");
        return;
    }
    tap(pasteKey, modifierKeys(Qt::ControlModifier, false));
    releaseLaterOutsideSequence();
}

} // namespace folivo::platform
