#pragma once
// The typing target (typingtarget.cpp) as a process of the test: started at construction,
// killed when it goes. Its output is hex, so a secret typed into it never stands in the test's
// output as it is.

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QTest>
#include <optional>
#include <utility>

namespace folivo::test {

class TypingTargetProcess {
public:
    explicit TypingTargetProcess(const QString& program)
    {
        process_.setProgram(program);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
    }
    ~TypingTargetProcess()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }
    // Its window id once it is shown and active; 0 when it did not come up.
    quint64 waitReady()
    {
        const QByteArray line = readLine("ready ");
        return line.isEmpty() ? 0 : line.mid(6).trimmed().toULongLong();
    }
    // What its two fields held when Return was pressed; nothing when it was not.
    std::optional<std::pair<QString, QString>> fields()
    {
        const QByteArray line = readLine("fields:").trimmed();
        const QList<QByteArray> parts = line.split(':');
        if (parts.size() != 3)
            return std::nullopt;
        return std::pair{QString::fromUtf8(QByteArray::fromHex(parts[1])), QString::fromUtf8(QByteArray::fromHex(parts[2]))};
    }

private:
    QByteArray readLine(const QByteArray& prefix)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 20000) {
            while (process_.canReadLine()) {
                const QByteArray line = process_.readLine();
                if (line.startsWith(prefix))
                    return line;
            }
            if (process_.state() == QProcess::NotRunning && !process_.canReadLine())
                return {};
            QTest::qWait(10);
        }
        return {};
    }

    QProcess process_;
};

} // namespace folivo::test
