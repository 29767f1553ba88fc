// folivo-cli and tags: listing, adding and removing a file's tags, and auto-tagging files by
// the database's prefixes; what changed is saved, so a reopened database has it.

#include "attributes/tags.h"
#include "runcli.h"
#include "store/dboperation.h"
#include "store/indexitem.h"
#include "store/mydocument.h"
#include "support/fakeui.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

using folivo::test::ProcessResult;

namespace folivo {
namespace {

class CliTags : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::FakeUi ui;
        MyDocument doc(ui);
        ASSERT_TRUE(doc.createDatabase(db_).ok());
        ASSERT_EQ(doc.recordNewCategory("Bank", nullptr, -1).status, OperationResult::Status::Done);
        ASSERT_EQ(doc.recordImport("A.txt", QByteArray("Keywords: rent; heating\n"), "Bank", -1, {}, {}).status,
                  OperationResult::Status::Done);
        ASSERT_EQ(doc.recordImport("B.txt", QByteArray("nothing here\n"), "Bank", -1, {}, {}).status,
                  OperationResult::Status::Done);
        doc.saveChanges(false);
        doc.closeDatabase();
    }
    static ProcessResult cli(const QStringList& args) { return test::runCli(args); }
    QStringList storedTags(const QString& path)
    {
        test::FakeUi ui;
        MyDocument doc(ui);
        EXPECT_TRUE(doc.openDatabase(db_, OpenOptions{.rebuildRequested = true}).ok());
        const IndexItem* item = doc.tree().itemForPath(path);
        QStringList tags = item ? tagsOf(*item) : QStringList{"(missing)"};
        doc.closeDatabase();
        return tags;
    }
    void setPrefixes(const QStringList& prefixes, int separator)
    {
        test::FakeUi ui;
        MyDocument doc(ui);
        ASSERT_TRUE(doc.openDatabase(db_).ok());
        AutoTagSettings s;
        s.prefixes = prefixes;
        s.separator = separator;
        setAutoTagSettings(doc, s);
        doc.saveChanges(false);
        doc.closeDatabase();
    }

    test::Scratch scratch_;
    QString db_ = scratch_.file("Tags.fvdb");
};

TEST_F(CliTags, AddRemoveAndList)
{
    ProcessResult r = cli({"tag", db_, "Bank/A.txt", "--add", "rent", "--add", " tax ", "--add", "rent"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), "Bank/A.txt: rent, tax");
    r = cli({"tag", db_, "/Bank/A.txt/", "--remove", "rent", "--add", "gas"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = cli({"tag", db_, "Bank/A.txt"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "tax\ngas\n");
    EXPECT_EQ(storedTags("Bank/A.txt"), QStringList({"tax", "gas"})) << "kept in the attributes file";

    const struct {
        QStringList args;
        int exit;
        const char* err;
    } refused[] = {
        {{"tag", db_, "Bank/Gone.txt", "--add", "x"}, 1, "Gone.txt"},
        {{"tag", db_, "Bank", "--add", "x"}, 1, "only files carry tags"},
        {{"tag", db_, "Bank/A.txt", "--add", "  "}, 2, "--add needs a tag"},
        {{"rename", db_, "Bank/A.txt", "C.txt", "--add", "x"}, 2, "does not take --add"},
    };
    for (const auto& c : refused) {
        r = cli(c.args);
        EXPECT_EQ(r.exitCode, c.exit) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(c.err)) << r.err.toStdString();
    }
}

TEST_F(CliTags, AutotagUsesThePrefixesAndKeepsTagsWithoutAMatch)
{
    ProcessResult r = cli({"autotag", db_});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("no auto-tagging prefixes")) << r.err.toStdString();

    ASSERT_EQ(cli({"tag", db_, "Bank/B.txt", "--add", "kept"}).exitCode, 0);
    setPrefixes({"Keywords:"}, 1);
    r = cli({"autotag", db_, "Bank"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "Bank/A.txt: rent, heating\n1 file tagged\n");
    EXPECT_EQ(storedTags("Bank/A.txt"), QStringList({"rent", "heating"}));
    EXPECT_EQ(storedTags("Bank/B.txt"), QStringList({"kept"}));
    r = cli({"autotag", db_});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "Nothing to change.\n") << "the tags found are the ones it has";
}

} // namespace
} // namespace folivo
