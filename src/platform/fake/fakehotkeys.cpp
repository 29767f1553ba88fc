#include "platform/fake/fakehotkeys.h"

namespace folivo::platform {

bool FakeHotKeys::registerHotKey(int id, QKeyCombination keys)
{
    registered.remove(id);
    if (takenElsewhere.contains(keys))
        return false;
    for (auto it = registered.cbegin(); it != registered.cend(); ++it) {
        if (it.value() == keys)
            return false;
    }
    registered.insert(id, keys);
    return true;
}

bool FakeHotKeys::press(QKeyCombination keys)
{
    for (auto it = registered.cbegin(); it != registered.cend(); ++it) {
        if (it.value() == keys) {
            emit activated(it.key());
            return true;
        }
    }
    return false;
}

} // namespace folivo::platform
