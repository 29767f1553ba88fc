#pragma once
// The text of a file, for filing, finding and tagging: PDF (recognised by its "%PDF" magic,
// whatever the name), rich text (RTF, and the TXT.rtf inside an RTFD bundle) and plain text
// (UTF-8, else Latin-1). Anything else has no text. Reading is bounded in size and time, and
// bad input yields no text, never a crash.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>
#include <vector>

namespace folivo {

class MyDocument;

struct TextLimits {
    qint64 maxFileBytes = 64 * 1024 * 1024; // larger files are not read
    int maxMillis = 10000;                  // a PDF stops after the page that passes this
    qsizetype maxChars = 8 * 1024 * 1024;   // the text is cut here
};

enum class TextKind { None, Pdf, Rtf, Rtfd, Plain };

// The file begins with the four bytes "%PDF".
bool actuallyPDF(const QString& path);
bool startsWithPdfMagic(QByteArrayView head);

// What kind of text a file at `path` holds, from its name and its first bytes.
TextKind textKindOf(const QString& path, QByteArrayView head);

// The plain text of RTF source: control words, groups, \uN and \'hh escapes, skipped
// destinations. Never fails; damaged input gives what could be read.
QString plainTextFromRtf(QByteArrayView rtf, qsizetype maxChars = TextLimits{}.maxChars);
// Rich text with the character formatting the reader understands: bold, italic,
// underline and size. Each run starts at `start` and lasts until the next one.
struct RtfFormat {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int halfPoints = 24; // \fs: the size in half points
    friend bool operator==(const RtfFormat&, const RtfFormat&) = default;
};
struct RtfRun {
    qsizetype start = 0;
    RtfFormat format;
};
struct RichText {
    QString text; // the same as plainTextFromRtf gives
    std::vector<RtfRun> runs;
};
RichText richTextFromRtf(QByteArrayView rtf, qsizetype maxChars = TextLimits{}.maxChars);
// The text of a PDF document in memory; nullopt when it cannot be read.
std::optional<QString> textOfPdfData(const QByteArray& data, const TextLimits& limits = {});
// Plain text bytes: UTF-8 when valid, else Latin-1.
QString textOfPlainBytes(QByteArrayView bytes);

// The text of a file outside any database; nullopt when it has no text.
std::optional<QString> textOfFile(const QString& path, const TextLimits& limits = {});
// The text of bytes given instead of a file: read as a PDF document.
std::optional<QString> textOfData(const QByteArray& data, const TextLimits& limits = {});
// The text of a stored item of an open database (its stored path), read through the
// document so that an encrypted database's file is deciphered in memory only.
std::optional<QString> textOfItem(MyDocument& doc, const QString& storedPath, const TextLimits& limits = {});

} // namespace folivo
