// The filing rules: which folder a file goes to and with which dates, on a real database
// with a fixed "today".

#include "filing/filingrules.h"
#include "store/indexitem.h"
#include "store/keys.h"
#include "store/mydocument.h"
#include "support/fakeui.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace folivo;
using namespace folivo::test;

namespace {

const QDate Today(2024, 5, 15);

class Filing : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(doc_.createDatabase(scratch_.file("Filing.fvdb")).ok());
    }
    IndexItem* folder(const QString& path)
    {
        if (IndexItem* existing = doc_.tree().itemForPath(path))
            return existing;
        const qsizetype slash = path.lastIndexOf('/');
        IndexItem* parent = slash < 0 ? nullptr : folder(path.left(slash));
        const auto r = doc_.recordNewCategory(path, parent, -1);
        EXPECT_EQ(r.status, OperationResult::Status::Done) << path.toStdString() << r.message.toStdString();
        return doc_.tree().itemForPath(path);
    }
    void set(const QString& path, const QString& key, plist::Value value)
    {
        folder(path)->setValue(key, std::move(value));
    }
    FilingDecision file(const QString& name, const FilingPreferences& prefs, std::optional<QString> text = {},
                        const QString& target = {}, const QString& reminder = {})
    {
        FilingInput in;
        in.fileName = name;
        in.target = target.isEmpty() ? doc_.tree().itemForPath("Unfiled") : folder(target);
        in.selectedReminder = reminder.isEmpty() ? nullptr : folder(reminder);
        in.text = [text, this] {
            ++textReads_;
            return text;
        };
        in.today = Today;
        return fileOne(doc_.tree(), in, prefs);
    }

    Scratch scratch_;
    FakeUi ui_;
    MyDocument doc_{ui_};
    int textReads_ = 0;
};

QString iso(const std::optional<QDate>& d)
{
    return d ? d->toString(Qt::ISODate) : QStringLiteral("-");
}

