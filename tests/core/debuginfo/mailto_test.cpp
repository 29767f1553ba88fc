#include "debuginfo/mailto.h"
#include "debuginfo/messages.h"

#include <QUrlQuery>
#include <gtest/gtest.h>

using namespace folivo;

namespace {

QString field(const QUrl& url, const QString& name)
{
    return QUrlQuery(url).queryItemValue(name, QUrl::FullyDecoded);
}

} // namespace

TEST(Mailto, SubjectAndBodyComeBackExactly)
{
    // Each of these cut the body or changed it when the whole address was encoded as a query.
    const std::vector<QString> bodies{
        QStringLiteral("a & b"),
        QStringLiteral("x=1&cc=someone@else.example"),
        QStringLiteral("1 + 1"),
        QStringLiteral("see #3"),
        QStringLiteral("100% sure, %41 stays"),
        QStringLiteral("Zürich – €5 😀"),
        QStringLiteral("\n\nline one\r\nline two\n"),
    };
    for (const QString& body : bodies) {
        SCOPED_TRACE(body.toStdString());
        const MailtoAddress m = mailtoAddress(QStringLiteral("support@folivo.example"), QStringLiteral("Folivo & Co = #1"), body);
        ASSERT_TRUE(m.url.isValid());
        EXPECT_FALSE(m.bodyCut);
        EXPECT_EQ(m.url.scheme(), QStringLiteral("mailto"));
        EXPECT_EQ(m.url.path(), QStringLiteral("support@folivo.example"));
        const QUrlQuery q(m.url);
        EXPECT_EQ(q.queryItems().size(), 2); // nothing in the body became a field of its own
        EXPECT_EQ(field(m.url, "subject"), QStringLiteral("Folivo & Co = #1"));
        EXPECT_EQ(field(m.url, "body"), body);
        EXPECT_TRUE(m.url.fragment().isEmpty());
        // The form handed to the mail program is what was built (QUrl did not re-encode it).
        const QUrl again = QUrl::fromEncoded(m.url.toEncoded(), QUrl::StrictMode);
        EXPECT_EQ(field(again, "body"), body);
    }
}

TEST(Mailto, LongBodyIsCutAtALineWithANote)
{
    QString body;
    for (int i = 0; i < 5000; ++i)
        body += QStringLiteral("line %1 with & and é\n").arg(i);
    const qsizetype limit = 4000;
    const MailtoAddress m = mailtoAddress(QStringLiteral("support@folivo.example"), QStringLiteral("S"), body, limit);
    EXPECT_TRUE(m.bodyCut);
    EXPECT_LE(m.url.toEncoded().size(), limit);
    const QString got = field(m.url, "body");
    ASSERT_TRUE(got.endsWith(debuginfo::msg::BodyCutNote));
    const QString kept = got.left(got.size() - debuginfo::msg::BodyCutNote.size());
    EXPECT_GT(kept.size(), 500);
    EXPECT_TRUE(body.startsWith(kept + u'\n')); // a whole number of lines
}

TEST(Mailto, CutNeverSplitsACharacter)
{
    // No line breaks at all, and characters outside the basic plane: the cut falls between
    // two characters, never inside a surrogate pair.
    const QString body = QString(QStringLiteral("😀")).repeated(3000);
    const MailtoAddress m = mailtoAddress(QStringLiteral("a@b.example"), QStringLiteral("S"), body, 2000);
    ASSERT_TRUE(m.bodyCut);
    ASSERT_TRUE(m.url.isValid());
    const QString got = field(m.url, "body");
    const QString kept = got.left(got.size() - debuginfo::msg::BodyCutNote.size());
    EXPECT_FALSE(kept.isEmpty());
    EXPECT_EQ(kept.size() % 2, 0);
    EXPECT_TRUE(body.startsWith(kept));
}
