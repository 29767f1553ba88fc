// The desktop notifications of reminders: what is handed to the desktop follows the reminders
// of the open databases through the person's notice store, and a click on one of ours (never
// on a made-up one) opens its database at the folder.

#include "gui/guitest.h"

#include "app/appcontroller.h"
#include "app/singleinstance.h"
#include "mainwindow.h"
#include "reminders/reminderlist.h"
#include "reminders/reminderscheduler.h"

#include "platform/fake/fakeplatform.h"
#include "prefs/ktprefs.h"
#include "prefs/prefkeys.h"
#include "reminders/noticestore.h"
#include "reminders/reminders.h"
#include "store/dboperation.h"
#include "store/indexitem.h"
#include "util/debuglog.h"

#include <QMessageBox>
#include <QSignalSpy>
#include <QTableWidget>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::gui;

namespace {

using Status = OperationResult::Status;

// A controller whose messages are written down instead of shown.
class RecordingController : public AppController {
public:
    using AppController::AppController;
    void alert(const QString& title, const QString& text) override { alerts << title + ": " + text; }
    QStringList alerts;
};

class ReminderNotifications : public ::testing::Test {
protected:
    void SetUp() override
    {
        previousConfig_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", scratch_.file("config").toLocal8Bit());
        prefs_ = std::make_unique<KTPrefs>(QStringLiteral("org.folivo.ReminderSchedulerTest"));
        prefs_->setBool(true, prefkeys::UserNotificationsForReminders);
        prefs_->setBool(false, prefkeys::NotifyOpenIndexCheck); // the once-only notice of the check at opening
        controller_ = std::make_unique<RecordingController>(prefs_.get(), fake_.platform());
        controller_->useNoticeStore(NoticeStore(storeFile_));
        ASSERT_NE(scheduler(), nullptr);
        scheduler()->clock = [this] { return now_; };
    }
    void TearDown() override
    {
        for (const auto& b : responder_.seen())
            ADD_FAILURE() << "unexpected box: " << qPrintable(b.title) << " " << qPrintable(b.text);
        if (controller_)
            for (const QString& a : controller_->alerts)
                ADD_FAILURE() << "unexpected alert: " << qPrintable(a);
        controller_.reset();
        prefs_.reset();
        qputenv("XDG_CONFIG_HOME", previousConfig_);
    }
    ReminderScheduler* scheduler() const { return controller_->reminderScheduler(); }
    platform::FakeNotifications& desktop() { return fake_.notifications(); }
    static void settle()
    {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }

    // A database with the folders Bills/Power (due today), Tax (due next month) and Bank.
    MainWindow* openHousehold()
    {
        if (!QFileInfo::exists(db_)) {
            MainWindow maker;
            maker.setAttribute(Qt::WA_DeleteOnClose, false);
            EXPECT_TRUE(maker.createDatabase(db_).ok());
            MyDocument& doc = maker.document();
            for (const char* f : {"Bills", "Tax", "Bank"})
                EXPECT_EQ(doc.recordNewCategory(f, nullptr, -1).status, Status::Done);
            EXPECT_EQ(doc.recordNewCategory("Bills/Power", doc.tree().itemForPath("Bills"), -1).status, Status::Done);
            maker.close();
        }
        MainWindow* window = controller_->openDatabase(db_);
        EXPECT_NE(window, nullptr);
        if (!window)
            return nullptr;
        MyDocument& doc = window->document();
        if (!Reminders::definitionOf(*doc.tree().itemForPath("Bills/Power"))) {
            const QDate today = QDate::currentDate();
            ReminderDefinition yearly;
            yearly.when = 5;
            yearly.day = QString::number(today.day());
            yearly.month = std::int64_t(today.month() - 1);
            EXPECT_TRUE(doc.reminders().setDefinition(*doc.tree().itemForPath("Bills/Power"), yearly));
            ReminderDefinition monthly;
            monthly.when = 1;
            monthly.day = "1";
            EXPECT_TRUE(doc.reminders().setDefinition(*doc.tree().itemForPath("Tax"), monthly));
        }
        settle();
        return window;
    }
    QString id(const QString& folder) const { return db_ + '/' + folder; }

