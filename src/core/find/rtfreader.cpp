// A reader of rich text (RTF) that keeps only the words: groups, control words and
// symbols, \uN and \'hh escapes, and the destinations that hold no body text (font and
// colour tables, pictures, document information, field instructions…) skipped. It runs
// in one pass over the bytes without recursion, never looks past the end of the input,
// and gives whatever it could read from damaged input.

#include "find/filetext.h"

#include <QByteArrayView>
#include <QString>

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

namespace folivo {

namespace {

// Groups nested deeper than this are not read (their text is dropped); real documents
// stay far below it, and the state stack stays small whatever the input.
constexpr int MaxGroupDepth = 1000;
// RTF control words have at most 32 letters; a longer run is read but matches nothing.
constexpr qsizetype MaxWordLetters = 32;
// Fallback characters after \uN are few; a larger \ucN is taken as this many.
constexpr int MaxFallbackCount = 16;

// Windows-1252 in 0x80-0x9F, where it differs from Latin-1. The five unassigned bytes keep
// their Latin-1 value, as common decoders do.
constexpr std::array<char16_t, 32> Cp1252High = {
    0x20ac, 0x0081, 0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021, 0x02c6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008d, 0x017d, 0x008f, 0x0090, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022,
    0x2013, 0x2014, 0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0x009d, 0x017e, 0x0178};

// Destinations whose content is not body text. Any group opened with "\*" is skipped too.
bool isSkippedDestination(std::string_view w)
{
    static constexpr std::string_view names[] = {
        "aftncn",     "aftnsep",    "aftnsepc",  "annotation", "atnauthor",  "atndate",
        "atnicn",     "atnid",      "atnparent", "atnref",     "atntime",    "atrfend",
        "atrfstart",  "author",     "buptim",    "colorschememapping",      "colortbl",
        "comment",    "company",    "creatim",   "datafield",  "datastore",  "defchp",
        "defpap",     "do",         "doccomm",   "docvar",     "falt",       "fchars",
        "ffdeftext",  "ffentrymcr", "ffexitmcr", "ffformat",   "ffhelptext", "ffl",
        "ffname",     "ffstattext", "file",      "filetbl",    "fldinst",    "fontemb",
        "fontfile",   "fonttbl",    "footer",    "footerf",    "footerl",    "footerr",
        "ftncn",      "ftnsep",     "ftnsepc",   "generator",  "header",     "headerf",
        "headerl",    "headerr",    "hlinkbase", "info",       "keywords",   "latentstyles",
        "lchars",     "listoverridetable",       "listpicture", "listtable", "manager",
        "mmathPr",    "nonshppict", "object",    "objclass",   "objdata",    "objname",
        "operator",   "panose",     "pgdsctbl",  "pict",       "printim",    "private",
        "revtbl",     "revtim",     "rsidtbl",   "shpinst",    "stylesheet", "subject",
        "template",   "themedata",  "title",     "txe",        "userprops",  "wgrffmtfilter",
        "xmlnstbl",   "xmlopen",
    };
    return std::find(std::begin(names), std::end(names), w) != std::end(names);
}

// Control words that stand for one character.
char16_t characterOfWord(std::string_view w)
{
    struct Entry {
        std::string_view word;
        char16_t ch;
    };
    static constexpr Entry table[] = {
        {"par", u'\n'},         {"line", u'\n'},        {"sect", u'\n'},       {"page", u'\n'},
        {"row", u'\n'},         {"tab", u'\t'},         {"cell", u'\t'},       {"emdash", u'\u2014'},
        {"endash", u'\u2013'},  {"bullet", u'\u2022'},  {"lquote", u'\u2018'}, {"rquote", u'\u2019'},
        {"ldblquote", u'\u201c'}, {"rdblquote", u'\u201d'}, {"emspace", u'\u2003'}, {"enspace", u'\u2002'},
        {"qmspace", u'\u2005'}, {"zwj", u'\u200d'},     {"zwnj", u'\u200c'},   {"ltrmark", u'\u200e'},
        {"rtlmark", u'\u200f'}, {"zwbo", u'\u200b'},
    };
    for (const Entry& e : table)
        if (e.word == w)
            return e.ch;
    return 0;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

class RtfReader {
public:
    RtfReader(QByteArrayView in, qsizetype maxChars, std::vector<RtfRun>* runs = nullptr)
        : in_(in), maxChars_(std::max<qsizetype>(maxChars, 0)), runs_(runs)
    {
        out_.reserve(std::min<qsizetype>(in.size(), maxChars_));
        states_.push_back(State{}); // the level outside every group
    }

    QString read()
    {
        while (pos_ < in_.size() && !full()) {
            const char c = in_[pos_++];
            switch (c) {
            case '{':
                openGroup();
                break;
            case '}':
                if (!closeGroup())
                    return finish(); // the document's outermost group has ended
                break;
            case '\\':
                controlSequence();
                break;
            case '\r':
            case '\n':
            case '\0':
                break; // line breaks in the source are not text
            default:
                if (skipFallback())
                    break;
                if (static_cast<unsigned char>(c) >= 0x20 || c == '\t')
                    byte(static_cast<unsigned char>(c));
                break;
            }
        }
        return finish();
    }

private:
    struct State {
        bool skip = false;   // a destination that is not body text
        int uc = 1;          // fallback characters after \uN (\ucN)
        RtfFormat format;    // of the characters that follow
    };

    bool full() const { return cutOff_ || out_.size() >= maxChars_; }
    State& state() { return states_.back(); }
    bool skipping() const { return ignoredDepth_ > 0 || states_.back().skip; }

    void openGroup()
    {
        pendingFallback_ = 0; // a fallback ends at a group boundary
        if (ignoredDepth_ > 0 || int(states_.size()) > MaxGroupDepth) {
            ++ignoredDepth_;
            return;
        }
        states_.push_back(states_.back());
        opened_ = true;
    }

    // False when the group closed was the document's outermost one.
    bool closeGroup()
    {
        pendingFallback_ = 0;
        if (ignoredDepth_ > 0) {
            --ignoredDepth_;
            return true;
        }
        if (states_.size() > 1)
            states_.pop_back();
        // An extra "}" outside every group, or the end of the document group.
        return !(opened_ && states_.size() == 1);
    }

    void controlSequence()
    {
        if (pos_ >= in_.size())
            return;
        const char c = in_[pos_];
        if (isLetter(c)) {
            controlWord();
            return;
        }
        ++pos_;
        switch (c) {
        case '\'': {
            int value = 0;
            int digits = 0;
            while (digits < 2 && pos_ < in_.size() && hexValue(in_[pos_]) >= 0) {
                value = value * 16 + hexValue(in_[pos_++]);
                ++digits;
            }
            if (digits == 2 && !skipFallback() && value != 0)
                byte(static_cast<unsigned char>(value));
            break;
        }
        case '\\':
        case '{':
        case '}':
            if (!skipFallback())
                byte(static_cast<unsigned char>(c));
            break;
        case '~':
            if (!skipFallback())
                put(u'\u00a0');
            break;
        case '_':
            if (!skipFallback())
                put(u'\u2011');
            break;
        case '-': // an optional hyphen: not part of the word
            skipFallback();
            break;
        case '*':
            // "{\*\dest …}": a destination a reader may ignore; none of them is body text.
            skipDestination();
            break;
        case '\r':
        case '\n': // a backslash before a line break is a paragraph break
            if (!skipFallback())
                put(u'\n');
            break;
        default:
            break; // \| \: and unknown symbols carry no text
        }
    }

    void controlWord()
    {
        const qsizetype start = pos_;
        while (pos_ < in_.size() && isLetter(in_[pos_]))
            ++pos_;
        const qsizetype letters = pos_ - start;
        const std::string_view word =
            letters <= MaxWordLetters ? std::string_view(in_.data() + start, size_t(letters)) : std::string_view();

        bool hasParam = false;
        bool negative = false;
        qint64 param = 0;
        if (pos_ < in_.size() && in_[pos_] == '-' && pos_ + 1 < in_.size() && isDigit(in_[pos_ + 1])) {
            negative = true;
            ++pos_;
        }
        while (pos_ < in_.size() && isDigit(in_[pos_])) {
            hasParam = true;
            if (param < 100000000000LL) // a few more digits than any real parameter
                param = param * 10 + (in_[pos_] - '0');
            ++pos_;
        }
        if (negative)
            param = -param;
        if (pos_ < in_.size() && in_[pos_] == ' ')
            ++pos_; // the delimiting space belongs to the word

        if (word == "bin") {
            // Binary data of the given length follows, whatever the group.
            const qint64 n = hasParam && param > 0 ? param : 0;
            pos_ += qsizetype(std::min<qint64>(n, in_.size() - pos_));
            return;
        }
        if (word == "u") {
            if (!hasParam)
                return;
            unicode(param);
            return;
        }
        if (skipFallback())
            return;
        if (setsFormat(word, hasParam, param))
            return;
        if (word == "uc") {
            state().uc = int(std::clamp<qint64>(hasParam ? param : 1, 0, MaxFallbackCount));
            return;
        }
        if (word == "ansicpg") {
            cp1252_ = hasParam && param == 1252;
            return;
        }
        if (word == "mac" || word == "pc" || word == "pca") {
            cp1252_ = false;
            return;
        }
        if (isSkippedDestination(word)) {
            skipDestination();
            return;
        }
        if (const char16_t ch = characterOfWord(word))
            put(ch);
    }

    // Character formatting: bold, italic, underline, size, and \plain for none of them.
    bool setsFormat(std::string_view word, bool hasParam, qint64 param)
    {
        RtfFormat& f = state().format;
        const bool on = !hasParam || param != 0;
        if (word == "b")
            f.bold = on;
        else if (word == "i")
            f.italic = on;
        else if (word == "ul")
            f.underline = on;
        else if (word == "ulnone")
            f.underline = false;
        else if (word == "fs")
            f.halfPoints = int(std::clamp<qint64>(hasParam ? param : 24, 2, 400));
        else if (word == "plain")
            f = RtfFormat{};
        else
            return false;
        return true;
    }

    // Skips the rest of the current group. Only a group inside the document group: in
    // damaged input a destination word at the top level would otherwise hide everything.
    void skipDestination()
    {
        if (states_.size() > 2)
            state().skip = true;
    }

    void unicode(qint64 n)
    {
        // Written as a signed 16-bit number: negative values stand for n + 65536.
        if (n < 0)
            n += 65536;
        // Fallback characters follow whatever happens to the value.
        pendingFallback_ = state().uc;
        if (skipping())
            return;
        if (n <= 0 || n > 0x10ffff)
            return;
        if (n > 0xffff) {
            // Not how RTF writes it, but unambiguous.
            flushHighSurrogate();
            const char32_t cp = char32_t(n);
            const QChar pair[2] = {QChar::highSurrogate(cp), QChar::lowSurrogate(cp)};
            append(pair, 2);
            return;
        }
        putUtf16(char16_t(n));
    }

    // True (and one fewer to skip) while the characters after \uN are being skipped.
    bool skipFallback()
    {
        if (pendingFallback_ <= 0)
            return false;
        --pendingFallback_;
        return true;
    }

    void byte(unsigned char b)
    {
        if (b >= 0x80 && b < 0xa0 && cp1252_)
            put(Cp1252High[b - 0x80]);
        else
            put(char16_t(b));
    }

    void put(char16_t c)
    {
        if (skipping())
            return;
        putUtf16(c);
    }

    // A UTF-16 unit from \uN: surrogate pairs come as two \u; a half without its partner
    // becomes U+FFFD so that the text stays well formed.
    void putUtf16(char16_t c)
    {
        if (QChar::isHighSurrogate(c)) {
            flushHighSurrogate();
            highSurrogate_ = c;
            return;
        }
        if (QChar::isLowSurrogate(c)) {
            if (highSurrogate_) {
                const QChar pair[2] = {QChar(highSurrogate_), QChar(c)};
                highSurrogate_ = 0;
                append(pair, 2);
            } else {
                const QChar r(QChar::ReplacementCharacter);
                append(&r, 1);
            }
            return;
        }
        flushHighSurrogate();
        const QChar ch(c);
        append(&ch, 1);
    }

    void flushHighSurrogate()
    {
        if (!highSurrogate_)
            return;
        highSurrogate_ = 0;
        const QChar r(QChar::ReplacementCharacter);
        append(&r, 1);
    }

    void append(const QChar* chars, qsizetype n)
    {
        if (out_.size() + n > maxChars_) {
            cutOff_ = true; // a pair that does not fit is left out whole, and the text ends
            return;
        }
        if (runs_ && (runs_->empty() || runs_->back().format != state().format))
            runs_->push_back({out_.size(), state().format});
        out_.append(chars, n);
    }

    QString finish()
    {
        if (highSurrogate_ && !full())
            out_.append(QChar(QChar::ReplacementCharacter));
        highSurrogate_ = 0;
        return out_;
    }

    QByteArrayView in_;
    qsizetype pos_ = 0;
    qsizetype maxChars_;
    QString out_;
    std::vector<State> states_;
    int ignoredDepth_ = 0;       // groups opened beyond MaxGroupDepth, still open
    int pendingFallback_ = 0;    // characters after \uN still to skip
    char16_t highSurrogate_ = 0; // the first half of a pair, waiting for the second
    bool cp1252_ = true;         // \'hh in Windows-1252, else Latin-1
    bool cutOff_ = false;        // the text reached maxChars
    bool opened_ = false;        // a group was opened at some point
    std::vector<RtfRun>* runs_;  // where formatting is wanted: its runs
};

} // namespace

QString plainTextFromRtf(QByteArrayView rtf, qsizetype maxChars)
{
    return RtfReader(rtf, maxChars).read();
}

RichText richTextFromRtf(QByteArrayView rtf, qsizetype maxChars)
{
    RichText rich;
    rich.text = RtfReader(rtf, maxChars, &rich.runs).read();
    return rich;
}

} // namespace folivo
