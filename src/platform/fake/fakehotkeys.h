#pragma once
// Hot keys for tests: registrations are kept, combinations the test marks as taken by another
// program are refused, and the test presses keys.

#include "platform/hotkeys.h"

#include <QList>
#include <QMap>

namespace folivo::platform {

class FakeHotKeys final : public HotKeys {
    Q_OBJECT
public:
    bool registerHotKey(int id, QKeyCombination keys) override;
    void unregisterHotKey(int id) override { registered.remove(id); }
    void unregisterAll() override { registered.clear(); }

    // The person presses the combination: `activated` for the id that holds it. False when
    // none does.
    bool press(QKeyCombination keys);

    QMap<int, QKeyCombination> registered;
    QList<QKeyCombination> takenElsewhere;
};

} // namespace folivo::platform
