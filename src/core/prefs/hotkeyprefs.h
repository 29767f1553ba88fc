#pragma once
// The two hot keys as the preference file keeps them and as the program grabs them. The file
// keeps a key code (a Qt::Key value, see keyCodeForKey) and a modifier mask in the older
// event-manager form shared with the other edition (command 0x100, shift 0x200, option
// 0x800, control 0x1000); the recorder of the preferences dialog works with the newer form
// (command 0x100000, shift 0x20000, option 0x80000, control 0x40000, function keys 0x800000
// in both). On this system command is the Super key, option is Alt.

#include <QKeyCombination>
#include <QtGlobal>

namespace folivo {

class KTPrefs;

namespace eventmask {
inline constexpr quint32 Command = 0x100, Shift = 0x200, Option = 0x800, Control = 0x1000;
}
namespace recordermask {
inline constexpr quint32 Command = 0x100000, Shift = 0x20000, Option = 0x80000, Control = 0x40000,
                         Function = 0x800000;
}

// Bit for bit between the two forms; bits of neither are dropped.
quint32 recorderMaskFromEventMask(quint32 eventMask);
quint32 eventMaskFromRecorderMask(quint32 recorderMask);

// A stored code and event-manager mask as a key combination, and back. A code that is no
// key (0 or negative) gives an empty combination (Qt::Key_unknown), which grabs nothing.
QKeyCombination hotKeyCombination(qint64 code, quint32 eventMask);
struct StoredHotKey {
    qint64 code = 0;
    quint32 eventMask = 0;
    friend bool operator==(const StoredHotKey&, const StoredHotKey&) = default;
};
StoredHotKey storedHotKey(QKeyCombination keys);

enum class LoginHotKey { UserID = 1, Password = 2 };

// The hot key the preferences hold for typing the user ID or the password (the launch
// defaults fill both in).
QKeyCombination loginHotKey(const KTPrefs& prefs, LoginHotKey which);
void setLoginHotKey(KTPrefs& prefs, LoginHotKey which, QKeyCombination keys);

} // namespace folivo
