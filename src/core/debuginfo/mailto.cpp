#include "debuginfo/mailto.h"

#include "debuginfo/messages.h"

namespace folivo {

namespace {

// Everything but the unreserved characters is encoded: safe in any query, field value or
// argument, and read back unchanged by every mail program.
QByteArray encoded(const QString& text)
{
    return QUrl::toPercentEncoding(text);
}

} // namespace

MailtoAddress mailtoAddress(const QString& to, const QString& subject, const QString& body, qsizetype limit)
{
    const QByteArray head = "mailto:" + encoded(to).replace("%40", "@") + "?subject=" + encoded(subject) + "&body=";
    MailtoAddress result;
    QByteArray encodedBody = encoded(body);
    if (head.size() + encodedBody.size() > limit) {
        result.bodyCut = true;
        const QByteArray note = encoded(debuginfo::msg::BodyCutNote);
        const qsizetype room = std::max<qsizetype>(0, limit - head.size() - note.size());
        // The longest beginning of the body that fits, ended at a line where there is one.
        // Cutting the text (not the encoding) never splits a character's escape.
        qsizetype lo = 0, hi = body.size();
        while (lo < hi) {
            const qsizetype mid = (lo + hi + 1) / 2;
            if (encoded(body.left(mid)).size() <= room)
                lo = mid;
            else
                hi = mid - 1;
        }
        qsizetype cut = lo;
        if (cut > 0 && cut < body.size() && body.at(cut - 1).isHighSurrogate())
            --cut;
        const qsizetype line = cut > 0 ? body.lastIndexOf(u'\n', cut - 1) : -1;
        if (line > 0)
            cut = line;
        encodedBody = encoded(body.left(cut)) + note;
    }
    result.url = QUrl::fromEncoded(head + encodedBody, QUrl::StrictMode);
    return result;
}

} // namespace folivo
