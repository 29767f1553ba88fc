// Reports: the values of a column from a file's attributes, which files a report lists by
// their dates and in which order, the column titles, the stored definition, and the dates
// of a database's files.

#include "attributes/customattributes.h"
#include "reports/report.h"
#include "reports/reportcriteria.h"
#include "store/dboperation.h"
#include "store/indexitem.h"
#include "store/keys.h"
#include "store/mydocument.h"
#include "support/fakeui.h"
#include "support/testsupport.h"
#include "util/fs.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::test;

namespace {

using Op = ReportOperator;

std::unique_ptr<IndexItem> fileWith(const QString& path, const QList<AttributeEntry>& entries)
{
    plist::Array a;
    for (const AttributeEntry& e : entries)
        a.push_back(plist::Dict{{"Attribute", e.name}, {"Value", e.value}});
    return std::make_unique<IndexItem>(plist::Dict{{keys::Path, path}, {keys::CustomAttributes, a}}, false);
}

ReportCriteria oneLine(const QString& a1, Op op = Op::None, const QString& a2 = {}, int precision = 2)
{
    ReportCriteria c;
    c.values[0] = {a1, op, a2};
    c.precision = precision;
    return c;
}

const QDateTime kNow = QDateTime(QDate(2024, 6, 15), QTime(13, 0));

// Every member dated by a table; by default today at midnight.
ReportSources datedBy(QHash<const IndexItem*, std::optional<QDateTime>> dates = {})
{
    ReportSources s;
    s.now = kNow;
    s.dateOf = [dates](const IndexItem& item) -> std::optional<QDateTime> {
        if (dates.contains(&item))
            return dates.value(&item);
        return QDateTime(kNow.date(), QTime(0, 0));
    };
    return s;
}

TEST(ReportValues, OneColumnOverOneFile)
{
    const struct {
        const char* what;
        QList<AttributeEntry> entries;
        ReportCriteria criteria;
        std::optional<ReportCell> cell; // none: the file makes no line
    } cases[] = {
        {"a number at two places", {{"Amount", "12.5"}}, oneLine("Amount"), ReportCell{"12.50", true}},
        {"white space around a number", {{"Amount", " 12.5 "}}, oneLine("Amount"), ReportCell{"12.50", true}},
        {"text stays as it is", {{"Amount", "12.50 USD"}}, oneLine("Amount"), ReportCell{"12.50 USD", false}},
        {"text beginning with a sign", {{"Amount", "-5 USD"}}, oneLine("Amount"), ReportCell{"-5 USD", false}},
        {"double precision", {{"Amount", "1234567.89"}}, oneLine("Amount"), ReportCell{"1234567.89", true}},
        {"beyond single precision", {{"Amount", "16777217"}}, oneLine("Amount", Op::None, {}, 0),
         ReportCell{"16777217", true}},
        {"precision 0 rounds half to even", {{"Amount", "12.5"}}, oneLine("Amount", Op::None, {}, 0),
         ReportCell{"12", true}},
        {"precision 0 rounds up", {{"Amount", "13.5"}}, oneLine("Amount", Op::None, {}, 0), ReportCell{"14", true}},
        {"no negative zero", {{"Amount", "-0.001"}}, oneLine("Amount"), ReportCell{"0.00", true}},
        {"an empty value reads as 0", {{"Amount", ""}}, oneLine("Amount"), ReportCell{"0.00", true}},
        {"names are exact", {{"amount", "3"}}, oneLine("Amount"), std::nullopt},
        {"the first entry of a name", {{"Amount", "1"}, {"Amount", "2"}}, oneLine("Amount"), ReportCell{"1.00", true}},
        {"difference", {{"Amount", "12.5"}, {"Fees", "2.25"}}, oneLine("Amount", Op::Subtract, "Fees"),
         ReportCell{"10.25", true}},
        {"sum", {{"Amount", "1e3"}, {"Fees", ".5"}}, oneLine("Amount", Op::Add, "Fees"), ReportCell{"1000.50", true}},
        {"product", {{"Amount", "2.5"}, {"Fees", "4"}}, oneLine("Amount", Op::Multiply, "Fees"),
         ReportCell{"10.00", true}},
        {"quotient", {{"Amount", "10"}, {"Fees", "4"}}, oneLine("Amount", Op::Divide, "Fees"),
         ReportCell{"2.50", true}},
        {"x/0", {{"Amount", "10"}, {"Fees", "0"}}, oneLine("Amount", Op::Divide, "Fees"), ReportCell{"inf", true}},
        {"-x/0", {{"Amount", "-10"}, {"Fees", "0"}}, oneLine("Amount", Op::Divide, "Fees"), ReportCell{"-inf", true}},
        {"0/0", {{"Amount", "0"}, {"Fees", "0"}}, oneLine("Amount", Op::Divide, "Fees"), ReportCell{"nan", true}},
        {"a missing second attribute", {{"Amount", "12.5"}}, oneLine("Amount", Op::Subtract, "Fees"), std::nullopt},
        {"a missing first attribute", {{"Fees", "1"}}, oneLine("Amount", Op::Subtract, "Fees"), std::nullopt},
        {"text in an operation", {{"Amount", "12 USD"}, {"Fees", "1"}}, oneLine("Amount", Op::Subtract, "Fees"),
         std::nullopt},
        // A line that cannot be computed makes no line, not even over an entry still unnamed.
        {"a line not in use", {{"", "7"}}, oneLine(""), std::nullopt},
        {"an operator without its second name", {{"Amount", "7"}}, oneLine("Amount", Op::Add, ""), std::nullopt},
    };
    for (const auto& c : cases) {
        const auto item = fileWith("A/f.pdf", c.entries);
        const Report r = produceReportLinesAndHeaders(c.criteria, {item.get()}, datedBy());
        if (!c.cell) {
            EXPECT_TRUE(r.lines.isEmpty()) << c.what;
            continue;
        }
        ASSERT_EQ(r.lines.size(), 1) << c.what;
        EXPECT_EQ(r.lines[0].values[0].text, c.cell->text) << c.what;
        EXPECT_EQ(r.lines[0].values[0].number, c.cell->number) << c.what;
    }
}

TEST(ReportValues, AnEmptyColumnBesideAFullOneKeepsTheLine)
{
    ReportCriteria c = oneLine("Amount", Op::Subtract, "Fees");
    c.values[2] = {"Account", Op::None, {}};
    const auto item = fileWith("A/f.pdf", {{"Amount", "5"}, {"Account", "Savings"}});
    const Report r = produceReportLinesAndHeaders(c, {item.get()}, datedBy());
    ASSERT_EQ(r.lines.size(), 1);
    EXPECT_EQ(r.lines[0].values[0], ReportCell{});
    EXPECT_EQ(r.lines[0].values[1], ReportCell{});
    EXPECT_EQ(r.lines[0].values[2], (ReportCell{"Savings", false}));
    EXPECT_EQ(r.titles, (std::array<QString, 4>{"Amount - Fees", "", "Account", ""}));
}

TEST(ReportValues, NumbersReadTheSameEverywhere)
{
    const struct {
        const char* text;
        double value;
        bool isText;
    } cases[] = {{"12.5", 12.5, false}, {"+7", 7, false}, {"5.", 5, false},  {".", 0, true},
                 {"1,5", 1, true},     {"1e", 1, true},  {"1e999", HUGE_VAL, false}, {"-1e999", -HUGE_VAL, false},
                 {"1e-999", 0, false}, {"abc", 0, true}, {"  ", 0, false}, {"0x10", 0, true}};
    for (const auto& c : cases) {
        const ReportNumber n = readReportNumber(QString::fromUtf8(c.text));
        EXPECT_EQ(n.value, c.value) << c.text;
        EXPECT_EQ(n.isText, c.isText) << c.text;
    }
    EXPECT_EQ(formatReportNumber(1234567.89, 2), "1234567.89");
    EXPECT_EQ(formatReportNumber(0.125, 2), "0.12"); // the binary value is just below
    EXPECT_EQ(formatReportNumber(2.675, 2), "2.67");
    EXPECT_EQ(formatReportNumber(1.0 / 3.0, 5), "0.33333");
}

TEST(ReportLines, TheDateWindowIsOneOfDays)
{
    // 2024 is a leap year: 365 days before 15 June 2024 is 16 June 2023.
    const QDate today = kNow.date();
    const struct {
        const char* what;
        QDate day;
        bool all, lastYear, lastTwoYears;
    } files[] = {
        {"today", today, true, true, true},
        {"tomorrow", today.addDays(1), false, false, false},
        {"365 days ago", today.addDays(-365), true, true, true},
        {"366 days ago", today.addDays(-366), true, false, true},
        {"730 days ago", today.addDays(-730), true, false, true},
        {"731 days ago", today.addDays(-731), true, false, false},
        {"long ago", QDate(1990, 1, 1), true, false, false},
    };
    std::vector<std::unique_ptr<IndexItem>> items;
    QList<const IndexItem*> members;
    QHash<const IndexItem*, std::optional<QDateTime>> dates;
    for (const auto& f : files) {
        items.push_back(fileWith(QString::fromUtf8(f.what), {{"Amount", "1"}}));
        members << items.back().get();
        dates.insert(items.back().get(), QDateTime(f.day, QTime(0, 0)));
    }
    for (ReportDates window : {ReportDates::All, ReportDates::LastYear, ReportDates::LastTwoYears}) {
        ReportCriteria c = oneLine("Amount");
        c.dates = window;
        // Late in the evening the window is the same as just after midnight.
        for (const QTime at : {QTime(0, 0, 1), QTime(23, 59)}) {
            ReportSources s = datedBy(dates);
            s.now = QDateTime(today, at);
            const Report r = produceReportLinesAndHeaders(c, members, s);
            QSet<QDate> listed;
            for (const ReportLine& l : r.lines)
                listed.insert(l.date.date());
            for (const auto& f : files) {
                const bool expected = window == ReportDates::All        ? f.all
                                      : window == ReportDates::LastYear ? f.lastYear
                                                                        : f.lastTwoYears;
                EXPECT_EQ(listed.contains(f.day), expected) << f.what << " window " << int(window);
            }
        }
    }
}

TEST(ReportLines, SortedByDateStablyAndWithoutUndatedFiles)
{
    std::vector<std::unique_ptr<IndexItem>> items;
    QList<const IndexItem*> members;
    QHash<const IndexItem*, std::optional<QDateTime>> dates;
    const struct {
        const char* name;
        std::optional<QDate> day;
    } files[] = {{"c1", QDate(2024, 3, 1)}, {"a", QDate(2024, 1, 1)}, {"undated", std::nullopt},
                 {"c2", QDate(2024, 3, 1)}, {"b", QDate(2024, 2, 1)}, {"c3", QDate(2024, 3, 1)}};
    for (const auto& f : files) {
        items.push_back(fileWith(f.name, {{"Amount", QString::fromUtf8(f.name)}}));
        members << items.back().get();
        dates.insert(items.back().get(), f.day ? std::optional(QDateTime(*f.day, QTime(0, 0))) : std::nullopt);
    }
    members.insert(2, nullptr); // a smart file whose file vanished
    const Report r = produceReportLinesAndHeaders(oneLine("Amount"), members, datedBy(dates));
    QStringList order;
    for (const ReportLine& l : r.lines)
        order << l.values[0].text;
    EXPECT_EQ(order, (QStringList{"a", "b", "c1", "c2", "c3"}));
}

TEST(ReportLines, NoCompleteLineNoReport)
{
    const auto item = fileWith("f", {{"Amount", "1"}});
    const Report none = produceReportLinesAndHeaders(ReportCriteria{}, {item.get()}, datedBy());
    EXPECT_FALSE(none.available());
    EXPECT_TRUE(none.lines.isEmpty());
    EXPECT_TRUE(produceReportLinesAndHeaders(oneLine("Amount"), {item.get()}, datedBy()).available());
    EXPECT_FALSE(produceReportLinesAndHeaders(oneLine("Amount"), {}, datedBy()).available());
}

TEST(ReportLines, DateColumnFormats)
{
    const QDateTime d(QDate(2024, 3, 5), QTime(0, 0));
    EXPECT_EQ(reportDateText(d, ReportDateFormat::MonthYear, false, QLocale::c()), "Mar 2024");
    EXPECT_EQ(reportDateText(d, ReportDateFormat::LongYear, false), "3/05/2024");
    EXPECT_EQ(reportDateText(d, ReportDateFormat::LongYear, true), "05/3/2024");
    EXPECT_EQ(reportDateText(d, ReportDateFormat::Year, false), "2024");
}

// ---- The stored definition ----------------------------------------------------------------------

TEST(ReportDefinition, DefaultsAndLenientReading)
{
    const ReportCriteria d = ReportCriteria::fromValue(nullptr);
    EXPECT_EQ(d.precision, 2);
    EXPECT_EQ(d.dates, ReportDates::All);
    EXPECT_EQ(d.dateFormat, ReportDateFormat::MonthYear);
    for (const ReportValueLine& l : d.values)
        EXPECT_EQ(l, ReportValueLine{});
    EXPECT_FALSE(d.hasCompleteLine());

    const plist::Value odd = plist::Dict{
        {"values", plist::Array{plist::Dict{{"attribute1", "Amount"}, {"operator", 9}, {"attribute2", "Fees"}},
                                plist::Value("not a line"),
                                plist::Dict{{"attribute1", "A"}, {"operator", 4.0}, {"attribute2", "B"}},
                                plist::Dict{}, plist::Dict{{"attribute1", "Fifth"}}}},
        {"reportDisplayDates", 7},
        {"reportDisplayPrecision", -3},
        {"reportDisplayDateFormat", "1"}};
    const ReportCriteria c = ReportCriteria::fromValue(&odd);
    EXPECT_EQ(c.values[0].op, Op::None);
    EXPECT_EQ(c.values[1], ReportValueLine{});
    EXPECT_EQ(c.values[2], (ReportValueLine{"A", Op::Divide, "B"}));
    EXPECT_EQ(c.dates, ReportDates::All);
    EXPECT_EQ(c.precision, 0);
    EXPECT_EQ(c.dateFormat, ReportDateFormat::MonthYear);
}

TEST(ReportDefinition, WrittenOverWhatIsStored)
{
    const plist::Dict stored{{"values", plist::Array{plist::Dict{{"attribute1", "X"}, {"colour", "red"}}}},
                             {"chartType", 3}};
    ReportCriteria c = oneLine("Amount", Op::None, "Stale", 3);
    c.dateFormat = ReportDateFormat::Year;
    const plist::Dict d = c.toDict(stored);
    EXPECT_EQ(d.find("chartType")->intValue(), 3);
    const plist::Array& lines = d.find("values")->array();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].dict().find("colour")->string(), "red");
    EXPECT_EQ(lines[0].dict().find("attribute1")->string(), "Amount");
    EXPECT_EQ(lines[0].dict().find("attribute2")->string(), ""); // no operator, no second name
    EXPECT_TRUE(lines[0].dict().find("operator")->isInteger());
    EXPECT_EQ(d.find("reportDisplayPrecision")->intValue(), 3);
    EXPECT_EQ(d.find("reportDisplayDateFormat")->intValue(), 2);
    const plist::Value back = d;
    c.values[0].attribute2.clear();
    EXPECT_EQ(ReportCriteria::fromValue(&back), c);
}

