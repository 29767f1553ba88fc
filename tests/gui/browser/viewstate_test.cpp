// What the window keeps while the tree changes under it: the expanded folders and the
// selection through a rename, which the model tells the view row by row instead of
// starting over (after Expand All a reset costs the view every row again), and the tree
// shown under the progress sheet of an open before the sheet's minimum time is over.

#include "gui/dndtestsupport.h"

#include "mainwindow.h"
#include "database/qtdocumentui.h"
#include "browser/treemodel.h"

#include "store/keys.h"
#include "store/messages.h"
#include "util/fs.h"

#include <QAbstractItemModelTester>
#include <QElapsedTimer>
#include <QPersistentModelIndex>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::gui;

namespace {

void settle()
{
    for (int i = 0; i < 4; ++i)
        QCoreApplication::processEvents();
}

// Waits for the open's progress sheet to go, as the person does before using the window.
bool sheetGone(MainWindow& window)
{
    QElapsedTimer waited;
    waited.start();
    while (window.documentUi().progressSheet() && waited.elapsed() < 10000)
        QTest::qWait(10);
    return window.documentUi().progressSheet() == nullptr;
}

class ViewState : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(test::fixturesDir().isEmpty()) << "fixture generation failed";
        path_ = scratch_.file("Household.fvdb");
        ASSERT_TRUE(fs::copyTree(test::fixturesDir() + "/Household.fvdb", path_));
        window_ = std::make_unique<MainWindow>();
        window_->setAttribute(Qt::WA_DeleteOnClose, false);
        const OpenResult r = window_->openDatabase(path_);
        ASSERT_TRUE(r.ok()) << qPrintable(r.message);
        window_->show();
        ASSERT_TRUE(sheetGone(*window_));
        settle();
    }
    void TearDown() override
    {
        if (window_)
            window_->close();
    }
    IndexTree& tree() { return window_->document().tree(); }
    QModelIndex indexOf(const QString& path) { return window_->model()->indexForItem(tree().itemForPath(path)); }
    // The folders the view shows expanded, by path.
    QSet<QString> expanded()
    {
        QSet<QString> out;
        tree().forEach([&](IndexItem& item) {
            if (item.hasChildren() && window_->treeView()->isExpanded(indexOf(item.path())))
                out.insert(item.path());
        });
        return out;
    }
    // The rows of `parent` as the model shows them must be the tree's children, in order.
    void expectRowsInTreeOrder(const IndexItem* parent)
    {
        const TreeModel& model = *window_->model();
        const QModelIndex parentIndex = model.indexForItem(parent);
        const ItemList& children = tree().childrenOf(parent);
        ASSERT_EQ(model.rowCount(parentIndex), int(children.size()));
        for (std::size_t i = 0; i < children.size(); ++i)
            EXPECT_EQ(model.itemFromIndex(model.index(int(i), 0, parentIndex)), children[i].get())
                << "row " << i << " of " << qPrintable(parent ? parent->path() : QStringLiteral("the top level"));
    }

    test::Scratch scratch_;
    QString path_;
    std::unique_ptr<MainWindow> window_;
};

QSet<QString> renamedPrefix(const QSet<QString>& paths, const QString& from, const QString& to)
{
    QSet<QString> out;
    for (const QString& p : paths)
        out.insert(p == from || p.startsWith(from + '/') ? to + p.mid(from.size()) : p);
    return out;
}

TEST_F(ViewState, RenameAfterExpandAllKeepsTheViewAsItWas)
{
    test::ModelTesterFailures failures;
    QAbstractItemModelTester tester(window_->model(), QAbstractItemModelTester::FailureReportingMode::Warning);
    window_->expandAll();
    settle();
    const QSet<QString> before = expanded();
    ASSERT_TRUE(before.contains("Bank/Visa/2023/March"));

    const QString path = "Bank/Visa/2023/March/Receipt.pdf";
    window_->selectItems({path});
    const QPersistentModelIndex kept(indexOf(path));
    const QPersistentModelIndex sibling(indexOf("Bank/Visa/2023/March/Statement.pdf"));
    QSignalSpy resets(window_->model(), &QAbstractItemModel::modelAboutToBeReset);
    QSignalSpy changes(window_->model(), &QAbstractItemModel::dataChanged);
    ASSERT_TRUE(window_->model()->setData(indexOf(path), "Refund"));
    settle();

    const QString renamed = "Bank/Visa/2023/March/Refund.pdf";
    ASSERT_TRUE(tree().itemForPath(renamed));
    EXPECT_EQ(resets.count(), 0) << "a rename need not make the view start over";
    EXPECT_GE(changes.count(), 1);
    EXPECT_EQ(expanded(), before);
    EXPECT_EQ(window_->selectedPaths(), QStringList{renamed});
    EXPECT_EQ(window_->treeView()->currentIndex(), indexOf(renamed));
    ASSERT_TRUE(kept.isValid());
    EXPECT_EQ(kept.data().toString(), "Refund");
    EXPECT_EQ(window_->model()->itemFromIndex(sibling), tree().itemForPath("Bank/Visa/2023/March/Statement.pdf"));
    EXPECT_EQ(failures.count(), 0);
}

