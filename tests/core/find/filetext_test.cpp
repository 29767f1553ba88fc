// The text of a file: the RTF reader, PDF text through poppler, plain text and its
// encodings, the kind of a file from its name and first bytes, the size and time caps,
// and reading stored items of plain and encrypted databases without a plain copy on disk.

#include "find/filetext.h"
#include "store/mydocument.h"
#include "support/minipdf.h"
#include "support/packagefixtures.h"
#include "support/testsupport.h"
#include "util/fs.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace folivo;
using folivo::test::folderSnapshot;
using folivo::test::makeTextPdf;
using folivo::test::makeTextPdfPages;
using folivo::test::Scratch;
using folivo::test::writeAll;

namespace {

std::string show(const QString& s)
{
    return s.toStdString();
}

// A PDF with an encryption dictionary whose user password is not the empty one: poppler
// opens it locked.
QByteArray lockedPdf()
{
    QByteArray pdf = makeTextPdf({"secret"});
    pdf.replace("/Root 1 0 R", "/Root 1 0 R /Encrypt << /Filter /Standard /V 1 /R 2 /O <" + QByteArray(64, 'A') +
                                   "> /U <" + QByteArray(64, 'B') + "> /P -4 >> /ID [<0123456789abcdef0123456789abcdef>"
                                   " <0123456789abcdef0123456789abcdef>]");
    return pdf;
}

} // namespace

// ---- RTF ---------------------------------------------------------------------------

