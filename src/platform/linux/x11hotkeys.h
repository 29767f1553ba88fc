#pragma once
// Global hot keys on X11: a passive grab of the key on the root window, made on Qt's own
// connection so that the presses arrive among Qt's events, where a native event filter
// picks them out. The grab is made four times, with and without NumLock and Caps Lock, or
// the combination would not fire while either is on. A grab another client already holds
// is refused by the server (BadAccess), and registration says so.

#include "platform/hotkeys.h"

#include <QAbstractNativeEventFilter>
#include <QHash>
#include <QSet>

#include <memory>

struct _XDisplay;
struct xcb_connection_t;

namespace folivo::platform {

class X11HotKeys final : public HotKeys, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    // On the connection of the running Qt application; null when it is not on X11.
    static std::unique_ptr<X11HotKeys> create();
    ~X11HotKeys() override;

    bool registerHotKey(int id, QKeyCombination keys) override;
    void unregisterHotKey(int id) override;
    void unregisterAll() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    X11HotKeys(xcb_connection_t* connection, _XDisplay* display, quint32 root);

    struct Grab {
        quint8 keycode = 0;
        quint16 modifiers = 0;
        quint16 numLock = 0; // the NumLock mask its variants were grabbed with
    };
    void ungrab(const Grab& grab);

    xcb_connection_t* connection_;
    _XDisplay* display_; // Qt's, for the keyboard's mapping
    quint32 root_;
    QHash<int, Grab> grabs_;
    QSet<quint8> down_; // hot keys pressed and not released yet
    QHash<quint8, quint32> releasedAt_;
};

} // namespace folivo::platform
