#include "prefs/hotkeyprefs.h"

#include "prefs/ktprefs.h"
#include "prefs/prefkeys.h"

#include <array>
#include <utility>

namespace folivo {

namespace {

// event-manager bit, recorder bit, Qt modifier
struct ModifierBits {
    quint32 event;
    quint32 recorder;
    Qt::KeyboardModifier qt;
};
constexpr std::array<ModifierBits, 4> kModifiers{{
    {eventmask::Command, recordermask::Command, Qt::MetaModifier},
    {eventmask::Shift, recordermask::Shift, Qt::ShiftModifier},
    {eventmask::Option, recordermask::Option, Qt::AltModifier},
    {eventmask::Control, recordermask::Control, Qt::ControlModifier},
}};

std::pair<const QString&, const QString&> keysOf(LoginHotKey which)
{
    if (which == LoginHotKey::UserID)
        return {prefkeys::HotkeyCodeUserID, prefkeys::HotkeyUserIDModifierFlags};
    return {prefkeys::HotkeyCodePassword, prefkeys::HotkeyPasswordModifierFlags};
}

} // namespace

quint32 recorderMaskFromEventMask(quint32 eventMask)
{
    quint32 out = eventMask & recordermask::Function;
    for (const ModifierBits& m : kModifiers)
        if (eventMask & m.event)
            out |= m.recorder;
    return out;
}

quint32 eventMaskFromRecorderMask(quint32 recorderMask)
{
    quint32 out = recorderMask & recordermask::Function;
    for (const ModifierBits& m : kModifiers)
        if (recorderMask & m.recorder)
            out |= m.event;
    return out;
}

QKeyCombination hotKeyCombination(qint64 code, quint32 eventMask)
{
    if (code <= 0 || code > 0x7fffffff)
        return QKeyCombination(Qt::Key_unknown);
    Qt::KeyboardModifiers modifiers;
    for (const ModifierBits& m : kModifiers)
        if (eventMask & m.event)
            modifiers |= m.qt;
    return QKeyCombination(modifiers, Qt::Key(code));
}

StoredHotKey storedHotKey(QKeyCombination keys)
{
    StoredHotKey out;
    if (keys.key() == Qt::Key_unknown || keys.key() == 0)
        return out;
    out.code = qint64(keys.key());
    for (const ModifierBits& m : kModifiers)
        if (keys.keyboardModifiers() & m.qt)
            out.eventMask |= m.event;
    return out;
}

QKeyCombination loginHotKey(const KTPrefs& prefs, LoginHotKey which)
{
    const auto [codeKey, maskKey] = keysOf(which);
    if (!prefs.objectForKey(codeKey))
        return QKeyCombination(Qt::Key_unknown);
    return hotKeyCombination(prefs.integerForKey(codeKey), quint32(prefs.integerForKey(maskKey)));
}

void setLoginHotKey(KTPrefs& prefs, LoginHotKey which, QKeyCombination keys)
{
    const auto [codeKey, maskKey] = keysOf(which);
    const StoredHotKey stored = storedHotKey(keys);
    prefs.setInteger(stored.code, codeKey);
    prefs.setUInt32(stored.eventMask, maskKey);
}

} // namespace folivo
