#include "singleinstance.h"

#include "util/tempfolder.h"

#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace folivo::gui {

namespace {

// Says that what follows is a list of paths from this program, in this form.
constexpr quint32 Magic = 0x464f4c31; // "FOL1"
// Nobody hands over more than this; a larger message is not from a launch of ours.
constexpr qint64 MaxMessage = 4 * 1024 * 1024;

} // namespace

SingleInstance::SingleInstance(QString name, QObject* parent) : QObject(parent), name_(std::move(name)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultName()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir())
        return QDir(runtime).filePath(QStringLiteral("folivo-%1").arg(::getuid()));
    // In the shared temporary folder "folivo-<uid>" is the private temporary folder itself,
    // and any name there could be taken first by someone else: the socket goes inside that
    // folder, which is checked to be the person's own, private, and no link.
    const QString base = privateTempBase();
    return base.isEmpty() ? QString() : base + QLatin1Char('/') + SocketName;
}

bool SingleInstance::disabledByEnvironment()
{
    const QByteArray v = qgetenv(DisableVariable);
    return !v.isEmpty() && v != "0";
}

bool SingleInstance::handOver(const QStringList& paths, int timeoutMs)
{
    return send(paths, QString(), timeoutMs);
}

bool SingleInstance::handOverReminder(const QString& identifier, int timeoutMs)
{
    return send({}, identifier, timeoutMs);
}

bool SingleInstance::send(const QStringList& paths, const QString& reminder, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QStringList absolute;
    for (const QString& p : paths)
        absolute << QFileInfo(p).absoluteFilePath();
    QByteArray message;
    {
        QDataStream out(&message, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_0);
        out << Magic << absolute << reminder;
    }
    // The running program reads it from its event loop, perhaps only after this launch has
    // ended: once the bytes are in the socket, they have been handed over.
    QByteArray framed;
    {
        QDataStream out(&framed, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_0);
        out << message;
    }
    socket.write(framed);
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(timeoutMs))
            return false;
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::listen()
{
    if (server_ && server_->isListening())
        return true;
    delete server_;
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name_)) {
        // Nothing answered handOver, so what is there is the socket of a run that ended
        // without removing it.
        QLocalServer::removeServer(name_);
        if (!server_->listen(name_))
            return false;
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
            connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
                readFrom(socket);
                socket->deleteLater();
            });
            readFrom(socket);
        }
    });
    return true;
}

bool SingleInstance::listening() const
{
    return server_ && server_->isListening();
}

void SingleInstance::readFrom(QLocalSocket* socket)
{
    if (socket->property("folivoDone").toBool())
        return;
    QDataStream in(socket);
    in.setVersion(QDataStream::Qt_6_0);
    in.startTransaction();
    quint32 length = 0;
    in >> length;
    if (in.status() == QDataStream::Ok && (length == 0xffffffff || qint64(length) > MaxMessage)) {
        socket->setProperty("folivoDone", true);
        socket->abort();
        socket->deleteLater();
        return;
    }
    in.rollbackTransaction();
    in.startTransaction();
    QByteArray message;
    in >> message;
    if (!in.commitTransaction())
        return; // the rest has not arrived yet
    socket->setProperty("folivoDone", true);
    socket->disconnectFromServer();
    socket->deleteLater();

    QDataStream body(message);
    body.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0;
    QStringList paths;
    body >> magic >> paths;
    if (body.status() != QDataStream::Ok || magic != Magic)
        return;
    QString reminder;
    if (!body.atEnd()) {
        body >> reminder;
        if (body.status() != QDataStream::Ok)
            return;
    }
    if (!reminder.isEmpty()) {
        // The program checks it against its own schedule before it opens anything.
        emit reminderReceived(reminder);
        return;
    }
    // Only absolute paths: a relative one would be read against this program's folder.
    paths.removeIf([](const QString& p) { return !QDir::isAbsolutePath(p); });
    emit pathsReceived(paths);
}

} // namespace folivo::gui
