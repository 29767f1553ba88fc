#include "debuginfo/runlog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>

namespace folivo {

namespace {

const char* kindName(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return "debug";
    case QtInfoMsg:
        return "info";
    case QtWarningMsg:
        return "warning";
    case QtCriticalMsg:
        return "critical";
    case QtFatalMsg:
        return "fatal";
    }
    return "message";
}

QMutex gLogMutex;
// Kept to the end of the process: messages come until the very last moment.
RunLog* gRunLog = nullptr;
QtMessageHandler gPrevious = nullptr;
thread_local bool tInHandler = false;

void handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    // A message said while writing the log (by QFile itself) must not come back here.
    if (!tInHandler) {
        tInHandler = true;
        {
            QMutexLocker lock(&gLogMutex);
            if (gRunLog)
                gRunLog->write(type, message);
        }
        tInHandler = false;
    }
    if (gPrevious)
        gPrevious(type, context, message);
}

} // namespace

RunLog::RunLog(QString path, qint64 limit) : path_(std::move(path)), limit_(limit) {}

bool RunLog::write(QtMsgType type, const QString& message)
{
    QString text = message;
    text.replace(u'\n', QLatin1String("\n    ")); // one entry stays one block of lines
    const QByteArray line = QStringLiteral("%1 %2: %3\n")
                                .arg(QDateTime::currentDateTime().toString(Qt::ISODate), QLatin1String(kindName(type)), text)
                                .toUtf8();
    const QFileInfo info(path_);
    if (info.exists() && info.size() > 0 && info.size() + line.size() > limit_) {
        const QString older = path_ + QStringLiteral(".1");
        QFile::remove(older);
        if (!QFile::rename(path_, older))
            QFile::remove(path_); // never let the log grow past its limit
    }
    QFile file(path_);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    return file.write(line) == line.size();
}

void installRunLog(const QString& logsFolder)
{
    QDir().mkpath(logsFolder);
    {
        QMutexLocker lock(&gLogMutex);
        if (gRunLog)
            return;
        gRunLog = new RunLog(logsFolder + u'/' + RunLog::FileName);
    }
    gPrevious = qInstallMessageHandler(handler);
}

} // namespace folivo