TEST_F(Filing, CasesOfNamesFoldersRulesAndText)
{
    folder("Bank/Visa");
    folder("Old VISA Cards");
    folder("Visas");
    folder("Utilities/Water");
    set("Utilities/Water", keys::Reminder, plist::Dict{{"when", std::int64_t(4)}});
    folder("Statements");
    set("Statements", "startingDateMatch", QStringLiteral("Period from"));
    set("Statements", "endingDateMatch", QStringLiteral("through"));
    folder("Insurance");
    set("Insurance", "categoryMatch", QStringLiteral("ACME Insurance"));
    folder("Taxes");
    set("Taxes", "categoryMatch", QStringLiteral("Tax Office"));

    FilingPreferences exact;          // match type 0, default priorities
    FilingPreferences wordNoCase;
    wordNoCase.matchType = 3;
    wordNoCase.ignoreCase = true;
    FilingPreferences noLeadingDate;
    noLeadingDate.ignoreDateAtBeginning = true;
    FilingPreferences european;
    european.europeanDates = true;
    FilingPreferences textFirst;
    textFirst.priorities = QStringList{"Text Match", "Filename Match", "Browser Selection", "Selected Reminder"};

    const QString statement = "ACME Bank\nPeriod from 03/01/2024 through 03/31/2024\nTax Office";
    struct Case {
        const char* what;
        QString name;
        const FilingPreferences* prefs;
        std::optional<QString> text;
        QString target;
        QString reminder;
        QString folder;
        QString start, end;
    };
    const QList<Case> cases = {
        {"quarter without year, not yet ended this year", "Visa+q2.pdf", &exact, {}, {}, {}, "Visa", "2023-04-01", "2023-06-30"},
        {"quarter with year after", "Visa+2024q2.pdf", &exact, {}, {}, {}, "Visa", "2024-04-01", "2024-06-30"},
        {"quarter with two-digit year", "Visa+2q24.pdf", &exact, {}, {}, {}, "Visa", "2024-04-01", "2024-06-30"},
        {"quarter that has ended this year", "Visa+Q1.pdf", &exact, {}, {}, {}, "Visa", "2024-01-01", "2024-03-31"},
        {"two-digit quarter years keep the 74 pivot", "Visa+4q80.pdf", &exact, {}, {}, {}, "Visa", "1980-10-01", "1980-12-31"},
        {"pair of dates; phrases not consulted", "Statements+1-5-24+1-31-24.pdf", &exact, statement, {}, {},
         "Statements", "2024-01-05", "2024-01-31"},
        {"pair of dates with dots", "Visa+1.5.24+1.31.24", &exact, {}, {}, {}, "Visa", "2024-01-05", "2024-01-31"},
        {"start date and quarter: the quarter wins", "Visa+1-5-24+q1.pdf", &exact, {}, {}, {}, "Visa", "2024-01-01", "2024-03-31"},
        {"start date alone", "Visa+1-5-24+later.pdf", &exact, {}, {}, {}, "Visa", "2024-01-05", "2024-01-05"},
        {"bad start: no dates from the name", "Visa+soon+1-31-24.pdf", &exact, {}, {}, {}, "Visa", "-", "-"},
        {"four parts give no dates", "Visa+a+b+1-31-24.pdf", &exact, {}, {}, {}, "Visa", "-", "-"},
        {"an ending date: a month back plus a day", "Visa+3-31-24.pdf", &exact, {}, {}, {}, "Visa", "2024-03-01", "2024-03-31"},
        {"a name that is only a date", "3-31-2024.pdf", &exact, {}, {}, {}, "Unfiled", "2024-03-01", "2024-03-31"},
        {"… unless dates at the start are ignored", "3-31-2024.pdf", &noLeadingDate, {}, {}, {}, "Unfiled", "-", "-"},
        {"day-first names", "Visa+31.3.24.pdf", &european, {}, {}, {}, "Visa", "2024-03-01", "2024-03-31"},
        {"whole word, any case", "visa+q2.pdf", &wordNoCase, {}, {}, {}, "Old VISA Cards", "2023-04-01", "2023-06-30"},
        {"exact name only", "Visas.pdf", &exact, {}, {}, {}, "Visas", "-", "-"},
        {"the quarterly reminder reaches three months back", "Water+6-15-2024.pdf", &exact, {}, {}, {}, "Utilities/Water",
         "2024-03-16", "2024-06-15"},
        {"phrases give both dates", "Statements.pdf", &exact, statement, {}, {}, "Statements", "2024-03-01", "2024-03-31"},
        {"phrases replace a lone date of the name", "3-31-2023.pdf", &exact, statement, "Statements", {}, "Statements",
         "2024-03-01", "2024-03-31"},
        {"text match: the earliest string wins", "scan.pdf", &exact, "Tax Office letter about ACME Insurance", {}, {},
         "Taxes", "-", "-"},
        {"browser selection before filename match", "Visa+q2.pdf", &exact, {}, "Taxes", {}, "Taxes", "2023-04-01", "2023-06-30"},
        {"text match first by preference", "Visa.pdf", &textFirst, "ACME Insurance renewal", "Taxes", {}, "Insurance", "-", "-"},
        {"selected reminder first", "Visa.pdf", &exact, {}, "Taxes", "Utilities/Water", "Utilities/Water", "-", "-"},
        {"no rule: Unfiled", "scan.pdf", &exact, "nothing useful", {}, {}, "Unfiled", "-", "-"},
    };
    for (const Case& c : cases) {
        const FilingDecision d = file(c.name, *c.prefs, c.text, c.target, c.reminder);
        const QString got = QStringLiteral("%1 %2 %3").arg(d.folder ? d.folder->path() : "-", iso(d.start), iso(d.end));
        const QString want = QStringLiteral("%1 %2 %3")
                                 .arg(doc_.tree().itemForPath(c.folder) ? doc_.tree().itemForPath(c.folder)->path()
                                                                        : matchCategory(c.folder, doc_.tree().categoriesArray(), 0, false)->path(),
                                      c.start, c.end);
        EXPECT_EQ(got.toStdString(), want.toStdString()) << c.what;
    }
}

// The folder's day-first switch is a number in the record, whichever kind of number wrote it.
TEST_F(Filing, TheFoldersDayFirstSwitchIsReadWhateverNumberHoldsIt)
{
    folder("Relev\u00e9s");
    set("Relev\u00e9s", "endingDateMatch", QStringLiteral("au"));
    const QString text = QStringLiteral("Relev\u00e9 du 01/02/2024 au 29/02/2024");
    struct Case {
        const char* stored;
        std::optional<plist::Value> value; // none: no switch at all
        QString start, end;
    };
    const QList<Case> cases = {
        {"true", plist::Value(true), "2024-01-30", "2024-02-29"},
        {"the integer 1", plist::Value(std::int64_t(1)), "2024-01-30", "2024-02-29"},
        {"the real 1.0", plist::Value(1.0), "2024-01-30", "2024-02-29"},
        {"the unsigned 1", plist::Value(plist::UnsignedInt{1}), "2024-01-30", "2024-02-29"},
        // Off: read month first, and no date lies in "29/02/2024" read that way.
        {"false", plist::Value(false), "-", "-"},
        {"the integer 0", plist::Value(std::int64_t(0)), "-", "-"},
        {"absent", std::nullopt, "-", "-"},
    };
    for (const Case& c : cases) {
        if (c.value)
            set("Relev\u00e9s", "EuropeanDates", *c.value);
        else
            folder("Relev\u00e9s")->removeValue("EuropeanDates");
        const FilingDecision d = file("scan.pdf", FilingPreferences{}, text, "Relev\u00e9s");
        EXPECT_EQ(QString("%1 %2").arg(iso(d.start), iso(d.end)).toStdString(),
                  QString("%1 %2").arg(c.start, c.end).toStdString())
            << "EuropeanDates stored as " << c.stored;
    }
}

