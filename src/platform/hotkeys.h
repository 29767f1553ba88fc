#pragma once
// Key combinations that reach the program whichever window is in front, such as the two that
// type a login's user ID and password into the browser.
//
// Only the interface and the fake for tests exist so far; the backend (XGrabKey through a
// native event filter, with the NumLock and CapsLock variants grabbed too) comes with
// auto-login typing.

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
