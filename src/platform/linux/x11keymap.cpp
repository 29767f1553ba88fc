#include "platform/linux/x11keymap.h"

#include <QChar>

// After Qt's headers: the X headers define None, Bool and other names Qt uses.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace folivo::platform::x11 {

namespace {

constexpr KeySym kUnicodeKeysyms = 0x1000000;

bool isLatin1Printable(char32_t c)
{
    return (c >= 0x20 && c <= 0x7e) || (c >= 0xa0 && c <= 0xff);
}

} // namespace

KeySym keysymForQtKey(int qtKey)
{
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F35)
        return XK_F1 + (qtKey - Qt::Key_F1);
    switch (qtKey) {
    case Qt::Key_Escape: return XK_Escape;
    case Qt::Key_Tab: return XK_Tab;
    case Qt::Key_Backtab: return XK_ISO_Left_Tab;
    case Qt::Key_Backspace: return XK_BackSpace;
    case Qt::Key_Return: return XK_Return;
    case Qt::Key_Enter: return XK_KP_Enter;
    case Qt::Key_Insert: return XK_Insert;
    case Qt::Key_Delete: return XK_Delete;
    case Qt::Key_Pause: return XK_Pause;
    case Qt::Key_Print: return XK_Print;
    case Qt::Key_SysReq: return XK_Sys_Req;
    case Qt::Key_Clear: return XK_Clear;
    case Qt::Key_Home: return XK_Home;
    case Qt::Key_End: return XK_End;
    case Qt::Key_Left: return XK_Left;
    case Qt::Key_Up: return XK_Up;
    case Qt::Key_Right: return XK_Right;
    case Qt::Key_Down: return XK_Down;
    case Qt::Key_PageUp: return XK_Page_Up;
    case Qt::Key_PageDown: return XK_Page_Down;
    case Qt::Key_Shift: return XK_Shift_L;
    case Qt::Key_Control: return XK_Control_L;
    case Qt::Key_Meta: return XK_Super_L;
    case Qt::Key_Alt: return XK_Alt_L;
    case Qt::Key_AltGr: return XK_ISO_Level3_Shift;
    case Qt::Key_CapsLock: return XK_Caps_Lock;
    case Qt::Key_NumLock: return XK_Num_Lock;
    case Qt::Key_ScrollLock: return XK_Scroll_Lock;
    case Qt::Key_Menu: return XK_Menu;
    case Qt::Key_Help: return XK_Help;
    default: break;
    }
    if (qtKey <= 0 || qtKey >= 0x01000000)
        return 0;
    // Below the special keys a Qt key is the upper case of its character; X names the key
    // by the lower case.
    const char32_t c = QChar::toLower(char32_t(qtKey));
    if (isLatin1Printable(c))
        return c;
    if (c < 0x100)
        return 0;
    return kUnicodeKeysyms | c;
}

KeySym keysymForCodePoint(char32_t codePoint)
{
    switch (codePoint) {
    case U'\t': return XK_Tab;
    case U'\n':
    case U'\r': return XK_Return;
    case U'\b': return XK_BackSpace;
    default: break;
    }
    if (isLatin1Printable(codePoint))
        return codePoint;
    if (codePoint < 0x100 || codePoint > 0x10ffff || (codePoint >= 0xd800 && codePoint <= 0xdfff))
        return 0;
    return kUnicodeKeysyms | codePoint;
}

char32_t codePointForKeysym(KeySym keysym)
{
    if (isLatin1Printable(char32_t(keysym)))
        return char32_t(keysym);
    if (keysym >= kUnicodeKeysyms + 0x100 && keysym <= kUnicodeKeysyms + 0x10ffff)
        return char32_t(keysym - kUnicodeKeysyms);
    // The one older keysym outside Latin-1 that nearly every European layout carries; other
    // characters of older keysyms are typed through a spare key instead.
    if (keysym == XK_EuroSign)
        return U'€';
    return 0;
}

unsigned ModifierMasks::fromQt(Qt::KeyboardModifiers modifiers) const
{
    unsigned out = 0;
    if (modifiers & Qt::ShiftModifier)
        out |= shift;
    if (modifiers & Qt::ControlModifier)
        out |= control;
    if (modifiers & Qt::AltModifier)
        out |= alt;
    if (modifiers & Qt::MetaModifier)
        out |= super;
    return out;
}

