// folivo-help: shows Folivo's help book. One viewer per person: a later start tells the
// running one to read the request again and ends; KTHelp does the same without starting one.

#include "helpwindow.h"
#include "kthelp.h"

#include <QApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

#include <unistd.h>

using folivo::help::HelpWindow;

namespace {

// Listens on the viewer's socket, or leaves it to a viewer that already does.
bool becomeTheViewer(QLocalServer& server)
{
    const QString name = KTHelp::socketName();
    for (int attempt = 0; attempt < 2; ++attempt) {
        // A viewer that takes the connection is there, even if still too busy starting to
        // answer: it reads the request itself once it runs.
        if (KTHelp::deliver(KTHelp::ShowRequest) != KTHelp::Delivery::NoViewer)
            return false;
        if (server.listen(name))
            return true;
        if (server.serverError() != QAbstractSocket::AddressInUseError)
            return false;
        // A viewer started at the same moment may have won; only a name nobody takes
        // connections on is left behind by a viewer that crashed, and is taken over.
        if (KTHelp::deliver(KTHelp::ShowRequest) != KTHelp::Delivery::NoViewer)
            return false;
        QLocalServer::removeServer(name);
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("folivo-help"));
    QApplication::setApplicationDisplayName(QStringLiteral("Folivo Help"));
    QApplication::setDesktopFileName(QStringLiteral("folivo"));

    QLocalServer server;
    server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!becomeTheViewer(server))
        return 0;

    HelpWindow window;
    window.showRequested();
    window.show();

    QObject::connect(&server, &QLocalServer::newConnection, &app, [&] {
        while (QLocalSocket* socket = server.nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, &window, &app] {
                while (socket->canReadLine()) {
                    const QByteArray request = socket->readLine().trimmed();
                    if (request == KTHelp::ShowRequest) {
                        window.showRequested();
                        window.show();
                        window.raise();
                        window.activateWindow();
                        socket->write("ok\n");
                    } else if (request == KTHelp::QuitRequest) {
                        socket->write("ok\n");
                        socket->flush();
                        QMetaObject::invokeMethod(&app, &QApplication::quit, Qt::QueuedConnection);
                    } else if (request == KTHelp::StatusRequest) {
                        socket->write(QByteArray::number(::getpid()) + '\t' + window.shownPage().toUtf8() + '\t' +
                                      window.shownAnchor().toUtf8() + '\n');
                    } else {
                        socket->write("?\n");
                    }
                }
            });
        }
    });
    return app.exec();
}
