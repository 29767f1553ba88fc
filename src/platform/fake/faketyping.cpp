#include "platform/fake/faketyping.h"

namespace folivo::platform {

void FakeTyping::pressKey(QKeyCombination key)
{
    strokes.append({Stroke::Kind::Key, key, {}, {}});
}

void FakeTyping::typeText(const QString& text, std::chrono::microseconds delayBeforeEach)
{
    strokes.append({Stroke::Kind::Text, {}, text, delayBeforeEach});
}

void FakeTyping::pasteText(const QString& text)
{
    strokes.append({Stroke::Kind::Paste, {}, text, {}});
}

} // namespace folivo::platform
