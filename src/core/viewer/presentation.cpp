#include "viewer/presentation.h"

#include "viewer/messages.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>

namespace folivo {

namespace {

QString cLocaleNumber(double value)
{
    // QString::number never follows the locale: "1.00" whatever the person's language.
    return QString::number(value, 'f', 2);
}

QString lowerSuffix(const QString& fileName)
{
    return QFileInfo(fileName).suffix().toLower();
}

// Names whose bytes are text even when they are not UTF-8.
bool hasTextExtension(const QString& fileName)
{
    static const QSet<QString> text = {
        QStringLiteral("txt"),  QStringLiteral("text"), QStringLiteral("csv"),      QStringLiteral("tsv"),
        QStringLiteral("log"),  QStringLiteral("md"),   QStringLiteral("ini"),      QStringLiteral("conf"),
        QStringLiteral("cfg"),  QStringLiteral("xml"),  QStringLiteral("html"),     QStringLiteral("htm"),
        QStringLiteral("json"), QStringLiteral("eml"),  QStringLiteral("markdown"),
    };
    return text.contains(lowerSuffix(fileName));
}

bool startsWith(QByteArrayView bytes, QByteArrayView prefix)
{
    return bytes.size() >= prefix.size() && bytes.first(prefix.size()) == prefix;
}

std::optional<QStringDecoder::Encoding> utf16Bom(QByteArrayView bytes)
{
    if (startsWith(bytes, "\xff\xfe"))
        return QStringDecoder::Utf16LE;
    if (startsWith(bytes, "\xfe\xff"))
        return QStringDecoder::Utf16BE;
    return std::nullopt;
}

enum class TextEncoding { None, Utf8, Utf16, Latin1 };

TextEncoding encodingOf(const QString& fileName, QByteArrayView head)
{
    const QByteArrayView sniff = head.first(std::min(head.size(), TextSniffBytes));
    if (const auto bom = utf16Bom(sniff)) {
        QStringDecoder decoder(*bom);
        const QString start = decoder.decode(sniff.sliced(2));
        return start.contains(QChar(0)) ? TextEncoding::None : TextEncoding::Utf16;
    }
    if (sniff.contains('\0'))
        return TextEncoding::None;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString ignored = utf8.decode(sniff);
    Q_UNUSED(ignored);
    // decode() holds back a sequence cut off at the end without calling it an error.
    if (!utf8.hasError())
        return TextEncoding::Utf8;
    return hasTextExtension(fileName) ? TextEncoding::Latin1 : TextEncoding::None;
}

} // namespace

QString pathLineFor(const QString& itemPath, qint64 size)
{
    if (size < 1000)
        return viewermsg::PathLineBytes.arg(itemPath, QString::number(size));
    if (size < 1000000)
        return viewermsg::PathLineKB.arg(itemPath, cLocaleNumber(double(size) / 1000.0));
    return viewermsg::PathLineMB.arg(itemPath, cLocaleNumber(double(size) / 1000000.0));
}

std::optional<ViewerExtensions> ViewerExtensions::fromJson(const QByteArray& json)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject root = doc.object();
    const auto listOf = [&](const char* key, QSet<QString>& into) {
        const QJsonValue v = root.value(QLatin1String(key));
        if (!v.isArray())
            return false;
        for (const QJsonValue& e : v.toArray()) {
            if (!e.isString())
                return false;
            into.insert(e.toString().toLower());
        }
        return true;
    };
    ViewerExtensions lists;
    if (!listOf("movies", lists.movies) || !listOf("noDisplay", lists.noDisplay))
        return std::nullopt;
    return lists;
}

const ViewerExtensions& ViewerExtensions::builtIn()
{
    static const ViewerExtensions lists = [] {
        QFile f(QStringLiteral(":/folivo/viewerextensions.json"));
        if (f.open(QIODevice::ReadOnly))
            if (auto read = fromJson(f.readAll()))
                return *read;
        return ViewerExtensions{};
    }();
    return lists;
}

Presentation choosePresentation(const QString& fileName, const ViewerExtensions& lists,
                                const PresentationProbes& probes, bool movieFailed)
{
    const QString ext = lowerSuffix(fileName);
    if (!ext.isEmpty() && !movieFailed && lists.movies.contains(ext))
        return Presentation::Movie;
    if (!ext.isEmpty() && lists.noDisplay.contains(ext))
        return Presentation::Unsupported;
    if (probes.opensAsPdf && probes.opensAsPdf())
        return Presentation::Pdf;
    if (probes.opensAsImage && probes.opensAsImage())
        return Presentation::Image;
    if (probes.readsAsText && probes.readsAsText())
        return Presentation::Text;
    return Presentation::Unsupported;
}

bool readsAsPlainText(const QString& fileName, QByteArrayView head)
{
    return encodingOf(fileName, head) != TextEncoding::None;
}

std::optional<ShownText> plainTextForDisplay(const QString& fileName, QByteArrayView bytes, bool moreFollows)
{
    const TextEncoding encoding = encodingOf(fileName, bytes);
    if (encoding == TextEncoding::None)
        return std::nullopt;
    ShownText shown;
    shown.truncated = moreFollows || bytes.size() > MaxShownTextBytes;
    QByteArrayView part = bytes.first(std::min(bytes.size(), MaxShownTextBytes));
    switch (encoding) {
    case TextEncoding::Utf16: {
        const auto bom = utf16Bom(part);
        part = part.sliced(2);
        if (part.size() % 2)
            part.chop(1);
        shown.text = QStringDecoder(*bom, QStringDecoder::Flag::Stateless).decode(part);
        break;
    }
    case TextEncoding::Utf8: {
        if (startsWith(part, "\xef\xbb\xbf"))
            part = part.sliced(3);
        QStringDecoder utf8(QStringDecoder::Utf8);
        shown.text = utf8.decode(part);
        break;
    }
    case TextEncoding::Latin1:
        shown.text = QString::fromLatin1(part);
        break;
    case TextEncoding::None:
        break;
    }
    if (shown.truncated) {
        if (!shown.text.isEmpty() && !shown.text.endsWith(u'\n'))
            shown.text += u'\n';
        shown.text += viewermsg::TextCut;
    }
    return shown;
}

} // namespace folivo
