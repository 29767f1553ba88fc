// Find next and previous, select all and the marks of contents matches: where a walk starts
// from each kind of selection in both directions, that it comes round once, that the tree
// may change between steps, and the ranges a shown text is marked with.

#include "find/criteria.h"
#include "find/findwalk.h"
#include "find/highlight.h"
#include "find/matcher.h"
#include "find/messages.h"
#include "find/selectall.h"
#include "store/keys.h"
#include "store/tree.h"

#include <QHash>

#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::findbits;
using plist::Dict;

namespace {

// Records every item tested, in order.
class RecordingContext : public MatchContext {
public:
    std::optional<QString> fileText(const IndexItem&) override { return std::nullopt; }
    std::optional<QDate> fileModificationDay(const IndexItem&) override { return std::nullopt; }
    bool europeanDates() const override { return false; }
};

std::unique_ptr<IndexItem> file(const QString& path, Dict more = {})
{
    more.set(keys::Path, path);
    return std::make_unique<IndexItem>(std::move(more), false);
}

std::unique_ptr<IndexItem> folder(const QString& path, Dict more = {})
{
    more.set(keys::Path, path);
    return std::make_unique<IndexItem>(std::move(more), true);
}

std::unique_ptr<IndexItem> folderOf(const QString& path, Dict more)
{
    return folder(path, std::move(more));
}

FindCriteria nameContains(const QString& needle)
{
    FindCondition c;
    c.tag = Name | Contains;
    c.name = needle;
    FindCriteria f;
    f.conditions = {c};
    return f;
}

// In the browser's order: 0 A, 1 A/x1, 2 A/2024 (date), 3 A/2024/March (date, one file),
// 4 A/2024/March/x3, 5 S (a smart folder whose smart files are not walked), 6 T, 7 B, 8 B/x2.
struct Tree {
    IndexTree tree;
    Tree()
    {
        IndexItem* a = tree.insert(nullptr, folder("A"));
        tree.insert(a, file("A/x1.pdf"));
        IndexItem* year = tree.insert(a, folder("A/2024", Dict{{keys::Date, true}}));
        IndexItem* month = tree.insert(year, folder("A/2024/March", Dict{{keys::Date, true}}));
        tree.insert(month, file("A/2024/March/x3.pdf"));
        IndexItem* smart = tree.insert(nullptr, folder("S", Dict{{keys::SmartFolder, Dict{}}}));
        tree.insert(smart, file("S/SF1", Dict{{keys::SmartFile, "A/x1.pdf"}}));
        tree.insert(smart, file("S/SF2", Dict{{keys::SmartFile, "B/x2.pdf"}}));
        tree.insert(nullptr, file("T.pdf"));
        IndexItem* b = tree.insert(nullptr, folder("B"));
        tree.insert(b, file("B/x2.pdf"));
    }
};

// Paths in the order a walk that finds nothing tests them.
QStringList testedOrder(IndexTree& tree, const QString& selected, bool backward)
{
    RecordingContext ctx;
    FindWalk walk(tree, nameContains("no such name"), ctx, selected, backward);
    QStringList order;
    while (!walk.finished()) {
        order << (walk.current() ? walk.current()->path() : QString("(gone)"));
        walk.step(1);
    }
    return order;
}

} // namespace

