#pragma once
// Keystrokes made up by the program and sent to the window in front, the way a login is typed
// into the person's browser: Tab between fields, the user ID and password character by
// character, Return to submit. What is typed is usually a secret: a backend never writes it
// to a log and keeps no copy of it after the call (the clipboard of a paste excepted, which
// it empties again within seconds).
//
// Every call returns at once. The pauses between characters, the waits for a page and for
// the person to let go of a hot key belong to the caller's timers: a program that sleeps
// while it owns the clipboard cannot hand the pasted text over.
//
// On X11 the backend sends the keys through XTest; Folivo's own browser types with Qt key
// events into its page and does not come here.

#include <QKeyCombination>
#include <QObject>
#include <QString>

namespace folivo::platform {

class Typing : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // False where keystrokes made here cannot reach other programs (no X server, a Wayland
    // session, an X server without XTEST); the window then tells the person instead of
    // typing into nothing.
    virtual bool available() const = 0;
    // Why typing is not available, in words for the person; empty when it is.
    virtual QString unavailableReason() const = 0;

    // Presses and releases one key with its modifiers: Qt::Key_Tab, Qt::Key_Return.
    virtual void pressKey(QKeyCombination key) = 0;
    // Types the text back to back, one code point after another, whatever the keyboard
    // layout (a character the layout lacks is typed all the same). Callers that pause
    // between characters call it once per code point.
    virtual void typeText(const QString& text) = 0;

    // True while the person holds a modifier key (Shift, Control, Alt, Super) down: typing
    // started by a hot key waits until they have let go, or the keys would be modified.
    virtual bool modifiersHeld() const = 0;
    // Around one sequence: Caps Lock is turned off for its duration (or upper and lower
    // case would swap) and turned on again at its end when it was on.
    virtual void beginSequence() = 0;
    virtual void endSequence() = 0;

    // The window that has the keyboard, as the windowing system names it; 0 when unknown.
    // A sequence that types on its own stops when this changes under it.
    virtual quint64 activeWindow() const = 0;

    // Enters the text through the clipboard and the layout's paste keystroke (Control+V).
    // The text goes on the clipboard only (never the primary selection), marked as a secret
    // for clipboard managers; `pasteFinished` follows once the window in front has fetched
    // it, or after a few seconds (`fetched` false). Ten seconds after the paste the
    // clipboard is emptied if it still holds the text.
    virtual void pasteText(const QString& text) = 0;

signals:
    void pasteFinished(bool fetched);
};

} // namespace folivo::platform
