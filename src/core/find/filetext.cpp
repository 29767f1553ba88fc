#include "find/filetext.h"

#include "crypto/storedforms.h"
#include "store/indexitem.h"
#include "store/mydocument.h"
#include "store/packagepath.h"
#include "util/fdio.h"
#include "util/fs.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page.h>

#include <climits>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>

namespace folivo {

namespace {

// How much of a file decides what kind of text it holds.
constexpr qsizetype HeadBytes = 8 * 1024;
// The rich text of a bundle.
const QString BundleText = QStringLiteral("TXT.rtf");

// Names that say "plain text" even when the bytes are not UTF-8 (they are then read as
// Latin-1). Other names count as text only when their bytes are UTF-8.
bool hasPlainTextSuffix(const QString& name)
{
    static const QSet<QString> suffixes = {
        QStringLiteral("txt"),  QStringLiteral("text"),     QStringLiteral("csv"),  QStringLiteral("tsv"),
        QStringLiteral("md"),   QStringLiteral("markdown"), QStringLiteral("log"),  QStringLiteral("json"),
        QStringLiteral("xml"),  QStringLiteral("html"),     QStringLiteral("htm"),  QStringLiteral("eml"),
    };
    return suffixes.contains(QFileInfo(name).suffix().toLower());
}

bool startsWith(QByteArrayView bytes, QByteArrayView prefix)
{
    return bytes.size() >= prefix.size() && bytes.first(prefix.size()) == prefix;
}

bool hasUtf16Bom(QByteArrayView bytes)
{
    return startsWith(bytes, "\xff\xfe") || startsWith(bytes, "\xfe\xff");
}

// The bytes are UTF-8 as far as they go: a sequence cut off at the end is allowed, since
// `head` may be only the beginning of the file.
bool isUtf8Prefix(QByteArrayView head)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString ignored = decoder.decode(head);
    Q_UNUSED(ignored);
    return !decoder.hasError();
}

// The kind of a file from its name and first bytes; folders are decided by the caller.
TextKind kindOfFile(const QString& name, QByteArrayView head)
{
    if (startsWithPdfMagic(head))
        return TextKind::Pdf;
    if (startsWith(head, "{\\rtf") || QFileInfo(name).suffix().compare(QLatin1String("rtf"), Qt::CaseInsensitive) == 0)
        return TextKind::Rtf;
    head = head.first(std::min(head.size(), HeadBytes));
    const bool hasNul = head.contains('\0');
    if (hasPlainTextSuffix(name))
        // Zero bytes do not occur in text in one-byte encodings: such a file is something
        // else under a text name, unless it is UTF-16 and says so.
        return !hasNul || hasUtf16Bom(head) ? TextKind::Plain : TextKind::None;
    return !hasNul && isUtf8Prefix(head) ? TextKind::Plain : TextKind::None;
}

QString cut(QString text, qsizetype maxChars)
{
    if (text.size() > maxChars) {
        qsizetype n = std::max<qsizetype>(maxChars, 0);
        if (n > 0 && text.at(n - 1).isHighSurrogate())
            --n; // never half a pair
        text.truncate(n);
    }
    return text;
}

std::optional<QString> textOfBytes(TextKind kind, const QByteArray& bytes, const TextLimits& limits)
{
    switch (kind) {
    case TextKind::Pdf:
        return textOfPdfData(bytes, limits);
    case TextKind::Rtf:
    case TextKind::Rtfd:
        return plainTextFromRtf(bytes, limits.maxChars);
    case TextKind::Plain:
        return cut(textOfPlainBytes(bytes), limits.maxChars);
    case TextKind::None:
        break;
    }
    return std::nullopt;
}

// A regular file opened for reading; anything else (a folder, a device, a named pipe)
// gives an invalid descriptor.
fdio::Fd openRegularFile(const QString& path, struct stat* st = nullptr)
{
    // Non-blocking so that opening a named pipe cannot hang; fstat then refuses it.
    fdio::Fd fd(fs::openFile(path, O_RDONLY | O_NOCTTY | O_NONBLOCK, 0, "Read"));
    struct stat own {};
    st = st ? st : &own;
    if (fd.valid() && (::fstat(fd.fd, st) != 0 || !S_ISREG(st->st_mode)))
        fd.reset();
    return fd;
}

// Reads a regular file of at most `maxBytes` bytes: its head first, then the rest only
// when `wantRest` agrees. Anything else (a larger file, a device, a pipe) is not read.
std::optional<QByteArray> readBounded(const QString& path, qint64 maxBytes,
                                      const std::function<bool(QByteArrayView head)>& wantRest = {})
{
    if (maxBytes < 0)
        return std::nullopt;
    struct stat st {};
    fdio::Fd fd = openRegularFile(path, &st);
    if (!fd.valid() || st.st_size > maxBytes)
        return std::nullopt;
    // Read to the end or one byte past the cap, which tells a file that grew since fstat.
    const qint64 limit = std::min<qint64>(maxBytes, std::numeric_limits<qsizetype>::max() / 2) + 1;
    QByteArray data;
    data.reserve(qsizetype(std::min<qint64>(limit, qint64(st.st_size) + 1)));
    bool headSeen = false;
    for (;;) {
        const qint64 want = std::min<qint64>(limit - data.size(), data.isEmpty() ? HeadBytes : qint64(1) << 20);
        if (want <= 0)
            break;
        const qsizetype at = data.size();
        data.resize(at + qsizetype(want));
        const qint64 got = fdio::readFull(fd.fd, data.data() + at, want);
        if (got < 0)
            return std::nullopt;
        data.truncate(at + qsizetype(got));
        if (got < want)
            break; // the end of the file
        if (!headSeen) {
            headSeen = true;
            if (wantRest && !wantRest(data))
                return std::nullopt;
        }
    }
    if (data.size() > maxBytes)
        return std::nullopt;
    return data;
}

void silencePoppler()
{
    // Damaged documents make poppler print to stderr; that is noise, not news for anyone.
    static std::once_flag once;
    std::call_once(once, [] { poppler::set_debug_error_function([](const std::string&, void*) {}, nullptr); });
}

} // namespace

