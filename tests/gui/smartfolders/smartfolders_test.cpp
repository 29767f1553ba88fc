// Smart folders in the window: the Find dialog keeps a search as one, opening a folder loads
// it (and only then), Control stops a load and leaves the folder to load again, a folder of
// the selection is made from the menu, and a condition folder's row edits its conditions.

#include "gui/guitest.h"

#include "browser/browserdrops.h"
#include "browser/browserpane.h"
#include "browser/treemodel.h"
#include "find/finddialog.h"
#include "find/findmessages.h"
#include "mainwindow.h"
#include "smartfolders/smartfoldercommands.h"
#include "widgets/busymode.h"

#include "find/messages.h"
#include "smartfolders/smartfolders.h"
#include "store/keys.h"
#include "store/mydocument.h"
#include "store/tree.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::gui;

namespace {

FindCriteria nameContains(const QString& needle, const QString& name)
{
    FindCondition c;
    c.tag = findbits::Name | findbits::Contains | findbits::IgnoreCase;
    c.name = needle;
    FindCriteria f;
    f.conditions = {c};
    f.type = 3;
    f.smartFolderName = name;
    return f;
}

void settle()
{
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
}

class SmartFolderWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        window_ = std::make_unique<MainWindow>();
        window_->setAttribute(Qt::WA_DeleteOnClose, false);
        ASSERT_TRUE(window_->createDatabase(scratch_.file("Home.fvdb")).ok());
        window_->show();
        for (int i = 0; i < 12; ++i)
            file(QStringLiteral("bill %1.txt").arg(i));
        file("letter.txt");
        settle();
    }
    void TearDown() override
    {
        BusyMode::controlHeld = saved_;
        window_->close();
    }
    MyDocument& doc() { return window_->document(); }
    SmartFolderCommands& module() { return *SmartFolderCommands::ofWidget(window_.get()); }
    QString file(const QString& name)
    {
        const OperationResult r = doc().recordImport(name, QByteArray("text"), "Unfiled", -1, {}, {});
        EXPECT_TRUE(r.ok());
        return r.resultPath;
    }
    QModelIndex rowOf(const QString& path)
    {
        return window_->model()->indexForItem(doc().tree().itemForPath(path));
    }

    test::Scratch scratch_;
    std::unique_ptr<MainWindow> window_;
    bool (*saved_)() = BusyMode::controlHeld;
};

TEST_F(SmartFolderWindow, TheFindDialogKeepsASearchAsASmartFolder)
{
    test::ModalScript<FindDialog> script({[](FindDialog* d) {
        d->typeMenu()->setCurrentIndex(d->typeMenu()->findData(int(FindType::SmartFolder)));
        EXPECT_TRUE(d->smartFolderArea()->isVisibleTo(d));
        EXPECT_EQ(d->smartFolderNameField()->text(), gui::findmsg::SmartFolderDefaultName);
        FindConditionRow* row = d->row(0);
        row->menu()->setCurrentIndex(row->menu()->findData(findbits::LegacyNameContainsIgnoringCase));
        row->textField()->setText("bill");
        // A taken name keeps the dialog open and says so.
        d->smartFolderNameField()->setText("Unfiled");
        d->accept();
        EXPECT_EQ(d->warning(), folivo::findmsg::NameInUse);
        d->smartFolderNameField()->setText("Bills");
        d->accept();
    }});
    ASSERT_TRUE(window_->runCommand(MenuCommand::Find));
    settle();
    EXPECT_EQ(script.stepsRun(), 1);
    IndexItem* bills = doc().tree().itemForPath("Bills");
    ASSERT_TRUE(bills && bills->isSmartFolder());
    // Made, shown and opened: opening loaded it.
    EXPECT_FALSE(doc().smartFolders().needsLoading(*bills));
    EXPECT_EQ(doc().smartFolders().members(*bills).size(), 12);
    EXPECT_TRUE(window_->treeView()->isExpanded(rowOf("Bills")));
    EXPECT_EQ(window_->selectedPaths(), QStringList{"Bills"});
}

// Loading rebuilds what can always be rebuilt: opening a folder of a saved database leaves it
// saved. A change collapses the folder; opening it again loads it again.
TEST_F(SmartFolderWindow, OpeningLoadsAndIsNoChange)
{
    IndexItem* bills = doc().smartFolders().createConditionFolder(nameContains("bill", "Bills"));
    ASSERT_TRUE(bills);
    ASSERT_TRUE(window_->saveNow(false).saved);
    ASSERT_FALSE(QFile::exists(doc().dbPath() + "/.changed"));
    settle();

    window_->treeView()->expand(rowOf("Bills"));
    settle();
    bills = doc().tree().itemForPath("Bills");
    ASSERT_TRUE(bills);
    EXPECT_FALSE(doc().smartFolders().needsLoading(*bills));
    EXPECT_EQ(bills->children().size(), 12u);
    EXPECT_TRUE(window_->treeView()->isExpanded(rowOf("Bills")));
    EXPECT_FALSE(QFile::exists(doc().dbPath() + "/.changed"));
    EXPECT_FALSE(window_->saveNow(true).saved);

    file("bill 12.txt");
    settle();
    EXPECT_FALSE(window_->treeView()->isExpanded(rowOf("Bills")));
    EXPECT_TRUE(doc().smartFolders().needsLoading(*doc().tree().itemForPath("Bills")));
    window_->treeView()->expand(rowOf("Bills"));
    settle();
    EXPECT_EQ(doc().tree().itemForPath("Bills")->children().size(), 13u);
}

