#include "logins/passwordgenerator.h"

#include <openssl/crypto.h>
#include <openssl/rand.h>

#include <array>
#include <cstdlib>

namespace folivo {

namespace {

enum Class { Lower, Upper, Digit, Special, Classes };

// Where each class starts in the alphabet and how many characters it has.
constexpr std::array<int, Classes> ClassStart{0, 26, 49, 59};
constexpr std::array<int, Classes> ClassSize{26, 23, 10, 12};

Class classOf(int index)
{
    return index < 26 ? Lower : index < 49 ? Upper : index < 59 ? Digit : Special;
}

} // namespace

std::uint32_t systemRandomWord()
{
    unsigned char bytes[4];
    if (RAND_bytes(bytes, sizeof bytes) != 1)
        std::abort(); // never fall back to a predictable password
    const std::uint32_t w = std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16
                            | std::uint32_t(bytes[3]) << 24;
    OPENSSL_cleanse(bytes, sizeof bytes);
    return w;
}

RandomSource::RandomSource(std::function<std::uint32_t()> word)
    : word_(word ? std::move(word) : std::function<std::uint32_t()>(&systemRandomWord))
{
}

std::uint32_t RandomSource::below(std::uint32_t bound)
{
    if (bound <= 1)
        return 0;
    // The largest multiple of `bound` that fits: words from there up would favour the low values.
    const std::uint64_t span = std::uint64_t(1) << 32;
    const std::uint64_t limit = span - span % bound;
    for (;;) {
        const std::uint32_t w = word_();
        if (w < limit)
            return w % bound;
    }
}

int clampedPasswordLength(qint64 requested, bool includeSpecials)
{
    if (requested == 0)
        return 8;
    const int classes = includeSpecials ? 4 : 3;
    if (requested < classes)
        return classes;
    return int(std::min<qint64>(requested, MaxPasswordLength));
}

QString generatePassword(qint64 length, bool includeSpecials, RandomSource& random)
{
    const int n = clampedPasswordLength(length, includeSpecials);
    const std::uint32_t range = includeSpecials ? PasswordAlphabetSize : PasswordLettersAndDigits;
    std::array<char, MaxPasswordLength> out{};
    std::array<bool, MaxPasswordLength> kept{};
    std::array<bool, Classes> present{false, false, false, !includeSpecials};
    for (int i = 0; i < n; ++i) {
        const int r = int(random.below(range));
        out[std::size_t(i)] = PasswordAlphabet[r];
        const Class c = classOf(r);
        if (!present[c]) {
            // The first character of each class stays where it fell.
            present[c] = true;
            kept[std::size_t(i)] = true;
        }
    }
    for (int c = 0; c < Classes; ++c) {
        if (present[std::size_t(c)])
            continue;
        // A free place always exists: there are at least as many places as classes.
        std::uint32_t p;
        do {
            p = random.below(std::uint32_t(n));
        } while (kept[p]);
        kept[p] = true;
        present[std::size_t(c)] = true;
        out[p] = PasswordAlphabet[ClassStart[std::size_t(c)] + int(random.below(std::uint32_t(ClassSize[std::size_t(c)])))];
    }
    const QString password = QString::fromLatin1(out.data(), n);
    OPENSSL_cleanse(out.data(), out.size());
    return password;
}

QString generatePassword(qint64 length, bool includeSpecials)
{
    RandomSource random;
    return generatePassword(length, includeSpecials, random);
}

} // namespace folivo
