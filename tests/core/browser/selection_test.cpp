// Which selected items a command acts on, and when one path lies inside another.

#include "browser/selection.h"

#include "store/keys.h"
#include "store/tree.h"

#include <gtest/gtest.h>

using namespace folivo;

namespace {

std::unique_ptr<IndexItem> folder(const QString& path)
{
    return std::make_unique<IndexItem>(plist::Dict{{keys::Path, path}}, true);
}

} // namespace

TEST(Selection, InsideComparesWholeComponents)
{
    struct Case {
        const char* path;
        const char* ancestor;
        bool same;
        bool inside;
    };
    const Case cases[] = {
        {"Bank", "Bank", true, false},         {"Bank/Visa", "Bank", true, true},
        {"Banking/x", "Bank", false, false},   {"Bank", "Bank/Visa", false, false},
        {"Bank/Visa/2023", "Bank", true, true}, {"Bank", "", false, false},
        {"Bank2/x", "Bank", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isSameOrInsidePath(c.path, c.ancestor), c.same) << c.path << " / " << c.ancestor;
        EXPECT_EQ(isInsidePath(c.path, c.ancestor), c.inside) << c.path << " / " << c.ancestor;
    }
}

TEST(Selection, ASelectedFolderStandsForItsSelectedDescendants)
{
    IndexTree tree;
    IndexItem* bank = tree.insert(nullptr, folder("Bank"));
    IndexItem* visa = tree.insert(bank, folder("Bank/Visa"));
    IndexItem* y2023 = tree.insert(visa, folder("Bank/Visa/2023"));
    IndexItem* banking = tree.insert(nullptr, folder("Banking"));
    IndexItem* inner = tree.insert(banking, folder("Banking/x"));

    // The descendant listed before and after its folder, a duplicate, and a name that only
    // starts like the folder's.
    const std::vector<const IndexItem*> picked{y2023, bank, visa, inner, bank, banking};
    const std::vector<const IndexItem*> expected{bank, banking};
    EXPECT_EQ(withoutNestedItems(picked), expected);

    EXPECT_EQ(withoutNestedPaths({"Bank/Visa/2023", "Bank", "Banking/x", "Bank", "Banking2"}),
              QStringList({"Bank", "Banking/x", "Banking2"}));
}
