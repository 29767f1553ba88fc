#include "filing/ktdate.h"
#include "store/months.h"

#include <gtest/gtest.h>

#include <QSet>

#include <climits>
#include <tuple>

using namespace folivo;

namespace {

const QDate kToday(2025, 6, 15);

std::string show(QStringView s)
{
    return s.toString().toStdString();
}

} // namespace

TEST(DateParser, ReadsTheFormsPeopleWrite)
{
    struct Case {
        const char16_t* text;
        bool european;
        bool allowTrailing;
        int count; // 0: no date
        int y = 0, m = 0, d = 0;
    };
    const Case cases[] = {
        // Numeric, month first unless the day-first preference is on.
        {u"3/4/2024", false, false, 8, 2024, 3, 4},
        {u"3/4/2024", true, false, 8, 2024, 4, 3},
        {u"3-4-2024", false, false, 8, 2024, 3, 4},
        {u"3.4.2024", true, false, 8, 2024, 4, 3},
        {u"13/1/2024", false, false, 0},
        {u"13/1/2024", true, false, 9, 2024, 1, 13},
        // Two-digit years pivot at 74.
        {u"3/4/73", false, false, 6, 2073, 3, 4},
        {u"3/4/74", false, false, 6, 1974, 3, 4},
        {u"3/4/00", false, false, 6, 2000, 3, 4},
        {u"march 5, 73", false, false, 11, 2073, 3, 5},
        // Days that do not exist, and years that are not four digits.
        {u"2/30/2024", false, false, 0},
        {u"2/29/2023", false, false, 0},
        {u"2/29/2024", false, false, 9, 2024, 2, 29},
        {u"April 31, 2024", false, false, 0},
        {u"1/2/123", false, false, 0},
        {u"5/6/12345", false, false, 0},
        {u"00010101", false, false, 0},
        {u"20230231", false, false, 0},
        // Trailing text only when allowed, and never cutting a word.
        {u"3/4/2024 invoice", false, false, 0},
        {u"3/4/2024 invoice", false, true, 8, 2024, 3, 4},
        {u"12/31/1999 23:59", false, true, 10, 1999, 12, 31},
        {u"may 5th", false, true, 5, 2025, 5, 5},
        {u"5 marching bands", false, true, 0},
        {u"5 janx", false, true, 0},
        // Leading white space is skipped and not counted.
        {u"  \t3/4/2024", false, false, 8, 2024, 3, 4},
        {u"\u00a0 20230506", false, false, 8, 2023, 5, 6},
        // Year first is never turned round by the day-first preference.
        {u"2023/5/6", false, false, 8, 2023, 5, 6},
        {u"2023/5/6", true, false, 8, 2023, 5, 6},
        {u"2023-05-06", true, false, 10, 2023, 5, 6},
        {u"20230506", true, false, 8, 2023, 5, 6},
        // Eight digits together, with whatever follows.
        {u"20230506", false, false, 8, 2023, 5, 6},
        {u"20230506 statement", false, false, 8, 2023, 5, 6},
        {u"20230506_scan.pdf", true, false, 8, 2023, 5, 6},
        {u"202305061", false, true, 0},
        {u"1 2 3", false, true, 0},
        {u"2023 05 06", false, true, 0},
        {u"2023 0506", false, true, 0},
        // Signs are not part of a day, month or year.
        {u"+2023-5-6", false, true, 0},
        {u"-3/4/2024", false, true, 0},
        {u"3/+4/2024", false, false, 0},
        {u"1/2/-24", false, false, 0},
        // Month names, any case, full or short, day before or after, year first too.
        {u"March 5, 2024", false, false, 13, 2024, 3, 5},
        {u"MARCH 5 2024", true, false, 12, 2024, 3, 5},
        {u"5 March 2024", false, false, 12, 2024, 3, 5},
        {u"5 Dec, 2024", false, false, 11, 2024, 12, 5},
        {u"Sept. 5, 2024", false, false, 13, 2024, 9, 5},
        {u"sept 5, 24", false, false, 10, 2024, 9, 5},
        {u"Jan.5, 2024", false, false, 11, 2024, 1, 5},
        {u"2024 march 5", false, false, 12, 2024, 3, 5},
        // No year: this year.
        {u"3/4", false, false, 3, 2025, 3, 4},
        {u"3/4", true, false, 3, 2025, 4, 3},
        {u"March 5", false, false, 7, 2025, 3, 5},
        {u"1 January", false, false, 9, 2025, 1, 1},
        {u"5 Mar", false, false, 5, 2025, 3, 5},
        {u"2/29", false, false, 0},
        // Counts are in characters whatever surrounds the date.
        {u"3/31/2024 \u00e9t\u00e9", false, true, 9, 2024, 3, 31},
        {u"3/31/2024 \u00e9", false, false, 0},
        {u"\u00e9 3/31/2024", false, true, 0},
        {u"March 5, 2024 \u65e5\u672c \U0001F4C4", false, true, 13, 2024, 3, 5},
        {u"", false, true, 0},
        {u"   ", false, true, 0},
    };
    for (const Case& c : cases) {
        int m = -1, d = -1, y = -1;
        const int n = parseDate(QStringView(c.text), m, d, y, c.european, c.allowTrailing, DateTables::shared(), kToday);
        EXPECT_EQ(n, c.count) << show(c.text) << " european " << c.european << " trailing " << c.allowTrailing;
        if (c.count > 0 && n == c.count) {
            EXPECT_EQ(QDate(y, m, d), QDate(c.y, c.m, c.d)) << show(c.text);
        }
    }
}