TEST(FindWalk, StartRulesAndWrapInBothDirections)
{
    Tree t;
    const QStringList all{"A", "A/x1.pdf", "A/2024", "A/2024/March", "A/2024/March/x3.pdf", "S", "T.pdf", "B", "B/x2.pdf"};
    const struct {
        const char* why;
        QString selected;
        bool backward;
        QString first; // the first item tested
    } cases[] = {
        {"nothing selected", "", false, "A"},
        {"nothing selected", "", true, "B/x2.pdf"},
        {"a file", "A/x1.pdf", false, "A/2024"},
        {"a file", "A/x1.pdf", true, "A"},
        {"the first item", "A", true, "B/x2.pdf"},
        {"the last item", "B/x2.pdf", false, "A"},
        {"a date folder standing for its lone file", "A/2024/March", false, "S"},
        {"a chain of them", "A/2024", false, "S"},
        {"the lone file itself", "A/2024/March/x3.pdf", false, "S"},
        {"a date folder, backward", "A/2024/March", true, "A/2024"},
        {"a smart file: the item after its folder", "S/SF1", false, "T.pdf"},
        {"the last smart file", "S/SF2", false, "T.pdf"},
        {"a smart file backward: the item before its folder", "S/SF2", true, "A/2024/March/x3.pdf"},
        {"a smart folder", "S", false, "T.pdf"},
        {"a path that has gone", "Gone.pdf", false, "A"},
        {"a path that has gone", "Gone.pdf", true, "B/x2.pdf"},
    };
    for (const auto& c : cases) {
        const QStringList order = testedOrder(t.tree, c.selected, c.backward);
        ASSERT_FALSE(order.isEmpty()) << c.why;
        EXPECT_EQ(order.front(), c.first) << c.why << (c.backward ? " (backward)" : "");
        // Round once: every item tested exactly once, the last one included, in the
        // browser's order turned round at the ends.
        ASSERT_EQ(order.size(), all.size()) << c.why;
        const qsizetype at = all.indexOf(c.first);
        for (qsizetype i = 0; i < all.size(); ++i) {
            const qsizetype n = all.size();
            const qsizetype expected = c.backward ? ((at - i) % n + n) % n : (at + i) % n;
            EXPECT_EQ(order[i], all[expected]) << c.why << " #" << i;
        }
    }

    // A match is found where the walk first meets one; the selected item itself comes last.
    RecordingContext ctx;
    FindWalk self(t.tree, nameContains("x1"), ctx, "A/x1.pdf", false);
    while (self.step(3)) {
    }
    ASSERT_TRUE(self.found());
    EXPECT_EQ(self.found()->path(), "A/x1.pdf");
    EXPECT_EQ(self.tested(), 9);

    IndexTree empty;
    FindWalk none(empty, nameContains("x"), ctx, "", false);
    EXPECT_TRUE(none.finished());
    EXPECT_FALSE(none.step(1));
    EXPECT_EQ(none.current(), nullptr);
}

TEST(FindWalk, TheTreeMayChangeBetweenSteps)
{
    Tree t;
    RecordingContext ctx;
    // An item removed before its turn is passed over; a renamed one is tested under its
    // new name; an item added meanwhile is not in this walk.
    FindWalk walk(t.tree, nameContains("x"), ctx, "A", false);
    t.tree.take(t.tree.itemForPath("A/x1.pdf"));
    IndexItem* x3 = t.tree.itemForPath("A/2024/March/x3.pdf");
    t.tree.setPath(x3, "A/2024/March/y3.pdf");
    t.tree.insert(t.tree.itemForPath("B"), file("B/x0.pdf"), 0);
    while (walk.step(1)) {
    }
    ASSERT_TRUE(walk.found());
    EXPECT_EQ(walk.found()->path(), "B/x2.pdf");

    // The found item leaving the tree before it is shown is not handed out.
    FindWalk again(t.tree, nameContains("x2"), ctx, "", false);
    while (again.step(1)) {
    }
    ASSERT_TRUE(again.found());
    t.tree.take(again.found());
    EXPECT_EQ(again.found(), nullptr);

    // The whole tree replaced: nothing of the old one is touched.
    FindWalk reset(t.tree, nameContains("x"), ctx, "", true);
    t.tree.reset({});
    while (reset.step(2)) {
    }
    EXPECT_EQ(reset.found(), nullptr);
    EXPECT_EQ(reset.current(), nullptr);
}

TEST(SelectAll, FoundItemsFollowTheTree)
{
    Tree t;
    RecordingContext ctx;
    SelectAllScan scan(t.tree, nameContains("x"), ctx);
    EXPECT_EQ(scan.total(), 9);
    while (scan.step(4)) {
    }
    // The lone file is selected as its outermost date folder; smart files are not walked.
    EXPECT_EQ(scan.found(), (QStringList{"A/x1.pdf", "A/2024", "B/x2.pdf"}));

    // Found, then renamed or removed before the selection is made.
    SelectAllScan later(t.tree, nameContains("x"), ctx);
    later.step(5);
    t.tree.setPath(t.tree.itemForPath("A/x1.pdf"), "A/z1.pdf");
    t.tree.take(t.tree.itemForPath("A/2024"));
    while (later.step(1)) {
    }
    EXPECT_EQ(later.foundCount(), 3);
    EXPECT_EQ(later.found(), (QStringList{"A/z1.pdf", "B/x2.pdf"}));
}

