// folivo-cli and website logins: importing another password keeper's export into folders,
// and listing the folders with logins (passwords only when asked for).

#include "runcli.h"
#include "support/fakeui.h"
#include "support/testsupport.h"

#include "attributes/notes.h"
#include "logins/loginrecord.h"
#include "logins/recentwebsitelist.h"
#include "store/dboperation.h"
#include "store/indexitem.h"
#include "store/mydocument.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using folivo::test::ProcessResult;

namespace folivo {
namespace {

class CliLogins : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::FakeUi ui;
        MyDocument doc(ui);
        ASSERT_TRUE(doc.createDatabase(db_).ok());
        ASSERT_EQ(doc.recordNewCategory("Web", nullptr, -1).status, OperationResult::Status::Done);
        ASSERT_EQ(doc.recordNewCategory("Web/Bank", doc.tree().itemForPath("Web"), -1).status,
                  OperationResult::Status::Done);
        doc.saveChanges(false);
        doc.closeDatabase();
    }

    test::Scratch scratch_;
    QString db_ = scratch_.file("Logins.fvdb");
};

TEST_F(CliLogins, AnExportBecomesFoldersWithLoginsAndNotesAndNamelessLinesAreLeftOut)
{
    const QString file = scratch_.file("export.csv");
    ASSERT_TRUE(test::writeAll(file, "\xEF\xBB\xBFTitle,URL,Username,Password,Notes\r\n"
                                     "Bank,https://bank.example,jane,\"pa,ss\"\"word\",\"two\r\nlines\"\r\n"
                                     ".mail/home,https://mail.example,j.doe,hunter-22,\r\n"
                                     ",https://nameless.example,who,secret-not-shown,\r\n"
                                     "\r\n"));
    const ProcessResult r = test::runCli({"import-logins", db_, file, "--to", "Web"});
    EXPECT_EQ(r.exitCode, 1) << "a line was left out";
    EXPECT_EQ(r.out, "Created folder Web/Bank2\nCreated folder Web/mail-home\n");
    EXPECT_TRUE(r.err.contains("Not imported")) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("secret-not-shown")) << "the line's fields may hold a password";

    const ProcessResult listed = test::runCli({"logins", db_, "--json"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err.toStdString();
    const QJsonArray rows = QJsonDocument::fromJson(listed.out).array();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0]["folder"].toString(), "Web/Bank2");
    EXPECT_EQ(rows[0]["url"].toString(), "https://bank.example");
    EXPECT_EQ(rows[0]["userID"].toString(), "jane");
    EXPECT_FALSE(rows[0].toObject().contains("password")) << "only with --show-passwords";

    const ProcessResult shown = test::runCli({"logins", db_, "--show-passwords"});
    EXPECT_TRUE(shown.out.startsWith("Web/Bank2\thttps://bank.example\tjane\tpa,ss\"word\n"))
        << "the quoted password whole, with its comma and quote";

    test::FakeUi ui;
    MyDocument doc(ui);
    ASSERT_TRUE(doc.openDatabase(db_).ok());
    EXPECT_EQ(notesOf(doc, "Web/Bank2"), "two\r\nlines");
}

TEST_F(CliLogins, ColumnsAndSeparatorAreTheCallersAndBadOnesAreRefused)
{
    const QString file = scratch_.file("logins.txt");
    ASSERT_TRUE(test::writeAll(file, "https://a.example;Shop;ann\n"));
    const ProcessResult r =
        test::runCli({"import-logins", db_, file, "--sep", "semicolon", "--columns", "url,name,user1"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "Created folder Shop\n");
    EXPECT_EQ(test::runCli({"logins", db_}).out, "Shop\thttps://a.example\tann\n");

    EXPECT_EQ(test::runCli({"import-logins", db_, file, "--sep", "pipe"}).exitCode, 2);
    EXPECT_EQ(test::runCli({"import-logins", db_, file, "--columns", "url,user1"}).exitCode, 2) << "no name column";
    EXPECT_EQ(test::runCli({"import-logins", db_, file, "--columns", "url,title"}).exitCode, 2);
}

TEST_F(CliLogins, RenamesAndDeletesReachTheRecentWebsitesOfTheWindow)
{
    {
        test::FakeUi ui;
        MyDocument doc(ui);
        ASSERT_TRUE(doc.openDatabase(db_).ok());
        RecentWebsiteList recent(doc);
        recent.visit("Web");
        recent.visit("Web/Bank");
        ASSERT_TRUE(doc.closeDatabase().saved);
    }
    ASSERT_EQ(test::runCli({"rename", db_, "Web", "Sites"}).exitCode, 0);
    test::FakeUi ui;
    MyDocument doc(ui);
    ASSERT_TRUE(doc.openDatabase(db_).ok());
    EXPECT_EQ(doc.settings().recentWebsiteTitles, (QStringList{"Sites/Bank", "Sites"}));
    doc.closeDatabase();

    ASSERT_EQ(test::runCli({"rm", db_, "Sites/Bank"}).exitCode, 0);
    ASSERT_TRUE(doc.openDatabase(db_).ok());
    EXPECT_EQ(doc.settings().recentWebsiteTitles, QStringList{"Sites"});
}

} // namespace
} // namespace folivo