class ReportDb : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(doc_.createDatabase(db_).ok());
        ASSERT_EQ(doc_.recordNewCategory("Bank", nullptr, -1).status, OperationResult::Status::Done);
        file_ = doc_.recordImport("A.txt", QByteArray("a"), "Bank", -1, {}, {}).resultPath;
        ASSERT_FALSE(file_.isEmpty());
        IndexItem* smart = doc_.tree().insert(
            nullptr, std::make_unique<IndexItem>(plist::Dict{{keys::Path, "Smart"}, {keys::SmartFolder, plist::Dict{}}},
                                                 true));
        ASSERT_TRUE(doc_.writeAttributesFileForItem(smart));
    }
    Scratch scratch_;
    QString db_ = scratch_.file("Report.fvdb");
    FakeUi ui_;
    MyDocument doc_{ui_};
    QString file_;
};

TEST_F(ReportDb, StoringWritesTheFolderOnlyWhenTheDefinitionChanged)
{
    int writes = 0;
    const QString name = MyDocument::attributesPathForPath("Smart");
    fs::ScopedFault counting([&](fs::Op op, const QString& abs) {
        if (op == fs::Op::Write && abs.endsWith(name))
            ++writes;
        return false;
    });
    const ReportCriteria c = oneLine("Amount");
    EXPECT_TRUE(storeReportCriteria(doc_, "Smart", c));
    EXPECT_EQ(writes, 1);
    EXPECT_FALSE(storeReportCriteria(doc_, "Smart", c));
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(reportCriteriaOf(*doc_.tree().itemForPath("Smart")), c);
    // The defaults are a definition too, once the folder has none stored.
    EXPECT_FALSE(storeReportCriteria(doc_, "Bank", c)) << "not a smart folder";
    EXPECT_FALSE(storeReportCriteria(doc_, "Nowhere", c));

    // The attributes file carries it, so that a rebuilt index keeps it.
    const auto bytes = fs::readFile(db_ + "/" + name);
    ASSERT_TRUE(bytes);
    EXPECT_TRUE(bytes->contains("reportDisplayPrecision"));
}

TEST_F(ReportDb, TheDateOfAFile)
{
    IndexItem* item = doc_.tree().itemForPath(file_);
    ASSERT_TRUE(item);
    // Without an ending date: the stored file's modification time, plain or enciphered.
    const QString abs = doc_.absolutePath(file_);
    const QDateTime modified(QDate(2023, 4, 5), QTime(6, 7, 8));
    {
        QFile f(abs);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(modified, QFileDevice::FileModificationTime));
    }
    EXPECT_EQ(dateForReportSmartFile(doc_, *item), modified);
    ASSERT_TRUE(QFile::rename(abs, abs + ".fvdbze"));
    EXPECT_EQ(dateForReportSmartFile(doc_, *item), modified);
    ASSERT_TRUE(QFile::remove(abs + ".fvdbze"));
    EXPECT_EQ(dateForReportSmartFile(doc_, *item), std::nullopt);

    const QDateTime end(QDate(2024, 2, 29), QTime(0, 0));
    item->setValue(keys::EndDate, toPlistDate(end));
    EXPECT_EQ(dateForReportSmartFile(doc_, *item), end);
}

} // namespace
