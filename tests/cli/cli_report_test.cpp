// folivo-cli report: a smart folder's report, its folder loaded first, as a table, as JSON
// and as a CSV that Python's csv module reads back cell for cell; what it refuses.

#include "runcli.h"
#include "support/fakeui.h"
#include "support/testsupport.h"

#include "attributes/customattributes.h"
#include "reports/reportcriteria.h"
#include "smartfolders/smartfolders.h"
#include "store/mydocument.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace folivo;
using folivo::test::ProcessResult;
using folivo::test::Scratch;
using folivo::test::runCli;

namespace {

class CliReport : public ::testing::Test {
protected:
    void SetUp() override
    {
        folivo::test::FakeUi ui;
        MyDocument doc(ui);
        ASSERT_TRUE(doc.createDatabase(db_).ok());
        doc.customAttributes().setNames(doc, {"Amount", "Fees", "Note"});
        const struct {
            const char* name;
            QDate end;
            const char* amount;
            const char* fees;
            const char* note;
        } files[] = {
            {"power bill march.txt", QDate(2024, 3, 31), "12.5", "2", "paid, \"late\""},
            {"power bill january.txt", QDate(2024, 1, 31), "1234567.89", nullptr, "=1+1"},
            {"power bill february.txt", QDate(2024, 2, 29), "10", "0", "two\nlines"},
            {"power bill unsorted.txt", QDate(), "3", nullptr, nullptr},
            {"letter.txt", QDate(2024, 2, 1), "99", nullptr, nullptr},
        };
        for (const auto& f : files) {
            std::optional<QDateTime> end;
            if (f.end.isValid())
                end = QDateTime(f.end, QTime(0, 0));
            const OperationResult r = doc.recordImport(f.name, QByteArray("text"), "Unfiled", -1, end, end);
            ASSERT_TRUE(r.ok()) << f.name;
            for (const auto& [attr, value] : {std::pair{"Amount", f.amount}, {"Fees", f.fees}, {"Note", f.note}})
                if (value)
                    ASSERT_TRUE(setCustomAttribute(doc, r.resultPath, attr, QString::fromUtf8(value)));
        }
        FindCondition c;
        c.tag = findbits::Name | findbits::Contains;
        c.name = "power bill";
        FindCriteria criteria;
        criteria.conditions = {c};
        criteria.type = 3;
        criteria.smartFolderName = "Power";
        ASSERT_TRUE(doc.smartFolders().createConditionFolder(criteria));
        ReportCriteria report;
        report.values[0] = {"Amount", ReportOperator::None, {}};
        report.values[1] = {"Amount", ReportOperator::Divide, "Fees"};
        report.values[3] = {"Note", ReportOperator::None, {}};
        ASSERT_TRUE(storeReportCriteria(doc, "Power", report));
        ASSERT_TRUE(doc.smartFolders().createConditionFolder([&] {
            FindCriteria none = criteria;
            none.smartFolderName = "Unreported";
            return none;
        }()));
        doc.closeDatabase();
    }