TEST(SelectAll, StatusLinesAndFinalMessageCountWhatWasFound)
{
    const struct {
        qsizetype count;
        const char* soFar;
        const char* selected;
    } cases[] = {
        {0, "No files found yet.  Hold CONTROL to stop.", "No Files Found"},
        {1, "1 file found.  Hold CONTROL to stop.", "1 Found File Selected In Browser"},
        {2, "2 files found.  Hold CONTROL to stop.", "2 Found Files Selected In Browser"},
        {1234, "1234 files found.  Hold CONTROL to stop.", "1234 Found Files Selected In Browser"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(findmsg::foundSoFar(c.count), QString(c.soFar));
        EXPECT_EQ(findmsg::foundSelected(c.count), QString(c.selected));
    }
}

TEST(Highlight, RangesOfContentsMatches)
{
    const auto contents = [](const QString& needle, bool ignoreCase = false) {
        return ContentsNeedle{needle, ignoreCase};
    };
    const QString nfc = QString::fromUtf8("caf\u00e9");
    const QString nfd = QString::fromUtf8("cafe\u0301");
    const struct {
        const char* why;
        QString text;
        std::vector<ContentsNeedle> needles;
        std::vector<TextRange> ranges;
    } cases[] = {
        {"every occurrence", "tax, tax and tax", {contents("tax")}, {{0, 3}, {5, 3}, {13, 3}}},
        {"occurrences do not overlap", "aaaaa", {contents("aa")}, {{0, 2}, {2, 2}}},
        {"case counts", "Tax tax TAX", {contents("tax")}, {{4, 3}}},
        {"case ignored", "Tax tax TAX", {contents("tax", true)}, {{0, 3}, {4, 3}, {8, 3}}},
        {"an empty needle marks nothing", "abc", {contents("")}, {}},
        {"nothing found", "abc", {contents("d")}, {}},
        {"an empty text", "", {contents("a")}, {}},
        {"two needles, sorted", "beta alpha", {contents("alpha"), contents("beta")}, {{0, 4}, {5, 5}}},
        {"overlapping needles are joined", "abcd", {contents("abc"), contents("bcd")}, {{0, 4}}},
        {"one inside another", "abcd", {contents("bc"), contents("abcd")}, {{0, 4}}},
        {"adjacent ones stay apart", "abab", {contents("ab")}, {{0, 2}, {2, 2}}},
        {"composed needle, decomposed text", "le " + nfd, {contents(nfc)}, {{3, 5}}},
        {"decomposed needle, composed text", nfc + "!", {contents(nfd)}, {{0, 4}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(contentsMatchRanges(c.text, c.needles), c.ranges) << c.why;

    // Only contents conditions with a needle count, with their own case rule.
    FindCriteria f;
    FindCondition name, empty, contentsCase, contentsAnyCase;
    name.tag = Name | Contains;
    name.name = "x";
    empty.tag = Contents | Contains;
    empty.name = "";
    contentsCase.tag = Contents | Contains;
    contentsCase.name = "Bill";
    contentsAnyCase.tag = Contents | Contains | IgnoreCase;
    contentsAnyCase.name = "due";
    FindCondition custom;
    custom.tag = Custom | Contents;
    custom.customAttribute = "Amount";
    custom.customMatch = "1";
    f.conditions = {name, empty, contentsCase, contentsAnyCase, custom};
    EXPECT_EQ(contentsNeedles(f), (std::vector<ContentsNeedle>{contents("Bill"), contents("due", true)}));
    EXPECT_EQ(contentsMatchRanges(QStringLiteral("bill Bill DUE x"), f), (std::vector<TextRange>{{5, 4}, {10, 3}}));
}

TEST(Highlight, SmartFilesOfConditionFoldersCarryTheirFoldersNeedles)
{
    FindCondition contents;
    contents.tag = Contents | Contains | IgnoreCase;
    contents.name = "invoice";
    FindCriteria f;
    f.conditions = {contents};
    IndexTree tree;
    const auto smartFolder = [&](const QString& name, std::optional<int> type, plist::Value definition) {
        Dict record{{keys::SmartFolder, std::move(definition)}};
        if (type)
            record.set(keys::SmartFolderType, std::int64_t(*type));
        IndexItem* smart = tree.insert(nullptr, folderOf(name, std::move(record)));
        return tree.insert(smart, file(name + "/SF1", Dict{{keys::SmartFile, "A/x.pdf"}}));
    };
    const std::vector<ContentsNeedle> invoice{{"invoice", true}};
    EXPECT_EQ(contentsNeedlesForSmartFile(*smartFolder("Untyped", std::nullopt, f.toDict())), invoice);
    EXPECT_EQ(contentsNeedlesForSmartFile(*smartFolder("Conditions", 0, f.toDict())), invoice);
    EXPECT_TRUE(contentsNeedlesForSmartFile(*smartFolder("Tags", 1, plist::Array{"invoice"})).empty());
    EXPECT_TRUE(contentsNeedlesForSmartFile(*smartFolder("Selected", 2, f.toDict())).empty());
    // Damage in the record reads as criteria without conditions.
    EXPECT_TRUE(contentsNeedlesForSmartFile(*smartFolder("Damaged", 0, "not a record")).empty());
    // A real file has no folder's needles.
    IndexItem* a = tree.insert(nullptr, folder("A"));
    EXPECT_TRUE(contentsNeedlesForSmartFile(*tree.insert(a, file("A/x.pdf"))).empty());
}

