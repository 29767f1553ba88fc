// The notification backend against a notification server of the test's own, on a private
// session bus (the test runs under dbus-run-session). The server records every call, answers
// Notify with ids of its own and sends the signals a desktop sends when the person clicks or
// closes a notification.

#include "platform/linux/linuxnotifications.h"
#include "platformtest.h"
#include "support/fakenotificationserver.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace folivo::platform {
namespace {

using ::folivo::test::NotifyCall;

bool waitUntil(const std::function<bool()>& done, int ms = 5000)
{
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

class LinuxNotificationsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!::folivo::test::onPrivateBus())
            GTEST_SKIP() << "needs a private session bus (ctest runs it under dbus-run-session)";
        fake_ = std::make_unique<::folivo::test::PrivateNotificationServer>();
        ASSERT_TRUE(fake_->ok());
        server_ = &fake_->server;
        clientBus_.emplace(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("client")));
        ASSERT_TRUE(clientBus_->isConnected());
        notifications_ = std::make_unique<LinuxNotifications>(*clientBus_);
        notifications_->clock = [this] { return now_; };
    }

    void TearDown() override
    {
        notifications_.reset();
        clientBus_.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        fake_.reset();
    }

    static Notification reminder(const QString& id, const QDateTime& at)
    {
        Notification n;
        n.identifier = id;
        n.title = QStringLiteral("Household");
        n.subtitle = QStringLiteral("Bills");
        n.body = QStringLiteral("Power & <Gas>");
        n.deliverAt = at;
        n.actionTitle = QStringLiteral("Go");
        n.userInfo = {{QStringLiteral("DB Path"), QStringLiteral("/home/a/Household.fvdb")},
                      {QStringLiteral("Reminded Folder"), QStringLiteral("Bills/Power & <Gas>")}};
        return n;
    }

    QDateTime now_{QDate(2026, 12, 11), QTime(9, 0)};
    std::unique_ptr<::folivo::test::PrivateNotificationServer> fake_;
    ::folivo::test::FakeNotificationServer* server_ = nullptr;
    std::optional<QDBusConnection> clientBus_;
    std::unique_ptr<LinuxNotifications> notifications_;
};

TEST_F(LinuxNotificationsTest, NotifyCarriesTheTextsTheGoActionAndTheHints)
{
    QSignalSpy shown(notifications_.get(), &LinuxNotifications::shownOnDesktop);
    notifications_->schedule(reminder(QStringLiteral("/home/a/Household.fvdb/Bills/Power"), now_));
    ASSERT_TRUE(waitUntil([&] { return shown.count() == 1; }));
    EXPECT_EQ(shown.at(0).at(1).toString(), QString()) << "no error";

    ASSERT_EQ(server_->notifies.size(), 1);
    const NotifyCall& call = server_->notifies.front();
    EXPECT_EQ(call.appName, QStringLiteral("Folivo"));
    EXPECT_EQ(call.replacesId, 0u);
    EXPECT_EQ(call.icon, LinuxNotifications::IconName);
    EXPECT_EQ(call.summary, QStringLiteral("Household"));
    // The body is markup for some servers: the folder's place, escaped.
    EXPECT_EQ(call.body, QStringLiteral("Bills/Power &amp; &lt;Gas&gt;"));
    EXPECT_EQ(call.actions, (QStringList{QStringLiteral("default"), QStringLiteral("Go"), QStringLiteral("go"),
                                         QStringLiteral("Go")}));
    EXPECT_EQ(call.hints.value(QStringLiteral("category")).toString(), LinuxNotifications::Category);
    EXPECT_EQ(call.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("folivo"));
    EXPECT_EQ(call.timeout, 0) << "a reminder stays until the person deals with it";
    EXPECT_EQ(notifications_->shown(), QStringList{QStringLiteral("/home/a/Household.fvdb/Bills/Power")});
}