TEST_F(ViewState, RenamesSortedElsewhereMoveTheirRowsWithTheirBranches)
{
    ASSERT_TRUE(window_->runCommand(MenuCommand::KeepSorted));
    settle();
    ASSERT_TRUE(tree().sorting.keepSorted);
    struct Case {
        const char* name;
        QString path;
        QString typed;
        QString renamed;
    } cases[] = {
        {"an expanded folder goes after a file", "Bank/Visa", "Zeta", "Bank/Zeta"},
        {"a file goes after the folder it came before", "Bank/Welcome Letter.pdf", "Zz Letter", "Bank/Zz Letter.pdf"},
        {"a top-level folder goes to the end", "Bank", "Zoo", "Zoo"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::ModelTesterFailures failures;
        QAbstractItemModelTester tester(window_->model(), QAbstractItemModelTester::FailureReportingMode::Warning);
        window_->expandAll();
        settle();
        const QSet<QString> before = expanded();
        IndexItem* item = tree().itemForPath(c.path);
        ASSERT_TRUE(item);
        const IndexItem* parent = item->parent();
        const int rowBefore = tree().indexOf(item);
        // Every sibling's index must follow its item to its new row.
        std::vector<std::pair<QPersistentModelIndex, const IndexItem*>> siblings;
        for (const auto& s : tree().childrenOf(parent))
            siblings.emplace_back(indexOf(s->path()), s.get());

        window_->selectItems({c.path});
        QSignalSpy resets(window_->model(), &QAbstractItemModel::modelAboutToBeReset);
        QSignalSpy layouts(window_->model(), &QAbstractItemModel::layoutChanged);
        ASSERT_TRUE(window_->model()->setData(indexOf(c.path), c.typed));
        settle();

        ASSERT_EQ(tree().itemForPath(c.renamed), item);
        ASSERT_NE(tree().indexOf(item), rowBefore) << "the case must move its row";
        EXPECT_EQ(resets.count(), 0);
        EXPECT_EQ(layouts.count(), 1);
        expectRowsInTreeOrder(parent);
        for (const auto& [index, sibling] : siblings) {
            ASSERT_TRUE(index.isValid());
            EXPECT_EQ(window_->model()->itemFromIndex(index), sibling);
            EXPECT_EQ(index.row(), tree().indexOf(sibling)) << qPrintable(sibling->path());
        }
        const QSet<QString> after = renamedPrefix(before, c.path, c.renamed);
        EXPECT_EQ(expanded(), after);
        EXPECT_EQ(window_->selectedPaths(), QStringList{c.renamed});
        EXPECT_EQ(window_->treeView()->currentIndex(), indexOf(c.renamed));

        // The window knows the new names too: a later reset expands them again.
        window_->model()->reload();
        settle();
        EXPECT_EQ(expanded(), after);
        EXPECT_EQ(window_->selectedPaths(), QStringList{c.renamed});
        EXPECT_EQ(failures.count(), 0);
    }
}

// A rebuild's sheet stays at least five seconds; the small package is rebuilt in far less,
// and the window must not sit on the finished tree until then.
TEST(OpenUnderTheSheet, TheTreeIsShownWhileTheSheetWaitsOutItsTime)
{
    ASSERT_FALSE(test::fixturesDir().isEmpty()) << "fixture generation failed";
    test::Scratch scratch;
    const QString path = scratch.file("Household.fvdb");
    ASSERT_TRUE(fs::copyTree(test::fixturesDir() + "/Household.fvdb", path));
    ASSERT_TRUE(test::writeAll(path + '/' + pkg::Changed, {})); // not closed properly: a rebuild
    MainWindow window;
    window.setAttribute(Qt::WA_DeleteOnClose, false);

    QElapsedTimer clock;
    clock.start();
    const OpenResult r = window.openDatabase(path);
    const qint64 took = clock.elapsed();
    ASSERT_TRUE(r.ok()) << qPrintable(r.message);
    ASSERT_TRUE(window.document().rebuiltAtOpen());
    EXPECT_LT(took, msg::RebuildMinimumMs) << "the open waited for its sheet";
    const ProgressSheet* sheet = window.documentUi().progressSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->title(), msg::RebuildingIndex);
    settle();
    // Under the sheet: the whole tree, laid out, with the window's commands ready.
    EXPECT_EQ(window.model()->rowCount(), 3);
    const QModelIndex bank = window.model()->indexForItem(window.document().tree().itemForPath("Bank"));
    EXPECT_TRUE(window.treeView()->visualRect(bank).isValid());
    EXPECT_FALSE(window.documentUi().busy());
    window.close();
}

} // namespace
