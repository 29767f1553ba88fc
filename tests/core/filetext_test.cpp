// The text of a file: the RTF reader.

#include "find/filetext.h"

#include <gtest/gtest.h>

using namespace folivo;

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
    };
    for (const Case& c : cuts)
        EXPECT_EQ(plainTextFromRtf(c.rtf, c.max), c.text) << c.rtf.constData() << " max " << c.max;

    const QByteArray big = "{\\rtf1 " + QByteArray(1 << 20, 'x') + "}";
    EXPECT_EQ(plainTextFromRtf(big, 1000).size(), 1000);
}
