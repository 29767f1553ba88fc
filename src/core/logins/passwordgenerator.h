#pragma once
// Generated website passwords: letters without the easily misread I, O and U, digits and a
// few specials, with every class present. Drawn from the operating system's cryptographic
// random source, each draw without modulo bias.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

namespace folivo {

// The 71 characters: 26 lower-case letters, the 23 upper-case letters without I, O and U,
// the digits 1 to 9 then 0, and 12 specials.
inline constexpr char PasswordAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHJKLMNPQRSTVWXYZ1234567890!-#$%+&()*[]";
inline constexpr int PasswordAlphabetSize = 71;
inline constexpr int PasswordLettersAndDigits = 59;
inline constexpr int MaxPasswordLength = 39;

// Uniform integers below a bound, from random 32-bit words.
class RandomSource {
public:
    // `word` gives random 32-bit words; the default is the operating system's source.
    explicit RandomSource(std::function<std::uint32_t()> word = {});
    // A number in [0, bound), bound > 0: words at or above the largest multiple of `bound`
    // are drawn again, so that no value is more likely than another.
    std::uint32_t below(std::uint32_t bound);

private:
    std::function<std::uint32_t()> word_;
};

// The operating system's random words (OpenSSL's RAND_bytes); aborts the draw rather than
// return anything predictable when the source fails.
std::uint32_t systemRandomWord();

// The length a request turns into: 0 is 8, shorter than the classes it must hold is that
// many, longer than 39 is 39.
int clampedPasswordLength(qint64 requested, bool includeSpecials);

// A password of `length` (clamped) characters holding at least one lower-case letter, one
// upper-case letter, one digit and, with `includeSpecials`, one special.
QString generatePassword(qint64 length, bool includeSpecials, RandomSource& random);
QString generatePassword(qint64 length, bool includeSpecials);

} // namespace folivo
