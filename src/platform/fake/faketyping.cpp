#include "platform/fake/faketyping.h"

#include <QTimer>

namespace folivo::platform {

QString FakeTyping::unavailableReason() const
{
    return isAvailable ? QString() : QStringLiteral("Typing is not available here.");
}

void FakeTyping::pressKey(QKeyCombination key)
{
    strokes.append({Stroke::Kind::Key, key, {}});
}

void FakeTyping::typeText(const QString& text)
{
    strokes.append({Stroke::Kind::Text, {}, text});
}

void FakeTyping::beginSequence()
{
    strokes.append({Stroke::Kind::Begin, {}, {}});
}

void FakeTyping::endSequence()
{
    strokes.append({Stroke::Kind::End, {}, {}});
}

void FakeTyping::pasteText(const QString& text)
{
    strokes.append({Stroke::Kind::Paste, {}, text});
    if (!holdPastes)
        QTimer::singleShot(0, this, [this] { emit pasteFinished(true); });
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
