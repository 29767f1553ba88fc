// Reminders in a database window: a folder's reminder set on its page, the due list with its
// boxes to tick, and a row that leads to its folder.

#include "gui/guitest.h"

#include "attributes/attributesarea.h"
#include "browser/browserpane.h"
#include "mainwindow.h"
#include "reminders/reminderlist.h"
#include "reminders/reminderpage.h"

#include "reminders/reminders.h"
#include "store/dboperation.h"
#include "store/indexitem.h"
#include "store/keys.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::gui;

namespace {

using Status = OperationResult::Status;

class RemindersWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        window_ = std::make_unique<MainWindow>();
        window_->setAttribute(Qt::WA_DeleteOnClose, false);
        doc().reminders().clock = [this] { return now_; };
        ASSERT_TRUE(window_->createDatabase(db_).ok());
        for (const char* f : {"Bank", "Tax"})
            ASSERT_EQ(doc().recordNewCategory(f, nullptr, -1).status, Status::Done);
        window_->show();
        settle();
    }
    void TearDown() override
    {
        if (window_)
            window_->close();
    }
    MyDocument& doc() { return window_->document(); }
    static void settle()
    {
        for (int i = 0; i < 4; ++i)
            QCoreApplication::processEvents();
    }
    AttributesArea* area() const { return window_->findChild<AttributesArea*>(); }
    ReminderPage* page() const { return area()->reminderPage(); }
    ReminderList* list() const { return window_->findChild<ReminderList*>(); }
    IndexItem* folder(const QString& path) { return doc().tree().itemForPath(path); }
    void select(const QString& path)
    {
        ASSERT_TRUE(window_->selectPath(path));
        settle();
    }
    static void choose(QComboBox* box, int index)
    {
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    static void type(QComboBox* box, const QString& text)
    {
        box->lineEdit()->selectAll();
        QTest::keyClicks(box->lineEdit(), text);
        emit box->lineEdit()->editingFinished();
    }

    test::Scratch scratch_;
    QString db_ = scratch_.file("Reminders.fvdb");
    QDateTime now_{QDate(2024, 6, 1), QTime(9, 0)};
    std::unique_ptr<MainWindow> window_;
};

TEST_F(RemindersWindow, TheFolderPageSetsAReminderAndItsNextDate)
{
    select("Bank");
    ASSERT_EQ(page()->folderPath(), "Bank");
    EXPECT_FALSE(page()->dayField()->isVisible()) << "no reminder: only the choice of how often";
    area()->showReminderPage();
    choose(page()->whenMenu(), 1);
    type(page()->dayField(), "5");
    EXPECT_EQ(page()->prompt()->text(), "On the following day of the month:");
    EXPECT_FALSE(page()->monthField()->isVisibleTo(page()));
    EXPECT_EQ(Reminders::dueDateOf(*folder("Bank")), QDate(2024, 6, 5));
    EXPECT_EQ(page()->nextDue()->text(), "Next due: 6/05/2024");

    choose(page()->whenMenu(), 5);
    EXPECT_TRUE(page()->monthField()->isVisibleTo(page()));
    type(page()->monthField(), "sep");
    EXPECT_EQ(page()->monthField()->currentText(), "September") << "completed ignoring case";
    EXPECT_EQ(Reminders::dueDateOf(*folder("Bank")), QDate(2024, 9, 5));
    page()->otherChoice()->click();
    EXPECT_TRUE(page()->customText()->isEnabled());
    page()->customText()->setText("Renew the card");
    emit page()->customText()->editingFinished();
    EXPECT_EQ(Reminders::definitionOf(*folder("Bank"))->text, "Renew the card");

    // The folder's attributes file has it: a rebuild finds the reminder again.
    doc().rebuildIndex();
    EXPECT_EQ(Reminders::dueDateOf(*folder("Bank")), QDate(2024, 9, 5));
    EXPECT_EQ(doc().reminders().all().size(), 1u);

    select("Bank");
    choose(page()->whenMenu(), 0);
    EXPECT_FALSE(folder("Bank")->has(keys::ReminderDate));
    EXPECT_TRUE(doc().reminders().all().empty());
}

TEST_F(RemindersWindow, ADueReminderIsTickedOffAndARowLeadsToItsFolder)
{
    ReminderDefinition yearly;
    yearly.when = 5;
    yearly.day = "1";
    yearly.month = std::int64_t(5); // June 1: due today
    ASSERT_TRUE(doc().reminders().setDefinition(*folder("Tax"), yearly));
    ReminderDefinition monthly;
    monthly.when = 1;
    monthly.day = "20";
    ASSERT_TRUE(doc().reminders().setDefinition(*folder("Bank"), monthly));
    settle();
    ASSERT_TRUE(list()->isVisible());
    EXPECT_EQ(list()->rowFolders(), QStringList({"Tax"}));
    EXPECT_EQ(list()->table()->item(0, 1)->text(), "6/01/2024 - Tax: Download");
    list()->setShowingAll(true);
    EXPECT_EQ(list()->rowFolders(), QStringList({"Tax", "Bank"}));
    EXPECT_FALSE(list()->table()->item(1, 0)->flags() & Qt::ItemIsUserCheckable) << "a future one has no box";
    list()->setShowingAll(false);

    list()->table()->selectRow(0);
    EXPECT_EQ(window_->selectedReminder(), "Tax") << "imports file into the selected reminder's folder first";
    list()->table()->item(0, 0)->setCheckState(Qt::Checked);
    EXPECT_TRUE(Reminders::checkedOf(*folder("Tax")));
    doc().reminders().update(); // what activating the window does
    settle();
    EXPECT_EQ(Reminders::dueDateOf(*folder("Tax")), QDate(2025, 6, 1)) << "ticked on its day: next year";
    EXPECT_TRUE(list()->rowFolders().isEmpty());

    now_ = QDateTime(QDate(2024, 6, 20), QTime(8, 0));
    doc().reminders().update();
    settle();
    ASSERT_EQ(list()->rowFolders(), QStringList({"Bank"}));
    emit list()->table()->cellDoubleClicked(0, 1);
    settle();
    EXPECT_EQ(window_->browser().selectedPaths(), QStringList({"Bank"}));
    EXPECT_TRUE(area()->isVisible());
    EXPECT_EQ(area()->folderTabs()->currentWidget(), page());
}

} // namespace
