#include "platform/linux/linuxnotifications.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QtDebug>
#include <algorithm>

namespace folivo::platform {

namespace {

// A reminder stays until the person deals with it.
constexpr int kNeverExpires = 0;
constexpr int kCallTimeoutMs = 10000;

} // namespace

QString notificationBody(const Notification& n)
{
    const QString place = n.subtitle.isEmpty() ? n.body : n.subtitle + QLatin1Char('/') + n.body;
    return place.toHtmlEscaped();
}

LinuxNotifications::LinuxNotifications() : LinuxNotifications(QDBusConnection::sessionBus()) {}

LinuxNotifications::LinuxNotifications(const QDBusConnection& connection, QObject* parent)
    : Notifications(parent), bus_(connection)
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &LinuxNotifications::showDue);
    if (bus_.isConnected()) {
        bus_.connect(Service, ObjectPath, Interface, QStringLiteral("ActionInvoked"), this,
                     SLOT(onActionInvoked(uint, QString)));
        bus_.connect(Service, ObjectPath, Interface, QStringLiteral("NotificationClosed"), this,
                     SLOT(onNotificationClosed(uint, uint)));
    }
}

LinuxNotifications::~LinuxNotifications() = default;

void LinuxNotifications::schedule(const Notification& notification)
{
    waiting_.removeIf([&](const Notification& n) { return n.identifier == notification.identifier; });
    if (notification.deliverAt.isValid() && notification.deliverAt > clock()) {
        // Its new time is still to come: what the desktop shows of it now is out of date.
        if (const auto id = shownIds_.find(notification.identifier); id != shownIds_.end()) {
            const uint serverId = *id;
            shownIds_.erase(id);
            shownById_.remove(serverId);
            close(serverId);
        }
        sending_.remove(notification.identifier);
        const auto at = std::upper_bound(waiting_.begin(), waiting_.end(), notification,
                                         [](const Notification& a, const Notification& b) {
                                             return a.deliverAt < b.deliverAt;
                                         });
        waiting_.insert(at, notification);
        arm();
        return;
    }
    show(notification);
    arm();
}

void LinuxNotifications::remove(const QString& identifier)
{
    waiting_.removeIf([&](const Notification& n) { return n.identifier == identifier; });
    // A Notify still on its way is closed when its answer comes.
    sending_.remove(identifier);
    if (const auto id = shownIds_.find(identifier); id != shownIds_.end()) {
        const uint serverId = *id;
        shownIds_.erase(id);
        shownById_.remove(serverId);
        close(serverId);
        emit closed(identifier);
    }
    arm();
}

void LinuxNotifications::removeAll()
{
    QStringList all = shownIds_.keys();
    for (const Notification& n : std::as_const(waiting_))
        all << n.identifier;
    all << sending_.keys();
    for (const QString& identifier : std::as_const(all))
        remove(identifier);
}

QList<Notification> LinuxNotifications::pending() const
{
    QList<Notification> out = shownById_.values();
    out += waiting_;
    return out;
}

QStringList LinuxNotifications::waiting() const
{
    QStringList out;
    for (const Notification& n : waiting_)
        out << n.identifier;
    return out;
}

void LinuxNotifications::showDue()
{
    const QDateTime now = clock();
    QList<Notification> due;
    while (!waiting_.isEmpty() && waiting_.first().deliverAt <= now)
        due << waiting_.takeFirst();
    for (const Notification& n : std::as_const(due))
        show(n);
    arm();
}

void LinuxNotifications::arm()
{
    if (waiting_.isEmpty()) {
        timer_.stop();
        return;
    }
    const qint64 wait = clock().msecsTo(waiting_.first().deliverAt);
    timer_.start(int(std::clamp<qint64>(wait, 0, kRecheckMs)));
}

void LinuxNotifications::show(const Notification& notification)
{
    QDBusMessage call = QDBusMessage::createMethodCall(Service, ObjectPath, Interface, QStringLiteral("Notify"));
    const uint replaces = shownIds_.value(notification.identifier, 0);
    QStringList actions{DefaultAction, notification.actionTitle.isEmpty() ? AppName : notification.actionTitle};
    if (!notification.actionTitle.isEmpty())
        actions << GoAction << notification.actionTitle;
    QVariantMap hints{{QStringLiteral("category"), Category},
                      {QStringLiteral("desktop-entry"), QStringLiteral("folivo")},
                      {QStringLiteral("urgency"), QVariant::fromValue(uchar(1))}};
    call << AppName << replaces << IconName << notification.title << notificationBody(notification) << actions
         << hints << int(kNeverExpires);
    const quint64 token = ++nextCall_;
    sending_[notification.identifier] = token;
    if (!bus_.isConnected()) {
        sending_.remove(notification.identifier);
        qWarning("folivo: no session bus for the notification of %s", qPrintable(notification.identifier));
        emit shownOnDesktop(notification.identifier, QStringLiteral("org.freedesktop.DBus.Error.NoServer"));
        return;
    }
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, notification, token] {
        watcher->deleteLater();
        const QDBusPendingReply<uint> reply = *watcher;
        const QString identifier = notification.identifier;
        const bool current = sending_.value(identifier) == token;
        if (current)
            sending_.remove(identifier);
        if (reply.isError()) {
            // A notification that cannot be shown is only logged.
            qWarning("folivo: the desktop did not show the notification of %s: %s", qPrintable(identifier),
                     qPrintable(reply.error().name()));
            if (current)
                emit shownOnDesktop(identifier, reply.error().name());
            return;
        }
        const uint id = reply.value();
        if (!current) {
            // Withdrawn or replaced while the service was answering.
            if (shownIds_.value(identifier) != id)
                close(id);
            return;
        }
        if (const auto old = shownIds_.find(identifier); old != shownIds_.end() && *old != id)
            shownById_.remove(*old);
        shownIds_[identifier] = id;
        shownById_[id] = notification;
        emit shownOnDesktop(identifier, QString());
        emit delivered(identifier);
    });
}

void LinuxNotifications::close(uint id)
{
    if (!bus_.isConnected() || id == 0)
        return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(Service, ObjectPath, Interface, QStringLiteral("CloseNotification"));
    call << id;
    bus_.asyncCall(call, kCallTimeoutMs);
}

void LinuxNotifications::onActionInvoked(uint id, const QString& action)
{
    if (action != DefaultAction && action != GoAction)
        return;
    const auto found = shownById_.find(id);
    if (found == shownById_.end())
        return; // not one of ours, or no longer
    const Notification n = *found;
    shownById_.erase(found);
    shownIds_.remove(n.identifier);
    // Some services keep a clicked notification on screen; it has done its work.
    close(id);
    emit closed(n.identifier);
    emit activated(n);
}

void LinuxNotifications::onNotificationClosed(uint id, uint reason)
{
    Q_UNUSED(reason);
    const auto found = shownById_.find(id);
    if (found == shownById_.end())
        return;
    const QString identifier = found->identifier;
    shownById_.erase(found);
    shownIds_.remove(identifier);
    emit closed(identifier);
}

} // namespace folivo::platform
