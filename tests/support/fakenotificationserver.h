#pragma once
// A desktop notification server for tests, on a private session bus: it records every call,
// answers Notify with ids of its own, and sends the signals a desktop sends when the person
// clicks or closes a notification. Register it on a connection of its own (its object at
// "/org/freedesktop/Notifications", the name "org.freedesktop.Notifications").

#include <QDBusConnection>
#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

namespace folivo::test {

struct NotifyCall {
    QString appName;
    uint replacesId = 0;
    QString icon;
    QString summary;
    QString body;
    QStringList actions;
    QVariantMap hints;
    int timeout = -1;
    uint answeredId = 0;
};

// The server side: registered as org.freedesktop.Notifications on its own connection.
class FakeNotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    explicit FakeNotificationServer(QDBusConnection bus) : bus_(std::move(bus)) {}

    QList<NotifyCall> notifies;
    QList<uint> closedIds;

    void invoke(uint id, const QString& action)
    {
        emitSignal(QStringLiteral("ActionInvoked"), {QVariant::fromValue(id), action});
    }
    void closeByPerson(uint id) { emitSignal(QStringLiteral("NotificationClosed"), {QVariant::fromValue(id), 2u}); }

public slots:
    uint Notify(const QString& appName, uint replacesId, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int timeout)
    {
        const uint id = replacesId ? replacesId : ++lastId_;
        notifies.push_back({appName, replacesId, icon, summary, body, actions, hints, timeout, id});
        return id;
    }
    void CloseNotification(uint id)
    {
        closedIds << id;
        emitSignal(QStringLiteral("NotificationClosed"), {QVariant::fromValue(id), 3u});
    }
    QStringList GetCapabilities() { return {QStringLiteral("actions"), QStringLiteral("body")}; }

private:
    void emitSignal(const QString& name, const QVariantList& args)
    {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                                         QStringLiteral("org.freedesktop.Notifications"), name);
        signal.setArguments(args);
        bus_.send(signal);
    }

    QDBusConnection bus_;
    uint lastId_ = 40;
};

// The server on a bus connection of its own, with its object and name registered.
class PrivateNotificationServer {
public:
    PrivateNotificationServer()
        : bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName())), server(bus_)
    {
        ok_ = bus_.isConnected()
              && bus_.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &server,
                                     QDBusConnection::ExportAllSlots)
              && bus_.registerService(QStringLiteral("org.freedesktop.Notifications"));
    }
    ~PrivateNotificationServer()
    {
        bus_.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
        bus_.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
        QDBusConnection::disconnectFromBus(connectionName());
    }
    PrivateNotificationServer(const PrivateNotificationServer&) = delete;
    PrivateNotificationServer& operator=(const PrivateNotificationServer&) = delete;

    bool ok() const { return ok_; }
    static QString connectionName() { return QStringLiteral("fake-notification-server"); }

private:
    QDBusConnection bus_;
    bool ok_ = false;

public:
    FakeNotificationServer server;
};

// Tests that need the server run under dbus-run-session with FOLIVO_PRIVATE_BUS=1 (ctest does
// so); never on the person's own bus, where a real server owns the name.
inline bool onPrivateBus()
{
    return qEnvironmentVariable("FOLIVO_PRIVATE_BUS") == QLatin1String("1");
}

} // namespace folivo::test