// Every format of the program's tables reads a date written in it, with or without text after
// it, and no earlier entry takes it for something else.
TEST(DateParser, EveryTableEntryReadsItsOwnForm)
{
    const DateTables& t = DateTables::shared();
    const auto fill = [](QString f, const QStringList& numbers) {
        f.remove(QStringLiteral("%n"));
        for (const QString& n : numbers)
            f.replace(f.indexOf(QStringLiteral("%d")), 2, n);
        return f;
    };
    struct Sample {
        QString text;
        QDate expected;
    };
    QList<Sample> samples;
    for (const QString& f : t.shortFormats)
        samples.push_back({fill(f, {"3", "4", "2024"}), QDate(2024, 3, 4)});
    for (const auto& f : t.longFormats)
        samples.push_back({fill(f.format, {"5", "2024"}), QDate(2024, f.month, 5)});
    for (const QString& f : t.shortFormatsNoYear)
        samples.push_back({fill(f, {"3", "4"}), QDate(kToday.year(), 3, 4)});
    for (const auto& f : t.longFormatsNoYear)
        samples.push_back({fill(f.format, {"5"}), QDate(kToday.year(), f.month, 5)});
    for (const Sample& s : samples) {
        for (const QString& text : {s.text, s.text.toUpper(), s.text + QStringLiteral(" and more")}) {
            int m = 0, d = 0, y = 0;
            EXPECT_EQ(parseDate(text, m, d, y, false, true, t, kToday), s.text.size()) << show(text);
            EXPECT_EQ(QDate(y, m, d), s.expected) << show(text);
        }
    }
}

TEST(DateParser, TablesComeFromTheProgramResource)
{
    const DateTables& t = DateTables::shared();
    const QStringList english = {"January", "February", "March",     "April",   "May",      "June",
                                 "July",    "August",   "September", "October", "November", "December"};
    EXPECT_EQ(t.months, english);
    EXPECT_EQ(t.longMonths.size(), 12);
    EXPECT_EQ(t.monthButtonSort.size(), 12);
    EXPECT_FALSE(t.shortFormats.isEmpty());
    EXPECT_FALSE(t.shortFormatsNoYear.isEmpty());
    QSet<int> monthsWithName, monthsWithNameNoYear;
    for (const auto& f : t.longFormats)
        monthsWithName.insert(f.month);
    for (const auto& f : t.longFormatsNoYear)
        monthsWithNameNoYear.insert(f.month);
    EXPECT_EQ(monthsWithName.size(), 12);
    EXPECT_EQ(monthsWithNameNoYear.size(), 12);
    // Date folders use the same list.
    for (int m = 1; m <= 12; ++m)
        EXPECT_EQ(KTMonths::nameOf(m), t.months[m - 1]);
}

TEST(DateParser, TablesMadeByHand)
{
    int m = 0, d = 0, y = 0;
    // No tables: only the fixed eight-digit form is left.
    const DateTables none;
    EXPECT_EQ(parseDate(u"3/4/2024", m, d, y, false, true, none, kToday), 0);
    EXPECT_EQ(parseDate(u"march 5, 2024", m, d, y, false, true, none, kToday), 0);
    EXPECT_EQ(parseDate(u"20240305", m, d, y, false, false, none, kToday), 8);

    // An empty table of one kind is skipped and the next kind gets the text.
    DateTables noYearOnly;
    noYearOnly.shortFormatsNoYear = {"%d/%d%n"};
    EXPECT_EQ(parseDate(u"3/4/2024", m, d, y, false, true, noYearOnly, kToday), 3);
    EXPECT_EQ(QDate(y, m, d), QDate(2025, 3, 4));

    // Names outside ASCII are lowered and counted as characters, not bytes.
    DateTables german = DateTables::fromJson(R"({
        "KTLongDateFormats": [{"format": "%d. M\u00c4RZ %d%n", "month": 3}, {"format": "%d x %d%n", "month": 13}],
        "KTLongDateFormatsNoYear": [{"format": "%d. m\u00e4rz%n", "month": 3}, {"format": "%d y%n"}]
    })");
    EXPECT_EQ(german.longFormats.size(), 1); // entries without a real month are left out
    EXPECT_EQ(german.longFormatsNoYear.size(), 1);
    EXPECT_EQ(parseDate(u"5. M\u00c4RZ 2024", m, d, y, false, false, german, kToday), 12);
    EXPECT_EQ(QDate(y, m, d), QDate(2024, 3, 5));
    EXPECT_EQ(parseDate(u"5. m\u00e4rz", m, d, y, false, false, german, kToday), 7);
    EXPECT_EQ(QDate(y, m, d), QDate(2025, 3, 5));

    // A table that does not decode is empty.
    const DateTables broken = DateTables::fromJson("{\"KTMonths\": [");
    EXPECT_TRUE(broken.months.isEmpty());
    EXPECT_TRUE(broken.shortFormats.isEmpty());
}

