// The viewer's reading of the book: requests that lead out of the help folder are refused,
// and the anchors the window opens exist in the book as shipped.

#include "app/helpanchors.h"
#include "helpbook.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using folivo::help::HelpBook;

namespace {

void writeFile(const QString& path, const QByteArray& text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

class HelpBookTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(scratch.isValid());
        book = scratch.filePath(QStringLiteral("app/help"));
        writeFile(book + "/index.html", "<html><head><title>Start</title></head><body>"
                                        "<h1 id=\"Contents\">Contents</h1><p>Welcome</p></body></html>");
        writeFile(book + "/sub/page.html", "<h2 id=\"Deep\">Deep <b>page</b></h2><p>The quick brown fox</p>"
                                           "<a name=\"plain\"></a>");
        // A page of another program beside the book, and a link from inside the book to it.
        writeFile(scratch.filePath("app/secret.html"), "<h1 id=\"Secret\">Secret</h1><p>fox</p>");
        QFile::link(scratch.filePath("app/secret.html"), book + "/link.html");
    }
    QTemporaryDir scratch;
    QString book;
};

TEST_F(HelpBookTest, PathsLeavingTheFolderAreRefused)
{
    HelpBook b(book);
    ASSERT_TRUE(b.valid());
    const QString index = QFileInfo(book + "/index.html").canonicalFilePath();
    const QString deep = QFileInfo(book + "/sub/page.html").canonicalFilePath();
    struct Case {
        QString path;
        QString expected;
    };
    const Case cases[] = {
        {"index.html", index},
        {"sub/page.html", deep},
        {book + "/sub/page.html", deep},
        {"sub/../index.html", index},
        {"../secret.html", {}},
        {"sub/../../secret.html", {}},
        {scratch.filePath("app/secret.html"), {}},
        {"/etc/passwd", {}},
        {"link.html", {}}, // a link inside the book to a file outside it
        {"sub", {}},
        {"missing.html", {}},
        {"", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(b.pagePath(c.path), c.expected) << c.path.toStdString();
}

TEST_F(HelpBookTest, RequestsResolveToAPageOfTheBook)
{
    HelpBook b(book);
    const QString index = QFileInfo(book + "/index.html").canonicalFilePath();
    const QString deep = QFileInfo(book + "/sub/page.html").canonicalFilePath();
    struct Case {
        QString path, anchor, page, shownAnchor;
    };
    const Case cases[] = {
        {"", "Deep", deep, "Deep"},
        {"", "plain", deep, "plain"},
        {"index.html", "Deep", deep, "Deep"}, // the anchor names its page
        {"sub/page.html", "", deep, ""},
        {"", "Missing", index, ""},
        {"", "../secret", index, ""},
        {"", "Secret", index, ""}, // defined only outside the book
        {"../secret.html", "", index, ""},
        {"link.html", "Secret", index, ""},
    };
    for (const Case& c : cases) {
        const HelpBook::Target t = b.resolve(c.path, c.anchor);
        EXPECT_EQ(t.page, c.page) << c.path.toStdString() << " " << c.anchor.toStdString();
        EXPECT_EQ(t.anchor, c.shownAnchor) << c.path.toStdString() << " " << c.anchor.toStdString();
    }
    // The contents lists the headings, the start page first, with their text.
    ASSERT_GE(b.anchors().size(), 2);
    EXPECT_EQ(b.anchors()[0].name, "Contents");
    EXPECT_EQ(b.findAnchor("Deep")->title, "Deep page");
    // A book that is not there shows nothing.
    EXPECT_FALSE(HelpBook(scratch.filePath("nothing")).valid());
    EXPECT_TRUE(HelpBook(scratch.filePath("nothing")).resolve("index.html", "Contents").page.isEmpty());
}

TEST_F(HelpBookTest, SearchFindsTextOfTheBookOnly)
{
    HelpBook b(book);
    const auto hits = b.search("QUICK brown");
    ASSERT_EQ(hits.size(), 1);
    EXPECT_EQ(hits[0].page, QFileInfo(book + "/sub/page.html").canonicalFilePath());
    EXPECT_TRUE(hits[0].excerpt.contains("quick brown fox"));
    EXPECT_EQ(b.search("fox").size(), 1); // not the page outside the book
    EXPECT_TRUE(b.search("   ").isEmpty());
    EXPECT_TRUE(b.search("html").isEmpty()); // markup is no text
}

// The book as shipped: every anchor the window opens is there, and every link between its
// pages leads to a page of the book (and, with a fragment, to an anchor of it).
TEST(HelpBookShipped, DefinesEveryAnchorTheProgramOpensAndKeepsItsLinks)
{
    HelpBook b(QStringLiteral(FOLIVO_SOURCE_DIR "/help"));
    ASSERT_TRUE(b.valid());
    for (const QString* anchor : folivo::gui::helpanchors::All)
        EXPECT_NE(b.findAnchor(*anchor), nullptr) << anchor->toStdString();

    static const QRegularExpression href(QStringLiteral("href=\"([^\"]+)\""));
    QDir dir(b.root());
    for (const QString& name : dir.entryList({"*.html"}, QDir::Files)) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(f.readAll());
        for (auto m = href.globalMatch(html); m.hasNext();) {
            const QString link = m.next().captured(1);
            if (link.startsWith("http:") || link.startsWith("https:") || link.startsWith("mailto:"))
                continue;
            const QString page = link.section('#', 0, 0);
            const QString fragment = link.section('#', 1);
            EXPECT_FALSE(b.pagePath(page.isEmpty() ? name : page).isEmpty()) << name.toStdString() << ": " << link.toStdString();
            if (!fragment.isEmpty()) {
                EXPECT_NE(b.findAnchor(fragment), nullptr) << name.toStdString() << ": " << link.toStdString();
            }
        }
    }
}

} // namespace
