// libFuzzer target over rich text (RTF), read from documents of any origin.
//
// Besides "no crash, no undefined behaviour, no leak, no read past the input", the text
// must be well-formed UTF-16 without zero characters, never longer than asked, and a
// shorter limit must give a beginning of the longer text. A broken property aborts, which
// libFuzzer reports as a crash.

#include "find/filetext.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace folivo;

namespace {

void require(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "RTF reader property broken: %s\n", what);
        std::abort();
    }
}

// The first `n` UTF-16 units of `text`, without half a surrogate pair at the end.
QString beginning(const QString& text, qsizetype n)
{
    if (text.size() <= n)
        return text;
    if (n > 0 && text.at(n - 1).isHighSurrogate())
        --n;
    return text.left(n);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    // A copy of exactly the input's length on the heap, so that a read past it is caught.
    const QByteArray data(reinterpret_cast<const char*>(bytes), qsizetype(size));
    const QString text = plainTextFromRtf(QByteArrayView(data.constData(), data.size()));
    require(text.isValidUtf16(), "the text is well-formed UTF-16");
    require(!text.contains(QChar(0)), "no zero characters");

    const qsizetype limit = qsizetype(size % 61);
    const QString cut = plainTextFromRtf(QByteArrayView(data.constData(), data.size()), limit);
    require(cut.size() <= limit, "the text is no longer than asked");
    require(cut == beginning(text, limit), "a shorter limit gives a beginning of the text");
    return 0;
}
