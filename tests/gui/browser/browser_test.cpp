// The browser over a real package: the tree in the model, the attributes of the selected
// item, and what happens to the view when items leave the tree.

#include "gui/guitest.h"

#include "attributes/attributesarea.h"
#include "mainwindow.h"
#include "browser/treemodel.h"

#include "browser/renamerules.h"
#include "store/keys.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QTreeView>
#include <QLineEdit>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::gui;

namespace {

QJsonObject manifestFor(const QString& package)
{
    QFile f(test::fixturesDir() + "/manifest.json");
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(f.readAll()).object().value(package).toObject();
}

class Browser : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(test::fixturesDir().isEmpty()) << "fixture generation failed";
        window_ = std::make_unique<MainWindow>();
        window_->setAttribute(Qt::WA_DeleteOnClose, false);
        const OpenResult r = window_->openDatabase(test::fixturesDir() + "/Household.fvdb");
        ASSERT_TRUE(r.ok()) << qPrintable(r.message);
        window_->show();
        model_ = window_->model();
        settle();
    }
    static void settle()
    {
        // Lets deferred work run: the view's layout, the restoring of its state.
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }
    AttributesArea* attributes() const { return window_->findChild<AttributesArea*>(); }
    QModelIndex indexOf(const QString& path) const
    {
        return model_->indexForItem(window_->document().tree().itemForPath(path));
    }
    // The row under `parent` whose path is `path`, found by walking the model only.
    std::unique_ptr<MainWindow> window_;
    TreeModel* model_ = nullptr;
};

// Walks the model the way the manifest lists items: parent first, children in order, not
// into smart folders (their contents are not their own).
void preorder(const TreeModel& model, const QModelIndex& parent, QStringList& paths, int& checked)
{
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex child = model.index(row, 0, parent);
        const IndexItem* item = model.itemFromIndex(child);
        EXPECT_NE(item, nullptr);
        if (!item)
            continue;
        // The model's structure and the tree's must agree both ways.
        EXPECT_EQ(model.parent(child), parent) << qPrintable(item->path());
        EXPECT_EQ(model.indexForItem(item), child) << qPrintable(item->path());
        EXPECT_EQ(model.rowCount(child), int(item->children().size())) << qPrintable(item->path());
        // A smart folder not loaded yet can be opened: opening it loads it.
        const bool opens = !item->children().empty()
                           || (item->isSmartFolder() && item->has(keys::NeedsLoading)
                               && item->value(keys::NeedsLoading)->toBool());
        EXPECT_EQ(model.hasChildren(child), opens) << qPrintable(item->path());
        EXPECT_EQ(model.data(child).toString(), shownNameForItem(*item)); // files without their extension
        EXPECT_EQ(model.data(child, Qt::ToolTipRole).toString(), item->path());
        ++checked;
        paths << item->path();
        if (!item->isSmartFolder())
            preorder(model, child, paths, checked);
    }
}

TEST_F(Browser, ModelShowsThePackageTreeInOrder)
{
    const QJsonObject expected = manifestFor(QStringLiteral("Household.fvdb"));
    QStringList want;
    for (const QJsonValue& v : expected.value(QStringLiteral("paths")).toArray())
        want << v.toString();
    ASSERT_FALSE(want.isEmpty());

    QStringList got;
    int checked = 0;
    preorder(*model_, {}, got, checked);
    EXPECT_EQ(got, want);

    QStringList top;
    for (int row = 0; row < model_->rowCount(); ++row)
        top << model_->data(model_->index(row, 0)).toString();
    EXPECT_EQ(top, (QStringList{"Unfiled", "Bank", "Last Import"}));
    EXPECT_EQ(model_->rowCount(indexOf("Bank/Visa/2023")), 2);
    EXPECT_EQ(model_->columnCount(), 1);
    EXPECT_FALSE(model_->index(3, 0).isValid());
    EXPECT_FALSE(model_->index(0, 1).isValid());

    // Kinds are told apart by icon: the special Unfiled folder, date folders, smart folders.
    auto iconKey = [&](const char* path) { return model_->data(indexOf(path), Qt::DecorationRole).value<QIcon>().cacheKey(); };
    EXPECT_NE(iconKey("Unfiled"), iconKey("Bank"));
    EXPECT_NE(iconKey("Bank/Visa/2023"), iconKey("Bank/Visa"));
    EXPECT_EQ(iconKey("Bank/Visa/2023"), iconKey("Bank/Visa/2024/January"));
    EXPECT_NE(iconKey("Last Import"), iconKey("Bank"));
    EXPECT_EQ(iconKey("Bank/Visa/2023/March/Statement.pdf"), iconKey("Bank/Welcome Letter.pdf"));

    EXPECT_EQ(window_->windowTitle(), QStringLiteral("Household — Folivo"));
    EXPECT_EQ(window_->statusText(), QStringLiteral("%1 items").arg(want.size()));
}

