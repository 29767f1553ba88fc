#pragma once
// A button that shows a hot key and records a new one: a click (or Space or Return while
// it has the focus) starts recording, and the next chord that holds Control, Alt or Super,
// or a function key on its own, becomes the hot key. Modifiers held on their own keep it
// recording and show what is held so far; Escape gives up and keeps the old hot key;
// Backspace or Delete without modifiers leaves no hot key at all. Leaving the control
// gives up too.

#include <QKeyCombination>
#include <QPushButton>

namespace folivo::gui {

class HotKeyRecorder : public QPushButton {
    Q_OBJECT
public:
    explicit HotKeyRecorder(QWidget* parent = nullptr);

    // Qt::Key_unknown as the key: no hot key.
    QKeyCombination keys() const { return keys_; }
    void setKeys(QKeyCombination keys);
    bool hasKeys() const;
    bool isRecording() const { return recording_; }
    void startRecording();
    void cancelRecording();

    // How a combination reads in this control: the desktop's own way of writing it.
    static QString textOf(QKeyCombination keys);
    // Whether a key pressed while recording ends the recording as a hot key.
    static bool acceptableChord(QKeyCombination keys);

signals:
    // The person recorded a new combination (or cleared it); not sent by setKeys.
    void changed(QKeyCombination keys);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void finish(QKeyCombination keys);
    void showState(Qt::KeyboardModifiers held = {});

    QKeyCombination keys_{Qt::Key_unknown};
    bool recording_ = false;
};

} // namespace folivo::gui
