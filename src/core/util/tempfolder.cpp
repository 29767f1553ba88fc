#include "util/tempfolder.h"

#include "util/fs.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace folivo {

namespace {

// A folder we may use only if it is a real directory (no link), ours, and private.
bool ensurePrivateDir(const QString& path)
{
    const QByteArray n = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(n.constData(), &st) != 0) {
        if (::mkdir(n.constData(), 0700) != 0 && errno != EEXIST)
            return false;
        if (::lstat(n.constData(), &st) != 0)
            return false;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return false;
    if ((st.st_mode & 0077) != 0 && ::chmod(n.constData(), 0700) != 0)
        return false;
    return true;
}

} // namespace

QString privateTempBase()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && fs::isDirectory(runtime)) {
        const QString base = runtime + QStringLiteral("/folivo");
        if (ensurePrivateDir(base))
            return base;
    }
    const QString fallback = QDir::tempPath() + QStringLiteral("/folivo-%1").arg(::getuid());
    return ensurePrivateDir(fallback) ? fallback : QString();
}

QString createPrivateTempFolder(const QString& packageName)
{
    const QString base = privateTempBase();
    if (base.isEmpty())
        return {};
    QString safe = packageName;
    safe.replace('/', '-');
    if (safe.startsWith('.'))
        safe.remove(0, 1);
    safe = safe.left(64);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate = QStringLiteral("%1/%2-%3-%4")
                                      .arg(base)
                                      .arg(::getpid())
                                      .arg(QRandomGenerator::global()->generate(), 8, 16, QChar('0'))
                                      .arg(safe);
        if (::mkdir(QFile::encodeName(candidate).constData(), 0700) == 0)
            return candidate;
        if (errno != EEXIST)
            return {};
    }
    return {};
}

int sweepStaleTempFolders()
{
    const QString base = privateTempBase();
    if (base.isEmpty())
        return 0;
    int removed = 0;
    const QStringList entries = QDir(base).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& name : entries) {
        bool ok = false;
        const qint64 pid = name.section('-', 0, 0).toLongLong(&ok);
        if (!ok || pid <= 0 || pid > 0x7fffffff)
            continue;
        if (pid == ::getpid() || ::kill(pid_t(pid), 0) == 0 || errno == EPERM)
            continue; // that run is still going
        if (fs::deleteTree(base + '/' + name))
            ++removed;
    }
    return removed;
}

} // namespace folivo
