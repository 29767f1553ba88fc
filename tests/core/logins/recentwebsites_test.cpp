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