TEST_F(Filing, MatchingSearchesEachLevelFirstAndNeverDateFolders)
{
    folder("A/Visa/Deep");
    folder("B/Visa");
    folder("C");
    ASSERT_NE(doc_.findOrCreateDateCategoryFor(folder("C"), QDate(2024, 3, 1)), nullptr);
    folder("Visa Top");
    // Shallow before deep, and an earlier sibling's branch before a later one's.
    EXPECT_EQ(matchCategory(u"Visa", doc_.tree().categoriesArray(), 0, false)->path(), "A/Visa");
    EXPECT_EQ(matchCategory(u"Visa", doc_.tree().categoriesArray(), 1, false)->path(), "Visa Top");
    EXPECT_EQ(matchCategory(u"Deep", doc_.tree().categoriesArray(), 0, false)->path(), "A/Visa/Deep");
    // A date folder is no match, nor is anything inside it.
    EXPECT_EQ(matchCategory(u"2024", doc_.tree().categoriesArray(), 0, false), nullptr);
    EXPECT_EQ(matchCategory(u"March", doc_.tree().categoriesArray(), 2, false), nullptr);
    // The first occurrence decides a whole-word match.
    folder("Visacard Visa");
    const IndexItem* both = doc_.tree().itemForPath("Visacard Visa");
    EXPECT_FALSE(folderMatches(*both, u"Visa", -1, -1, true, false));
    EXPECT_TRUE(folderMatches(*both, u"Visa", -1, -1, false, false));
    EXPECT_FALSE(folderMatches(*doc_.tree().itemForPath("Visa Top"), u"visa", 0, -1, false, false));
    EXPECT_TRUE(folderMatches(*doc_.tree().itemForPath("Visa Top"), u"visa", 0, -1, false, true));
}

TEST_F(Filing, TextMatchPrefersTheEarliestStringThenTheFirstVisited)
{
    folder("P/Child");
    folder("Q");
    set("P", "categoryMatch", QStringLiteral("same"));
    set("P/Child", "categoryMatch", QStringLiteral("same"));
    set("Q", "categoryMatch", QStringLiteral("same"));
    qsizetype at = -1;
    // Later siblings are visited first; a folder before its children.
    EXPECT_EQ(findCategoryMatchIn(u"the same text", doc_.tree().categoriesArray(), &at)->path(), "Q");
    EXPECT_EQ(at, 4);
    set("P/Child", "categoryMatch", QStringLiteral("the"));
    EXPECT_EQ(findCategoryMatchIn(u"the same text", doc_.tree().categoriesArray())->path(), "P/Child");
    // Letter case matters in text matches.
    EXPECT_EQ(findCategoryMatchIn(u"THE SAME", doc_.tree().categoriesArray()), nullptr);
}

TEST_F(Filing, TheFileTextIsReadOnceAndOnlyWhenARuleNeedsIt)
{
    folder("Visa");
    FilingPreferences filenameFirst;
    filenameFirst.priorities = QStringList{"Filename Match", "Text Match", "Browser Selection", "Selected Reminder"};
    file("Visa+q2.pdf", filenameFirst, QStringLiteral("text"));
    EXPECT_EQ(textReads_, 0);
    set("Visa", "startingDateMatch", QStringLiteral("from"));
    set("Visa", "endingDateMatch", QStringLiteral("to"));
    file("scan.pdf", FilingPreferences{}, QStringLiteral("from 1/2/2024 to 1/3/2024"), "Visa");
    EXPECT_EQ(textReads_, 1);
}