    Scratch scratch_;
    QString db_ = scratch_.file("Home.fvdb");
};

TEST_F(CliReport, TheCsvReadsBackAsTheReport)
{
    const auto before = folivo::test::packageListing(db_);
    const QString csv = scratch_.file("power.csv");
    ProcessResult r = runCli({"report", db_, "Power", "--csv", csv});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const ProcessResult j = runCli({"report", db_, "Power", "--json"});
    ASSERT_EQ(j.exitCode, 0) << j.err.constData();
    // Reading a report changes nothing in the database, its folder's load included.
    EXPECT_EQ(folivo::test::listingDifferences(before, folivo::test::packageListing(db_)), QString());

    const QJsonObject report = QJsonDocument::fromJson(j.out).object();
    EXPECT_EQ(report.value("columns").toArray(), (QJsonArray{"Amount", "Amount ÷ Fees", "Note"}));
    const QJsonArray lines = report.value("lines").toArray();
    // The file without an ending date is dated by its stored file: today, the last line.
    ASSERT_EQ(lines.size(), 4) << "the letter is not in it";
    // By date; the values as the report computes them.
    EXPECT_EQ(lines[0].toObject().value("values").toArray(), (QJsonArray{"1234567.89", "", "=1+1"}));
    EXPECT_EQ(lines[1].toObject().value("values").toArray(), (QJsonArray{"10.00", "inf", "two\nlines"}));
    EXPECT_EQ(lines[2].toObject().value("values").toArray(), (QJsonArray{"12.50", "6.25", "paid, \"late\""}));
    EXPECT_EQ(lines[3].toObject().value("values").toArray(), (QJsonArray{"3.00", "", ""}));

    const ProcessResult py = folivo::test::run(
        "python3", {"-c",
                    "import csv, json, sys\n"
                    "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                    "    print(json.dumps(list(csv.reader(f))))\n",
                    csv});
    ASSERT_EQ(py.exitCode, 0) << py.err.constData();
    const QJsonArray rows = QJsonDocument::fromJson(py.out).array();
    ASSERT_EQ(rows.size(), lines.size() + 1);
    QJsonArray header{"Date"};
    for (const QJsonValue& t : report.value("columns").toArray())
        header.append(t);
    EXPECT_EQ(rows[0].toArray(), header);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QJsonObject line = lines[i].toObject();
        QJsonArray expected{line.value("date")};
        for (const QJsonValue& v : line.value("values").toArray())
            // A text a spreadsheet would run as a formula is kept as text.
            expected.append(v.toString().startsWith('=') ? "'" + v.toString() : v.toString());
        EXPECT_EQ(rows[i + 1].toArray(), expected) << i;
    }
    EXPECT_TRUE(rows[1].toArray()[0].toString().startsWith("2024-01-31 00:00:00 "));
}

TEST_F(CliReport, TheTableAndWhatIsRefused)
{
    const ProcessResult t = runCli({"report", db_, "Power"});
    ASSERT_EQ(t.exitCode, 0) << t.err.constData();
    const QStringList rows = QString::fromUtf8(t.out).split('\n');
    EXPECT_EQ(rows[0], "Date\tAmount\tAmount ÷ Fees\tNote");
    EXPECT_TRUE(rows[1].endsWith("\t1234567.89\t\t=1+1")) << rows[1].toStdString();

    const struct {
        QStringList args;
        const char* message;
    } refused[] = {
        {{"report", db_, "Nowhere"}, "No smart folder \"Nowhere\"."},
        {{"report", db_, "Unfiled"}, "No smart folder \"Unfiled\"."},
        {{"report", db_, "Unreported"}, "The smart folder \"Unreported\" has no report to export."},
    };
    for (const auto& c : refused) {
        const ProcessResult r = runCli(c.args);
        EXPECT_EQ(r.exitCode, 1) << c.message;
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.constData();
    }
    const ProcessResult bad = runCli({"report", db_, "Power", "--csv", scratch_.file("no/such/dir/r.csv")});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_TRUE(bad.err.contains("could not be written")) << bad.err.constData();
}

} // namespace

TEST_F(CliReport, ExportWritesReportsOfSmartFoldersThatHaveOne)
{
    const QString out = scratch_.file("out");
    ASSERT_TRUE(QDir().mkpath(out));
    const ProcessResult r = runCli({"export", db_, "Power", "Unreported", "--reports", "--to", out});
    ASSERT_EQ(r.exitCode, 1) << "the folder without a report is named";
    EXPECT_TRUE(r.err.contains("Unreported: ")) << r.err.constData();
    EXPECT_TRUE(folivo::test::readAll(out + "/Power.csv").contains("1234567.89"));
    // Without --reports a smart folder is its files.
    const ProcessResult files = runCli({"export", db_, "Power", "--to", out});
    ASSERT_EQ(files.exitCode, 0) << files.err.constData();
    EXPECT_EQ(QDir(out + "/Power").entryList(QDir::Files).size(), 4);
}
