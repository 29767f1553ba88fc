#include "support/testsupport.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <sys/stat.h>

namespace folivo::test {

Scratch::Scratch()
{
    dir_.setAutoRemove(true);
}

Scratch::~Scratch()
{
    // Packages keep their folders read-only; make everything writable so the folder can go.
    QDirIterator it(dir_.path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    ::chmod(dir_.path().toLocal8Bit().constData(), 0755);
    while (it.hasNext()) {
        const QString p = it.next();
        if (it.fileInfo().isDir() && !it.fileInfo().isSymLink())
            ::chmod(p.toLocal8Bit().constData(), 0755);
    }
}

namespace {

ProcessResult runProcess(QProcess& p, const QString& program, const QStringList& args, const QByteArray& input)
{
    p.start(program, args);
    ProcessResult r;
    if (!p.waitForStarted(10000))
        return r;
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

} // namespace

ProcessResult run(const QString& program, const QStringList& args, const QByteArray& input)
{
    QProcess p;
    return runProcess(p, program, args, input);
}

ProcessResult runIn(const QString& dir, const QString& program, const QStringList& args)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", "C.UTF-8");
    p.setProcessEnvironment(env);
    return runProcess(p, program, args, {});
}

bool makeFixtures(const QString& outDir)
{
#ifdef FOLIVO_FIXTURES_DIR
    // The build made them already: a copy keeps modes and times and is much faster.
    if (QFile::exists(QStringLiteral(FOLIVO_FIXTURES_DIR "/manifest.json"))) {
        const ProcessResult copied = run("cp", {"-a", QStringLiteral(FOLIVO_FIXTURES_DIR "/."), outDir});
        if (copied.exitCode != 0)
            qWarning("fixture copy failed: %s", copied.err.constData());
        return copied.exitCode == 0;
    }
#endif
#ifdef FOLIVO_FIXTURE_SCRIPT
    const ProcessResult r = run("python3", {QStringLiteral(FOLIVO_FIXTURE_SCRIPT), outDir});
    if (r.exitCode != 0)
        qWarning("fixture script failed: %s", r.err.constData());
    return r.exitCode == 0;
#else
    Q_UNUSED(outDir);
    return false;
#endif
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

bool writeAll(const QString& path, const QByteArray& data)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(data) == data.size();
}

QMap<QString, QByteArray> folderSnapshot(const QString& root)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString p = it.next();
        const QFileInfo info(p);
        files.insert(p.mid(root.size() + 1), info.isSymLink() ? "<link>" + info.symLinkTarget().toUtf8()
                                             : info.isDir()   ? QByteArray("<dir>")
                                                              : readAll(p));
    }
    return files;
}

QMap<QString, QString> packageListing(const QString& root)
{
    QMap<QString, QString> out;
    auto describe = [&](const QString& rel, const QString& path) {
        struct stat st {};
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0) {
            out.insert(rel, QStringLiteral("<gone>"));
            return;
        }
        QByteArray content;
        if (S_ISLNK(st.st_mode))
            content = QFile::encodeName(QFile::symLinkTarget(path));
        else if (S_ISREG(st.st_mode))
            content = readAll(path);
        const char kind = S_ISDIR(st.st_mode) ? 'd' : S_ISLNK(st.st_mode) ? 'l' : S_ISREG(st.st_mode) ? 'f' : '?';
        out.insert(rel, QStringLiteral("%1 %2 %3 m%4.%5 c%6.%7 %8")
                            .arg(QChar(kind))
                            .arg(st.st_mode & 07777, 4, 8, QChar('0'))
                            .arg(qint64(st.st_size))
                            .arg(qint64(st.st_mtim.tv_sec))
                            .arg(qint64(st.st_mtim.tv_nsec), 9, 10, QChar('0'))
                            .arg(qint64(st.st_ctim.tv_sec))
                            .arg(qint64(st.st_ctim.tv_nsec), 9, 10, QChar('0'))
                            .arg(QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex().left(16))));
    };
    describe(QString(), root);
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString p = it.next();
        describe(p.mid(root.size() + 1), p);
    }
    return out;
}

QString listingDifferences(const QMap<QString, QString>& before, const QMap<QString, QString>& after)
{
    QStringList out;
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        if (after.value(it.key()) != it.value())
            out << QStringLiteral("%1: %2 -> %3").arg(it.key(), it.value(), after.value(it.key(), QStringLiteral("<gone>")));
    for (auto it = after.cbegin(); it != after.cend(); ++it)
        if (!before.contains(it.key()))
            out << QStringLiteral("%1: new %2").arg(it.key(), it.value());
    return out.join('\n');
}

} // namespace folivo::test
