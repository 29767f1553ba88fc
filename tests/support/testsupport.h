#pragma once
// Small helpers shared by the test programs.

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace folivo::test {

// A fresh private folder for one test, removed afterwards (read-only folders included).
class Scratch {
public:
    Scratch();
    ~Scratch();
    QString path() const { return dir_.path(); }
    QString file(const QString& rel) const { return dir_.path() + "/" + rel; }

private:
    QTemporaryDir dir_;
};

struct ProcessResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs a program to completion (60 s at most) and collects its output.
ProcessResult run(const QString& program, const QStringList& args, const QByteArray& input = {});
// The same in the folder `dir`, with a UTF-8 C locale so that tools print names as bytes.
ProcessResult runIn(const QString& dir, const QString& program, const QStringList& args);

// Runs the fixture generator into `outDir` and answers whether it succeeded.
bool makeFixtures(const QString& outDir);

QByteArray readAll(const QString& path);
// Every entry below `root` by relative path with its content ("<dir>" for a folder,
// "<link>" and the target for a symbolic link), for "nothing changed" checks.
QMap<QString, QByteArray> folderSnapshot(const QString& root);
bool writeAll(const QString& path, const QByteArray& data);
// Every entry below `root`, and `root` itself as "", by relative path with its kind, mode,
// size, modification and status-change times (to the nanosecond) and a hash of its content
// (the target for a link); links are not followed. Two listings are equal only when
// nothing was written, renamed, deleted, created or had its mode changed (atime aside).
QMap<QString, QString> packageListing(const QString& root);
// What differs between two such listings, one line per entry; empty when they are equal.
QString listingDifferences(const QMap<QString, QString>& before, const QMap<QString, QString>& after);

// Sets an environment variable for the life of the object, then puts back what was there.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value) : name_(name), had_(qEnvironmentVariableIsSet(name))
    {
        previous_ = qgetenv(name);
        qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (had_)
            qputenv(name_, previous_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    bool had_;
    QByteArray previous_;
};

} // namespace folivo::test
