#include "store/packagepath.h"

#include <gtest/gtest.h>

using namespace folivo;

TEST(PackagePath, RefusesPathsThatCouldLeaveThePackage)
{
    const struct {
        const char* path;
        bool valid;
    } cases[] = {
        {"Bank/2023/March/Statement.pdf", true},
        {"Unfiled", true},
        {"a b/.+c d", true},
        {"/etc/passwd", false},
        {"../outside", false},
        {"Bank/../../outside", false},
        {"Bank/./x", false},
        {"Bank//x", false},
        {"Bank/", false},
        {".", false},
        {"..", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PackagePath::fromString(QString::fromUtf8(c.path)).has_value(), c.valid) << c.path;
    EXPECT_FALSE(PackagePath::fromString(QString("a") + QChar(0) + "b"));
    EXPECT_EQ(PackagePath::fromString("")->isRoot(), true);
}

TEST(PackagePath, PartsAndJoins)
{
    const auto p = *PackagePath::fromString("Bank/2023/March");
    EXPECT_EQ(p.name(), "March");
    EXPECT_EQ(p.parent().str(), "Bank/2023");
    EXPECT_EQ(p.parent().parent().parent().isRoot(), true);
    EXPECT_EQ(p.depth(), 3);
    EXPECT_EQ(p.absoluteUnder("/db/H.fvdb"), "/db/H.fvdb/Bank/2023/March");
    EXPECT_FALSE(p.child(".."));
    EXPECT_FALSE(p.child("a/b"));
    EXPECT_EQ(p.child("x.pdf")->str(), "Bank/2023/March/x.pdf");
    EXPECT_TRUE(p.isInside(*PackagePath::fromString("Bank")));
    EXPECT_FALSE(PackagePath::fromString("Banking")->isInside(*PackagePath::fromString("Bank")));
}

TEST(NameCheck, EveryNameEnteringThePackage)
{
    const QString longest(MaxNameBytes, 'x');
    const struct {
        QString name;
        NameProblem problem;
    } cases[] = {
        {"Statement.pdf", NameProblem::None},
        {"Grüße 日本.pdf", NameProblem::None},
        {longest, NameProblem::None},
        {longest + "x", NameProblem::TooLong},
        {QString(MaxNameBytes / 2 + 1, QChar(0xfc)), NameProblem::TooLong}, // 2 bytes each in UTF-8
        {"", NameProblem::Empty},
        {".", NameProblem::DotOrDotDot},
        {"..", NameProblem::DotOrDotDot},
        {".hidden", NameProblem::LeadingDot},
        {"a/b", NameProblem::Slash},
        {"tab\there", NameProblem::ControlCharacter},
        {"nl\n", NameProblem::ControlCharacter},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(checkName(c.name), c.problem) << c.name.toStdString();
        EXPECT_EQ(nameProblemMessage(c.problem).isEmpty(), c.problem == NameProblem::None);
    }
    // The longest valid name still fits with the attributes prefix and the ".fvdbe.old" suffix.
    EXPECT_LE((".+" + longest + ".fvdbe.old").toUtf8().size(), 255);
}

TEST(NameCheck, NamesFromOutsideAreMadeValid)
{
    const struct {
        QString in, out;
    } cases[] = {
        {"..hidden.pdf", "hidden.pdf"},
        {"a/b.pdf", "a-b.pdf"},
        {"line\nbreak", "line break"},
        {"...", "Untitled"},
        {"", "Untitled"},
        {"Statement.pdf", "Statement.pdf"},
        // A control character or a space before a dot: the dot must not lead once trimmed.
        {"\t.", "Untitled"},
        {" .profile", "profile"},
        {"\x19..x", "x"},
        {". . .", "Untitled"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(makeValidName(c.in), c.out) << c.in.toStdString();
    const QString huge = QString(400, QChar(0x65e5)) + ".pdf"; // 3 bytes a character
    const QString made = makeValidName(huge);
    EXPECT_EQ(checkName(made), NameProblem::None);
    EXPECT_TRUE(made.endsWith(".pdf"));
}
