// What a file is shown as: the path line with its size, the order of the attempts, the
// extension lists of the program, and which bytes count as text to show.

#include "viewer/presentation.h"

#include "viewer/messages.h"

#include <QStringEncoder>
#include <gtest/gtest.h>

using namespace folivo;

namespace {

TEST(ViewerPathLine, SizeInBytesKilobytesOrMegabytes)
{
    struct Case {
        qint64 size;
        const char* line;
    };
    for (const Case& c : {Case{0, "Bank/a.pdf (0 bytes)"},
                          {999, "Bank/a.pdf (999 bytes)"},
                          {1000, "Bank/a.pdf (1.00 KB)"},
                          {1234, "Bank/a.pdf (1.23 KB)"},
                          {999999, "Bank/a.pdf (1000.00 KB)"},
                          {1000000, "Bank/a.pdf (1.00 MB)"},
                          {2500000000LL, "Bank/a.pdf (2500.00 MB)"}}) {
        SCOPED_TRACE(c.size);
        EXPECT_EQ(pathLineFor("Bank/a.pdf", c.size), QString::fromUtf8(c.line));
    }
    // A path with "%1" in it is not taken for a placeholder.
    EXPECT_EQ(pathLineFor("Bank/100%1 done.pdf", 5), QStringLiteral("Bank/100%1 done.pdf (5 bytes)"));
}

TEST(ViewerPresentation, FirstMatchInOrderWins)
{
    const ViewerExtensions lists{{"mov", "mp4"}, {"app", "zip"}};
    struct Case {
        const char* name;
        bool pdf, image, text;
        bool movieFailed;
        Presentation want;
    };
    using P = Presentation;
    const Case cases[] = {
        {"clip.mov", true, true, true, false, P::Movie},
        // A PDF named x.mov that plays nothing shows as a PDF.
        {"x.mov", true, false, false, true, P::Pdf},
        {"x.MOV", false, true, false, true, P::Image},
        {"x.mp4", false, false, true, true, P::Text},
        {"x.mp4", false, false, false, true, P::Unsupported},
        // Never shown, whatever the bytes.
        {"Tool.app", true, true, true, false, P::Unsupported},
        {"a.ZIP", true, true, true, false, P::Unsupported},
        {"letter", true, true, true, false, P::Pdf},
        {"scan.pdf", false, true, true, false, P::Image},
        {"notes.pdf", false, false, true, false, P::Text},
        {"blob.dat", false, false, false, false, P::Unsupported},
        // No extension: never a movie, never on the never-shown list.
        {"mov", false, false, true, false, P::Text},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList asked;
        const PresentationProbes probes{[&] {
                                            asked << "pdf";
                                            return c.pdf;
                                        },
                                        [&] {
                                            asked << "image";
                                            return c.image;
                                        },
                                        [&] {
                                            asked << "text";
                                            return c.text;
                                        }};
        EXPECT_EQ(choosePresentation(c.name, lists, probes, c.movieFailed), c.want);
        // Later probes are not asked once one matched (opening a PDF or an image is costly).
        if (c.want == P::Pdf)
            EXPECT_EQ(asked, QStringList{"pdf"});
        if (c.want == P::Movie || (c.want == P::Unsupported && !c.movieFailed && c.pdf))
            EXPECT_TRUE(asked.isEmpty());
    }
}

TEST(ViewerPresentation, TheProgramsListsAreCompiledIn)
{
    const ViewerExtensions& lists = ViewerExtensions::builtIn();
    for (const char* movie : {"mov", "mp4", "m4v", "mkv", "webm", "avi", "ogv", "mpg", "mpeg", "mp3", "m4a", "ogg",
                              "oga", "opus", "flac", "wav"})
        EXPECT_TRUE(lists.movies.contains(movie)) << movie;
    for (const char* never : {"app", "exe", "zip", "dmg", "iso", "fvdb"})
        EXPECT_TRUE(lists.noDisplay.contains(never)) << never;
    for (const char* shown : {"pdf", "txt", "png", "jpg", "rtf"}) {
        EXPECT_FALSE(lists.movies.contains(shown)) << shown;
        EXPECT_FALSE(lists.noDisplay.contains(shown)) << shown;
    }
    EXPECT_FALSE(lists.movies.intersects(lists.noDisplay));
    EXPECT_FALSE(ViewerExtensions::fromJson("{\"movies\": [\"mov\"]}"));
    EXPECT_FALSE(ViewerExtensions::fromJson("{\"movies\": [1], \"noDisplay\": []}"));
    EXPECT_FALSE(ViewerExtensions::fromJson("[]"));
}

QByteArray utf16(const QString& s, bool littleEndian)
{
    QStringEncoder e(littleEndian ? QStringEncoder::Utf16LE : QStringEncoder::Utf16BE);
    return QByteArray(littleEndian ? "\xff\xfe" : "\xfe\xff") + QByteArray(e.encode(s));
}

TEST(ViewerText, WhichBytesAreShownAsText)
{
    const QByteArray latin1 = QByteArray("Caf\xe9 au lait");
    struct Case {
        const char* what;
        const char* name;
        QByteArray bytes;
        std::optional<QString> shown;
    };
    const Case cases[] = {
        {"utf-8", "a.dat",
         QByteArray("Gr\xc3\xbc\xc3\x9f"
                    "e\n"),
         QString::fromUtf8("Grüße\n")},
        {"utf-8 with its mark", "a", QByteArray("\xef\xbb\xbfHi"), QStringLiteral("Hi")},
        {"utf-16 LE", "a.dat", utf16(QString::fromUtf8("Grüße"), true), QString::fromUtf8("Grüße")},
        {"utf-16 BE", "a", utf16(QString::fromUtf8("日本"), false), QString::fromUtf8("日本")},
        {"utf-16 holding a zero", "a.txt", utf16(QString("a") + QChar(0) + "b", true), std::nullopt},
        {"a zero byte", "a.txt", QByteArray("abc\0def", 7), std::nullopt},
        {"a zero byte far in", "a.txt", QByteArray(70000, 'x') + QByteArray(1, '\0'),
         QString(QByteArray(70000, 'x')) + QChar(0)},
        {"latin-1 named text", "menu.TXT", latin1, QString::fromUtf8("Café au lait")},
        {"latin-1 named csv", "a.csv", latin1, QString::fromUtf8("Café au lait")},
        {"latin-1 without a text name", "a.dat", latin1, std::nullopt},
        {"latin-1 without any extension", "readme", latin1, std::nullopt},
        {"binary", "photo.raw", QByteArray("\x89PNG\r\n\x1a\n\xff\xd8\x01", 11), std::nullopt},
        {"empty", "a.dat", QByteArray(), QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(readsAsPlainText(c.name, c.bytes), c.shown.has_value());
        const auto got = plainTextForDisplay(c.name, c.bytes);
        ASSERT_EQ(got.has_value(), c.shown.has_value());
        if (got) {
            EXPECT_EQ(got->text, *c.shown);
            EXPECT_FALSE(got->truncated);
        }
    }
}

TEST(ViewerText, AVeryLongFileShowsItsStartAndSaysSo)
{
    // A multi-byte letter straddles the cut: it is dropped, not shown half.
    QByteArray bytes(MaxShownTextBytes - 1, 'a');
    bytes += "\xc3\xa9 and more after the cut";
    const auto shown = plainTextForDisplay("big.txt", bytes);
    ASSERT_TRUE(shown);
    EXPECT_TRUE(shown->truncated);
    EXPECT_TRUE(shown->text.endsWith(QStringLiteral("a\n") + viewermsg::TextCut));
    EXPECT_EQ(shown->text.size(), MaxShownTextBytes - 1 + 1 + viewermsg::TextCut.size());
    EXPECT_FALSE(shown->text.contains(QChar::ReplacementCharacter));

    // Exactly the limit: all of it, no line added.
    const auto full = plainTextForDisplay("big.txt", QByteArray(MaxShownTextBytes, 'b'));
    ASSERT_TRUE(full);
    EXPECT_FALSE(full->truncated);
    EXPECT_EQ(full->text.size(), MaxShownTextBytes);

    // The caller read only the start of a longer file.
    const auto start = plainTextForDisplay("big.txt", QByteArray("first line\n"), true);
    ASSERT_TRUE(start);
    EXPECT_EQ(start->text, "first line\n" + viewermsg::TextCut);
}

} // namespace
