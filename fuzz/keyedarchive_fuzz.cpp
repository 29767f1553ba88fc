// libFuzzer target over keyed archives and the binary property lists beneath them.
//
// Besides "no crash, no undefined behaviour, no leak, bounded memory", whatever decodes
// must survive a round trip: encoding it succeeds, the result decodes again, and encoding
// that gives the same bytes (so the decoder kept everything the encoder writes, and both
// are deterministic). A broken property aborts, which libFuzzer reports as a crash.

#include "plist/binary.h"
#include "plist/keyedarchive.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace folivo::plist;

namespace {

void require(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "round-trip property broken: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(data, qsizetype(size));

    if (const std::optional<Value> archive = decodeKeyedArchive(bytes)) {
        const QByteArray once = encodeKeyedArchive(*archive);
        require(!once.isEmpty(), "a decoded archive encodes");
        const std::optional<Value> again = decodeKeyedArchive(once);
        require(again.has_value(), "an encoded archive decodes");
        require(encodeKeyedArchive(*again) == once, "encoding is stable");
    }

    if (const std::optional<Value> plist = readBinary(bytes)) {
        const QByteArray once = writeBinary(*plist);
        require(!once.isEmpty(), "a read property list writes");
        const std::optional<Value> again = readBinary(once);
        require(again.has_value(), "a written property list reads");
        require(writeBinary(*again) == once, "writing is stable");
    }
    return 0;
}