ModifierMasks readModifierMasks(_XDisplay* display)
{
    ModifierMasks masks;
    XModifierKeymap* map = XGetModifierMapping(display);
    if (!map)
        return masks;
    bool alt = false, super = false, numLock = false;
    // Mod1 to Mod5 only: Shift, Lock and Control have fixed places.
    for (int mod = Mod1MapIndex; mod <= Mod5MapIndex; ++mod) {
        for (int k = 0; k < map->max_keypermod; ++k) {
            const KeyCode code = map->modifiermap[mod * map->max_keypermod + k];
            if (!code)
                continue;
            for (int level = 0; level < 2; ++level) {
                const KeySym sym = XkbKeycodeToKeysym(display, code, 0, level);
                const unsigned mask = 1u << mod;
                if (!alt && (sym == XK_Alt_L || sym == XK_Alt_R)) {
                    masks.alt = mask;
                    alt = true;
                } else if (!super && (sym == XK_Super_L || sym == XK_Super_R)) {
                    masks.super = mask;
                    super = true;
                } else if (!numLock && sym == XK_Num_Lock) {
                    masks.numLock = mask;
                    numLock = true;
                }
            }
        }
    }
    XFreeModifiermap(map);
    return masks;
}

Keymap::Keymap(_XDisplay* display) : display_(display)
{
    refresh();
}

void Keymap::refresh()
{
    byKeysym_.clear();
    byCodePoint_.clear();
    anyGroup_.clear();
    spare_.clear();
    masks_ = readModifierMasks(display_);

    XkbStateRec state{};
    XkbGetState(display_, XkbUseCoreKbd, &state);
    group_ = state.group;
    const unsigned lockedNumLock = state.locked_mods & masks_.numLock;

    XkbDescPtr xkb = XkbGetMap(display_, XkbAllClientInfoMask, XkbUseCoreKbd);
    if (!xkb)
        return;
    for (int code = xkb->min_key_code; code <= xkb->max_key_code; ++code) {
        const auto keycode = KeyCode(code);
        const int syms = XkbKeyNumSyms(xkb, keycode);
        bool empty = true;
        for (int i = 0; i < syms; ++i)
            if (XkbKeySymsPtr(xkb, keycode)[i] != NoSymbol)
                empty = false;
        if (empty) {
            spare_.push_back(keycode);
            continue;
        }
        for (const bool shift : {false, true}) {
            unsigned consumed = 0;
            KeySym sym = NoSymbol;
            const unsigned mods = lockedNumLock | (shift ? unsigned(ShiftMask) : 0u);
            if (!XkbTranslateKeyCode(xkb, keycode, XkbBuildCoreState(mods, group_), &consumed, &sym))
                continue;
            // A key whose level Shift does not choose gives the same keysym either way.
            if (sym == NoSymbol || (shift && !(consumed & ShiftMask)))
                continue;
            const Stroke stroke{keycode, shift};
            byKeysym_.try_emplace(sym, stroke);
            if (const char32_t c = codePointForKeysym(sym))
                byCodePoint_.try_emplace(c, stroke);
        }
        for (int group = 0; group < XkbKeyNumGroups(xkb, keycode); ++group) {
            const KeySym sym = XkbKeySymEntry(xkb, keycode, 0, group);
            if (sym != NoSymbol)
                anyGroup_.try_emplace(sym, keycode);
        }
    }
    XkbFreeKeyboard(xkb, 0, True);
}

std::optional<Keymap::Stroke> Keymap::forCodePoint(char32_t codePoint) const
{
    const auto it = byCodePoint_.find(codePoint);
    if (it == byCodePoint_.end())
        return std::nullopt;
    return it->second;
}

std::optional<Keymap::Stroke> Keymap::forKeysym(KeySym keysym) const
{
    const auto it = byKeysym_.find(keysym);
    if (it == byKeysym_.end())
        return std::nullopt;
    return it->second;
}

std::optional<KeyCode> Keymap::inAnyGroup(KeySym keysym) const
{
    const auto it = anyGroup_.find(keysym);
    if (it == anyGroup_.end())
        return std::nullopt;
    return it->second;
}

std::optional<KeyCode> Keymap::modifierKey(KeySym keysym) const
{
    if (const auto stroke = forKeysym(keysym); stroke && !stroke->shift)
        return stroke->keycode;
    return inAnyGroup(keysym);
}

} // namespace folivo::platform::x11
