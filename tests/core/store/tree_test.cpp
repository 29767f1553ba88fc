#include "store/keys.h"
#include "store/months.h"
#include "store/tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace folivo;
using plist::Dict;

namespace {

std::unique_ptr<IndexItem> folder(const QString& path) { return std::make_unique<IndexItem>(Dict{{keys::Path, path}}, true); }
std::unique_ptr<IndexItem> dateFolder(const QString& path)
{
    return std::make_unique<IndexItem>(Dict{{keys::Path, path}, {keys::Date, true}}, true);
}
std::unique_ptr<IndexItem> file(const QString& path) { return std::make_unique<IndexItem>(Dict{{keys::Path, path}}, false); }

QStringList names(const IndexTree& tree, const IndexItem* parent)
{
    QStringList n;
    for (const auto& c : tree.childrenOf(parent))
        n << c->name();
    return n;
}

// A folder "F" holding the given children (date folders are named with a leading '#').
IndexItem* fill(IndexTree& tree, const QStringList& children)
{
    IndexItem* f = tree.insert(nullptr, folder("F"));
    for (const QString& c : children)
        tree.insert(f, c.startsWith('#') ? dateFolder("F/" + c.mid(1)) : file("F/" + c));
    return f;
}

} // namespace

TEST(TreeSort, DateFoldersFollowTheUsersOrder)
{
    const struct {
        SortFlags flags;
        QStringList in, out;
    } cases[] = {
        // Defaults: user's order kept, years newest first, months in calendar order.
        {{false, true, false, false}, {"b.pdf", "#2022", "a.pdf", "#2023"}, {"b.pdf", "a.pdf", "2023", "2022"}},
        {{false, false, false, false}, {"#2023", "#999", "#2022"}, {"2022", "2023", "999"}},
        {{true, false, false, false}, {"b", "B", "a", "#2023"}, {"B", "a", "b", "2023"}},
        {{true, false, false, true}, {"b", "C", "a"}, {"a", "b", "C"}},
        {{false, true, false, false}, {"#March", "#January", "#Smarch", "#December"}, {"January", "March", "December", "Smarch"}},
        {{false, true, true, false}, {"#March", "#January", "#Smarch", "#December"}, {"Smarch", "December", "March", "January"}},
        // A year folder beside month folders (a damaged tree): years first, then months.
        {{false, true, false, false}, {"#May", "#2021", "x", "#April", "#2024"}, {"x", "2024", "2021", "April", "May"}},
    };
    for (const auto& c : cases) {
        IndexTree tree;
        tree.sorting = c.flags;
        IndexItem* f = fill(tree, c.in);
        tree.sortCategories(nullptr);
        EXPECT_EQ(names(tree, f), c.out) << c.in.join(",").toStdString();
    }
}

TEST(TreeSort, OrderIsTotalForAnyMixOfNames)
{
    // std::sort needs a strict weak ordering; check antisymmetry and transitivity over a
    // mix that includes the awkward cases.
    IndexTree tree;
    IndexItem* f = fill(tree, {"#2023", "#0000", "#April", "#Smarch", "#999", "a", "B", "#2023x", "#December"});
    for (bool yd : {false, true})
        for (bool md : {false, true}) {
            tree.sorting = {false, yd, md, true};
            const auto& kids = tree.childrenOf(f);
            for (const auto& a : kids)
                for (const auto& b : kids) {
                    EXPECT_EQ(tree.categoriesSort(*a, *b), -tree.categoriesSort(*b, *a));
                    for (const auto& c : kids) {
                        if (tree.categoriesSort(*a, *b) < 0 && tree.categoriesSort(*b, *c) < 0) {
                            EXPECT_LT(tree.categoriesSort(*a, *c), 0);
                        }
                    }
                }
        }
}

TEST(TreeLookup, CacheFollowsInsertTakeAndRename)
{
    IndexTree tree;
    IndexItem* bank = tree.insert(nullptr, folder("Bank"));
    IndexItem* y = tree.insert(bank, dateFolder("Bank/2023"));
    tree.insert(y, file("Bank/2023/s.pdf"));
    EXPECT_EQ(tree.itemForPath("Bank/2023/s.pdf")->parent(), y);
    EXPECT_EQ(tree.findCategoryWithPath("Bank/2023/s.pdf", nullptr), tree.itemForPath("Bank/2023/s.pdf"));
    EXPECT_EQ(tree.itemForPath(""), nullptr);

    auto taken = tree.removeCategoryWithPath("Bank/2023");
    ASSERT_TRUE(taken);
    EXPECT_EQ(tree.itemForPath("Bank/2023"), nullptr);
    EXPECT_EQ(tree.itemForPath("Bank/2023/s.pdf"), nullptr);
    EXPECT_EQ(tree.size(), 1u);

    tree.setPath(bank, "Money");
    EXPECT_EQ(tree.itemForPath("Bank"), nullptr);
    EXPECT_EQ(tree.itemForPath("Money"), bank);
    EXPECT_EQ(*bank->value(keys::Path), plist::Value(QString("Money")));
}