TEST_F(SmartFolderWindow, ControlStopsALoadThatThenLoadsAgain)
{
    IndexItem* bills = doc().smartFolders().createConditionFolder(nameContains("bill", "Bills"));
    ASSERT_TRUE(bills);
    module().sliceSize = 3;
    BusyMode::controlHeld = [] { return true; };
    EXPECT_FALSE(module().load("Bills"));
    bills = doc().tree().itemForPath("Bills");
    EXPECT_TRUE(doc().smartFolders().needsLoading(*bills));
    EXPECT_EQ(bills->children().size(), 3u); // what the first slice found stays
    EXPECT_FALSE(doc().smartFolders().loading());

    BusyMode::controlHeld = [] { return false; };
    EXPECT_TRUE(module().load("Bills"));
    EXPECT_EQ(doc().tree().itemForPath("Bills")->children().size(), 12u);
}

TEST_F(SmartFolderWindow, NewSmartFolderFromTheSelection)
{
    window_->selectItems({"Unfiled/letter.txt", "Unfiled/bill 3.txt"});
    settle();
    ASSERT_TRUE(window_->commandState(MenuCommand::NewSmartFolderFromSelection).enabled);
    ASSERT_TRUE(window_->runCommand(MenuCommand::NewSmartFolderFromSelection));
    settle();
    IndexItem* chosen = doc().tree().itemForPath("Selected Files");
    ASSERT_TRUE(chosen);
    EXPECT_EQ(doc().smartFolders().members(*chosen).size(), 2);
    EXPECT_EQ(window_->selectedPaths(), QStringList{"Selected Files"});
    // A smart folder in the selection: there is nothing to refer to.
    EXPECT_FALSE(window_->commandState(MenuCommand::NewSmartFolderFromSelection).enabled);

    // Its row's edit action selects the files it holds.
    ASSERT_TRUE(module().edit("Selected Files"));
    settle();
    QStringList selected = window_->selectedPaths();
    selected.sort();
    EXPECT_EQ(selected, (QStringList{"Unfiled/bill 3.txt", "Unfiled/letter.txt"}));
}

TEST_F(SmartFolderWindow, EditingAConditionFolderSavesItsConditionsAndName)
{
    ASSERT_TRUE(doc().smartFolders().createConditionFolder(nameContains("bill", "Bills")));
    QString editedName;
    module().runFindDialog = [&](const FindCriteria& criteria, const QString& name) -> std::optional<FindCriteria> {
        editedName = name;
        EXPECT_EQ(criteria.smartFolderName, "Bills");
        FindCriteria changed = nameContains("letter", "Letters");
        return changed;
    };
    window_->selectItems({"Bills"});
    settle();
    ASSERT_TRUE(window_->runCommand(MenuCommand::EditName));
    settle();
    EXPECT_EQ(editedName, "Bills");
    EXPECT_EQ(doc().tree().itemForPath("Bills"), nullptr);
    IndexItem* letters = doc().tree().itemForPath("Letters");
    ASSERT_TRUE(letters);
    EXPECT_EQ(FindCriteria::fromValue(*letters->value(keys::SmartFolder)).smartFolderName, "Letters");
    ASSERT_TRUE(module().load("Letters"));
    EXPECT_EQ(doc().smartFolders().members(*doc().tree().itemForPath("Letters")).size(), 1);
}

TEST(SmartFolderFindDialog, EditingKeepsItsOwnNameAndSaysSave)
{
    IndexTree tree;
    FindDialog dialog({}, false, nullptr);
    dialog.setTree(&tree);
    dialog.setup(nameContains("bill", "Bills"), "Bills");
    EXPECT_EQ(dialog.findButton()->text(), gui::findmsg::SaveButton);
    EXPECT_FALSE(dialog.typeMenu()->isVisibleTo(&dialog));
    EXPECT_EQ(dialog.smartFolderNameField()->text(), "Bills");
    const std::optional<FindCriteria> f = dialog.criteriaFromDialog();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->type, 3);
    EXPECT_EQ(f->smartFolderName, "Bills");
    dialog.smartFolderNameField()->setText(".hidden");
    EXPECT_FALSE(dialog.criteriaFromDialog());
    EXPECT_EQ(dialog.warning(), folivo::findmsg::BadSmartFolderName);
    dialog.smartFolderNameField()->setText("");
    EXPECT_FALSE(dialog.criteriaFromDialog());
    EXPECT_EQ(dialog.warning(), folivo::findmsg::MissingSmartFolderName);

    // A new search: the button finds again, and the type can be chosen.
    dialog.setup(FindCriteria{});
    EXPECT_EQ(dialog.findButton()->text(), gui::findmsg::FindButton);
    EXPECT_TRUE(dialog.typeMenu()->isVisibleTo(&dialog));
}

} // namespace
