// folivo-cli find: conditions from the options, paths in the browser's order, JSON, the
// exit status when nothing matched, and the usage errors of its own options.

#include "runcli.h"
#include "support/testsupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using folivo::test::ProcessResult;
using folivo::test::Scratch;
using folivo::test::runCli;

namespace {

class CliFind : public ::testing::Test {
protected:
    void SetUp() override
    {
        db_ = scratch_.file("Home.fvdb");
        ASSERT_EQ(runCli({"create", scratch_.file("Home")}).exitCode, 0);
        ASSERT_EQ(runCli({"mkdir", db_, "Bank"}).exitCode, 0);
        store("Bank Statement.txt", "Balance 120 EUR", {"--to", "Bank", "--start-date", "2024-03-01", "--end-date", "2024-03-31"});
        store("Invoice.txt", "Invoice for the garden", {"--start-date", "2024-05-10"});
        store(QString::fromUtf8("Re\u0301sume\u0301.txt"), "curriculum", {}); // a decomposed name
    }
    void store(const QString& name, const QByteArray& text, const QStringList& more)
    {
        const QString path = scratch_.file(name);
        ASSERT_TRUE(folivo::test::writeAll(path, text));
        const ProcessResult r = runCli(QStringList{"store", db_, path} + more);
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    }
    QStringList lines(const QStringList& options, int expectedExit = 0)
    {
        const ProcessResult r = runCli(QStringList{"find", db_} + options);
        EXPECT_EQ(r.exitCode, expectedExit) << options.join(' ').toStdString() << ": " << r.err.constData();
        return QString::fromUtf8(r.out).split('\n', Qt::SkipEmptyParts);
    }

    Scratch scratch_;
    QString db_;
};

} // namespace

TEST_F(CliFind, ConditionsFromOptions)
{
    const QString resume = QString::fromUtf8("Unfiled/Re\u0301sume\u0301.txt");
    const struct {
        QStringList options;
        QStringList found;
    } cases[] = {
        {{"--name", "Statement"}, {"Bank/2024/March/Bank Statement.txt"}},
        {{"--name", "statement"}, {}},
        {{"--name", "statement", "--ignore-case"}, {"Bank/2024/March/Bank Statement.txt"}},
        {{"--name", "txt"}, {}}, // the extension is not part of the name
        {{"--path", "Bank"}, {"Bank", "Bank/2024", "Bank/2024/March", "Bank/2024/March/Bank Statement.txt"}},
        {{"--path", "March/"}, {"Bank/2024/March/Bank Statement.txt"}},
        {{"--contents", "garden"}, {"Unfiled/Invoice.txt"}},
        {{"--contents", "GARDEN", "--ignore-case"}, {"Unfiled/Invoice.txt"}},
        {{"--name", QString::fromUtf8("R\u00e9sum\u00e9")}, {resume}}, // typed composed
        {{"--name", "Invoice", "--name", "Bank"}, {}},
        {{"--name", "Invoice", "--name", "Bank", "--any"}, {"Unfiled/Invoice.txt", "Bank", "Bank/2024/March/Bank Statement.txt"}},
        {{"--from", "2024-03-01", "--to", "2024-03-31"}, {"Bank/2024/March/Bank Statement.txt"}},
        {{"--from", "2024-04-01"}, {"Unfiled/Invoice.txt"}},
        {{"--to", "3/31/2024"}, {"Bank/2024/March/Bank Statement.txt"}},
        {{"--european", "--to", "31/3/2024"}, {"Bank/2024/March/Bank Statement.txt"}},
        {{"--attr", "Amount", ">", "3"}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lines(c.options, c.found.isEmpty() ? 1 : 0).join(" | ").toStdString(), c.found.join(" | ").toStdString())
            << c.options.join(' ').toStdString();
}

TEST_F(CliFind, Json)
{
    const ProcessResult r = runCli({"find", db_, "--name", "Bank", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QJsonArray a = QJsonDocument::fromJson(r.out).array();
    ASSERT_EQ(a.size(), 2) << r.out.constData();
    EXPECT_EQ(a[0].toObject().value("path").toString(), "Bank");
    EXPECT_EQ(a[0].toObject().value("kind").toString(), "folder");
    EXPECT_TRUE(a[0].toObject().value("startDate").isNull());
    const QJsonObject f = a[1].toObject();
    EXPECT_EQ(f.value("path").toString(), "Bank/2024/March/Bank Statement.txt");
    EXPECT_EQ(f.value("kind").toString(), "file");
    EXPECT_EQ(f.value("startDate").toString(), "2024-03-01");
    EXPECT_EQ(f.value("endDate").toString(), "2024-03-31");
    EXPECT_TRUE(f.value("tags").isArray());

    const ProcessResult none = runCli({"find", db_, "--name", "nothing", "--json"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(QJsonDocument::fromJson(none.out).array().size(), 0);
}

TEST_F(CliFind, UsageErrors)
{
    const struct {
        QStringList args;
        const char* says;
    } cases[] = {
        {{"find", db_}, "find needs at least one condition."},
        {{"find", db_, "--any"}, "find needs at least one condition."},
        {{"find", db_, "--attr", "Amount", "~", "3"}, "--attr takes contains, icontains, =, > or <, not \"~\"."},
        {{"find", db_, "--attr", "Amount", ">"}, "--attr NAME OP VALUE needs 3 values."},
        {{"find", db_, "--name", ""}, "--name needs a text to look for."},
        {{"find", db_, "--from", "soon"}, "--from needs a date, not \"soon\"."},
        {{"find", db_, "--from", "2024-05-01", "--to", "2024-04-01"}, "--from must be on or before --to."},
        {{"tree", db_, "--name", "x"}, "Unknown option --name."},
    };
    for (const auto& c : cases) {
        const ProcessResult r = runCli(c.args);
        EXPECT_EQ(r.exitCode, 2) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(c.says)) << r.err.constData();
    }
}
