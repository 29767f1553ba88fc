#include "logins/loginhotkeys.h"

#include "logins/loginmessages.h"
#include "platform/hotkeys.h"
#include "widgets/hotkeyrecorder.h"

namespace folivo::gui {

namespace {

// Grab ids: those of the stored hot keys, and one for trying a combination out.
constexpr int ProbeId = 99;

bool isKey(QKeyCombination keys)
{
    return keys.key() != Qt::Key_unknown && keys.key() != 0;
}

// A combination no program plausibly holds, on a key every keyboard map has: when even this
// cannot be grabbed, the desktop gives out no hot keys at all.
const QKeyCombination Unlikely(Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier,
                               Qt::Key_F12);

} // namespace

LoginHotKeys::LoginHotKeys(platform::HotKeys* hotKeys, const KTPrefs* prefs, QObject* parent)
    : QObject(parent), hotKeys_(hotKeys), prefs_(prefs)
{
    if (!hotKeys_)
        return;
    connect(hotKeys_, &platform::HotKeys::activated, this, [this](int id) {
        if (id == int(LoginHotKey::UserID) && userIDRegistered_)
            emit pressed(LoginHotKey::UserID);
        else if (id == int(LoginHotKey::Password) && passwordRegistered_)
            emit pressed(LoginHotKey::Password);
    });
}

LoginHotKeys::~LoginHotKeys()
{
    unregisterHotKeys();
}

QList<LoginHotKey> LoginHotKeys::registerHotKeys()
{
    unregisterHotKeys();
    QList<LoginHotKey> taken;
    if (!hotKeys_ || !prefs_)
        return taken;
    for (const LoginHotKey which : {LoginHotKey::UserID, LoginHotKey::Password}) {
        const QKeyCombination keys = loginHotKey(*prefs_, which);
        if (!isKey(keys))
            continue;
        const bool ok = hotKeys_->registerHotKey(int(which), keys);
        (which == LoginHotKey::UserID ? userIDRegistered_ : passwordRegistered_) = ok;
        if (!ok)
            taken << which;
    }
    if (!taken.isEmpty() && refusesEverything())
        taken.clear();
    return taken;
}

void LoginHotKeys::unregisterHotKeys()
{
    if (hotKeys_) {
        if (userIDRegistered_)
            hotKeys_->unregisterHotKey(int(LoginHotKey::UserID));
        if (passwordRegistered_)
            hotKeys_->unregisterHotKey(int(LoginHotKey::Password));
    }
    userIDRegistered_ = passwordRegistered_ = false;
}

bool LoginHotKeys::isRegistered(LoginHotKey which) const
{
    return which == LoginHotKey::UserID ? userIDRegistered_ : passwordRegistered_;
}

bool LoginHotKeys::isAvailable(QKeyCombination keys) const
{
    if (!hotKeys_ || !isKey(keys))
        return true;
    const bool ok = hotKeys_->registerHotKey(ProbeId, keys);
    hotKeys_->unregisterHotKey(ProbeId);
    return ok || refusesEverything();
}

bool LoginHotKeys::refusesEverything() const
{
    const bool ok = hotKeys_->registerHotKey(ProbeId, Unlikely);
    hotKeys_->unregisterHotKey(ProbeId);
    return !ok;
}

QString hotKeyInUseText(QKeyCombination keys)
{
    return loginmsg::HotKeyInUse.arg(HotKeyRecorder::textOf(keys));
}

} // namespace folivo::gui
