#pragma once
// Key combinations that reach the program whichever window is in front, such as the two that
// type a login's user ID and password into the browser.
//
// On X11 the backend (linux/x11hotkeys.h) grabs the key on the root window, with the NumLock
// and Caps Lock variants, and picks the presses out of Qt's events; elsewhere every
// registration is refused.

#include <QKeyCombination>
#include <QObject>

namespace folivo::platform {

class HotKeys : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Grabs the combination for the whole desktop under `id`, letting go of what `id` had.
    // False when another program holds it or it cannot be grabbed here; `id` then has none.
    virtual bool registerHotKey(int id, QKeyCombination keys) = 0;
    virtual void unregisterHotKey(int id) = 0;
    virtual void unregisterAll() = 0;

signals:
    // The person pressed the combination registered under `id`.
    void activated(int id);
};

} // namespace folivo::platform
