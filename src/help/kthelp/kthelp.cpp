#include "kthelp.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>

#include <unistd.h>

extern "C" {
const char KTHelpVersionString[] = "@(#)PROGRAM:KTHelp  PROJECT:KTHelp-1\n";
const double KTHelpVersionNumber = 1.0;
}

KTHelp& KTHelp::sharedHelp()
{
    static KTHelp instance;
    return instance;
}

KTHelp::KTHelp() = default;

void KTHelp::setHelpBook(const QString& resourceDir, const QString& bookFolder)
{
    resourceDir_ = resourceDir;
    bookFolder_ = bookFolder;
}

void KTHelp::setViewerProgram(const QString& program)
{
    viewerProgram_ = program;
}

void KTHelp::setIcon(const QByteArray& imageData)
{
    icon_ = imageData;
}

QString KTHelp::settingsFilePath()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/folivo-help/folivo-help.conf");
}

QString KTHelp::socketName()
{
    // Under the person's runtime folder only they may enter; else a name in the temporary
    // folder that carries the user id, so two people on one machine keep their own viewers.
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(QString::fromLocal8Bit(runtime)).isDir())
        return QString::fromLocal8Bit(runtime) + QStringLiteral("/folivo-help.socket");
    return QStringLiteral("folivo-help-%1").arg(::getuid());
}

KTHelp::Delivery KTHelp::deliver(const QByteArray& request, QByteArray* answer, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(socketName());
    if (!socket.waitForConnected(timeoutMs))
        return Delivery::NoViewer;
    socket.write(request + '\n');
    if (!socket.waitForBytesWritten(timeoutMs))
        return Delivery::NoAnswer;
    // Every request is answered, so that the sender knows the viewer took it.
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(timeoutMs))
            return Delivery::NoAnswer;
    }
    // Only the line's end goes: an answer may end in an empty field after a tab.
    QByteArray line = socket.readLine();
    line.chop(1);
    if (answer)
        *answer = line;
    return Delivery::Answered;
}

void KTHelp::showHelp(const QString& path, const QString& anchor)
{
    QString resourceDir = resourceDir_;
    QString bookFolder = bookFolder_;
    if (bookFolder.isEmpty()) {
        bookFolder = QStringLiteral("help");
        resourceDir = QCoreApplication::applicationDirPath() + QStringLiteral("/../share/folivo");
    }
    if (bookFolder.isEmpty() || resourceDir.isEmpty())
        return;
    ourHelpBookFolder_ = bookFolder;
    ourHelpFolderPath_ = QDir::cleanPath(QDir(resourceDir).absoluteFilePath(bookFolder));

    {
        QSettings settings(settingsFilePath(), QSettings::IniFormat);
        settings.setValue(HelpFolderPathKey, ourHelpFolderPath_);
        if (path.isEmpty())
            settings.remove(PathKey);
        else
            settings.setValue(PathKey, path);
        settings.setValue(AnchorKey, anchor);
        if (icon_.isEmpty())
            settings.remove(IconKey);
        else
            settings.setValue(IconKey, icon_);
        settings.setValue(HelpBookFolderKey, ourHelpBookFolder_);
        // On disk before the viewer reads it.
        settings.sync();
        if (settings.status() != QSettings::NoError)
            return;
    }

    // A running viewer reads the new values and comes forward; otherwise start one. Two
    // viewers started at once settle between themselves which one stays.
    if (deliver(ShowRequest) != Delivery::NoViewer)
        return;
    QString program = viewerProgram_;
    if (program.isEmpty()) {
        const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/folivo-help");
        program = QFileInfo(beside).isExecutable() ? beside : QStringLiteral(KTHELP_BUILT_VIEWER);
    }
    if (!QFileInfo(program).isExecutable())
        return;
    QProcess::startDetached(program, {});
}

void KTHelp::terminate()
{
    // Only a viewer that this run asked to show this application's book is ours to close. The
    // full folder is compared, not its name: two programs may both call their book "help".
    if (ourHelpFolderPath_.isEmpty())
        return;
    QSettings settings(settingsFilePath(), QSettings::IniFormat);
    const QString shown = settings.value(HelpFolderPathKey).toString();
    if (shown != ourHelpFolderPath_)
        return;
    sendRequest(QuitRequest);
}
