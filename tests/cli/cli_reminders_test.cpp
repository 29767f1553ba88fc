// folivo-cli and reminders: the list of a database's reminders with their next dates, and
// notify-due, which shows what fell due while Folivo was not running and starts Folivo at the
// folder on a click (against a notification server of the test's own on a private bus).

#include "runcli.h"
#include "support/fakenotificationserver.h"
#include "support/fakeui.h"
#include "support/testsupport.h"

#include "reminders/noticestore.h"
#include "reminders/reminders.h"
#include "store/dboperation.h"
#include "store/mydocument.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

using folivo::test::ProcessResult;

namespace folivo {
namespace {

using Status = OperationResult::Status;

class CliReminders : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::FakeUi ui;
        MyDocument doc(ui);
        ASSERT_TRUE(doc.createDatabase(db_).ok());
        for (const char* f : {"Power", "Tax", "Plain"})
            ASSERT_EQ(doc.recordNewCategory(f, nullptr, -1).status, Status::Done);
        ReminderDefinition yearly; // today: due at once
        yearly.when = 5;
        yearly.day = QString::number(today_.day());
        yearly.month = std::int64_t(today_.month() - 1);
        ASSERT_TRUE(doc.reminders().setDefinition(*doc.tree().itemForPath("Power"), yearly));
        ReminderDefinition monthly; // next month's first
        monthly.when = 1;
        monthly.day = "1";
        monthly.textType = 2;
        monthly.text = "File the \"Tax\" papers";
        ASSERT_TRUE(doc.reminders().setDefinition(*doc.tree().itemForPath("Tax"), monthly));
        doc.saveChanges(false);
        doc.closeDatabase();
    }

    test::Scratch scratch_;
    QString db_ = scratch_.file("Home.fvdb");
    QDate today_ = QDate::currentDate();
    QDate nextFirst_ = QDate(today_.year(), today_.month(), 1).addMonths(1);
};

TEST_F(CliReminders, ListsRemindersByDateAndOnlyTheDueOnesWithDue)
{
    const ProcessResult all = test::runCli({"reminders", db_, "--json"});
    ASSERT_EQ(all.exitCode, 0) << all.err.toStdString();
    const QJsonArray rows = QJsonDocument::fromJson(all.out).array();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0]["folder"].toString(), "Power");
    EXPECT_EQ(rows[0]["date"].toString(), today_.toString(Qt::ISODate));
    EXPECT_TRUE(rows[0]["due"].toBool());
    EXPECT_EQ(rows[0]["what"].toString(), "Download");
    EXPECT_EQ(rows[1]["folder"].toString(), "Tax");
    EXPECT_EQ(rows[1]["date"].toString(), nextFirst_.toString(Qt::ISODate));
    EXPECT_FALSE(rows[1]["due"].toBool());
    EXPECT_EQ(rows[1]["what"].toString(), "File the \"Tax\" papers");

    const ProcessResult due = test::runCli({"reminders", db_, "--due"});
    ASSERT_EQ(due.exitCode, 0);
    const QStringList lines = QString::fromUtf8(due.out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].endsWith(" - Power: Download")) << lines[0].toStdString();

    // Listing changes nothing, not even on a read-only look.
    EXPECT_EQ(test::runCli({"reminders", db_}).out.count('\n'), 2);
}

class NotifyDue : public CliReminders {
protected:
    void SetUp() override
    {
        if (!test::onPrivateBus())
            GTEST_SKIP() << "needs a private session bus (ctest runs it under dbus-run-session)";
        CliReminders::SetUp();
        previousData_ = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", scratch_.file("data").toLocal8Bit());
        // A Folivo of the test's: it writes down how it was started.
        started_ = scratch_.file("started.txt");
        program_ = scratch_.file("folivo");
        ASSERT_TRUE(test::writeAll(program_, QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1'\n")
                                                 .arg(started_)
                                                 .toUtf8()));
        QFile::setPermissions(program_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("FOLIVO_PROGRAM", program_.toLocal8Bit());
        // What a run of the window left: one entry due now, one for next month.
        const QDateTime now = QDateTime::currentDateTime();
        NoticeStore store;
        ASSERT_TRUE(store.reconcile(db_, {{db_ + "/Power", "Home", {}, "Power", now.addSecs(-60), db_, "Power"},
                                          {db_ + "/Tax", "Home", {}, "Tax", now.addDays(20), db_, "Tax"}}));
        server_ = std::make_unique<test::PrivateNotificationServer>();
        ASSERT_TRUE(server_->ok());
    }
    void TearDown() override
    {
        server_.reset();
        qunsetenv("FOLIVO_PROGRAM");
        qputenv("XDG_DATA_HOME", previousData_);
    }

    QByteArray previousData_;
    QString started_;
    QString program_;
    std::unique_ptr<test::PrivateNotificationServer> server_;
};

TEST_F(NotifyDue, ShowsWhatFellDueOnceAndLeavesTheFutureOne)
{
    const ProcessResult first = test::runCli({"notify-due", "--wait", "0"});
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
    ASSERT_EQ(server_->server.notifies.size(), 1);
    EXPECT_EQ(server_->server.notifies.front().summary, "Home");
    EXPECT_EQ(server_->server.notifies.front().body, "Power");
    EXPECT_EQ(first.out, "Home: Power\n");

    NoticeStore store;
    ASSERT_TRUE(store.find(db_ + "/Power"));
    EXPECT_TRUE(store.find(db_ + "/Power")->shown);
    ASSERT_TRUE(store.find(db_ + "/Tax"));
    EXPECT_FALSE(store.find(db_ + "/Tax")->shown) << "its time is still to come";

    // The next run of the timer shows nothing again.
    const ProcessResult second = test::runCli({"notify-due", "--wait", "0"});
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_EQ(server_->server.notifies.size(), 1);
    EXPECT_TRUE(second.out.isEmpty());
}

TEST_F(NotifyDue, GoStartsFolivoAtTheFolderAndAClosedNotificationEndsTheRun)
{
    // While notify-due waits, the person clicks "Go"; the desktop then closes it.
    QTimer click;
    click.setInterval(100);
    QObject::connect(&click, &QTimer::timeout, [&] {
        if (server_->server.notifies.isEmpty())
            return;
        click.stop();
        const uint id = server_->server.notifies.front().answeredId;
        server_->server.invoke(id, "go");
    });
    click.start();
    QDeadlineTimer limit(60000);
    const ProcessResult r = test::runCli({"notify-due", "--wait", "30"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_FALSE(limit.hasExpired()) << "the run ends once nothing it showed is left on the desktop";

    QDeadlineTimer deadline(5000);
    while (!QFileInfo::exists(started_) && !deadline.hasExpired())
        QThread::msleep(50);
    QFile file(started_);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()), "--reminder\n" + db_ + "/Power\n");
}

TEST_F(NotifyDue, WithoutANotificationServiceItSaysSoAndNotesNothing)
{
    server_.reset();
    const ProcessResult r = test::runCli({"notify-due", "--wait", "0"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("No notification service")) << r.err.toStdString();
    EXPECT_FALSE(NoticeStore().find(db_ + "/Power")->shown) << "shown later, when a desktop is there";
}

} // namespace
} // namespace folivo
