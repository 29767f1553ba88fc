// The recent websites of a database: newest first, twenty at most, following renames, moves
// and deletes of their folders.

#include "logins/recentwebsites.h"

#include <gtest/gtest.h>

namespace folivo {
namespace {

TEST(RecentWebsites, VisitsKeepTheTwentyNewestOnceEach)
{
    QStringList titles;
    for (int i = 1; i <= 21; ++i)
        visitRecentWebsite(titles, QStringLiteral("Site %1").arg(i));
    ASSERT_EQ(titles.size(), kMaxRecentWebsites);
    EXPECT_EQ(titles.front(), "Site 21");
    EXPECT_EQ(titles.back(), "Site 2") << "the oldest dropped off";

    visitRecentWebsite(titles, "Site 10");
    EXPECT_EQ(titles.front(), "Site 10");
    EXPECT_EQ(titles.count("Site 10"), 1);
    EXPECT_EQ(titles.size(), kMaxRecentWebsites);
}

TEST(RecentWebsites, FollowTheirFolders)
{
    QStringList titles{"Bank/Visa", "Bank", "Banking", "Mail"};
    // Renaming "Bank" moves what lies beneath it, never a folder that only starts alike.
    EXPECT_TRUE(renameRecentWebsite(titles, "Bank", "Money/Bank"));
    EXPECT_EQ(titles, (QStringList{"Money/Bank/Visa", "Money/Bank", "Banking", "Mail"}));
    EXPECT_FALSE(renameRecentWebsite(titles, "Shop", "Shops"));

    EXPECT_TRUE(removeRecentWebsite(titles, "Money"));
    EXPECT_EQ(titles, (QStringList{"Banking", "Mail"}));
    EXPECT_TRUE(removeRecentWebsite(titles, "Mail"));
    EXPECT_TRUE(removeRecentWebsite(titles, "Banking"));
    EXPECT_TRUE(titles.isEmpty());

    QStringList clash{"A", "B"};
    renameRecentWebsite(clash, "B", "A");
    EXPECT_EQ(clash, QStringList{"A"});

    EXPECT_EQ(cleanRecentWebsites({"", "X", "X", "Y"}), (QStringList{"X", "Y"}));
}

} // namespace
} // namespace folivo

// ---- The list of one database, following its recorded operations ----------------------

#include "logins/recentwebsitelist.h"
#include "store/dboperation.h"
#include "store/indexitem.h"
#include "store/mydocument.h"
#include "support/fakeui.h"
#include "support/testsupport.h"

namespace folivo {
namespace {

using Status = OperationResult::Status;

class RecentWebsitesOfADatabase : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(doc_.createDatabase(db_).ok());
        for (const char* f : {"Money", "Shop", "Mail"})
            ASSERT_EQ(doc_.recordNewCategory(f, nullptr, -1).status, Status::Done);
        ASSERT_EQ(doc_.recordNewCategory("Money/Bank", folder("Money"), -1).status, Status::Done);
        list_.emplace(doc_);
        list_->changed = [this] { ++changes_; };
        for (const char* f : {"Mail", "Money/Bank", "Shop", "Money"})
            list_->visit(f);
        changes_ = 0;
    }
    IndexItem* folder(const QString& path) { return doc_.tree().itemForPath(path); }

    test::Scratch scratch_;
    QString db_ = scratch_.file("Recent.fvdb");
    test::FakeUi ui_;
    MyDocument doc_{ui_};
    std::optional<RecentWebsiteList> list_;
    int changes_ = 0;
};

TEST_F(RecentWebsitesOfADatabase, RenamesMovesAndDeletesOfTheFoldersFollow)
{
    EXPECT_EQ(list_->titles(), (QStringList{"Money", "Shop", "Money/Bank", "Mail"}));

    ASSERT_EQ(doc_.recordRename("Money", "Finance").status, Status::Done);
    EXPECT_EQ(list_->titles(), (QStringList{"Finance", "Shop", "Finance/Bank", "Mail"}))
        << "a renamed folder and the folders beneath it keep their places";
    EXPECT_EQ(changes_, 1);

    ASSERT_EQ(doc_.recordMovePath("Finance/Bank", folder("Shop"), -1).status, Status::Done);
    EXPECT_EQ(list_->titles(), (QStringList{"Finance", "Shop", "Shop/Bank", "Mail"}));

    EXPECT_NE(doc_.recordDelete("Nowhere").status, Status::Done);
    EXPECT_EQ(list_->titles().size(), 4) << "a delete that removed nothing leaves the list";

    ASSERT_EQ(doc_.recordDelete("Shop").status, Status::Done);
    EXPECT_EQ(list_->titles(), (QStringList{"Finance", "Mail"})) << "the folder leaves with what was beneath it";

    list_->clear();
    EXPECT_TRUE(list_->titles().isEmpty());
    EXPECT_EQ(changes_, 4);
}

TEST_F(RecentWebsitesOfADatabase, TheListIsKeptWithTheDatabase)
{
    list_->visit("Shop");
    list_.reset();
    EXPECT_TRUE(doc_.closeDatabase().saved);

    test::FakeUi ui;
    MyDocument again(ui);
    ASSERT_TRUE(again.openDatabase(db_).ok());
    RecentWebsiteList reopened(again);
    EXPECT_EQ(reopened.titles(), (QStringList{"Shop", "Money", "Money/Bank", "Mail"}));
}
} // namespace
} // namespace folivo
