#include "widgets/hotkeyrecorder.h"

#include "widgets/widgetmessages.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QStringList>

namespace folivo::gui {

namespace {

constexpr Qt::KeyboardModifiers ChordModifiers = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
constexpr Qt::KeyboardModifiers KeptModifiers = ChordModifiers | Qt::ShiftModifier;

bool isModifierKey(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
    case Qt::Key_Mode_switch:
        return true;
    default:
        return false;
    }
}

// The modifier a modifier key stands for. Events of modifier keys do not agree on whether
// their own modifier is already held, so the key itself says it.
Qt::KeyboardModifiers modifierOf(int key)
{
    switch (key) {
    case Qt::Key_Shift: return Qt::ShiftModifier;
    case Qt::Key_Control: return Qt::ControlModifier;
    case Qt::Key_Alt: return Qt::AltModifier;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R: return Qt::MetaModifier;
    default: return Qt::NoModifier;
    }
}

bool isFunctionKey(int key)
{
    return key >= Qt::Key_F1 && key <= Qt::Key_F35;
}

QString modifiersText(Qt::KeyboardModifiers held)
{
    // In the order the desktop writes them in a combination.
    QStringList parts;
    if (held & Qt::MetaModifier)
        parts << QKeySequence(Qt::Key_Meta).toString(QKeySequence::NativeText);
    if (held & Qt::ControlModifier)
        parts << QKeySequence(Qt::Key_Control).toString(QKeySequence::NativeText);
    if (held & Qt::AltModifier)
        parts << QKeySequence(Qt::Key_Alt).toString(QKeySequence::NativeText);
    if (held & Qt::ShiftModifier)
        parts << QKeySequence(Qt::Key_Shift).toString(QKeySequence::NativeText);
    return parts.join(QLatin1Char('+'));
}

} // namespace

HotKeyRecorder::HotKeyRecorder(QWidget* parent) : QPushButton(parent)
{
    // Return starts recording here; it must not press the dialog's default button.
    setAutoDefault(false);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumWidth(160);
    connect(this, &QPushButton::clicked, this, &HotKeyRecorder::startRecording);
    showState();
}

QString HotKeyRecorder::textOf(QKeyCombination keys)
{
    if (keys.key() == Qt::Key_unknown || keys.key() == 0)
        return hotkeymsg::NoHotKey;
    return QKeySequence(keys).toString(QKeySequence::NativeText);
}

bool HotKeyRecorder::acceptableChord(QKeyCombination keys)
{
    const int key = keys.key();
    if (key == 0 || key == Qt::Key_unknown || isModifierKey(key))
        return false;
    return (keys.keyboardModifiers() & ChordModifiers) || isFunctionKey(key);
}

bool HotKeyRecorder::hasKeys() const
{
    return keys_.key() != Qt::Key_unknown && keys_.key() != 0;
}

void HotKeyRecorder::setKeys(QKeyCombination keys)
{
    keys_ = keys;
    recording_ = false;
    showState();
}

void HotKeyRecorder::startRecording()
{
    if (recording_)
        return;
    recording_ = true;
    setFocus(Qt::OtherFocusReason);
    showState();
}

void HotKeyRecorder::cancelRecording()
{
    if (!recording_)
        return;
    recording_ = false;
    showState();
}

void HotKeyRecorder::finish(QKeyCombination keys)
{
    recording_ = false;
    keys_ = keys;
    showState();
    emit changed(keys_);
}

void HotKeyRecorder::showState(Qt::KeyboardModifiers held)
{
    if (!recording_) {
        setText(textOf(keys_));
        return;
    }
    const QString sofar = modifiersText(held & KeptModifiers);
    setText(sofar.isEmpty() ? hotkeymsg::TypeHotKey : sofar + QStringLiteral("+…"));
}

bool HotKeyRecorder::event(QEvent* event)
{
    if (recording_) {
        // While recording every key is the person's answer: no shortcut of the window
        // takes it, and Tab does not move the focus on.
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept();
            return true;
        }
        if (event->type() == QEvent::KeyPress) {
            keyPressEvent(static_cast<QKeyEvent*>(event));
            return true;
        }
    }
    return QPushButton::event(event);
}

void HotKeyRecorder::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (!recording_) {
        if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
            startRecording();
            event->accept();
            return;
        }
        QPushButton::keyPressEvent(event);
        return;
    }
    event->accept();
    const Qt::KeyboardModifiers held = event->modifiers() & KeptModifiers;
    if (isModifierKey(key) || key == 0 || key == Qt::Key_unknown) {
        showState(held | modifierOf(key));
        return;
    }
    const bool plain = !(held & ChordModifiers);
    if (plain && key == Qt::Key_Escape) {
        cancelRecording();
        return;
    }
    if (plain && (key == Qt::Key_Backspace || key == Qt::Key_Delete)) {
        finish(QKeyCombination(Qt::Key_unknown));
        return;
    }
    // Shift+Tab arrives as Backtab; the key is still Tab.
    const QKeyCombination chord(held, key == Qt::Key_Backtab ? Qt::Key_Tab : Qt::Key(key));
    if (acceptableChord(chord))
        finish(chord);
    else
        showState(held); // a plain key: it would type into every program, so keep waiting
}

void HotKeyRecorder::keyReleaseEvent(QKeyEvent* event)
{
    if (!recording_) {
        QPushButton::keyReleaseEvent(event);
        return;
    }
    event->accept();
    showState(event->modifiers() & KeptModifiers & ~modifierOf(event->key()));
}

void HotKeyRecorder::focusOutEvent(QFocusEvent* event)
{
    cancelRecording();
    QPushButton::focusOutEvent(event);
}

} // namespace folivo::gui
