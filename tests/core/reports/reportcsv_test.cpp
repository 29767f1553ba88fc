// The CSV of a report: the bytes of header and rows, the columns kept and their one order,
// text a spreadsheet would run as a formula, dates with their offset, the same bytes under
// a locale with a decimal comma, and a write that fails.

#include "reports/reportcsv.h"
#include "support/testsupport.h"

#include <QFileInfo>
#include <QProcess>
#include <QTimeZone>
#include <clocale>
#include <ctime>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::test;

namespace {

const QDateTime kMarch = QDateTime(QDate(2024, 3, 31), QTime(0, 0), QTimeZone(2 * 3600));

Report reportOf(std::array<QString, 4> titles, QList<std::array<ReportCell, 4>> rows)
{
    Report r;
    r.titles = titles;
    for (const auto& values : rows)
        r.lines.push_back({kMarch, values});
    return r;
}

ReportCell num(const char* t) { return {QString::fromUtf8(t), true}; }
ReportCell txt(const char* t) { return {QString::fromUtf8(t), false}; }

TEST(ReportCsv, Bytes)
{
    const QByteArray date = "\"2024-03-31 00:00:00 +0200\"";
    const struct {
        const char* what;
        Report report;
        QList<int> order;
        QByteArray csv;
    } cases[] = {
        {"a number and a text", reportOf({"Amount", "Account", "", ""}, {{num("12.50"), txt("Savings"), {}, {}}}),
         defaultReportColumnOrder(),
         "\"Date\",\"Amount\",\"Account\"\r\n" + date + ",\"12.50\",\"Savings\"\r\n"},
        {"quotes are doubled, commas and newlines stay inside the field",
         reportOf({"Note", "", "", ""}, {{txt("say \"hi\", then\nleave"), {}, {}, {}}}), defaultReportColumnOrder(),
         "\"Date\",\"Note\"\r\n" + date + ",\"say \"\"hi\"\", then\nleave\"\r\n"},
        {"an empty middle column keeps its field",
         reportOf({"Amount", "Amount - Fees", "Account", ""}, {{num("5.00"), {}, txt("Cash")}}),
         defaultReportColumnOrder(),
         "\"Date\",\"Amount\",\"Amount - Fees\",\"Account\"\r\n" + date + ",\"5.00\",\"\",\"Cash\"\r\n"},
        {"columns without a title are left out of header and rows alike",
         reportOf({"", "Amount", " ", "Fees"}, {{txt("lost"), num("1.00"), txt("lost"), num("2.00")}}),
         defaultReportColumnOrder(), "\"Date\",\"Amount\",\"Fees\"\r\n" + date + ",\"1.00\",\"2.00\"\r\n"},
        {"a reordered display orders header and rows the same",
         reportOf({"Amount", "Fees", "", ""}, {{num("1.00"), num("2.00"), {}, {}}}), {2, 0, 1, 3, 4},
         "\"Fees\",\"Date\",\"Amount\"\r\n\"2.00\"," + date + ",\"1.00\"\r\n"},
        {"formula-leading text is kept as text; numbers are not touched",
         reportOf({"A", "B", "C", "D"}, {{txt("=SUM(A1)"), txt("+1 call"), txt("-5 USD"), num("-5.00")},
                                         {txt("@here"), txt("\tx"), txt("\rx"), txt("a=b")}}),
         defaultReportColumnOrder(),
         "\"Date\",\"A\",\"B\",\"C\",\"D\"\r\n" + date +
             ",\"'=SUM(A1)\",\"'+1 call\",\"'-5 USD\",\"-5.00\"\r\n" + date +
             ",\"'@here\",\"'\tx\",\"'\rx\",\"a=b\"\r\n"},
        {"infinite values as written", reportOf({"A / B", "", "", ""}, {{num("inf")}, {num("-inf")}, {num("nan")}}),
         defaultReportColumnOrder(),
         "\"Date\",\"A / B\"\r\n" + date + ",\"inf\"\r\n" + date + ",\"-inf\"\r\n" + date + ",\"nan\"\r\n"},
        {"no lines: the header alone", reportOf({"Amount", "", "", ""}, {}), defaultReportColumnOrder(),
         "\"Date\",\"Amount\"\r\n"},
        {"a column named twice or unknown", reportOf({"Amount", "", "", ""}, {{num("1.00")}}), {1, 1, 9, -1, 0},
         "\"Amount\",\"Date\"\r\n\"1.00\"," + date + "\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(reportCsv(c.report, c.order), c.csv) << c.what;
}

TEST(ReportCsv, DatesCarryTheirOffset)
{
    const struct {
        QDateTime date;
        const char* text;
    } cases[] = {
        {QDateTime(QDate(2024, 3, 31), QTime(0, 0), QTimeZone(9 * 3600)), "2024-03-31 00:00:00 +0900"},
        {QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5), QTimeZone(-(5 * 3600 + 30 * 60))), "2024-01-02 03:04:05 -0530"},
        {QDateTime(QDate(2024, 1, 2), QTime(0, 0), QTimeZone::utc()), "2024-01-02 00:00:00 +0000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(csvDateText(c.date), c.text);

    // A day at local midnight east of Greenwich is that day, not the one before.
    ScopedEnv tz("TZ", "Asia/Tokyo");
    tzset();
    const QDateTime local(QDate(2024, 3, 31), QTime(0, 0));
    EXPECT_EQ(csvDateText(local), "2024-03-31 00:00:00 +0900");
}

TEST(ReportCsv, TheSameBytesUnderAGermanLocale)
{
    Report r = reportOf({"Amount", "", "", ""}, {{num("12.50")}});
    const QByteArray before = reportCsv(r);
    // The values themselves come from the formatter: they must not follow the locale either.
    const QString formatted = formatReportNumber(12.5, 2);

    const char* german = nullptr;
    const auto tryGerman = [&] {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE"})
            if (std::setlocale(LC_ALL, name)) {
                german = name;
                return;
            }
    };
    tryGerman();
    QTemporaryDir built;
    if (!german && QFileInfo::exists("/usr/share/i18n/locales/de_DE")) {
        QProcess::execute(QStringLiteral("localedef"), {"-i", "de_DE", "-f", "UTF-8", built.filePath("de_DE.UTF-8")});
        qputenv("LOCPATH", QFile::encodeName(built.path()));
        tryGerman();
    }
    if (!german) {
        qunsetenv("LOCPATH");
        GTEST_SKIP() << "no German locale on this system";
    }
    ASSERT_EQ(std::localeconv()->decimal_point[0], ',') << "the locale is in force";
    EXPECT_EQ(formatReportNumber(12.5, 2), formatted);
    EXPECT_EQ(formatted, "12.50");
    EXPECT_EQ(formatReportNumber(1234567.89, 2), "1234567.89");
    EXPECT_EQ(reportCsv(r), before);
    std::setlocale(LC_ALL, "C");
    qunsetenv("LOCPATH");
}

TEST(ReportCsv, AFailedWriteSaysSoAndLeavesNothing)
{
    Scratch scratch;
    const Report r = reportOf({"Amount", "", "", ""}, {{num("1.00")}});
    const Result<void> missing = exportReportToFile(r, scratch.file("no/such/folder/r.csv"));
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().code, ErrorCode::DiskError);

    const QString target = scratch.file("r.csv");
    ASSERT_TRUE(exportReportToFile(r, target).ok());
    EXPECT_EQ(readAll(target), reportCsv(r));
    EXPECT_TRUE(temporaryNamesBelow(scratch.path()).isEmpty());
}

} // namespace
