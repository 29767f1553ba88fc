#pragma once
// How the desktop backend calls services of the session bus (the file manager). Tests put in
// one that records, or one on a bus of their own.

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <functional>
#include <optional>

namespace folivo::platform {

struct DBusCall {
    QString service;
    QString path;
    QString interface;
    QString method;
    QVariantList arguments;
};

class DBusCaller {
public:
    // The D-Bus error name of a failed call ("org.freedesktop.DBus.Error.ServiceUnknown"),
    // empty on success.
    using Done = std::function<void(const QString& error)>;
    virtual ~DBusCaller();
    // Sends the call without waiting; `done` runs once the answer is in, unless the caller is
    // destroyed first. A call that cannot be sent at all is answered at once.
    virtual void call(const DBusCall& call, Done done) = 0;
};

class BusCaller final : public QObject, public DBusCaller {
    Q_OBJECT
public:
    // The session bus, connected to on the first call.
    BusCaller();
    explicit BusCaller(const QDBusConnection& connection);
    void call(const DBusCall& call, Done done) override;

    // A service that is started for the call may take a while; one that answers nothing in
    // this time counts as failed.
    static constexpr int kTimeoutMs = 10000;

private:
    std::optional<QDBusConnection> connection_;
};

} // namespace folivo::platform
