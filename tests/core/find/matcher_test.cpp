// The matcher: every subject and relation of a condition, all and any, numbers of custom
// attributes, condition dates (unreadable ones, the day-first order, a change of daylight
// saving time), the rule for folders under a file-date condition, and the select-all walk.

#include "find/criteria.h"
#include "find/findwalk.h"
#include "find/matcher.h"
#include "find/selectall.h"
#include "store/dboperation.h"
#include "store/keys.h"
#include "store/tree.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::findbits;
using plist::Array;
using plist::Dict;
using plist::Value;

namespace {

class FakeContext : public MatchContext {
public:
    std::optional<QString> fileText(const IndexItem& item) override
    {
        ++textFetches;
        if (texts.contains(item.path()))
            return texts.value(item.path());
        return std::nullopt;
    }
    std::optional<QDate> fileModificationDay(const IndexItem& item) override
    {
        if (modified.contains(item.path()))
            return modified.value(item.path());
        return std::nullopt;
    }
    bool europeanDates() const override { return european; }
    QDate today() const override { return QDate(2024, 6, 15); }
    bool textMayContain(const IndexItem& item, const QString& needle, bool ignoreCase) override
    {
        (void)item, (void)ignoreCase;
        return !refuse.contains(needle);
    }

    QHash<QString, QString> texts;
    QHash<QString, QDate> modified;
    QStringList refuse;
    bool european = false;
    int textFetches = 0;
};

Value day(int y, int m, int d)
{
    return Value(toPlistDate(QDateTime(QDate(y, m, d), QTime(0, 0))));
}

std::unique_ptr<IndexItem> file(const QString& path, Dict more = {})
{
    more.set(keys::Path, path);
    return std::make_unique<IndexItem>(std::move(more), false);
}

std::unique_ptr<IndexItem> folder(const QString& path, Dict more = {})
{
    more.set(keys::Path, path);
    return std::make_unique<IndexItem>(std::move(more), true);
}

FindCondition text(int tag, const QString& needle)
{
    FindCondition c;
    c.tag = tag;
    c.name = needle;
    return c;
}

FindCondition onDate(int tag, const QString& date)
{
    FindCondition c;
    c.tag = tag;
    c.date = date;
    return c;
}

FindCondition between(int tag, const QString& from, const QString& to)
{
    FindCondition c;
    c.tag = tag | Between;
    c.fromDate = from;
    c.toDate = to;
    return c;
}

FindCondition custom(const QString& attribute, int type, const QString& match)
{
    FindCondition c;
    c.tag = Custom;
    c.customAttribute = attribute;
    c.customMatch = match;
    c.customMatchType = type;
    return c;
}

FindCriteria criteria(std::vector<FindCondition> conditions, bool all = true)
{
    FindCriteria f;
    f.conditions = std::move(conditions);
    f.all = all;
    return f;
}

bool test(const IndexItem& item, const FindCondition& c, FakeContext& ctx)
{
    return matches(item, criteria({c}), ctx);
}

const QString nfdE = QString::fromUtf8("e\u0301");  // e + combining acute
const QString nfcE = QString::fromUtf8("\u00e9");   // é

} // namespace

