// The Find dialog and select all: the dialog's warning line for every kind of row, the
// contents warning once per run, a stored record read and written back whole, and the Find
// command selecting every match of a small database in the browser.

#include "gui/guitest.h"

#include "find/finddialog.h"
#include "find/findmessages.h"
#include "content/contentarea.h"
#include "mainwindow.h"
#include "viewer/textview.h"
#include "viewer/viewerpage.h"

#include "find/messages.h"
#include "store/dboperation.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::findbits;
using namespace folivo::gui;

namespace {

void choose(FindConditionRow* row, int tag)
{
    const int i = row->menu()->findData(tag);
    ASSERT_GE(i, 0) << tag;
    row->menu()->setCurrentIndex(i);
}

} // namespace

TEST(FindDialog, WarningLineNamesWhatIsMissing)
{
    const struct {
        int tag;
        QString text, date, from, to, match;
        QString warning; // empty: accepted
    } cases[] = {
        {LegacyNameContains, "", "", "", "", "", folivo::findmsg::MissingMatchText},
        {Contents | Contains | IgnoreCase, "", "", "", "", "", folivo::findmsg::MissingMatchText},
        {Custom, "", "", "", "", "", folivo::findmsg::MissingMatchText},
        {LegacyDateInRange, "", "", "", "", "", "Missing date."},
        {LegacyDateInRange, "", "soon", "", "", "", "\"soon\" is an invalid date."},
        {ItemDates | Between, "", "", "3/01/2024", "", "", "Missing date."},
        {ItemDates | Between, "", "", "", "3/31/2024", "", "Missing date."},
        {ItemDates | Between, "", "", "3/31/2024", "3/01/2024", "", "Starting date must be on or before ending date."},
        {LegacyNameContains, "Bank", "", "", "", "", ""},
        {Custom, "", "", "", "", "12", ""},
        {FileDate | Between, "", "", "3/01/2024", "3/31/2024", "", ""},
    };
    for (const auto& c : cases) {
        FindDialog dialog({"Amount"}, false, nullptr);
        dialog.setup(FindCriteria{});
        FindConditionRow* row = dialog.row(0);
        choose(row, c.tag);
        row->textField()->setText(c.text);
        row->dateField()->setText(c.date);
        row->fromField()->setText(c.from);
        row->toField()->setText(c.to);
        row->matchField()->setText(c.match);
        const std::optional<FindCriteria> f = dialog.criteriaFromDialog();
        EXPECT_EQ(f.has_value(), c.warning.isEmpty()) << c.tag;
        EXPECT_EQ(dialog.warningShown(), !c.warning.isEmpty());
        if (!c.warning.isEmpty())
            EXPECT_EQ(dialog.warning(), c.warning) << std::hex << c.tag;
    }

    // A custom attribute row needs an attribute to name.
    FindDialog none({}, false, nullptr);
    none.setup(FindCriteria{});
    choose(none.row(0), Custom);
    none.row(0)->matchField()->setText("12");
    EXPECT_FALSE(none.criteriaFromDialog());
    EXPECT_EQ(none.warning(), folivo::findmsg::MissingAttribute);
}

