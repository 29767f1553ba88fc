// folivo-cli export: plain copies written into a folder outside the database; what it
// refuses, and every failure named though later items were written.

#include "runcli.h"
#include "support/fakeui.h"
#include "support/testsupport.h"

#include "store/mydocument.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace folivo;
using folivo::test::ProcessResult;
using folivo::test::readAll;
using folivo::test::runCli;
using folivo::test::Scratch;

namespace {

const QByteArray Pdf = "%PDF-1.4\n% statement\n";

class CliExport : public ::testing::Test {
protected:
    void SetUp() override
    {
        folivo::test::FakeUi ui;
        MyDocument doc(ui);
        ASSERT_TRUE(doc.createDatabase(db_).ok());
        ASSERT_TRUE(doc.recordImport("Statement.pdf", Pdf, "Unfiled", -1, {}, {}).ok());
        ASSERT_TRUE(doc.recordRename("Unfiled/Statement.pdf", "Unfiled/Statement").ok());
        ASSERT_TRUE(doc.recordImport("note.txt", QByteArray("words"), "Unfiled", -1, {}, {}).ok());
        ASSERT_TRUE(doc.recordNewCategory("Bank", nullptr, -1).ok());
        ASSERT_TRUE(doc.recordImport("fees.txt", QByteArray("fees"), "Bank", -1, {}, {}).ok());
        doc.closeDatabase();
        ASSERT_TRUE(QDir().mkpath(out_));
    }
    Scratch scratch_;
    QString db_ = scratch_.file("Home.fvdb");
    QString out_ = scratch_.file("out");
};

} // namespace

TEST_F(CliExport, CopiesItemsAndFoldersWithFreeNames)
{
    ASSERT_TRUE(folivo::test::writeAll(out_ + "/note.txt", "theirs"));
    const auto before = folivo::test::packageListing(db_);
    const ProcessResult r = runCli({"export", db_, "Unfiled/Statement", "Unfiled/note.txt", "Bank", "--to", out_});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(QString::fromUtf8(r.out),
              out_ + "/Statement.pdf\n" + out_ + "/note2.txt\n" + out_ + "/Bank/fees.txt\n");
    EXPECT_EQ(readAll(out_ + "/Statement.pdf"), Pdf);
    EXPECT_EQ(readAll(out_ + "/note.txt"), "theirs");
    EXPECT_EQ(readAll(out_ + "/note2.txt"), "words");
    EXPECT_EQ(folivo::test::listingDifferences(before, folivo::test::packageListing(db_)), QString());
}

TEST_F(CliExport, RefusalsAndFailures)
{
    struct Case {
        QStringList args;
        int exitCode;
        const char* message;
    };
    const QList<Case> cases = {
        {{"export", db_, "Unfiled/note.txt"}, 2, "--to DIR"},
        {{"export", db_, "Unfiled/gone.txt", "--to", out_}, 1, "There is no item \"Unfiled/gone.txt\""},
        {{"export", db_, "Unfiled/note.txt", "--to", db_ + "/Bank"}, 1, "is inside the database"},
        {{"export", db_, "Unfiled/note.txt", "--to", scratch_.file("missing")}, 1, "Export Failed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const ProcessResult r = runCli(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.constData();
    }
    EXPECT_FALSE(QFile::exists(db_ + "/Bank/note.txt"));
    EXPECT_TRUE(QDir(out_).isEmpty());
}

TEST_F(CliExport, AFailedItemIsNamedThoughTheLastOneWasWritten)
{
    ASSERT_TRUE(QFile::remove(db_ + "/Unfiled/note.txt"));
    const ProcessResult r = runCli({"export", db_, "Bank", "Unfiled/note.txt", "Unfiled/Statement", "--to", out_});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Unfiled/note.txt: ")) << r.err.constData();
    EXPECT_EQ(readAll(out_ + "/Bank/fees.txt"), "fees");
    EXPECT_EQ(readAll(out_ + "/Statement.pdf"), Pdf);
}