TEST(Matcher, TextSubjectsAndRelations)
{
    const auto bank = file("Money/Bank.pdf", Dict{{keys::Notes, "Paid in March"}, {keys::Tags, Array{"Tax", "2024"}}});
    const auto xx = file("Money/xX.pdf");
    const auto nameX = file("Money/X.pdf");
    FakeContext ctx;
    ctx.texts.insert("Money/Bank.pdf", "Account statement\nBalance 12");
    const struct {
        const IndexItem* item;
        int tag;
        QString needle;
        bool expected;
    } cases[] = {
        // Name: without the extension, every relation, case.
        {nameX.get(), Name | Is, "X", true},
        {xx.get(), Name | Is, "X", false},
        {nameX.get(), Name | Is, "x", false},
        {nameX.get(), Name | Is | IgnoreCase, "x", true},
        {nameX.get(), Name | Is, "X.pdf", false},
        {bank.get(), Name | EndsWith, "nk", true},
        {bank.get(), Name | EndsWith, "pdf", false},
        {bank.get(), Name | BeginsWith, "Ba", true},
        {bank.get(), Name | BeginsWith, "an", false},
        {bank.get(), Name | Contains, "an", true},
        {bank.get(), Name | Contains, "money", false},
        {bank.get(), LegacyNameContains, "ank", true},
        {bank.get(), LegacyNameContains, "ANK", false},
        {bank.get(), LegacyNameContainsIgnoringCase, "ANK", true},
        // Path: the whole relative path, extension included.
        {bank.get(), Path | Contains, "Money/Ba", true},
        {bank.get(), Path | EndsWith, ".pdf", true},
        {bank.get(), Path | Is, "Money/Bank.pdf", true},
        {bank.get(), Path | Is | IgnoreCase, "money/bank.PDF", true},
        // Notes, and an item without notes (no is-match on the missing text either).
        {bank.get(), Notes | Contains, "March", true},
        {bank.get(), Notes | BeginsWith | IgnoreCase, "paid", true},
        {xx.get(), Notes | Contains, "March", false},
        // Contents: the stored file's text; a file without text matches nothing.
        {bank.get(), Contents | Contains, "Balance", true},
        {bank.get(), Contents | Contains | IgnoreCase, "balance", true},
        {bank.get(), Contents | Contains, "balance", false},
        {bank.get(), Contents | EndsWith, "12", true},
        {xx.get(), Contents | Contains, "Balance", false},
        // Tags: substring of any tag; anchoring and is are not consulted.
        {bank.get(), Tags | Contains, "Ta", true},
        {bank.get(), Tags | Is, "Ta", true},
        {bank.get(), Tags | EndsWith, "Ta", true},
        {bank.get(), Tags, "tax", false},
        {bank.get(), Tags | IgnoreCase, "tax", true},
        {xx.get(), Tags, "Tax", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(test(*c.item, text(c.tag, c.needle), ctx), c.expected)
            << c.item->path().toStdString() << " tag " << std::hex << c.tag << " needle " << c.needle.toStdString();
}

TEST(Matcher, EmptyNeedleNeverMatches)
{
    const auto item = file("A/Report.pdf", Dict{{keys::Notes, ""}, {keys::Tags, Array{""}}});
    FakeContext ctx;
    ctx.texts.insert("A/Report.pdf", "");
    for (int tag : {Name | Contains, Name | Is, Path | BeginsWith, Notes | Is, Contents | Contains, Tags | Contains}) {
        EXPECT_FALSE(test(*item, text(tag, ""), ctx)) << std::hex << tag;
        FindCondition missing;
        missing.tag = tag;
        EXPECT_FALSE(test(*item, missing, ctx)) << std::hex << tag;
    }
    EXPECT_FALSE(test(*item, custom("Amount", 0, ""), ctx));
}

TEST(Matcher, ComposedAndDecomposedTextMeet)
{
    // A name stored decomposed (as some systems write it) and a needle typed composed, and
    // the other way round, in names, notes, tags and attribute values.
    const auto decomposed = file(QString("Caf%1.pdf").arg(nfdE),
                                 Dict{{keys::Notes, QString("caf%1").arg(nfdE)},
                                      {keys::Tags, Array{QString("r%1sum%1").arg(nfdE)}},
                                      {keys::CustomAttributes, Array{Dict{{"Attribute", QString("Cat%1gorie").arg(nfdE)},
                                                                          {"Value", QString("caf%1").arg(nfdE)}}}}});
    const auto composed = file(QString("Caf%1.pdf").arg(nfcE));
    FakeContext ctx;
    EXPECT_TRUE(test(*decomposed, text(Name | Is, QString("Caf%1").arg(nfcE)), ctx));
    EXPECT_TRUE(test(*composed, text(Name | Is, QString("Caf%1").arg(nfdE)), ctx));
    EXPECT_TRUE(test(*decomposed, text(Name | EndsWith, nfcE), ctx));
    EXPECT_TRUE(test(*decomposed, text(Notes | Is, QString("caf%1").arg(nfcE)), ctx));
    EXPECT_TRUE(test(*decomposed, text(Tags, QString("r%1s").arg(nfcE)), ctx));
    EXPECT_TRUE(test(*decomposed, custom(QString("Cat%1gorie").arg(nfcE), 0, nfcE), ctx));
    // The bare letter does not meet the accented one.
    EXPECT_FALSE(test(*composed, text(Name | Is, "Cafe"), ctx));
}

TEST(Matcher, AllAndAnyShortCircuit)
{
    const auto item = file("A/Bank.pdf");
    FakeContext ctx;
    ctx.texts.insert("A/Bank.pdf", "words");
    const FindCondition yes = text(Name | Contains, "Bank");
    const FindCondition no = text(Name | Contains, "Tax");
    const FindCondition contents = text(Contents | Contains, "words");
    const struct {
        std::vector<FindCondition> conditions;
        bool all;
        bool expected;
        int fetches; // the contents condition is read only when the answer depends on it
    } cases[] = {
        {{}, true, false, 0},
        {{}, false, false, 0},
        {{no, yes}, false, true, 0},
        {{yes, no}, true, false, 0},
        {{yes, yes}, true, true, 0},
        {{no, no}, false, false, 0},
        {{no, contents}, true, false, 0},
        {{yes, contents}, false, true, 0},
        {{yes, contents}, true, true, 1},
        {{no, contents}, false, true, 1},
    };
    for (const auto& c : cases) {
        ctx.textFetches = 0;
        EXPECT_EQ(matches(*item, criteria(c.conditions, c.all), ctx), c.expected)
            << c.conditions.size() << " conditions, all " << c.all;
        EXPECT_EQ(ctx.textFetches, c.fetches);
    }
}

TEST(Matcher, ContentsAreNotFetchedWhenTheCacheRulesThemOut)
{
    const auto item = file("A/Bank.pdf");
    FakeContext ctx;
    ctx.texts.insert("A/Bank.pdf", "statement");
    ctx.refuse << "statement";
    EXPECT_FALSE(test(*item, text(Contents | Contains, "statement"), ctx));
    EXPECT_EQ(ctx.textFetches, 0);
}

TEST(Matcher, LeadingNumbers)
{
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"12abc", 12},  {"abc", 0},       {"", 0},          {"  3.5 kg", 3.5}, {"-4", -4},      {"+7", 7},
        {".5", 0.5},    {"5.", 5},        {".", 0},         {"-", 0},          {"1e3", 1000},   {"1e", 1},
        {"2E-2x", 0.02}, {"1,5", 1},      {"16777217", 16777217.0},            {"0.1", 0.1},    {"1e999", HUGE_VAL},
        {"1e-999", 0},  {"0x10", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(leadingNumber(QString::fromUtf8(c.text)), c.value) << c.text;
}

TEST(Matcher, NumbersDoNotFollowTheNumericLocale)
{
    // A locale with a decimal comma must not change how "3.5" reads. Systems without a
    // German locale get one built for this test from the locale sources.
    const char* german = nullptr;
    const auto tryGerman = [&] {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE"})
            if (std::setlocale(LC_NUMERIC, name)) {
                german = name;
                return;
            }
    };
    tryGerman();
    QTemporaryDir built;
    if (!german && QFileInfo::exists("/usr/share/i18n/locales/de_DE")) {
        QProcess::execute(QStringLiteral("localedef"),
                          {"-i", "de_DE", "-f", "UTF-8", built.filePath("de_DE.UTF-8")});
        qputenv("LOCPATH", QFile::encodeName(built.path()));
        tryGerman();
    }
    if (!german) {
        qunsetenv("LOCPATH");
        GTEST_SKIP() << "no German locale on this system";
    }
    ASSERT_EQ(std::localeconv()->decimal_point[0], ',') << "the locale is in force";
    ASSERT_EQ(std::strtod("3,5", nullptr), 3.5);
    EXPECT_EQ(leadingNumber(u"3.5"), 3.5);
    EXPECT_EQ(leadingNumber(u"3,5"), 3.0);
    EXPECT_EQ(leadingNumber(u"16777217"), 16777217.0);
    std::setlocale(LC_NUMERIC, "C");
    qunsetenv("LOCPATH");
}

TEST(Matcher, CustomAttributeMatchTypes)
{
    const auto item = file("A/Invoice.pdf",
                           Dict{{keys::CustomAttributes, Array{Dict{{"Attribute", "Amount"}, {"Value", "12abc"}},
                                                               Dict{{"Attribute", "Amount"}, {"Value", "300"}},
                                                               Dict{{"Attribute", "Client"}, {"Value", "Smith & Co"}},
                                                               Dict{{"Attribute", "Code"}, {"Value", "abc"}},
                                                               Dict{{"Attribute", "Precise"}, {"Value", "16777217"}},
                                                               Dict{{"Value", "orphan"}}}}});
    const auto bare = file("A/Bare.pdf");
    FakeContext ctx;
    const struct {
        QString attribute;
        int type;
        QString match;
        bool expected;
    } cases[] = {
        {"Client", 0, "Smith", true},
        {"Client", 0, "smith", false},
        {"Client", 1, "smith", true},
        {"client", 1, "smith", false}, // the attribute's name is matched exactly
        {"Amount", 2, "12", true},     // "12abc" reads as 12
        {"Amount", 2, "300", true},    // either entry of the same name may meet it
        {"Amount", 3, "299", true},
        {"Amount", 3, "300", false},
        {"Amount", 4, "13", true},
        {"Amount", 4, "12", false},
        {"Code", 2, "0", true}, // "abc" reads as 0
        {"Code", 2, "x", true},
        {"Precise", 2, "16777216", false}, // the same number only in single precision
        {"Amount", 5, "12", false},
        {"Amount", -1, "12", false},
        {"Missing", 0, "a", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(test(*item, custom(c.attribute, c.type, c.match), ctx), c.expected)
            << c.attribute.toStdString() << " " << c.type << " " << c.match.toStdString();
    EXPECT_FALSE(test(*bare, custom("Amount", 2, "0"), ctx));
}

TEST(Matcher, ItemDateRelations)
{
    // March 1 to March 31, 2024; one item with only a start, one with only an end.
    const auto both = file("A/both.pdf", Dict{{keys::StartDate, day(2024, 3, 1)}, {keys::EndDate, day(2024, 3, 31)}});
    const auto startOnly = file("A/start.pdf", Dict{{keys::StartDate, day(2024, 3, 10)}});
    const auto endOnly = file("A/end.pdf", Dict{{keys::EndDate, day(2024, 3, 31)}}); // starts March 1
    const auto none = file("A/none.pdf");
    FakeContext ctx;
    const struct {
        const IndexItem* item;
        FindCondition condition;
        bool expected;
    } cases[] = {
        {both.get(), onDate(ItemDates | Contains, "3/15/2024"), true},
        {both.get(), onDate(ItemDates | Contains, "3/01/2024"), true},
        {both.get(), onDate(ItemDates | Contains, "4/01/2024"), false},
        {both.get(), onDate(LegacyDateInRange, "3/31/2024"), true},
        {both.get(), onDate(ItemDates | OnOrBefore, "3/31/2024"), true}, // the end on or before
        {both.get(), onDate(ItemDates | OnOrBefore, "3/30/2024"), false},
        {both.get(), onDate(ItemDates | OnOrAfter, "3/01/2024"), true}, // the start on or after
        {both.get(), onDate(ItemDates | OnOrAfter, "3/02/2024"), false},
        {both.get(), between(ItemDates, "3/01/2024", "3/31/2024"), true},
        {both.get(), between(ItemDates, "3/02/2024", "3/31/2024"), false},
        {both.get(), between(0, "1/01/2024", "12/31/2024"), false}, // a range without a subject tests nothing
        {startOnly.get(), onDate(ItemDates | Contains, "3/10/2024"), true},
        {startOnly.get(), onDate(ItemDates | Contains, "3/11/2024"), false},
        {endOnly.get(), onDate(ItemDates | Contains, "3/01/2024"), true},
        {endOnly.get(), onDate(ItemDates | Contains, "2/29/2024"), false},
        {endOnly.get(), onDate(ItemDates | OnOrAfter, "3/01/2024"), true},
        {none.get(), onDate(ItemDates | Contains, "3/10/2024"), false},
        {none.get(), between(ItemDates, "1/01/2000", "1/01/2100"), false},
        // A single date without a subject bit matches nothing.
        {both.get(), onDate(Contains, "3/15/2024"), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(test(*c.item, c.condition, ctx), c.expected)
            << c.item->path().toStdString() << " tag " << std::hex << c.condition.tag << " "
            << c.condition.date.value_or(c.condition.fromDate.value_or("")).toStdString();
}

TEST(Matcher, StartDateOfAnEndOnlyItemFollowsItsFolder)
{
    // A folder with a yearly reminder gives a file that has only an ending date a year's range.
    IndexTree tree;
    IndexItem* bills = tree.insert(nullptr, folder("Bills", Dict{{keys::Reminder, Dict{{"when", 5}}}}));
    const IndexItem* f = tree.insert(bills, file("Bills/insurance.pdf", Dict{{keys::EndDate, day(2024, 12, 31)}}));
    FakeContext ctx;
    EXPECT_TRUE(test(*f, onDate(ItemDates | Contains, "1/01/2024"), ctx));
    EXPECT_FALSE(test(*f, onDate(ItemDates | Contains, "12/31/2023"), ctx));
}

TEST(Matcher, MissingOrUnreadableConditionDatesMatchNothing)
{
    const auto item = file("A/x.pdf", Dict{{keys::StartDate, day(2024, 3, 1)}, {keys::EndDate, day(2024, 3, 31)}});
    FakeContext ctx;
    ctx.modified.insert("A/x.pdf", QDate(2024, 3, 10));
    FindCondition noDate;
    noDate.tag = ItemDates | OnOrBefore;
    FindCondition noTo = between(ItemDates, "1/01/2024", "");
    noTo.toDate.reset();
    const FindCondition cases[] = {
        noDate,
        noTo,
        onDate(ItemDates | OnOrBefore, "soon"),
        onDate(ItemDates | OnOrBefore, "2/30/2024"),
        onDate(FileDate | OnOrAfter | OnOrBefore | Is, ""),
        between(FileDate, "garbage", "12/31/2030"),
        between(ItemDates, "1/01/2024", "3/31/2024 and more"),
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(test(*item, c, ctx)) << std::hex << c.tag;
        // Not even in any-mode behind a failing condition, nor in all-mode before a met one.
        EXPECT_FALSE(matches(*item, criteria({text(Name, "zzz"), c}, false), ctx));
        EXPECT_FALSE(matches(*item, criteria({c, text(Name, "x")}, true), ctx));
    }
}

TEST(Matcher, FileModificationDay)
{
    const auto item = file("A/x.pdf");
    const auto unknown = file("A/gone.pdf");
    FakeContext ctx;
    ctx.modified.insert("A/x.pdf", QDate(2024, 6, 15)); // modified today at 15:00: the day counts
    const struct {
        const IndexItem* item;
        FindCondition condition;
        bool expected;
    } cases[] = {
        {item.get(), onDate(FileDate | Is, "6/15/2024"), true},
        {item.get(), onDate(FileDate | Is, "6/14/2024"), false},
        {item.get(), onDate(FileDate | OnOrAfter, "6/15/2024"), true},
        {item.get(), onDate(FileDate | OnOrAfter, "6/16/2024"), false},
        {item.get(), onDate(FileDate | OnOrBefore, "6/15/2024"), true},
        {item.get(), onDate(FileDate | OnOrBefore, "6/14/2024"), false},
        {item.get(), onDate(FileDate | Contains, "6/15/2024"), false},
        {item.get(), between(FileDate, "6/01/2024", "6/15/2024"), true},
        {item.get(), between(FileDate, "6/16/2024", "6/30/2024"), false},
        {unknown.get(), onDate(FileDate | Is | OnOrAfter | OnOrBefore, "6/15/2024"), false},
        {unknown.get(), between(FileDate, "1/01/2000", "1/01/2100"), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(test(*c.item, c.condition, ctx), c.expected)
            << c.item->path().toStdString() << " tag " << std::hex << c.condition.tag;
}

TEST(Matcher, FoldersAreJudgedOnTheirOtherConditionsUnderAFileDate)
{
    const auto taxes = folder("Taxes");
    FakeContext ctx;
    const FindCondition fileDate = onDate(FileDate | OnOrAfter, "1/01/2000");
    const FindCondition named = text(Name | Contains, "Tax");
    const FindCondition notNamed = text(Name | Contains, "Bank");
    const struct {
        std::vector<FindCondition> conditions;
        bool all;
        bool expected;
    } cases[] = {
        {{fileDate}, true, false},
        {{fileDate}, false, false},
        {{named, fileDate}, true, true},
        {{named, fileDate}, false, true},
        {{fileDate, named}, true, true},
        {{notNamed, fileDate}, false, false},
        {{fileDate, notNamed}, true, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(matches(*taxes, criteria(c.conditions, c.all), ctx), c.expected)
            << c.conditions.size() << " conditions, all " << c.all;
}

TEST(Matcher, ConditionDatesFollowTheDayFirstSetting)
{
    // Stored month first and read day first: "3/04/2024" is the 3rd of April; the answer
    // follows the misread date.
    const auto item = file("A/x.pdf", Dict{{keys::StartDate, day(2024, 4, 3)}, {keys::EndDate, day(2024, 4, 3)}});
    FakeContext ctx;
    const FindCondition c = onDate(ItemDates | Contains, "3/04/2024");
    EXPECT_FALSE(test(*item, c, ctx));
    ctx.european = true;
    EXPECT_TRUE(test(*item, c, ctx));
    ctx.european = false;
    EXPECT_FALSE(test(*item, c, ctx));
}

TEST(Matcher, DatesAcrossADaylightSavingChange)
{
    // Days compare as days: an item stored at local midnight of the day the clocks change,
    // and the days around it, in a zone that has the change.
    const QByteArray oldTz = qgetenv("TZ");
    qputenv("TZ", "Europe/Berlin");
    tzset();
    if (QDateTime(QDate(2024, 3, 30), QTime(12, 0)).offsetFromUtc() ==
        QDateTime(QDate(2024, 4, 1), QTime(12, 0)).offsetFromUtc()) {
        oldTz.isNull() ? qunsetenv("TZ") : qputenv("TZ", oldTz);
        tzset();
        GTEST_SKIP() << "no daylight saving time zone here";
    }
    const auto spring = file("A/spring.pdf", Dict{{keys::StartDate, day(2024, 3, 31)}, {keys::EndDate, day(2024, 3, 31)}});
    const auto autumn = file("A/autumn.pdf", Dict{{keys::StartDate, day(2024, 10, 26)}, {keys::EndDate, day(2024, 10, 27)}});
    FakeContext ctx;
    EXPECT_TRUE(test(*spring, onDate(ItemDates | Contains, "3/31/2024"), ctx));
    EXPECT_FALSE(test(*spring, onDate(ItemDates | Contains, "3/30/2024"), ctx));
    EXPECT_FALSE(test(*spring, onDate(ItemDates | Contains, "4/01/2024"), ctx));
    EXPECT_TRUE(test(*spring, between(ItemDates, "3/31/2024", "3/31/2024"), ctx));
    EXPECT_TRUE(test(*autumn, onDate(ItemDates | OnOrBefore, "10/27/2024"), ctx));
    EXPECT_FALSE(test(*autumn, onDate(ItemDates | OnOrBefore, "10/26/2024"), ctx));
    EXPECT_TRUE(test(*autumn, between(ItemDates, "10/26/2024", "10/27/2024"), ctx));
    oldTz.isNull() ? qunsetenv("TZ") : qputenv("TZ", oldTz);
    tzset();
}

TEST(SelectAll, WalksTheTreeInBrowserOrder)
{
    IndexTree tree;
    IndexItem* bank = tree.insert(nullptr, folder("Bank"));
    tree.insert(bank, file("Bank/Bank statement.pdf"));
    IndexItem* year = tree.insert(bank, folder("Bank/2024", Dict{{keys::Date, true}}));
    IndexItem* month = tree.insert(year, folder("Bank/2024/March", Dict{{keys::Date, true}}));
    tree.insert(month, file("Bank/2024/March/Bank fees.pdf")); // a lone file: its date folder is selected
    tree.insert(nullptr, file("Other.pdf"));
    IndexItem* smart = tree.insert(nullptr, folder("Banking", Dict{{keys::SmartFolder, Dict{}}}));
    tree.insert(smart, std::make_unique<IndexItem>(Dict{{keys::Path, "Banking/Bank x"}, {keys::SmartFile, "Bank/x"}}, false));
    FakeContext ctx;
    const FindCriteria c = criteria({text(Name | Contains | IgnoreCase, "bank")});

    SelectAllScan scan(tree, c, ctx);
    EXPECT_EQ(scan.total(), 7); // the smart folder's children are not walked
    int steps = 0;
    while (scan.step(2))
        ++steps;
    EXPECT_EQ(steps, 3);
    EXPECT_TRUE(scan.finished());
    EXPECT_EQ(scan.found(), (QStringList{"Bank", "Bank/Bank statement.pdf", "Bank/2024", "Banking"}));

    // An item removed between steps is passed over.
    SelectAllScan again(tree, c, ctx);
    again.step(1);
    tree.take(tree.itemForPath("Bank/Bank statement.pdf"));
    while (again.step(1)) {
    }
    EXPECT_EQ(again.found(), (QStringList{"Bank", "Bank/2024", "Banking"}));
}

namespace {

// A small tree: A, A/x1, A/2024 (a date folder), A/2024/March (one file), its file, B/x2.
struct WalkTree {
    IndexTree tree;
    WalkTree()
    {
        IndexItem* a = tree.insert(nullptr, folder("A"));
        tree.insert(a, file("A/x1.pdf"));
        IndexItem* year = tree.insert(a, folder("A/2024", Dict{{keys::Date, true}}));
        IndexItem* month = tree.insert(year, folder("A/2024/March", Dict{{keys::Date, true}}));
        tree.insert(month, file("A/2024/March/x3.pdf"));
        IndexItem* b = tree.insert(nullptr, folder("B"));
        tree.insert(b, file("B/x2.pdf"));
    }
};

std::optional<QString> walk(IndexTree& tree, const QString& needle, const QString& selected, bool backward,
                            qsizetype* tested = nullptr)
{
    FakeContext ctx;
    FindWalk w(tree, criteria({text(Name | Contains, needle)}), ctx, selected, backward);
    while (w.step(1)) {
    }
    if (tested)
        *tested = w.tested();
    return w.found() ? std::optional<QString>(w.found()->path()) : std::nullopt;
}

} // namespace

TEST(FindWalk, StartsBesideTheSelectionAndWraps)
{
    WalkTree t;
    const struct {
        QString needle, selected;
        bool backward;
        std::optional<QString> found;
    } cases[] = {
        {"x", "", false, "A/x1.pdf"},                  // nothing selected: the first item first
        {"x", "", true, "B/x2.pdf"},                   // backward: the last item first
        {"x", "A/2024/March/x3.pdf", true, "A/x1.pdf"},
        {"x", "A", true, "B/x2.pdf"},                  // the first selected, backward: the last next
        {"x", "A/x1.pdf", false, "A/2024/March/x3.pdf"},
        {"x", "A/2024/March", false, "B/x2.pdf"},      // a date folder standing for its lone file
        {"x", "A/2024", false, "B/x2.pdf"},            // and a chain of them
        {"x", "B/x2.pdf", false, "A/x1.pdf"},          // past the end: from the top
        {"x1", "A/x1.pdf", false, "A/x1.pdf"},         // the selected item itself, last
        {"A", "B", false, "A"},
        {"zzz", "", false, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(walk(t.tree, c.needle, c.selected, c.backward), c.found)
            << c.needle.toStdString() << " from " << c.selected.toStdString() << (c.backward ? " backward" : "");
    // Without a match every item is tested once, in either direction, from anywhere.
    for (const bool backward : {false, true})
        for (const QString& from : {"", "A", "A/2024/March", "B/x2.pdf"}) {
            qsizetype tested = 0;
            EXPECT_FALSE(walk(t.tree, "zzz", from, backward, &tested));
            EXPECT_EQ(tested, 7) << from.toStdString();
        }
}