TEST(FindDialog, StoredRecordsGoBackWhole)
{
    const plist::Dict stored{
        {findkeys::Conditions,
         plist::Array{plist::Dict{{findkeys::Tag, std::int64_t(-32759)}, {findkeys::Name, "tax"}, {"Extra", 1}},
                      plist::Dict{{findkeys::Tag, std::int64_t(Tags | Is)}, {findkeys::Name, "2024"}},
                      plist::Dict{{findkeys::Tag, std::int64_t(ItemDates | Between)},
                                  {findkeys::FromDate, "3/01/2024"},
                                  {findkeys::ToDate, "3/31/2024"}},
                      plist::Dict{{findkeys::Tag, std::int64_t(Custom)},
                                  {findkeys::CustomAttribute, "Amount"},
                                  {findkeys::CustomMatch, "12"},
                                  {findkeys::CustomMatchType, std::int64_t(3)}}}},
        {findkeys::All, false},
        {findkeys::Expand, true},
        {findkeys::Type, std::int64_t(1)}, // find backward: not run here, kept
        {findkeys::SmartFolderName, ""},
        {"Other", "kept"},
    };
    FindDialog dialog({"Amount", "Client"}, false, nullptr);
    dialog.setup(FindCriteria::fromValue(stored));
    ASSERT_EQ(dialog.rowCount(), 4);
    EXPECT_EQ(dialog.allMenu()->currentIndex(), 1);
    EXPECT_EQ(dialog.row(0)->tag(), Contents | Name | Contains); // -32759 & 0xFFFF
    EXPECT_EQ(dialog.row(1)->menu()->currentText(), gui::findmsg::StoredCondition);
    EXPECT_EQ(dialog.row(3)->matchTypeMenu()->currentIndex(), 3);
    const std::optional<FindCriteria> f = dialog.criteriaFromDialog();
    ASSERT_TRUE(f);
    EXPECT_EQ(plist::Value(f->toDict()), plist::Value(stored));

    // Removing a row, adding one: the rest keeps its order.
    dialog.removeRow(dialog.row(1));
    FindConditionRow* added = dialog.addRow(dialog.row(0));
    added->textField()->setText("Bank");
    const std::optional<FindCriteria> g = dialog.criteriaFromDialog();
    ASSERT_TRUE(g);
    ASSERT_EQ(g->conditions.size(), 4u);
    EXPECT_EQ(g->conditions[1].name, QString("Bank"));
    EXPECT_EQ(g->conditions[1].tag, LegacyNameContains);
    EXPECT_EQ(g->conditions[2].fromDate, QString("3/01/2024"));
}

TEST(FindDialog, ContentsWarningOncePerRun)
{
    FindDialog dialog({}, false, nullptr);
    QStringList alerts;
    dialog.alert = [&](QWidget*, const QString& text) { alerts << text; };
    FindCriteria c;
    FindCondition contents;
    contents.tag = Contents | Contains;
    contents.name = "invoice";
    c.conditions = {contents};
    c.type = 2;
    dialog.setup(c);
    test::ModalScript<FindDialog> script({[](FindDialog* d) { d->accept(); }, [](FindDialog* d) { d->accept(); }});
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(alerts, QStringList{gui::findmsg::ContentsWarningSelectAll});
    // A new run warns again.
    test::ModalScript<FindDialog> again({[](FindDialog* d) { d->accept(); }, [](FindDialog* d) { d->accept(); }});
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(alerts.size(), 2);
}

TEST(FindWindow, SelectAllSelectsEveryMatchInTheBrowser)
{
    test::Scratch scratch;
    const QString db = scratch.file("Find.fvdb");
    auto window = std::make_unique<MainWindow>();
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    ASSERT_TRUE(window->createDatabase(db).ok());
    MyDocument& doc = window->document(); // the window that made it
    ASSERT_EQ(doc.recordNewCategory("Bank", nullptr, -1).status, OperationResult::Status::Done);
    const QDateTime march(QDate(2024, 3, 31), QTime(0, 0));
    ASSERT_EQ(doc.recordImport("Bank statement.txt", "Balance", "Bank", -1, march, march).status,
              OperationResult::Status::Done);
    ASSERT_EQ(doc.recordImport("Receipt.txt", "Thanks", "Bank", -1, march, march).status, OperationResult::Status::Done);
    window->close();
    window = std::make_unique<MainWindow>();
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    ASSERT_TRUE(window->openDatabase(db, OpenOptions{}).ok());
    window->show();

    test::ModalScript<FindDialog> script({[](FindDialog* d) {
        FindConditionRow* row = d->row(0);
        choose(row, LegacyNameContainsIgnoringCase);
        row->textField()->setText("bank");
        d->typeMenu()->setCurrentIndex(d->typeMenu()->findData(int(FindType::SelectAll)));
        d->accept();
    }});
    ASSERT_TRUE(window->runCommand(MenuCommand::Find));
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
    // The folder and the lone file in its date folders, which is selected as its date folder.
    const QStringList selected = window->selectedPaths();
    EXPECT_EQ(script.stepsRun(), 1);
    EXPECT_EQ(selected, (QStringList{"Bank", "Bank/2024/March/Bank statement.txt"}));
    // After select all there is no next match.
    EXPECT_FALSE(window->commandState(MenuCommand::FindNext).enabled);

    // Find forward from the selection, then again backward, which comes round to the match itself.
    test::ModalScript<FindDialog> forward({[](FindDialog* d) {
        FindConditionRow* row = d->row(0);
        choose(row, LegacyNameContainsIgnoringCase);
        row->textField()->setText("receipt");
        d->typeMenu()->setCurrentIndex(d->typeMenu()->findData(int(FindType::FindForward)));
        d->accept();
    }});
    ASSERT_TRUE(window->runCommand(MenuCommand::Find));
    EXPECT_EQ(window->selectedPaths(), QStringList{"Bank/2024/March/Receipt.txt"});
    EXPECT_TRUE(window->commandState(MenuCommand::FindPrevious).enabled);
    ASSERT_TRUE(window->runCommand(MenuCommand::FindPrevious));
    EXPECT_EQ(window->selectedPaths(), QStringList{"Bank/2024/March/Receipt.txt"});
    window->close();
}