TEST(RtfText, ReadsTheWordsOfRichText)
{
    struct Case {
        const char* name;
        QByteArray rtf;
        QString text;
    };
    const Case cases[] = {
        {"paragraphs, lines and tabs", R"({\rtf1 One\par Two\line Three\tab Four})", "One\nTwo\nThree\tFour"},
        {"the delimiting space belongs to the word", R"({\rtf1 \b bold\b0  plain \fs24\li-360 x})", "bold plain x"},
        {"line breaks in the source are not text", "{\\rtf1 a\nb\r\nc}", "abc"},
        {"backslash before a line break is a paragraph", "{\\rtf1 one\\\ntwo}", "one\ntwo"},
        {"control symbols", R"({\rtf1 \{a\}\\ b\~c\-d\_e})", QString::fromUtf8("{a}\\ b\u00a0cd\u2011e")},
        {"hex escapes in Windows-1252", R"({\rtf1\ansi \'93quoted\'94 caf\'e9 \'80})",
         QString::fromUtf8("\u201cquoted\u201d caf\u00e9 \u20ac")},
        {"other code pages fall back to Latin-1", R"({\rtf1\ansi\ansicpg1251 \'93x\'e9})", QString::fromUtf8("\u0093x\u00e9")},
        {"a broken hex escape is dropped", R"({\rtf1 a\'9zb\'})", "azb"},
        {"a zero byte is not text", R"({\rtf1 a\'00b})", "ab"},
        {"\\u skips one fallback character", R"({\rtf1 \u8220?hi\u8221?})", QString::fromUtf8("\u201chi\u201d")},
        {"\\u with a hex escape as fallback", R"({\rtf1 \u8220\'93hi})", QString::fromUtf8("\u201chi")},
        {"\\uc sets the fallback count", R"({\rtf1 \uc2\u8220\'93\'94x \uc0\u8221 y})", QString::fromUtf8("\u201cx \u201dy")},
        {"\\uc ends with its group", R"({\rtf1 {\uc0\u8220 }\u8221?z})", QString::fromUtf8("\u201c\u201dz")},
        {"a fallback ends at a group boundary", R"({\rtf1 {\uc3\u8220 ?}x})", QString::fromUtf8("\u201cx")},
        {"negative \\u values are 16-bit", R"({\rtf1 \u-1279?le})", QString::fromUtf8("\ufb01le")},
        {"surrogate pairs from two \\u", R"({\rtf1 \u-10179?\u-8704?!})", QString::fromUtf8("\U0001F600!")},
        {"a lone surrogate becomes U+FFFD", R"({\rtf1 \u-10179?x\u-8704?})", QString::fromUtf8("\ufffdx\ufffd")},
        {"named characters", R"({\rtf1 \ldblquote a\rdblquote \emdash b\endash c\bullet })",
         QString::fromUtf8("\u201ca\u201d\u2014b\u2013c\u2022")},
        {"tables and metadata are skipped",
         R"({\rtf1\ansi{\fonttbl{\f0\fswiss Helvetica;}}{\colortbl;\red255\green0\blue0;}{\stylesheet{\s0 Normal;}})"
         R"({\info{\title T}{\author A}}{\*\generator Writer 1.0;}Body})",
         "Body"},
        {"pictures, objects, headers and footers are skipped",
         R"({\rtf1 a{\pict\pngblip 89504e47}{\object{\*\objdata 0102}}{\header H}{\footerl F}{\*\themedata 00}b})", "ab"},
        {"any \\* group is skipped", R"({\rtf1 a{\*\unknowndest hidden {nested}}b})", "ab"},
        {"field instructions go, field results stay",
         R"({\rtf1 see {\field{\*\fldinst HYPERLINK "http://x/"}{\fldrslt the site}} now})", "see the site now"},
        {"nested groups", R"({\rtf1 a{b{\i c}d}e})", "abcde"},
        {"missing closing braces keep what was read", R"({\rtf1 a{b{c)", "abc"},
        {"the document ends at its closing brace", "{\\rtf1 a}}b\0junk", "a"},
        {"binary data is skipped by its count", "{\\rtf1 a{\\pict\\bin5 }{\\}x}b}", "ab"},
        {"binary data past the end", R"({\rtf1 a\bin999 xyz)", "a"},
        {"a backslash at the very end", "{\\rtf1 a\\", "a"},
        {"a control word at the very end", "{\\rtf1 a\\par", "a\n"},
        {"a written-out document from a Mac",
         "{\\rtf1\\ansi\\ansicpg1252\\cocoartf2639\n{\\fonttbl\\f0\\fswiss\\fcharset0 Helvetica;}\n"
         "{\\colortbl;\\red255\\green255\\blue255;}\n{\\*\\expandedcolortbl;;}\n"
         "\\pard\\tx560\\pardirnatural\\partightenfactor0\n\n\\f0\\fs24 \\cf0 Line one\\\nLine two \\uc0\\u8364 5}",
         QString::fromUtf8("Line one\nLine two \u20ac5")},
        {"empty input", "", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(plainTextFromRtf(c.rtf), c.text) << c.name;
}

TEST(RtfText, DeepNestingAndLongOutputStayBounded)
{
    // Far deeper than any document: the deep part is dropped, the rest is read, and there
    // is no recursion to overflow the stack.
    const int depth = 200000;
    const QByteArray deep = "{\\rtf1 a" + QByteArray(depth, '{') + "deep" + QByteArray(depth, '}') + "b}";
    EXPECT_EQ(plainTextFromRtf(deep), "ab");
    // A few levels inside the limit still read.
    EXPECT_EQ(plainTextFromRtf("{\\rtf1 a" + QByteArray(500, '{') + "c" + QByteArray(500, '}') + "}"), "ac");

    struct Case {
        QByteArray rtf;
        qsizetype max;
        QString text;
    };
    const Case cuts[] = {
        {"{\\rtf1 abcdef}", 3, "abc"},
        {"{\\rtf1 abcdef}", 0, ""},
        {"{\\rtf1 abcdef}", -5, ""},
        {"{\\rtf1 a\\u-10179?\\u-8704?}", 2, "a"}, // a pair that does not fit is left out whole
        {"{\\rtf1 a\\u-10179?\\u-8704?}", 3, QString::fromUtf8("a\U0001F600")},
        {"{\\rtf1 a\\u-10179?\\u-8704?b}", 2, "a"}, // and the text ends there: always a beginning of it
    };
    for (const Case& c : cuts)
        EXPECT_EQ(plainTextFromRtf(c.rtf, c.max), c.text) << c.rtf.constData() << " max " << c.max;

    const QByteArray big = "{\\rtf1 " + QByteArray(1 << 20, 'x') + "}";
    EXPECT_EQ(plainTextFromRtf(big, 1000).size(), 1000);
}

// ---- Kinds and plain text -----------------------------------------------------------

TEST(FileTextKind, FromNameAndFirstBytes)
{
    struct Case {
        const char* name;
        QByteArray head;
        TextKind kind;
    };
    const Case cases[] = {
        {"a.pdf", "%PDF-1.4\n", TextKind::Pdf},
        {"a.txt", "%PDF-1.7\n", TextKind::Pdf}, // the magic wins over the name
        {"scan", "%PDF", TextKind::Pdf},
        {"a.pdf", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), TextKind::None},
        {"a.pdf", "plain words", TextKind::Plain}, // not a PDF: what the bytes are decides
        {"a.rtf", "hello", TextKind::Rtf},
        {"A.RTF", "hello", TextKind::Rtf},
        {"letter", "{\\rtf1\\ansi", TextKind::Rtf},
        {"notes.txt", "caf\xe9", TextKind::Plain},  // Latin-1 under a text name
        {"notes.CSV", "a;b", TextKind::Plain},
        {"notes.txt", QByteArray("a\0b", 3), TextKind::None},
        {"notes.txt", QByteArray("\xff\xfe" "a\0", 4), TextKind::Plain}, // UTF-16 that says so
        {"README", "plain words\n", TextKind::Plain},
        {"notes.xyz", "caf\xc3\xa9", TextKind::Plain},
        {"notes", "caf\xe9 au lait", TextKind::None}, // not UTF-8 and no text name
        {"cut", "price \xe2\x82", TextKind::Plain},   // a sequence cut off by the end of the head
        {"movie.mov", QByteArray("\0\0\0\x18" "ftypqt  ", 12), TextKind::None},
        {"photo.jpg", "\xff\xd8\xff\xe0", TextKind::None},
    };
    for (const Case& c : cases)
        EXPECT_EQ(textKindOf(QStringLiteral("/nonexistent-folivo/") + c.name, c.head), c.kind) << c.name;

    // Only the head decides: a NUL far into the file does not count against it.
    QByteArray longText(8192, 'a');
    longText += '\0';
    EXPECT_EQ(textKindOf("/nonexistent-folivo/long", longText), TextKind::Plain);
}

TEST(FileTextKind, PlainBytesAreUtf8ElseLatin1)
{
    struct Case {
        const char* name;
        QByteArray bytes;
        QString text;
    };
    const Case cases[] = {
        {"UTF-8", "caf\xc3\xa9 \xe2\x82\xac", QString::fromUtf8("caf\u00e9 \u20ac")},
        {"BOM stripped", "\xef\xbb\xbfhi", "hi"},
        {"Latin-1", "caf\xe9", QString::fromUtf8("caf\u00e9")},
        {"one bad byte makes all Latin-1", "\xc3\xa9 and \xe9", QString::fromUtf8("\u00c3\u00a9 and \u00e9")},
        {"overlong UTF-8 is not UTF-8", "\xc0\xaf", QString::fromUtf8("\u00c0\u00af")},
        {"cut-off sequence at the end", "ab\xe2\x82", QString::fromUtf8("ab\u00e2\u0082")},
        {"UTF-16LE with BOM", QByteArray("\xff\xfeh\0i\0", 6), "hi"},
        {"UTF-16BE with BOM", QByteArray("\xfe\xff\0h\0i", 6), "hi"},
        {"empty", "", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(textOfPlainBytes(c.bytes), c.text) << c.name;
}

TEST(FileText, FilesOfEachKindOutsideADatabase)
{
    Scratch s;
    const QByteArray pdf = makeTextPdf({"Invoice 2024-03-12", "Total 12.50"});
    ASSERT_TRUE(writeAll(s.file("scan.pdf"), pdf));
    ASSERT_TRUE(writeAll(s.file("scan.txt"), pdf)); // a PDF under another name
    ASSERT_TRUE(writeAll(s.file("scan"), pdf));
    ASSERT_TRUE(writeAll(s.file("note.rtf"), R"({\rtf1 Dear \'93Sam\'94})"));
    ASSERT_TRUE(writeAll(s.file("latin.txt"), "Gr\xfc\xdf" "e"));
    ASSERT_TRUE(writeAll(s.file("utf8"), "Gr\xc3\xbc\xc3\x9f" "e"));
    ASSERT_TRUE(writeAll(s.file("image.pdf"), QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)));
    QByteArray binary(20000, '\0');
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = char((i * 7919) & 0xff);
    ASSERT_TRUE(writeAll(s.file("blob"), binary));
    // Longer than the head that decides, with a character cut in two by the head's end.
    ASSERT_TRUE(writeAll(s.file("long notes"), QByteArray(8191, 'a') + "\xc3\xa9" + QByteArray(12000, 'b')));
    ASSERT_TRUE(QDir().mkpath(s.file("Letter.rtfd")));
    ASSERT_TRUE(writeAll(s.file("Letter.rtfd/TXT.rtf"), R"({\rtf1{\fonttbl\f0 Helvetica;}Bundle text})"));
    ASSERT_TRUE(QDir().mkpath(s.file("Plain folder")));
    ASSERT_TRUE(writeAll(s.file("Plain folder/a.txt"), "a"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(s.file("pipe.txt")).constData(), 0600), 0);

    struct Case {
        const char* name;
        std::optional<QString> text;
    };
    const QString pdfText = "Invoice 2024-03-12\nTotal 12.50";
    const Case cases[] = {
        {"scan.pdf", pdfText},
        {"scan.txt", pdfText},
        {"scan", pdfText},
        {"note.rtf", QString::fromUtf8("Dear \u201cSam\u201d")},
        {"latin.txt", QString::fromUtf8("Gr\u00fc\u00dfe")},
        {"utf8", QString::fromUtf8("Gr\u00fc\u00dfe")},
        {"image.pdf", std::nullopt},
        {"blob", std::nullopt},
        {"long notes", QString(8191, 'a') + QChar(0xe9) + QString(12000, 'b')},
        {"Letter.rtfd", "Bundle text"},
        {"Plain folder", std::nullopt},
        {"pipe.txt", std::nullopt}, // never opened for a read that would wait
        {"missing.txt", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(textOfFile(s.file(c.name)), c.text) << c.name;

    EXPECT_TRUE(actuallyPDF(s.file("scan.txt")));
    EXPECT_FALSE(actuallyPDF(s.file("image.pdf")));
    EXPECT_FALSE(actuallyPDF(s.file("pipe.txt")));
    EXPECT_EQ(textKindOf(s.file("Letter.rtfd"), {}), TextKind::Rtfd);
    EXPECT_EQ(textKindOf(s.file("Plain folder"), {}), TextKind::None);
}

TEST(FileText, FilesBeyondTheSizeCapAreNotRead)
{
    Scratch s;
    const QByteArray pdf = makeTextPdf({"capped"});
    const QByteArray plain = QByteArray(20000, 'w');
    const QByteArray rtf = "{\\rtf1 " + QByteArray(20000, 'r') + "}";
    ASSERT_TRUE(writeAll(s.file("a.pdf"), pdf));
    ASSERT_TRUE(writeAll(s.file("a.txt"), plain));
    ASSERT_TRUE(writeAll(s.file("a.rtf"), rtf));
    ASSERT_TRUE(QDir().mkpath(s.file("b.rtfd")));
    ASSERT_TRUE(writeAll(s.file("b.rtfd/TXT.rtf"), rtf));
    struct Case {
        const char* name;
        qint64 size;
    };
    for (const Case& c : {Case{"a.pdf", pdf.size()}, Case{"a.txt", plain.size()}, Case{"a.rtf", rtf.size()},
                          Case{"b.rtfd", rtf.size()}}) {
        TextLimits limits;
        limits.maxFileBytes = c.size;
        EXPECT_TRUE(textOfFile(s.file(c.name), limits)) << c.name;
        limits.maxFileBytes = c.size - 1;
        EXPECT_FALSE(textOfFile(s.file(c.name), limits)) << c.name;
    }
    TextLimits limits;
    limits.maxFileBytes = pdf.size() - 1;
    EXPECT_FALSE(textOfData(pdf, limits));

    // The text itself is cut at maxChars.
    limits = {};
    limits.maxChars = 10;
    EXPECT_EQ(textOfFile(s.file("a.txt"), limits)->size(), 10);
    EXPECT_EQ(textOfFile(s.file("a.rtf"), limits)->size(), 10);
    EXPECT_EQ(*textOfData(makeTextPdf({"abcdefghijklmnop"}), limits), "abcdefghij");
}

// ---- PDF ---------------------------------------------------------------------------

TEST(PdfText, PagesReadBackLineByLine)
{
    const QList<QStringList> pages = {
        {"Statement of account", QString::fromUtf8("Caf\u00e9 \u201cLe Rond\u201d \u2014 12,50 \u20ac"),
         "(brackets) and \\ backslash"},
        {},
        {"Page three"},
    };
    const auto text = textOfData(makeTextPdfPages(pages));
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, QString::fromUtf8("Statement of account\nCaf\u00e9 \u201cLe Rond\u201d \u2014 12,50 \u20ac\n"
                                       "(brackets) and \\ backslash\n\nPage three"));
    EXPECT_EQ(*textOfData(makeTextPdf({"same"}, 3)), "same\nsame\nsame");
}

TEST(PdfText, DamagedLockedOrForeignBytesGiveNoText)
{
    const QByteArray pdf = makeTextPdf({"Hello", "World"});
    struct Case {
        const char* name;
        QByteArray data;
    };
    const Case cases[] = {
        {"empty", ""},
        {"magic only", "%PDF"},
        {"header only", pdf.left(20)},
        {"cut in the middle", pdf.left(pdf.size() / 2)},
        {"cut before the cross-reference table", pdf.left(pdf.indexOf("xref"))},
        {"magic then noise", "%PDF-1.4\n" + QByteArray(5000, '\x9c')},
        {"not a PDF", "just words"},
        {"locked", lockedPdf()},
    };
    for (const Case& c : cases)
        EXPECT_FALSE(textOfData(c.data)) << c.name;

    Scratch s;
    ASSERT_TRUE(writeAll(s.file("locked.pdf"), lockedPdf()));
    ASSERT_TRUE(writeAll(s.file("cut.txt"), pdf.left(pdf.size() / 2)));
    EXPECT_FALSE(textOfFile(s.file("locked.pdf")));
    EXPECT_FALSE(textOfFile(s.file("cut.txt"))); // a damaged PDF is not read as plain text
}

TEST(PdfText, TheTimeCapKeepsThePagesReadSoFar)
{
    const QByteArray pdf = makeTextPdfPages({{"one"}, {"two"}, {"three"}});
    TextLimits limits;
    limits.maxMillis = 0; // passed as soon as the first page is read
    EXPECT_EQ(*textOfData(pdf, limits), "one");
    limits.maxMillis = 60000;
    EXPECT_EQ(*textOfData(pdf, limits), "one\ntwo\nthree");
}

// ---- Stored items ------------------------------------------------------------------

class ItemText : public folivo::test::Fixtures {
protected:
    std::unique_ptr<MyDocument> open(const QString& pkg, const QString& password)
    {
        ui_.passwords = {password};
        auto doc = std::make_unique<MyDocument>(ui_);
        const OpenResult r = doc->openDatabase(pkg);
        EXPECT_TRUE(r.ok()) << show(r.message);
        return doc;
    }
};

TEST_F(ItemText, StoredItemsReadThroughTheDocumentWithoutPlainCopies)
{
    for (const bool encrypted : {true, false}) {
        SCOPED_TRACE(encrypted ? "encrypted" : "plain");
        const QString name = encrypted ? "Encrypted.fvdb" : "Household.fvdb";
        const QString pkg = copyOf(name);
        auto doc = open(pkg, manifest_.value(name).toObject().value("password").toString());
        ASSERT_TRUE(doc->dbOpen());
        ASSERT_EQ(doc->dbEncrypted(), encrypted);

        const QString pdfWords = "Secret invoice 4711";
        ASSERT_TRUE(writeAll(scratch_.file("invoice.txt"), makeTextPdf({pdfWords})));
        ASSERT_TRUE(writeAll(scratch_.file("memo.rtf"), R"({\rtf1{\fonttbl\f0 Times;}Secret \'93memo\'94})"));
        ASSERT_TRUE(QDir().mkpath(scratch_.file("Draft.rtfd")));
        ASSERT_TRUE(writeAll(scratch_.file("Draft.rtfd/TXT.rtf"), R"({\rtf1 Secret draft})"));
        QStringList stored;
        for (const QString file : {"invoice.txt", "memo.rtf", "Draft.rtfd"}) {
            const OperationResult r = doc->recordImport(scratch_.file(file), std::nullopt, "Unfiled", -1, {}, {});
            ASSERT_TRUE(r.ok()) << show(r.message);
            stored << r.resultPath;
        }

        const auto before = folderSnapshot(pkg);
        // Every write, rename or copy of the store passes the file-system seam: reading
        // text must make none, not even a passing copy in the private folder.
        QStringList written;
        fs::ScopedFault watch([&](fs::Op, const QString& abs) {
            written << abs;
            return false;
        });
        EXPECT_EQ(textOfItem(*doc, stored[0]), pdfWords);
        EXPECT_EQ(textOfItem(*doc, stored[1]), QString::fromUtf8("Secret \u201cmemo\u201d"));
        EXPECT_EQ(textOfItem(*doc, stored[2]), "Secret draft");
        TextLimits small;
        small.maxFileBytes = 100;
        EXPECT_FALSE(textOfItem(*doc, stored[0], small));
        // Folders and paths that are not items have no text.
        EXPECT_FALSE(textOfItem(*doc, "Unfiled"));
        EXPECT_FALSE(textOfItem(*doc, "Unfiled/missing.pdf"));
        EXPECT_FALSE(textOfItem(*doc, "../outside.txt"));
        if (encrypted) {
            // Bundles stored by the macOS edition, in both container forms.
            EXPECT_EQ(textOfItem(*doc, "Notes/Report.rtfd"), "Quarterly report");
            EXPECT_EQ(textOfItem(*doc, "Notes/Old.rtfd"), "An older note");
        }
        EXPECT_TRUE(written.isEmpty()) << show(written.join(", "));
        EXPECT_EQ(folderSnapshot(pkg), before);
        if (encrypted) {
            // Nothing was deciphered onto the disk, not even into the private folder.
            EXPECT_TRUE(QDir(doc->tempDir()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
            for (const QString& path : stored)
                EXPECT_FALSE(QFile::exists(pkg + "/" + path)) << show(path);
        }
    }
}

// The formatting the viewer shows: bold, italic, underline and size, each run beginning
// where the format changes, groups restoring the format outside them.
TEST(RichText, RunsFollowTheFormatting)
{
    const RichText rich = richTextFromRtf(
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Helvetica;}}\\fs24 Plain {\\b bold {\\i both}} \\ul under\\ulnone  "
        "\\fs48 big\\plain  end\\par}");
    EXPECT_EQ(show(rich.text), "Plain bold both under big end\n");
    struct Want {
        const char* from;
        bool bold, italic, underline;
        int halfPoints;
    };
    const Want want[] = {{"Plain ", false, false, false, 24}, {"bold ", true, false, false, 24},
                         {"both", true, true, false, 24},     {" ", false, false, false, 24},
                         {"under", false, false, true, 24},   {" ", false, false, false, 24},
                         {"big", false, false, false, 48},    {" end", false, false, false, 24}};
    ASSERT_EQ(rich.runs.size(), std::size(want));
    for (size_t i = 0; i < rich.runs.size(); ++i) {
        SCOPED_TRACE(want[i].from);
        EXPECT_TRUE(rich.text.mid(rich.runs[i].start).startsWith(QString::fromUtf8(want[i].from)));
        const RtfFormat& f = rich.runs[i].format;
        EXPECT_EQ(f.bold, want[i].bold);
        EXPECT_EQ(f.italic, want[i].italic);
        EXPECT_EQ(f.underline, want[i].underline);
        EXPECT_EQ(f.halfPoints, want[i].halfPoints);
    }
    // Sizes out of any sense are held in bounds; the plain reading is the same text.
    EXPECT_EQ(richTextFromRtf("{\\rtf1\\fs999999 x}").runs.front().format.halfPoints, 400);
    EXPECT_EQ(richTextFromRtf("{\\rtf1\\fs0 x}").runs.front().format.halfPoints, 2);
    EXPECT_EQ(show(plainTextFromRtf("{\\rtf1\\b x\\b0 y}")), show(richTextFromRtf("{\\rtf1\\b x\\b0 y}").text));
}
