#include "platform/linux/x11hotkeys.h"

#include "platform/linux/x11keymap.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>
#include <QtGui/qguiapplication_platform.h>

#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <cstdlib>

namespace folivo::platform {

namespace {

// The key-state bits of a key event (buttons and the layout group above them do not count).
constexpr quint16 kKeyModifiers = 0xff;

} // namespace

std::unique_ptr<X11HotKeys> X11HotKeys::create()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection() || !x11->display())
        return nullptr;
    xcb_connection_t* connection = x11->connection();
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const int screenNumber = DefaultScreen(x11->display());
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    if (!it.rem)
        return nullptr;
    return std::unique_ptr<X11HotKeys>(new X11HotKeys(connection, x11->display(), it.data->root));
}

X11HotKeys::X11HotKeys(xcb_connection_t* connection, _XDisplay* display, quint32 root)
    : connection_(connection), display_(display), root_(root)
{
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11HotKeys::~X11HotKeys()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeNativeEventFilter(this);
    unregisterAll();
}

bool X11HotKeys::registerHotKey(int id, QKeyCombination keys)
{
    unregisterHotKey(id);
    const x11::KeySym keysym = x11::keysymForQtKey(keys.key());
    if (!keysym)
        return false;
    const x11::KeyCode keycode = XKeysymToKeycode(display_, keysym);
    if (!keycode)
        return false;
    const x11::ModifierMasks masks = x11::readModifierMasks(display_);
    const Grab grab{keycode, quint16(masks.fromQt(keys.keyboardModifiers())), quint16(masks.numLock)};
    // The server lets a client grab what it holds already; two ids on one grab would lose
    // it together, so the second is refused like a grab of another program.
    for (const Grab& held : std::as_const(grabs_))
        if (held.keycode == grab.keycode && held.modifiers == grab.modifiers)
            return false;

    const quint16 variants[] = {0, grab.numLock, XCB_MOD_MASK_LOCK, quint16(grab.numLock | XCB_MOD_MASK_LOCK)};
    xcb_void_cookie_t cookies[4];
    for (int i = 0; i < 4; ++i)
        cookies[i] = xcb_grab_key_checked(connection_, 1, root_, quint16(grab.modifiers | variants[i]), grab.keycode,
                                          XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    bool refused = false;
    for (const xcb_void_cookie_t& cookie : cookies)
        if (xcb_generic_error_t* error = xcb_request_check(connection_, cookie)) {
            refused = true; // BadAccess: another client holds it
            std::free(error);
        }
    if (refused) {
        // Only our own grabs are let go; the other client keeps its one.
        ungrab(grab);
        return false;
    }
    grabs_.insert(id, grab);
    return true;
}

void X11HotKeys::ungrab(const Grab& grab)
{
    const quint16 variants[] = {0, grab.numLock, XCB_MOD_MASK_LOCK, quint16(grab.numLock | XCB_MOD_MASK_LOCK)};
    for (const quint16 v : variants)
        xcb_ungrab_key(connection_, grab.keycode, root_, quint16(grab.modifiers | v));
    xcb_flush(connection_);
}

void X11HotKeys::unregisterHotKey(int id)
{
    const auto it = grabs_.find(id);
    if (it == grabs_.end())
        return;
    ungrab(*it);
    grabs_.erase(it);
}

void X11HotKeys::unregisterAll()
{
    for (const Grab& grab : std::as_const(grabs_))
        ungrab(grab);
    grabs_.clear();
}

bool X11HotKeys::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (grabs_.isEmpty() || eventType != "xcb_generic_event_t")
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    const quint8 type = event->response_type & 0x7f;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return false;
    auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
    if (key->event != root_)
        return false;
    for (auto it = grabs_.cbegin(); it != grabs_.cend(); ++it) {
        if (it->keycode != key->detail)
            continue;
        const quint16 modifiers = key->state & kKeyModifiers & ~(it->numLock | XCB_MOD_MASK_LOCK);
        if (type == XCB_KEY_RELEASE) {
            down_.remove(key->detail);
            releasedAt_.insert(key->detail, key->time);
            return true; // the release of a hot key is ours too
        }
        if (it->modifiers != modifiers)
            continue;
        // A key held down repeats: a release and a press of the same moment, over and over
        // (or presses alone where a client asked for detectable repeats). One press types
        // one login, however long the key is held.
        const bool repeat = down_.contains(key->detail) || releasedAt_.value(key->detail, 0) == key->time;
        down_.insert(key->detail);
        if (repeat)
            return true;
        // After the event: whatever the press starts runs outside Qt's event dispatch.
        const int id = it.key();
        QTimer::singleShot(0, this, [this, id] {
            if (grabs_.contains(id))
                emit activated(id);
        });
        return true;
    }
    return false;
}

} // namespace folivo::platform
