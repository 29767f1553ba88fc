#include "platform/linux/dbuscaller.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace folivo::platform {

DBusCaller::~DBusCaller() = default;

BusCaller::BusCaller() = default;

BusCaller::BusCaller(const QDBusConnection& connection) : connection_(connection) {}

void BusCaller::call(const DBusCall& call, Done done)
{
    if (!connection_)
        connection_ = QDBusConnection::sessionBus();
    if (!connection_->isConnected()) {
        done(QStringLiteral("org.freedesktop.DBus.Error.NoServer"));
        return;
    }
    QDBusMessage message = QDBusMessage::createMethodCall(call.service, call.path, call.interface, call.method);
    message.setArguments(call.arguments);
    // The watcher is ours: destroying the caller drops the answers still to come.
    auto* watcher = new QDBusPendingCallWatcher(connection_->asyncCall(message, kTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, done = std::move(done)] {
        watcher->deleteLater();
        const QDBusPendingReply<> reply = *watcher;
        done(reply.isError() ? reply.error().name() : QString());
    });
}

} // namespace folivo::platform