TEST(TreeObservers, ToldOfEveryRemovedItem)
{
    struct Recorder : TreeObserver {
        QStringList removed;
        void itemWillBeRemoved(const IndexItem& item) override { removed << item.path(); }
        void treeWillReset() override { removed << "will-reset"; }
        void treeDidReset() override { removed << "did-reset"; }
    } rec;
    IndexTree tree;
    tree.addObserver(&rec);
    IndexItem* a = tree.insert(nullptr, folder("A"));
    tree.insert(a, file("A/1"));
    tree.insert(a, file("A/2"));
    tree.take(a);
    EXPECT_EQ(rec.removed, (QStringList{"A/1", "A/2", "A"}));
    rec.removed.clear();
    tree.reset({});
    EXPECT_EQ(rec.removed, (QStringList{"will-reset", "did-reset"}));
}

TEST(TreeFlat, PreOrderWithoutSmartFolderContents)
{
    IndexTree tree;
    IndexItem* a = tree.insert(nullptr, folder("A"));
    tree.insert(a, file("A/x"));
    IndexItem* smart = tree.insert(nullptr, std::make_unique<IndexItem>(
                                                Dict{{keys::Path, "S"}, {keys::SmartFolder, Dict{}}}, true));
    tree.insert(smart, std::make_unique<IndexItem>(Dict{{keys::Path, "S/SF1"}, {keys::SmartFile, "A/x"}}, false));
    tree.insert(nullptr, folder("B"));
    QStringList order;
    for (IndexItem* i : tree.flatArray())
        order << i->path();
    EXPECT_EQ(order, (QStringList{"A", "A/x", "S", "B"}));
    EXPECT_EQ(tree.rebuildCategoriesFlatArrayIfNeeded(), 4);
}

TEST(TreeQuestions, OnlyOneFileInDateFolderAndUniqueSmartName)
{
    IndexTree tree;
    IndexItem* bank = tree.insert(nullptr, folder("Bank"));
    IndexItem* y = tree.insert(bank, dateFolder("Bank/2023"));
    IndexItem* m = tree.insert(y, dateFolder("Bank/2023/March"));
    IndexItem* s = tree.insert(m, file("Bank/2023/March/s.pdf"));
    int count = 0;
    EXPECT_EQ(IndexTree::onlyOneFileInDateFolder(y, &count), s);
    EXPECT_EQ(count, 2);
    tree.insert(m, file("Bank/2023/March/t.pdf"));
    EXPECT_EQ(IndexTree::onlyOneFileInDateFolder(y, nullptr), nullptr);
    EXPECT_EQ(IndexTree::onlyOneFileInDateFolder(bank, nullptr), nullptr);

    EXPECT_EQ(tree.uniqueSmartFolderNameFor("Taxes"), "Taxes");
    tree.insert(nullptr, folder("Bank2"));
    EXPECT_EQ(tree.uniqueSmartFolderNameFor("Bank"), "Bank3");
}

TEST(TreeQuestions, CanEditItem)
{
    IndexTree tree;
    IndexItem* unfiled = tree.insert(nullptr, folder("Unfiled"));
    IndexItem* bank = tree.insert(nullptr, folder("Bank"));
    IndexItem* year = tree.insert(bank, dateFolder("Bank/2023"));
    IndexItem* doc = tree.insert(bank, file("Bank/a.pdf"));
    IndexItem* last = tree.insert(nullptr, std::make_unique<IndexItem>(
                                               Dict{{keys::Path, "Last Import"}, {keys::SmartFolder, Dict{}}}, true));
    IndexItem* smartFile = tree.insert(last, std::make_unique<IndexItem>(
                                                 Dict{{keys::Path, "Last Import/SF1"}, {keys::SmartFile, "Bank/a.pdf"}}, false));
    using DA = DoubleAction;
    const struct {
        IndexItem* item;
        EditContext ctx;
        bool editable;
        DA action;
    } cases[] = {
        // Double-click opens.
        {bank, {false, 1, true, true}, true, DA::None},
        {unfiled, {false, 1, true, true}, false, DA::None},
        {year, {false, 1, true, true}, false, DA::OpenWithDefaultApp},
        {doc, {false, 1, true, true}, false, DA::OpenWithDefaultApp},
        {doc, {false, 1, false, true}, false, DA::None},
        {smartFile, {false, 1, true, true}, false, DA::None},
        {last, {false, 1, true, true}, false, DA::None},
        // Double-click edits, or the explicit edit action.
        {doc, {false, 0, true, true}, true, DA::None},
        {last, {true, 1, true, true}, false, DA::None},
        {last, {true, 1, true, false}, true, DA::None},
        {year, {true, 1, true, true}, false, DA::None},
        {unfiled, {true, 0, true, true}, false, DA::None},
        {bank, {true, 0, false, true}, false, DA::None},
    };
    for (const auto& c : cases) {
        const EditDecision d = IndexTree::canEditItem(*c.item, c.ctx);
        EXPECT_EQ(d.editable, c.editable) << c.item->path().toStdString();
        EXPECT_EQ(d.doubleAction, c.action) << c.item->path().toStdString();
    }
}

TEST(Months, OneTableForMakingAndRecognising)
{
    EXPECT_EQ(KTMonths::nameOf(1), "January");
    EXPECT_EQ(KTMonths::nameOf(12), "December");
    for (int m = 1; m <= 12; ++m)
        EXPECT_EQ(KTMonths::position(KTMonths::nameOf(m)), m - 1);
    EXPECT_EQ(KTMonths::position("march"), -1);
}