    test::Scratch scratch_;
    QString db_ = scratch_.file("Household.fvdb");
    QString storeFile_ = scratch_.file("data/folivo/reminders.json");
    QDateTime now_ = QDateTime::currentDateTime();
    QByteArray previousConfig_;
    std::unique_ptr<KTPrefs> prefs_;
    platform::FakePlatform fake_;
    std::unique_ptr<RecordingController> controller_;
    test::ModalResponder responder_{[](QMessageBox* box) { box->accept(); }};
};

TEST_F(ReminderNotifications, TheDesktopGetsTodaysAndFutureRemindersOnceAndFollowsTheirChanges)
{
    MainWindow* window = openHousehold();
    ASSERT_TRUE(window);
    MyDocument& doc = window->document();
    // Today's reminder is handed over too: the desktop shows it at once.
    EXPECT_EQ(QSet<QString>(desktop().scheduled.begin(), desktop().scheduled.end()),
              (QSet<QString>{id("Bills/Power"), id("Tax")}));
    const auto pending = desktop().pending();
    const auto power = std::find_if(pending.begin(), pending.end(),
                                    [&](const auto& n) { return n.identifier == id("Bills/Power"); });
    ASSERT_NE(power, pending.end());
    EXPECT_EQ(power->title, "Household");
    EXPECT_EQ(power->subtitle, "Bills");
    EXPECT_EQ(power->body, "Power");
    EXPECT_EQ(power->actionTitle, "Go");
    EXPECT_EQ(power->userInfo.value("DB Path").toString(), db_);
    EXPECT_EQ(power->userInfo.value("Reminded Folder").toString(), "Bills/Power");

    // Saves and updates that change nothing hand nothing over again and leave the file alone.
    const auto handed = desktop().scheduled.size();
    const QDateTime written = QFileInfo(storeFile_).lastModified();
    window->saveNow(false);
    doc.reminders().update();
    settle();
    EXPECT_EQ(desktop().scheduled.size(), handed);
    EXPECT_EQ(QFileInfo(storeFile_).lastModified(), written);

    // Shown by the desktop: noted in the store, not handed over again.
    ASSERT_TRUE(desktop().deliver(id("Bills/Power")));
    ASSERT_TRUE(scheduler()->store().find(id("Bills/Power")));
    EXPECT_TRUE(scheduler()->store().find(id("Bills/Power"))->shown);

    // A renamed folder takes its notification with it: the old one is withdrawn.
    ASSERT_EQ(doc.recordRename("Tax", "Taxes").status, Status::Done);
    settle();
    EXPECT_TRUE(desktop().removed.contains(id("Tax")));
    EXPECT_TRUE(desktop().scheduled.contains(id("Taxes")));
    EXPECT_FALSE(scheduler()->store().find(id("Tax")));

    // A deleted one leaves nothing behind.
    ASSERT_EQ(doc.recordDelete("Taxes").status, Status::Done);
    settle();
    EXPECT_TRUE(desktop().removed.contains(id("Taxes")));
    EXPECT_FALSE(scheduler()->store().find(id("Taxes")));

    // Switched off: every notification goes, and the store is empty for the command line too.
    prefs_->setBool(false, prefkeys::UserNotificationsForReminders);
    controller_->preferencesChanged();
    EXPECT_TRUE(desktop().pending().isEmpty());
    EXPECT_TRUE(scheduler()->store().entries().empty());
    doc.reminders().update();
    settle();
    EXPECT_TRUE(desktop().pending().isEmpty()) << "off stays off";
}

TEST_F(ReminderNotifications, AClickOpensTheDatabaseAndRevealsTheFolderByTheHandlingPreference)
{
    MainWindow* first = openHousehold();
    ASSERT_TRUE(first);
    first->close();
    settle();
    ASSERT_TRUE(controller_->windows().isEmpty());

    // Its window closed, the notification is still pending; a click opens the database.
    ASSERT_TRUE(desktop().click(id("Bills/Power")));
    settle();
    MainWindow* window = controller_->windowFor(db_);
    ASSERT_TRUE(window);
    EXPECT_EQ(window->selectedPaths(), QStringList{"Bills/Power"});
    ReminderList* list = window->findChild<ReminderList*>();
    ASSERT_TRUE(list);
    const auto rows = list->table()->selectionModel()->selectedRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(list->rowFolders().value(rows.front().row()), "Bills/Power");
    EXPECT_TRUE(debugInfo().contains("\n\nWhile OPEN, got notification: Bills/Power"));
    EXPECT_TRUE(debugInfo().contains("\n\ngotReminderNotificationForFolderPath called:Bills/Power"));

    // Handling 0 only brings the lists up to date.
    prefs_->setInteger(0, prefkeys::UserNotificationsForRemindersHandling);
    window->selectPath("Bank");
    settle();
    controller_->openReminder(id("Bills/Power"), false);
    settle();
    EXPECT_EQ(window->selectedPaths(), QStringList{"Bank"});
}

TEST_F(ReminderNotifications, OnlyRequestsInOurOwnScheduleOpenAnything)
{
    MainWindow* first = openHousehold();
    ASSERT_TRUE(first);
    first->close();
    settle();

    // A notification made up by another program, naming a database of ours.
    platform::Notification forged = ReminderScheduler::notificationFor(
        {db_ + "/Bank", "Household", {}, "Bank", now_, db_, "Bank"});
    emit desktop().activated(forged);
    controller_->openReminder(db_ + "/Bank", false);
    settle();
    EXPECT_TRUE(controller_->windows().isEmpty());

    // The store's entry for a package that is gone opens nothing either.
    NoticeStore store(storeFile_);
    ASSERT_TRUE(store.reconcile("/nowhere/Gone.fvdb",
                                {{"/nowhere/Gone.fvdb/A", "Gone", {}, "A", now_, "/nowhere/Gone.fvdb", "A"}}));
    EXPECT_FALSE(scheduler()->request("/nowhere/Gone.fvdb/A"));
}

TEST_F(ReminderNotifications, ALaterLaunchHandsTheClickedReminderToTheRunningProgram)
{
    const QString name = scratch_.file("instance");
    SingleInstance running(name);
    ASSERT_TRUE(running.listen());
    QSignalSpy paths(&running, &SingleInstance::pathsReceived);
    QSignalSpy reminders(&running, &SingleInstance::reminderReceived);
    ASSERT_TRUE(SingleInstance(name).handOverReminder(id("Bills/Power")));
    ASSERT_TRUE(reminders.wait(3000));
    EXPECT_EQ(reminders.front().front().toString(), id("Bills/Power"));
    EXPECT_TRUE(paths.isEmpty()) << "a reminder is not a file to import";
}

} // namespace