TEST(DateMatch, FoundWithinTwoHundredPositionsAndItsTrueEnd)
{
    const QString near = "Date:  3/31/2024 rest";
    const auto found = dateMatchFoundIn(near, u"Date:", false, Today);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->date, QDate(2024, 3, 31));
    // The end is just past the date, the white space before it included, so cutting there
    // leaves no tail of it.
    EXPECT_EQ(near.mid(found->end), " rest");

    EXPECT_EQ(dateMatchFoundIn(QString("Date:") + QString(199, 'x') + "3/31/2024", u"Date:", false, Today)->date,
              QDate(2024, 3, 31));
    EXPECT_FALSE(dateMatchFoundIn(QString("Date:") + QString(200, 'x') + "3/31/2024", u"Date:", false, Today));
    EXPECT_FALSE(dateMatchFoundIn(u"date: 3/31/2024", u"Date:", false, Today)); // the phrase's case matters
    EXPECT_EQ(dateMatchFoundIn(u"Datum: 31.3.2024", u"Datum:", true, Today)->date, QDate(2024, 3, 31));
    // Characters outside ASCII before the date do not shift what is found.
    const QString accented = "Échéance : 5/6/2024 — payé";
    const auto a = dateMatchFoundIn(accented, u"Échéance :", false, Today);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->date, QDate(2024, 5, 6));
    EXPECT_EQ(accented.mid(a->end), " — payé");
}

// A date after a phrase begins where a date can begin: not in the middle of a number, where
// the tail of a day or a reference number would read as a date of its own.
TEST(DateMatch, NeverBeginsInsideANumber)
{
    struct Case {
        const char16_t* text;
        const char16_t* phrase;
        bool european;
        QDate want; // null: no date
    };
    const Case cases[] = {
        // "9/02/2024" inside the day 29 is not 2 September.
        {u"P\u00e9riode du 01/02/2024 au 29/02/2024", u"au", false, {}},
        {u"P\u00e9riode du 01/02/2024 au 29/02/2024", u"au", true, QDate(2024, 2, 29)},
        // Nor is the tail of a reference number a date, either way round.
        {u"Ref: 115/06/2024", u"Ref:", false, {}},
        {u"Ref: 115/06/2024", u"Ref:", true, {}},
        // The phrase's own digits count: "Account 12" found inside "Account 1234".
        {u"Account 1234/5/2024", u"Account 12", false, {}},
        // A number and a space before a date leave it alone; so does a word glued after it.
        {u"Total: 115 6/30/2024", u"Total:", false, QDate(2024, 6, 30)},
        {u"Date: 12/31/2024x", u"Date:", false, QDate(2024, 12, 31)},
        {u"Date:12/31/2024", u"Date:", false, QDate(2024, 12, 31)},
        {u"due (3/31/2024)", u"due", false, QDate(2024, 3, 31)},
    };
    for (const Case& c : cases) {
        const auto found = dateMatchFoundIn(QStringView(c.text), QStringView(c.phrase), c.european, Today);
        const QString got = found ? found->date.toString(Qt::ISODate) : QStringLiteral("none");
        const QString want = c.want.isValid() ? c.want.toString(Qt::ISODate) : QStringLiteral("none");
        EXPECT_EQ(got.toStdString(), want.toStdString())
            << QString::fromUtf16(c.text).toStdString() << " european " << c.european;
    }
}

TEST(Quarters, FormsYearsAndRefusals)
{
    struct Case {
        const char* text;
        const char* start; // empty: refused
    };
    const Case cases[] = {
        {"q1", "2024-01-01"}, {"Q2", "2023-04-01"}, {"2q", "2023-04-01"}, {"2Q", "2023-04-01"},
        {"2024q3", "2024-07-01"}, {"3q2024", "2024-07-01"}, {"24q4", "2024-10-01"}, {"4q24", "2024-10-01"},
        {"99q1", "1999-01-01"}, {"73q1", "2073-01-01"},
        {"q5", ""}, {"q0", ""}, {"5q9", ""}, {"q2x", ""}, {"quarter", ""}, {"", ""}, {"2024", ""},
    };
    for (const Case& c : cases) {
        const auto q = parseQuarterYearFromString(QString::fromUtf8(c.text), Today);
        EXPECT_EQ(q ? q->start.toString(Qt::ISODate).toStdString() : std::string(), c.start) << c.text;
    }
    EXPECT_EQ(parseQuarterYearFromString(u"q4", Today)->end, QDate(2023, 12, 31));
}