TEST(DateParser, DateValid)
{
    EXPECT_TRUE(dateValid(2, 29, 2024));
    EXPECT_TRUE(dateValid(12, 31, 9999));
    EXPECT_FALSE(dateValid(2, 29, 2023));
    EXPECT_FALSE(dateValid(2, 30, 2024));
    EXPECT_FALSE(dateValid(13, 1, 2024));
    EXPECT_FALSE(dateValid(0, 1, 2024));
    EXPECT_FALSE(dateValid(1, 0, 2024));
    // Extremes roll over without overflowing.
    EXPECT_FALSE(dateValid(INT_MAX, INT_MAX, INT_MAX));
    EXPECT_FALSE(dateValid(INT_MIN, INT_MIN, INT_MIN));
}

TEST(KTDateCalendar, RollsOverLikeACalendar)
{
    struct Case {
        int y, m, d;
        QDate expected;
    };
    const Case cases[] = {
        {2024, 13, 1, QDate(2025, 1, 1)},   {2024, 4, 31, QDate(2024, 5, 1)},
        {2024, 3, 0, QDate(2024, 2, 29)},   {2023, 2, 29, QDate(2023, 3, 1)},
        {2024, 0, 1, QDate(2023, 12, 1)},   {2024, -1, 1, QDate(2023, 11, 1)},
        {2024, 1, -1, QDate(2023, 12, 30)}, {2024, 25, 400, QDate(2027, 2, 4)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(KTDate::dayWithYearMonthDay(c.y, c.m, c.d), c.expected) << c.y << "-" << c.m << "-" << c.d;
        const QDateTime at = KTDate::dateWithYearMonthDay(c.y, c.m, c.d);
        EXPECT_EQ(at.date(), c.expected);
        EXPECT_EQ(at.time(), QTime(0, 0));
        EXPECT_EQ(at.timeSpec(), Qt::LocalTime);
    }

    const QDateTime afternoon(QDate(2024, 3, 5), QTime(15, 30, 12), Qt::LocalTime);
    EXPECT_EQ(KTDate::dateWithTimeRemovedFrom(afternoon), QDateTime(QDate(2024, 3, 5), QTime(0, 0), Qt::LocalTime));
    const KTDate::Components c = KTDate::dateComponentsForDate(afternoon);
    EXPECT_EQ(std::tuple(c.year, c.month, c.day, c.hour, c.minute, c.second), std::tuple(2024, 3, 5, 15, 30, 12));
    EXPECT_EQ(KTDate::dateWithComponents(c), afternoon);
    EXPECT_EQ(KTDate::dateWithComponents({2024, 1, 31, 25, 0, 0}), QDateTime(QDate(2024, 2, 1), QTime(1, 0), Qt::LocalTime));
    EXPECT_EQ(KTDate::yearFromDate(afternoon), 2024);
    EXPECT_EQ(KTDate::monthFromDate(afternoon), 3);
    EXPECT_EQ(KTDate::dayFromDate(afternoon), 5);
}

TEST(DateFormatsTest, MonthFirstOrDayFirst)
{
    const DateFormats us = DateFormats::forEuropean(false), eu = DateFormats::forEuropean(true);
    EXPECT_EQ(us.findDateErrorMessage, "Invalid date shown in RED above; format should be MM/DD/YYYY.");
    EXPECT_EQ(eu.findDateErrorMessage, "Invalid date shown in RED above; format should be DD/MM/YYYY.");
    const QDateTime date(QDate(2024, 3, 5), QTime(14, 7), Qt::LocalTime);
    EXPECT_EQ(displayDate(date, false), "3/05/2024");
    EXPECT_EQ(displayDate(date, true), "05/3/2024");
    EXPECT_EQ(QLocale::c().toString(date, us.logFormat), "3-05-2024 2:07 PM");
    EXPECT_EQ(QLocale::c().toString(date, eu.logFormat), "05-3-2024 2:07 PM");
    EXPECT_EQ(displayDate(QDateTime(), false), "");
}