bool startsWithPdfMagic(QByteArrayView head)
{
    return startsWith(head, "%PDF");
}

bool actuallyPDF(const QString& path)
{
    fdio::Fd fd = openRegularFile(path);
    char magic[4];
    return fd.valid() && fdio::readFull(fd.fd, magic, 4) == 4 && startsWithPdfMagic(QByteArrayView(magic, 4));
}

TextKind textKindOf(const QString& path, QByteArrayView head)
{
    if (startsWithPdfMagic(head))
        return TextKind::Pdf;
    const QFileInfo info(path);
    if (info.isDir())
        return QFileInfo(path + '/' + BundleText).isFile() ? TextKind::Rtfd : TextKind::None;
    return kindOfFile(info.fileName(), head);
}

QString textOfPlainBytes(QByteArrayView bytes)
{
    if (startsWith(bytes, "\xef\xbb\xbf"))
        bytes = bytes.sliced(3);
    else if (hasUtf16Bom(bytes))
        return QStringDecoder(bytes[0] == '\xff' ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE,
                              QStringDecoder::Flag::Stateless)
            .decode(bytes.sliced(2));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

std::optional<QString> textOfPdfData(const QByteArray& data, const TextLimits& limits)
{
    if (data.isEmpty() || data.size() > limits.maxFileBytes || data.size() > INT_MAX)
        return std::nullopt;
    silencePoppler();
    QElapsedTimer timer;
    timer.start();
    try {
        // The document reads `data` in place; it is gone before `data` is.
        std::unique_ptr<poppler::document> doc(poppler::document::load_from_raw_data(data.constData(), int(data.size())));
        // A locked document must not be asked anything more: poppler fails on it.
        if (!doc || doc->is_locked())
            return std::nullopt;
        const int pages = doc->pages();
        if (pages <= 0) // what was found of a damaged document holds nothing
            return std::nullopt;
        QString text;
        for (int i = 0; i < pages && text.size() < limits.maxChars; ++i) {
            if (i > 0)
                text += u'\n';
            std::unique_ptr<poppler::page> page(doc->create_page(i));
            if (page) {
                const poppler::byte_array utf8 = page->text().to_utf8();
                QString pageText = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
                // Each page ends in a line break and a form feed.
                while (!pageText.isEmpty() && (pageText.back() == u'\f' || pageText.back() == u'\n'))
                    pageText.chop(1);
                text += pageText;
            }
            if (timer.elapsed() >= limits.maxMillis)
                break; // keep what was read
        }
        return cut(std::move(text), limits.maxChars);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<QString> textOfFile(const QString& path, const TextLimits& limits)
{
    const QFileInfo info(path);
    if (info.isDir()) {
        const auto rtf = readBounded(path + '/' + BundleText, limits.maxFileBytes);
        if (!rtf)
            return std::nullopt;
        return plainTextFromRtf(*rtf, limits.maxChars);
    }
    TextKind kind = TextKind::None;
    bool decided = false;
    const auto data = readBounded(path, limits.maxFileBytes, [&](QByteArrayView head) {
        decided = true;
        kind = kindOfFile(info.fileName(), head);
        return kind != TextKind::None;
    });
    if (!data)
        return std::nullopt;
    if (!decided) // small enough to be read whole at once
        kind = kindOfFile(info.fileName(), *data);
    return textOfBytes(kind, *data, limits);
}

std::optional<QString> textOfData(const QByteArray& data, const TextLimits& limits)
{
    return textOfPdfData(data, limits);
}

std::optional<QString> textOfItem(MyDocument& doc, const QString& storedPath, const TextLimits& limits)
{
    if (!doc.dbOpen() || limits.maxFileBytes < 0)
        return std::nullopt;
    const auto pp = PackagePath::fromString(storedPath);
    if (!pp || pp->isRoot())
        return std::nullopt;
    // Folders, date folders and smart items hold no text of their own.
    if (const IndexItem* item = doc.tree().itemForPath(storedPath); item && !item->isFile())
        return std::nullopt;

    bool bundle = false;
    DocumentCipher* cipher = doc.dbEncrypted() ? doc.cipher() : nullptr;
    const StoredForm form = cipher ? cipher->storedFormOf(*pp) : StoredForm::None;
    if (form == StoredForm::Container || form == StoredForm::OldContainer) {
        bundle = true;
    } else if (form == StoredForm::File) {
        // The enciphered form is a little larger than the content; far larger is not read.
        const QFileInfo stored(pp->absoluteUnder(doc.dbPath()) + '.' + suffixOf(form));
        if (stored.size() > limits.maxFileBytes + 64 * 1024)
            return std::nullopt;
    } else {
        const QFileInfo plain(pp->absoluteUnder(doc.dbPath()));
        bundle = plain.isDir();
        if (!bundle && plain.size() > limits.maxFileBytes)
            return std::nullopt;
    }

    // The content streams into memory only; in an encrypted database it is deciphered
    // there and never reaches the disk.
    QByteArray data;
    TextKind kind = bundle ? TextKind::Rtfd : TextKind::None;
    bool decided = bundle;
    auto sink = [&](const char* bytes, qsizetype n) {
        if (data.size() + n > limits.maxFileBytes)
            return false; // too large: not read
        data.append(bytes, n);
        if (!decided && data.size() >= HeadBytes) {
            decided = true;
            kind = kindOfFile(pp->name(), data);
            if (kind == TextKind::None)
                return false; // no text: the rest need not be deciphered
        }
        return true;
    };
    if (!doc.readItemContent(storedPath, bundle ? BundleText : QString(), sink))
        return std::nullopt;
    if (!decided)
        kind = kindOfFile(pp->name(), data);
    return textOfBytes(kind, data, limits);
}

} // namespace folivo