TEST_F(Browser, AttributesFollowTheSelectedItemWhoseKeysKeepTheirTypes)
{
    ASSERT_TRUE(window_->selectPath(QStringLiteral("Unfiled/Note.txt")));
    AttributesArea* area = attributes();
    EXPECT_EQ(area->shownPath(), QStringLiteral("Unfiled/Note.txt"));
    EXPECT_EQ(area->startDateField()->text(), QStringLiteral("1/05/2024"));
    // What the window shows comes from the item as loaded, every key with its own type.
    const IndexItem* note = window_->document().tree().itemForPath(QStringLiteral("Unfiled/Note.txt"));
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->value("StartDate")->isDate());
    EXPECT_EQ(note->value("ZZBig")->unsignedValue(), 18446744073709551615ULL);
    EXPECT_EQ(note->value("ZZNeg")->intValue(), -42);
    EXPECT_EQ(note->value("ZZData")->data(), QByteArray("\x00\x01\xfe\xff", 4));

    ASSERT_TRUE(window_->selectPath(QStringLiteral("Bank")));
    EXPECT_EQ(area->shownPath(), QStringLiteral("Bank"));
    const plist::Value* future = window_->document().tree().itemForPath("Bank")->value("ZZFutureKey");
    ASSERT_NE(future, nullptr);
    ASSERT_TRUE(future->isDict());
    EXPECT_TRUE(future->dict().find("flag")->isBool());
    EXPECT_TRUE(future->dict().find("ratio")->isReal());
    EXPECT_TRUE(future->dict().find("since")->isDate());
    EXPECT_TRUE(future->dict().find("list")->isArray());
    EXPECT_TRUE(future->dict().find("nested")->isDict());

    // The keyboard moves the selection, and the area follows.
    QTreeView* view = window_->treeView();
    view->setFocus();
    window_->collapseAll();
    view->setCurrentIndex(indexOf("Unfiled"));
    QTest::keyClick(view, Qt::Key_Down); // Unfiled is collapsed: the next row is Bank
    EXPECT_EQ(area->shownPath(), QStringLiteral("Bank"));
    QTest::keyClick(view, Qt::Key_Right); // expands Bank
    QTest::keyClick(view, Qt::Key_Down);
    EXPECT_EQ(area->shownPath(), QStringLiteral("Bank/Welcome Letter.pdf"));
}

TEST_F(Browser, ItemLeavingTheTreeLeavesNoIndexBehind)
{
    QTreeView* view = window_->treeView();
    window_->selectPath(QStringLiteral("Bank/Visa/2023/March/Receipt.pdf"));
    view->expand(indexOf("Bank/Visa/2023/December"));
    settle();
    ASSERT_TRUE(view->isExpanded(indexOf("Bank/Visa/2023/March")));

    IndexTree& tree = window_->document().tree();
    const QPersistentModelIndex gone(indexOf("Bank/Visa/2023/December"));
    const QPersistentModelIndex goneChild(indexOf("Bank/Visa/2023/December/Statement.pdf"));
    // Taken from the tree only; the package on disk is untouched.
    std::unique_ptr<IndexItem> taken = tree.take(tree.itemForPath(QStringLiteral("Bank/Visa/2023/December")));
    ASSERT_NE(taken, nullptr);
    taken.reset(); // the items are freed now, as the store frees them
    EXPECT_FALSE(gone.isValid());
    EXPECT_FALSE(goneChild.isValid());
    settle();
    view->viewport()->repaint();

    EXPECT_EQ(model_->rowCount(indexOf("Bank/Visa/2023")), 1);
    EXPECT_TRUE(view->isExpanded(indexOf("Bank/Visa/2023/March"))) << "what stays keeps its state";
    EXPECT_EQ(attributes()->shownPath(), QStringLiteral("Bank/Visa/2023/March/Receipt.pdf"));
    EXPECT_EQ(window_->statusText(), QStringLiteral("13 items"));

    // The selected item itself goes: the pane is cleared rather than left describing it.
    taken = tree.take(tree.itemForPath(QStringLiteral("Bank/Visa/2023/March/Receipt.pdf")));
    taken.reset();
    settle();
    EXPECT_TRUE(attributes()->shownPath().isEmpty());
    EXPECT_EQ(model_->rowCount(indexOf("Bank/Visa/2023/March")), 1);
}

TEST_F(Browser, ClosingTheWindowLetsGoOfTheTree)
{
    window_->selectPath(QStringLiteral("Bank/Visa"));
    window_->close();
    EXPECT_FALSE(window_->document().dbOpen());
    EXPECT_EQ(model_->rowCount(), 0);
    EXPECT_TRUE(attributes()->shownPath().isEmpty());
    window_->treeView()->viewport()->repaint();
}

// A folder of 100,000 items: finding a row through the parent's list must not turn into a
// scan of the list per lookup.
TEST(TreeModelScale, ParentLookupsStayFastInHugeFolders)
{
    SilentUi silentUi;
    MyDocument doc(silentUi);
    IndexTree& tree = doc.tree();
    constexpr int kFolders = 100000;
    ItemList top;
    top.reserve(kFolders);
    for (int i = 0; i < kFolders; ++i) {
        const QString path = QStringLiteral("F%1").arg(i);
        auto folder = std::make_unique<IndexItem>(plist::Dict{{keys::Path, path}}, true);
        ItemList kids;
        kids.push_back(std::make_unique<IndexItem>(plist::Dict{{keys::Path, path + "/doc.pdf"}}, false));
        IndexTree::adoptChildren(folder.get(), std::move(kids));
        top.push_back(std::move(folder));
    }
    tree.reset(std::move(top));
    TreeModel model(doc);

    QElapsedTimer clock;
    clock.start();
    for (int row = 0; row < kFolders; ++row) {
        const QModelIndex folder = model.index(row, 0);
        const QModelIndex doc = model.index(0, 0, folder);
        ASSERT_EQ(model.parent(doc).row(), row);
    }
    EXPECT_LT(clock.elapsed(), 3000);

    // After the folder's order changes, rows found through stale hints are still right.
    tree.sortByName(nullptr);
    model.reload();
    const QModelIndex f10 = model.indexForItem(tree.itemForPath(QStringLiteral("F10")));
    ASSERT_TRUE(f10.isValid());
    EXPECT_EQ(tree.categoriesArray()[std::size_t(f10.row())]->path(), QStringLiteral("F10"));
    EXPECT_EQ(model.parent(model.index(0, 0, f10)), f10);
}

} // namespace
