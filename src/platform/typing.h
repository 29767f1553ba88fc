#pragma once
// Keystrokes made up by the program and sent to the window in front, the way a login is typed
// into the person's browser: Tab between fields, the user ID and password character by
// character with a pause before each, Return to submit. What is typed is usually a secret:
// a backend never writes it to a log and keeps no copy of it after the call.
//
// Only the interface and the fake for tests exist so far; the backend (XTest on X11) comes
// with auto-login typing. The built-in browser types with Qt key events into its own view,
// behind this same interface.

#include <QKeyCombination>
#include <QString>
#include <chrono>

namespace folivo::platform {

class Typing {
public:
    virtual ~Typing();

    // False where keystrokes made here cannot reach other programs (no X server, a Wayland
    // session); the window then tells the person instead of typing into nothing.
    virtual bool available() const = 0;
    // Presses and releases one key with its modifiers: Qt::Key_Tab, Qt::Key_Return,
    // Qt::CTRL | Qt::Key_V.
    virtual void pressKey(QKeyCombination key) = 0;
    // Types the text one UTF-16 unit after another (a character outside the basic plane is
    // two), waiting `delayBeforeEach` before each; zero types them back to back. Returns when
    // the last one has been sent.
    virtual void typeText(const QString& text, std::chrono::microseconds delayBeforeEach) = 0;
    // Enters the text through the clipboard and the paste keystroke. The clipboard entry is
    // marked as a secret for clipboard managers and cleared again within seconds.
    virtual void pasteText(const QString& text) = 0;
};

} // namespace folivo::platform
