#pragma once
// What the application does to its preference store at every launch: the defaults of keys
// that are still missing, older keys turned into their present form, and the values that
// are put right every time. Also whether this launch is the first one.

#include <QString>
#include <optional>

namespace folivo {

class KTPrefs;

// The first-run notice when the preference file of `applicationId` does not exist yet;
// none otherwise. Call it before anything writes the store.
//
// The legacy application never ran on Linux, so there are no legacy preferences to find and
// copy: the notice never carries the sentence about copied preferences, and the store is
// always loaded from `applicationId` itself.
std::optional<QString> firstRunPrompt(const QString& applicationId);

// Fills in the launch defaults, each only while its key is absent, converts the older keys
// and normalises "generatedPasswordLength". Changes memory only: the caller synchronizes.
void applyLaunchDefaults(KTPrefs& prefs);

// A stored password length made one of the menu's lengths: missing or 0 gives 24, anything
// below 24 goes up to the next of 8, 12, 16, 20, 24 (negative values to 8), 24 and above
// stay as they are.
qint64 normalisedPasswordLength(std::optional<qint64> stored);

// The hot-key code of a one-character key name. Codes are Qt::Key values, not the key
// codes of one keyboard layout or windowing system: they survive a change of layout or a
// move between X11 and Wayland, and the hot-key code converts them where it grabs the key.
// For letters that is the upper-case character ("u" → Qt::Key_U). None for an empty
// name, more than one character, or a control character.
std::optional<int> keyCodeForKey(const QString& key);

// The modifiers of both default hot keys, control + option, in the older event-manager mask
// that the preference file keeps (0x1000 control, 0x0800 option).
inline constexpr quint32 DefaultHotKeyModifiers = 6144;

} // namespace folivo
