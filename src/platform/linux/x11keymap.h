#pragma once
// Which key of the keyboard the X server has now gives a character, and what a Qt key is
// called in X (its keysym). The keyboard is read from the server, in the layout (XKB group)
// in force, so that typing and grabbing follow a change of layout.
//
// The X headers are kept out of here: their macros (None, Bool, KeyPress, ...) collide
// with Qt's names.

#include <QtCore/qnamespace.h>

#include <optional>
#include <unordered_map>
#include <vector>

struct _XDisplay;

namespace folivo::platform::x11 {

using KeySym = unsigned long;
using KeyCode = unsigned char;

// The keysym of a Qt key: letters as their lower case (what the key is called whatever the
// Shift), digits, F1-F35, the keys of editing and movement, Latin-1 punctuation, and
// other characters as their Unicode keysym. 0 for a key X has no name for.
KeySym keysymForQtKey(int qtKey);
// The keysym that stands for one character: Latin-1 directly, the rest as Unicode keysyms
// (0x1000000 | code point); Tab, Return and Backspace as their keys. 0 for other control
// characters, which no key types.
KeySym keysymForCodePoint(char32_t codePoint);
// The character a keysym types, 0 for none (modifiers, function keys).
char32_t codePointForKeysym(KeySym keysym);

// The X modifier masks of Qt's modifiers (Meta is the Super key).
struct ModifierMasks {
    unsigned shift = 1 << 0;
    unsigned lock = 1 << 1;
    unsigned control = 1 << 2;
    unsigned alt = 1 << 3;   // Mod1 on nearly every keyboard
    unsigned super = 1 << 6; // Mod4
    unsigned numLock = 1 << 4; // Mod2
    unsigned fromQt(Qt::KeyboardModifiers modifiers) const;
};
// Where Alt, Super and NumLock sit in the server's modifier map.
ModifierMasks readModifierMasks(_XDisplay* display);

class Keymap {
public:
    struct Stroke {
        KeyCode keycode = 0;
        bool shift = false;
    };

    // Reads the keyboard of `display` (borrowed).
    explicit Keymap(_XDisplay* display);

    // Reads it again: the layout, the mapping or the locked modifiers changed.
    void refresh();

    // The key (and whether Shift goes with it) that types the character, or the keysym, in
    // the current group with the locked modifiers as they are now. Keys that need other
    // modifiers (AltGr) are not offered.
    std::optional<Stroke> forCodePoint(char32_t codePoint) const;
    std::optional<Stroke> forKeysym(KeySym keysym) const;
    // The key whose keysym is `keysym` in some group of the layout, unshifted: what a
    // program looks for when it takes Control with a key of a non-Latin layout as a
    // shortcut (the paste key).
    std::optional<KeyCode> inAnyGroup(KeySym keysym) const;
    // Keys with no keysyms at all, which a character the layout lacks can be bound to.
    const std::vector<KeyCode>& spareKeycodes() const { return spare_; }
    // The first key that gives this modifier keysym (Shift_L, Control_L, ...).
    std::optional<KeyCode> modifierKey(KeySym keysym) const;

    const ModifierMasks& masks() const { return masks_; }
    int group() const { return group_; }

private:
    _XDisplay* display_;
    ModifierMasks masks_;
    int group_ = 0;
    std::unordered_map<KeySym, Stroke> byKeysym_;
    std::unordered_map<char32_t, Stroke> byCodePoint_;
    std::unordered_map<KeySym, KeyCode> anyGroup_;
    std::vector<KeyCode> spare_;
};

} // namespace folivo::platform::x11
