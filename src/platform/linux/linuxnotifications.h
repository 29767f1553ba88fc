#pragma once
// Notifications on a Linux desktop: the freedesktop notification service
// (org.freedesktop.Notifications) over the session bus. The service shows a notification at
// once and has no schedule, so one meant for later waits here, and a timer shows it when its
// time comes. The timer looks again at least every minute, so that a suspend or a change of
// the clock delays a notification by a minute at most.
//
// The service answers each Notify with its own id; clicks (the notification itself, or its
// "Go" button) and closes name that id, and are mapped back to the notification here.

#include "platform/notifications.h"

#include <QDBusConnection>
#include <QHash>
#include <QTimer>
#include <functional>

namespace folivo::platform {

class LinuxNotifications final : public Notifications {
    Q_OBJECT
public:
    // On the session bus.
    LinuxNotifications();
    // On `connection` (tests: a private bus with a test server on it).
    explicit LinuxNotifications(const QDBusConnection& connection, QObject* parent = nullptr);
    ~LinuxNotifications() override;

    static inline const QString Service = QStringLiteral("org.freedesktop.Notifications");
    static inline const QString ObjectPath = QStringLiteral("/org/freedesktop/Notifications");
    static inline const QString Interface = QStringLiteral("org.freedesktop.Notifications");
    static inline const QString AppName = QStringLiteral("Folivo");
    static inline const QString IconName = QStringLiteral("folder-documents"); // as the .desktop file says
    static inline const QString Category = QStringLiteral("x-folivo.reminder");
    static inline const QString DefaultAction = QStringLiteral("default");
    static inline const QString GoAction = QStringLiteral("go");
    // How long the timer waits at most before it looks at the clock again.
    static constexpr int kRecheckMs = 60 * 1000;

    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };

    void schedule(const Notification& notification) override;
    void remove(const QString& identifier) override;
    void removeAll() override;
    QList<Notification> pending() const override;

    // The notifications the desktop shows now (their identifiers), and those still waiting
    // for their time.
    QStringList shown() const { return shownIds_.keys(); }
    QStringList waiting() const;
    // Shows what is waiting and whose time has come (the timer calls it).
    void showDue();

signals:
    // The service answered a Notify: the notification is on the screen (or failed: `error`
    // is the service's error name).
    void shownOnDesktop(const QString& identifier, const QString& error);
    // The notification left the screen (closed by the person, expired, clicked or withdrawn).
    void closed(const QString& identifier);

private slots:
    void onActionInvoked(uint id, const QString& action);
    void onNotificationClosed(uint id, uint reason);

private:
    void show(const Notification& notification);
    void close(uint id);
    void arm();

    QDBusConnection bus_;
    QTimer timer_;
    QList<Notification> waiting_;              // in time order
    QHash<QString, uint> shownIds_;            // identifier -> the service's id
    QHash<uint, Notification> shownById_;      // the service's id -> what it shows
    QHash<QString, quint64> sending_;          // identifier -> the Notify call in flight
    quint64 nextCall_ = 0;
};

// What the service's "body" shows for a notification: the folder's place, plain text
// escaped for services that read markup.
QString notificationBody(const Notification& notification);

} // namespace folivo::platform
