#include "platform/fake/faketyping.h"

#include <QTimer>

namespace folivo::platform {

QString FakeTyping::unavailableReason() const
{
    return isAvailable ? QString() : QStringLiteral("Typing is not available here.");
}

void FakeTyping::pressKey(QKeyCombination key)
{
    record({Stroke::Kind::Key, key, {}});
}

void FakeTyping::typeText(const QString& text)
{
    record({Stroke::Kind::Text, {}, text});
}

void FakeTyping::beginSequence()
{
    record({Stroke::Kind::Begin, {}, {}});
}

void FakeTyping::endSequence()
{
    record({Stroke::Kind::End, {}, {}});
}

void FakeTyping::pasteText(const QString& text)
{
    record({Stroke::Kind::Paste, {}, text});
    if (!holdPastes)
        QTimer::singleShot(0, this, [this] { emit pasteFinished(true); });
}

void FakeTyping::record(Stroke stroke)
{
    strokes.append(std::move(stroke));
    if (afterStroke)
        afterStroke();
}

QString FakeTyping::typed() const
{
    QString out;
    for (const Stroke& s : strokes)
        if (s.kind == Stroke::Kind::Text)
            out += s.text;
    return out;
}

} // namespace folivo::platform