TEST(DefaultDates, ClampedMonthsByReminder)
{
    EXPECT_EQ(defaultStartDateForEndDate(QDate(2024, 3, 31), nullptr), QDate(2024, 3, 1));
    EXPECT_EQ(defaultStartDateForEndDate(QDate(2024, 3, 30), nullptr), QDate(2024, 3, 1)); // Feb 29 + 1
    IndexItem yearly(plist::Dict{{keys::Path, QStringLiteral("Tax")}, {keys::Reminder, plist::Dict{{"when", std::int64_t(5)}}}}, true);
    EXPECT_EQ(defaultStartDateForEndDate(QDate(2024, 12, 31), &yearly), QDate(2024, 1, 1));
    IndexItem bimonthly(plist::Dict{{keys::Path, QStringLiteral("Gas")}, {keys::Reminder, plist::Dict{{"when", std::int64_t(3)}}}}, true);
    EXPECT_EQ(defaultStartDateForEndDate(QDate(2024, 4, 30), &bimonthly), QDate(2024, 3, 1));
    EXPECT_EQ(defaultEndDateForStartDate(QDate(2024, 4, 30)), QDate(2024, 4, 30));
}

TEST(CheckDates, FieldsWarningsAndQuarters)
{
    struct Case {
        const char* from;
        const char* to; // nullptr: a single field
        bool missingWarns;
        bool european;
        bool ok;
        const char* warning;
        const char* shownFrom;
        const char* shownTo;
    };
    const Case cases[] = {
        {"3/1/2024", "3/31/2024", true, false, true, "", "3/01/2024", "3/31/2024"},
        {"1/3/2024", "31/3/2024", true, true, true, "", "01/3/2024", "31/3/2024"},
        {"3/31/2024", "3/1/2024", true, false, false, "Starting date must be on or before ending date.", "3/31/2024", "3/01/2024"},
        {"2/30/2024", "3/1/2024", true, false, false, "\"2/30/2024\" is an invalid date.", "", ""},
        {"3/1/2024", "soon", true, false, false, "\"soon\" is an invalid date.", "3/01/2024", ""},
        {"", "3/1/2024", true, false, false, "Missing date.", "", "3/01/2024"},
        {"", "3/1/2024", false, false, true, "", "", "3/01/2024"},
        {"2024q1", "", true, false, true, "", "1/01/2024", "3/31/2024"},
        {"3/1/2024", "q1", true, false, true, "", "1/01/2024", "3/31/2024"},
        {"3/1/2024", nullptr, true, false, true, "", "3/01/2024", ""},
    };
    for (const Case& c : cases) {
        const auto to = c.to ? std::optional<QString>(QString::fromUtf8(c.to)) : std::nullopt;
        const DateCheck r = checkDatesFrom(QString::fromUtf8(c.from), to, c.missingWarns, c.european, Today);
        EXPECT_EQ(r.ok, c.ok) << c.from << " / " << (c.to ? c.to : "(none)");
        EXPECT_EQ(r.warning.toStdString(), c.warning) << c.from;
        EXPECT_EQ(r.fromText.value_or(QString()).toStdString(), c.shownFrom) << c.from;
        EXPECT_EQ(r.toText.value_or(QString()).toStdString(), c.shownTo) << c.from;
    }
}

} // namespace

namespace {

// The index answers exactly what the walk answers, ties included, on many random trees and
// texts.
TEST_F(Filing, TheMatchIndexAgreesWithTheWalk)
{
    std::mt19937 rng(7);
    const QStringList words = {"ab", "abc", "bc", "c", "Bank", "bank", "Visa", "isa", "ACME", "CME", "x"};
    QStringList paths;
    for (int i = 0; i < 40; ++i) {
        QString p = QString("F%1").arg(i);
        if (i > 5 && rng() % 2)
            p = paths[rng() % paths.size()] + "/" + p;
        paths << p;
        IndexItem* f = folder(p);
        if (rng() % 3)
            f->setValue("categoryMatch", words[rng() % words.size()]);
    }
    const CategoryMatchIndex index(doc_.tree().categoriesArray());
    for (int t = 0; t < 300; ++t) {
        QString text;
        for (int w = 0; w < 6; ++w)
            text += (rng() % 4 ? QStringLiteral(" ") : QString()) + words[rng() % words.size()];
        qsizetype a = -2, b = -2;
        IndexItem* walk = findCategoryMatchIn(text, doc_.tree().categoriesArray(), &a);
        IndexItem* fast = index.find(text, &b);
        ASSERT_EQ(walk, fast) << text.toStdString();
        ASSERT_EQ(a, b) << text.toStdString();
    }
}

} // namespace