TEST_F(LinuxNotificationsTest, GoAndTheNotificationItselfReachTheProgramWithTheirRequest)
{
    for (const QString action : {QStringLiteral("go"), QStringLiteral("default")}) {
        SCOPED_TRACE(action.toStdString());
        server_->notifies.clear();
        QSignalSpy shown(notifications_.get(), &LinuxNotifications::shownOnDesktop);
        QSignalSpy activated(notifications_.get(), &Notifications::activated);
        QSignalSpy closed(notifications_.get(), &LinuxNotifications::closed);
        notifications_->schedule(reminder(QStringLiteral("/db.fvdb/A"), now_));
        ASSERT_TRUE(waitUntil([&] { return shown.count() == 1; }));
        const uint id = server_->notifies.front().answeredId;

        // Another program's notification and an action we never offered do nothing.
        server_->invoke(id + 1000, QStringLiteral("go"));
        server_->invoke(id, QStringLiteral("snooze"));
        server_->invoke(id, action);
        ASSERT_TRUE(waitUntil([&] { return activated.count() == 1; }));
        QCoreApplication::processEvents();
        EXPECT_EQ(activated.count(), 1);
        const auto n = activated.at(0).at(0).value<Notification>();
        EXPECT_EQ(n.identifier, QStringLiteral("/db.fvdb/A"));
        EXPECT_EQ(n.userInfo.value(QStringLiteral("Reminded Folder")).toString(), QStringLiteral("Bills/Power & <Gas>"));
        // A clicked notification has done its work: it is closed and forgotten.
        EXPECT_TRUE(waitUntil([&] { return server_->closedIds.contains(id); }));
        EXPECT_TRUE(notifications_->shown().isEmpty());
        EXPECT_TRUE(notifications_->pending().isEmpty());
        EXPECT_GE(closed.count(), 1);
    }
}

TEST_F(LinuxNotificationsTest, ANotificationClosedByThePersonIsForgottenAndAClickAfterwardsDoesNothing)
{
    QSignalSpy shown(notifications_.get(), &LinuxNotifications::shownOnDesktop);
    QSignalSpy closed(notifications_.get(), &LinuxNotifications::closed);
    QSignalSpy activated(notifications_.get(), &Notifications::activated);
    notifications_->schedule(reminder(QStringLiteral("/db.fvdb/A"), now_));
    ASSERT_TRUE(waitUntil([&] { return shown.count() == 1; }));
    const uint id = server_->notifies.front().answeredId;

    server_->closeByPerson(id);
    ASSERT_TRUE(waitUntil([&] { return closed.count() == 1; }));
    EXPECT_EQ(closed.at(0).at(0).toString(), QStringLiteral("/db.fvdb/A"));
    EXPECT_TRUE(notifications_->pending().isEmpty());

    server_->invoke(id, QStringLiteral("go"));
    waitUntil([] { return false; }, 200);
    EXPECT_EQ(activated.count(), 0);
}

TEST_F(LinuxNotificationsTest, AFutureNotificationWaitsForItsTimeAndAWithdrawnOneNeverShows)
{
    QSignalSpy shown(notifications_.get(), &LinuxNotifications::shownOnDesktop);
    notifications_->schedule(reminder(QStringLiteral("/db.fvdb/Later"), now_.addSecs(3600)));
    notifications_->schedule(reminder(QStringLiteral("/db.fvdb/Gone"), now_.addSecs(60)));
    notifications_->remove(QStringLiteral("/db.fvdb/Gone"));
    EXPECT_EQ(notifications_->waiting(), QStringList{QStringLiteral("/db.fvdb/Later")});

    notifications_->showDue();
    waitUntil([] { return false; }, 200);
    EXPECT_TRUE(server_->notifies.isEmpty()) << "nothing is due yet";

    now_ = now_.addSecs(3600);
    notifications_->showDue();
    ASSERT_TRUE(waitUntil([&] { return shown.count() == 1; }));
    ASSERT_EQ(server_->notifies.size(), 1);
    EXPECT_TRUE(notifications_->waiting().isEmpty());
    EXPECT_EQ(notifications_->shown(), QStringList{QStringLiteral("/db.fvdb/Later")});

    // Withdrawing a shown one closes it on the desktop.
    const uint id = server_->notifies.front().answeredId;
    notifications_->remove(QStringLiteral("/db.fvdb/Later"));
    EXPECT_TRUE(waitUntil([&] { return server_->closedIds.contains(id); }));
}

} // namespace
} // namespace folivo::platform

