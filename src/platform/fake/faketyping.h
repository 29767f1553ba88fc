#pragma once
// Typing for tests: every keystroke is recorded in order, and nothing waits. A paste is
// finished at once unless `holdPastes` is set, when the test calls finishPaste().

#include "platform/typing.h"

#include <QList>
#include <functional>

namespace folivo::platform {

class FakeTyping final : public Typing {
    Q_OBJECT
public:
    struct Stroke {
        enum class Kind { Key, Text, Paste, Begin, End } kind;
        QKeyCombination key; // Key
        QString text;        // Text, Paste
        friend bool operator==(const Stroke&, const Stroke&) = default;
    };

    bool available() const override { return isAvailable; }
    QString unavailableReason() const override;
    void pressKey(QKeyCombination key) override;
    void typeText(const QString& text) override;
    bool modifiersHeld() const override { return heldModifiers; }
    void beginSequence() override;
    void endSequence() override;
    quint64 activeWindow() const override { return windowInFront; }
    void pasteText(const QString& text) override;
    void finishPaste(bool fetched = true) { emit pasteFinished(fetched); }

    // All that was typed as Text, joined: what the window in front received as characters.
    QString typed() const;

    bool isAvailable = true;
    bool heldModifiers = false;
    bool holdPastes = false;
    quint64 windowInFront = 1;
    QList<Stroke> strokes;
    // Called after each stroke is recorded: a test changes the window in front there.
    std::function<void()> afterStroke;

private:
    void record(Stroke stroke);
};

} // namespace folivo::platform