TEST(FindWindow, FindNextSelectsTheMatchAndMarksItsContents)
{
    test::Scratch scratch;
    const QString db = scratch.file("Next.fvdb");
    auto window = std::make_unique<MainWindow>();
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    ASSERT_TRUE(window->createDatabase(db).ok());
    MyDocument* made = &window->document();
    ASSERT_EQ(made->recordNewCategory("Bank", nullptr, -1).status, OperationResult::Status::Done);
    const QDateTime march(QDate(2024, 3, 31), QTime(0, 0));
    for (const auto& [name, text] : {std::pair{"A letter.txt", "Nothing here"}, std::pair{"B statement.txt", "Balance: 12.\nbalance, Balance"},
                                     std::pair{"C receipt.txt", "Balance"}})
        ASSERT_EQ(made->recordImport(name, text, "Bank", -1, march, march).status, OperationResult::Status::Done);
    window->close();
    window = std::make_unique<MainWindow>();
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    ASSERT_TRUE(window->openDatabase(db, OpenOptions{}).ok());
    window->show();
    window->resize(900, 600);
    const QString statement = "Bank/2024/March/B statement.txt";
    const QString receipt = "Bank/2024/March/C receipt.txt";

    test::ModalScript<FindDialog> script({[](FindDialog* d) {
        d->alert = [](QWidget*, const QString&) {}; // the warning about searching contents
        FindConditionRow* row = d->row(0);
        choose(row, Contents | Contains | IgnoreCase);
        row->textField()->setText("Balance");
        d->typeMenu()->setCurrentIndex(d->typeMenu()->findData(int(FindType::FindForward)));
        d->accept();
    },
                                           [](FindDialog* d) { d->accept(); }}); // after the warning
    window->selectItems({"Bank/2024/March/A letter.txt"});
    ASSERT_TRUE(window->runCommand(MenuCommand::Find));
    EXPECT_EQ(script.stepsRun(), 2);
    ASSERT_EQ(window->selectedPaths(), QStringList{statement});

    // The file comes into the viewer, the matches of the contents condition marked.
    auto* page = qobject_cast<ViewerPage*>(window->content().page(ViewerPage::PageName));
    ASSERT_TRUE(page);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000 &&
           !(page->shownItemPath() == statement && page->mode() == ViewerPage::Mode::Text && !page->textView()->filling()))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(page->shownItemPath(), statement);
    EXPECT_EQ(page->textView()->marks(), (std::vector<TextRange>{{0, 7}, {13, 7}, {22, 7}}));
    EXPECT_EQ(page->textView()->marksShown(), 3);

    // On, and round: forward past the last match comes to the first again, backward the same.
    ASSERT_TRUE(window->runCommand(MenuCommand::FindNext));
    EXPECT_EQ(window->selectedPaths(), QStringList{receipt});
    ASSERT_TRUE(window->runCommand(MenuCommand::FindNext));
    EXPECT_EQ(window->selectedPaths(), QStringList{statement});
    ASSERT_TRUE(window->runCommand(MenuCommand::FindPrevious));
    EXPECT_EQ(window->selectedPaths(), QStringList{receipt});
    // Every found file was a step of the history.
    EXPECT_GE(window->document().history().count(), 4);
    window->close();
}

