#pragma once
// Typing for tests: every keystroke is recorded in order with the pause asked for before it,
// and nothing waits.

#include "platform/typing.h"

#include <QList>

namespace folivo::platform {

class FakeTyping final : public Typing {
public:
    struct Stroke {
        enum class Kind { Key, Text, Paste } kind;
        QKeyCombination key;                 // Key
        QString text;                        // Text, Paste
        std::chrono::microseconds delay{0}; // Text: before each unit
        friend bool operator==(const Stroke&, const Stroke&) = default;
    };

    bool available() const override { return isAvailable; }
    void pressKey(QKeyCombination key) override;
    void typeText(const QString& text, std::chrono::microseconds delayBeforeEach) override;
    void pasteText(const QString& text) override;

    bool isAvailable = true;
    QList<Stroke> strokes;
};

} // namespace folivo::platform
