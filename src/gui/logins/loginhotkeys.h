#pragma once
// The two desktop-wide hot keys that type the user ID and the password of the login shown
// last: grabbed from the preferences for the whole run, let go while the preferences dialog
// is open (so that its recorders can take any combination, the present ones included), and
// grabbed again from the stored preferences when it closes.

#include "prefs/hotkeyprefs.h"

#include <QKeyCombination>
#include <QList>
#include <QObject>
#include <QPointer>

namespace folivo {
class KTPrefs;
}

namespace folivo::platform {
class HotKeys;
}

namespace folivo::gui {

class LoginHotKeys : public QObject {
    Q_OBJECT
public:
    // `hotKeys` may be null (no such service on this desktop): nothing is grabbed then, and
    // every combination counts as free. Both outlive this object.
    LoginHotKeys(platform::HotKeys* hotKeys, const KTPrefs* prefs, QObject* parent = nullptr);
    ~LoginHotKeys() override;

    // Grabs both keys the preferences hold, letting go of what was grabbed before. Answers
    // the keys another program holds (a key that is not set is not tried). When the desktop
    // refuses every grab, even of a combination nobody uses, the keys are not "in use":
    // this desktop just does not give out hot keys, and the answer is empty.
    QList<LoginHotKey> registerHotKeys();
    void unregisterHotKeys();
    bool isRegistered(LoginHotKey which) const;

    // Whether the combination could be grabbed now: it is tried, then let go. True for a
    // combination that is no key, and where there are no hot keys at all.
    bool isAvailable(QKeyCombination keys) const;

signals:
    // The person pressed the hot key of `which`.
    void pressed(folivo::LoginHotKey which);

private:
    bool refusesEverything() const;

    QPointer<platform::HotKeys> hotKeys_;
    const KTPrefs* prefs_;
    bool userIDRegistered_ = false;
    bool passwordRegistered_ = false;
};

// The sentence that tells a hot key is held by another program.
QString hotKeyInUseText(QKeyCombination keys);

} // namespace folivo::gui
