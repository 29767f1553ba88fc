#pragma once
// Helpers of the platform tests: files in a scratch folder, recorders for the desktop
// backend's two seams, readable Qt values in failure messages.

#include "platform/linux/dbuscaller.h"
#include "platform/linux/processrunner.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QStringList>
#include <QThread>
#include <functional>
#include <optional>
#include <utility>
#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

inline std::ostream& operator<<(std::ostream& os, const QString& s)
{
    return os << s.toStdString();
}

inline void PrintTo(const QStringList& list, std::ostream* os)
{
    *os << '[';
    for (qsizetype i = 0; i < list.size(); ++i)
        *os << (i ? ", " : "") << '"' << list[i].toStdString() << '"';
    *os << ']';
}

namespace folivo::platform::test {

// Writes `text` to `path`, making the folders on the way; `executable` makes it a script that
// does nothing.
inline bool writeFile(const QString& path, const QByteArray& text, bool executable = false)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size())
        return false;
    file.close();
    if (executable)
        return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                   QFile::ExeGroup);
    return true;
}

// Runs the event loop until `done` holds or `ms` have passed; answers `done()`.
inline bool waitUntil(const std::function<bool()>& done, int ms = 5000)
{
    const QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return done();
}

// Sets (or, for a null value, unsets) environment variables for the life of the object, then
// puts back what was there.
class ScopedEnvironment {
public:
    using Values = QList<std::pair<const char*, std::optional<QByteArray>>>;
    explicit ScopedEnvironment(const Values& values)
    {
        for (const auto& [name, value] : values) {
            saved_.append({name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt});
            if (value)
                qputenv(name, *value);
            else
                qunsetenv(name);
        }
    }
    ~ScopedEnvironment()
    {
        for (auto it = saved_.crbegin(); it != saved_.crend(); ++it) {
            if (it->second)
                qputenv(it->first, *it->second);
            else
                qunsetenv(it->first);
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    Values saved_;
};

// Program starts, each the program and then its arguments. Spelled out: a braced pair of
// strings would pass for a range of characters.
inline QList<QStringList> starts(std::initializer_list<QStringList> l)
{
    return QList<QStringList>(l);
}

// Records every program start: the program, then its arguments.
class RecordingRunner final : public ProcessRunner {
public:
    bool startDetached(const QString& program, const QStringList& arguments) override
    {
        started << (QStringList{program} + arguments);
        return succeed;
    }
    QList<QStringList> started;
    bool succeed = true;
};

// Records every call and answers each at once with `error` (empty: success).
class ScriptedBus final : public DBusCaller {
public:
    void call(const DBusCall& call, Done done) override
    {
        calls << call;
        done(error);
    }
    QList<DBusCall> calls;
    QString error;
};

} // namespace folivo::platform::test
