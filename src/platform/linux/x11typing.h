#pragma once
// Typing into other programs on X11: key presses made up through XTest on a connection of
// our own, for the keys of the keyboard layout in force. A character the layout has no key
// for is bound for a while to a spare key (a keycode without keysyms) and typed with it;
// the spare keys get their emptiness back at the end of the sequence. A paste puts the text
// on the CLIPBOARD selection through Qt (which answers the requests of the window in front)
// and presses the layout's Control+V.

#include "platform/linux/x11keymap.h"
#include "platform/typing.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

#include <memory>
#include <vector>

class QMimeData;

namespace folivo::platform {

class X11Typing final : public Typing {
    Q_OBJECT
public:
    struct Timing {
        // How long a paste waits for the window in front to fetch the text.
        int fetchTimeoutMs = 3000;
        // When the clipboard is emptied again if it still holds the pasted text.
        int clearAfterMs = 10000;
        // How long a spare key keeps its character after a sequence: the window typed into
        // reads the changed keyboard when it handles the key, which may be a moment later.
        int releaseSpareAfterMs = 1000;
    };

    // On the X display Qt uses (or $DISPLAY without a Qt application of the X platform).
    // Null when there is none or it has no XTEST.
    static std::unique_ptr<X11Typing> open(Timing timing);
    static std::unique_ptr<X11Typing> open() { return open(Timing{}); }
    ~X11Typing() override;

    bool available() const override { return true; }
    QString unavailableReason() const override { return {}; }
    void pressKey(QKeyCombination key) override;
    void typeText(const QString& text) override;
    bool modifiersHeld() const override;
    void beginSequence() override;
    void endSequence() override;
    quint64 activeWindow() const override;
    void pasteText(const QString& text) override;

    // The keycodes bound to characters now (tests look at what is left behind).
    std::vector<x11::KeyCode> boundSpareKeys() const;

private:
    X11Typing(_XDisplay* display, Timing timing);

    struct Binding {
        x11::KeyCode keycode;
        x11::KeySym keysym;
        quint64 lastUse;
        qint64 usedAtMs;
    };
    static constexpr qint64 kRebindGapMs = 300;

    void typeCodePoint(char32_t codePoint);
    // The key for a keysym: in the layout, else a spare key bound to it. 0 when neither.
    std::optional<x11::Keymap::Stroke> strokeFor(x11::KeySym keysym, char32_t codePoint);
    x11::KeyCode bindSpare(x11::KeySym keysym);
    void releaseSpares();
    void releaseLaterOutsideSequence();
    void tap(x11::KeyCode keycode, const std::vector<x11::KeyCode>& modifiers);
    void sendKey(x11::KeyCode keycode, bool down);
    std::vector<x11::KeyCode> modifierKeys(Qt::KeyboardModifiers modifiers, bool shift) const;
    void finishPaste(bool fetched);

    _XDisplay* display_;
    Timing timing_;
    x11::Keymap keymap_;
    std::vector<Binding> bindings_;
    quint64 uses_ = 0;
    QElapsedTimer clock_;
    int sequenceDepth_ = 0;
    bool capsLockWasOn_ = false;
    QTimer releaseTimer_;
    QPointer<QMimeData> pasted_;
    bool pasteWaiting_ = false;
    QTimer fetchTimer_;
    QTimer clearTimer_;
};

} // namespace folivo::platform
