#include "debuginfo/runlog.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace folivo;

namespace {

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(RunLog, RotatesAtItsLimitKeepingOneOlderFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(RunLog::FileName);
    RunLog log(path, 200);
    int written = 0;
    for (; written < 30; ++written)
        ASSERT_TRUE(log.write(QtWarningMsg, QStringLiteral("message number %1").arg(written)));

    const QByteArray current = contents(path);
    const QByteArray older = contents(path + ".1");
    EXPECT_LE(current.size(), 200);
    EXPECT_LE(older.size(), 200);
    EXPECT_FALSE(older.isEmpty());
    EXPECT_FALSE(QFile::exists(path + ".2"));
    // The newest message is in the current file, the one before its first in the older one,
    // and each line is whole.
    EXPECT_TRUE(current.endsWith("warning: message number 29\n"));
    const QByteArray firstCurrent = current.left(current.indexOf('\n'));
    const int firstNumber = firstCurrent.mid(firstCurrent.lastIndexOf(' ') + 1).toInt();
    EXPECT_TRUE(older.endsWith(QStringLiteral("message number %1\n").arg(firstNumber - 1).toUtf8()));
}

TEST(RunLog, MultiLineMessageStaysOneEntryAndFileIsPrivate)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(RunLog::FileName);
    RunLog log(path);
    ASSERT_TRUE(log.write(QtCriticalMsg, QStringLiteral("first\nsecond")));
    const QByteArray text = contents(path);
    EXPECT_TRUE(text.endsWith(" critical: first\n    second\n")) << text.constData();
    EXPECT_EQ(QFile::permissions(path) & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions());
}

TEST(RunLog, UnwritableFolderAnswersFalse)
{
    RunLog log(QStringLiteral("/nonexistent/folivo/") + RunLog::FileName);
    EXPECT_FALSE(log.write(QtWarningMsg, QStringLiteral("x")));
}

TEST(RunLog, InstalledHandlerWritesWhatQtSays)
{
    // Installed once for this test program; later messages of other tests go to the
    // removed folder and are dropped.
    QTemporaryDir dir;
    installRunLog(dir.filePath("folivo"));
    qWarning("a warning for the run log");
    const QByteArray text = contents(dir.filePath("folivo/") + RunLog::FileName);
    EXPECT_TRUE(text.endsWith(" warning: a warning for the run log\n")) << text.constData();
}
