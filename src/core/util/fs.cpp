#include "util/fs.h"

#include "util/fdio.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace folivo::fs {

namespace {

FaultHook& hook()
{
    static FaultHook h;
    return h;
}

thread_local QString tLastError;
thread_local int tInjectedErrno = EIO;

QByteArray native(const QString& p)
{
    return QFile::encodeName(p);
}

bool fail(const char* step, const QString& path, int err)
{
    tLastError = QStringLiteral("%1: %2: %3").arg(QLatin1String(step), path, QString::fromLocal8Bit(std::strerror(err)));
    errno = err;
    return false;
}

bool injected(Op op, const QString& abs, const char* step)
{
    if (hook() && hook()(op, abs)) {
        const int err = tInjectedErrno;
        tInjectedErrno = EIO;
        return !fail(step, abs, err);
    }
    return false;
}

// Removes everything inside the open folder `dirFd`, depth first, never following links.
bool removeContents(int dirFd, const QString& shownPath, int depth)
{
    if (depth > 4096)
        return fail("Delete", shownPath, ELOOP);
    struct stat st {};
    if (::fstat(dirFd, &st) == 0 && (st.st_mode & 0700) != 0700)
        ::fchmod(dirFd, 0755);
    const int dupFd = ::dup(dirFd);
    if (dupFd < 0)
        return fail("Delete", shownPath, errno);
    DIR* dir = ::fdopendir(dupFd);
    if (!dir) {
        ::close(dupFd);
        return fail("Delete", shownPath, errno);
    }
    bool ok = true;
    while (dirent* e = ::readdir(dir)) {
        const char* n = e->d_name;
        if (std::strcmp(n, ".") == 0 || std::strcmp(n, "..") == 0)
            continue;
        struct stat est {};
        if (::fstatat(dirFd, n, &est, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        const QString childShown = shownPath + '/' + QFile::decodeName(n);
        if (S_ISDIR(est.st_mode)) {
            fdio::Fd child(::openat(dirFd, n, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (child.fd < 0) {
                ok = fail("Delete", childShown, errno);
                continue;
            }
            if (!removeContents(child.fd, childShown, depth + 1))
                ok = false;
            if (::unlinkat(dirFd, n, AT_REMOVEDIR) != 0)
                ok = fail("Delete", childShown, errno);
        } else if (::unlinkat(dirFd, n, 0) != 0) {
            ok = fail("Delete", childShown, errno);
        }
    }
    ::closedir(dir);
    return ok;
}

// Removes the entry `name` inside the open folder `parentFd`.
bool removeEntry(int parentFd, const QByteArray& name, const QString& shownPath)
{
    struct stat st {};
    if (::fstatat(parentFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? true : fail("Delete", shownPath, errno);
    if (!S_ISDIR(st.st_mode)) {
        if (::unlinkat(parentFd, name.constData(), 0) != 0 && errno != ENOENT)
            return fail("Delete", shownPath, errno);
        return true;
    }
    fdio::Fd dirFd(::openat(parentFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (dirFd.fd < 0)
        return fail("Delete", shownPath, errno);
    bool ok = removeContents(dirFd.fd, shownPath, 0);
    if (::unlinkat(parentFd, name.constData(), AT_REMOVEDIR) != 0 && errno != ENOENT)
        ok = fail("Delete", shownPath, errno);
    return ok;
}

// Copies what is left of `in` to `out`.
bool copyBytes(int in, int out, const QString& from, const QString& to)
{
    QByteArray buf(1 << 20, Qt::Uninitialized);
    for (;;) {
        const ssize_t n = ::read(in, buf.data(), size_t(buf.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail("Copy", from, errno);
        if (n == 0)
            return true;
        if (!fdio::writeFull(out, buf.constData(), n))
            return fail("Copy", to, errno);
    }
}

// Gives a copy the mode of its original and the time its content was last changed, as
// cp -a does.
bool takeModeAndTimes(int out, const struct stat& st, const QString& to)
{
    if (::fchmod(out, st.st_mode & 07777) != 0)
        return fail("Copy", to, errno);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out, times);
    return true;
}

} // namespace

void injectErrno(int err)
{
    tInjectedErrno = err;
}

void setFaultHook(FaultHook h)
{
    hook() = std::move(h);
}

bool recordFailure(const char* step, const QString& abs, int err)
{
    return fail(step, abs, err);
}

bool faultInjected(Op op, const QString& abs, const char* step)
{
    return injected(op, abs, step);
}

QString lastError()
{
    return tLastError;
}

bool exists(const QString& abs)
{
    struct stat st {};
    return ::lstat(native(abs).constData(), &st) == 0;
}

bool isDirectory(const QString& abs)
{
    struct stat st {};
    return ::lstat(native(abs).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isRegularFile(const QString& abs)
{
    struct stat st {};
    return ::lstat(native(abs).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isReadable(const QString& abs)
{
    return exists(abs) && ::access(native(abs).constData(), R_OK) == 0;
}

bool isWritable(const QString& abs)
{
    if (hook() && hook()(Op::Write, abs))
        return false;
    return ::access(native(abs).constData(), W_OK) == 0;
}

std::optional<unsigned> mode(const QString& abs)
{
    struct stat st {};
    if (::lstat(native(abs).constData(), &st) != 0)
        return std::nullopt;
    return unsigned(st.st_mode & 07777);
}

bool setMode(const QString& abs, unsigned m)
{
    if (injected(Op::Chmod, abs, "Set permissions"))
        return false;
    if (::chmod(native(abs).constData(), mode_t(m)) != 0)
        return fail("Set permissions", abs, errno);
    return true;
}

bool makeDirectory(const QString& abs, unsigned m)
{
    if (injected(Op::MakeDir, abs, "Create folder"))
        return false;
    if (::mkdir(native(abs).constData(), 0700) != 0)
        return fail("Create folder", abs, errno);
    // mkdir's mode is cut by the umask; the scheme needs the exact bits.
    if (::chmod(native(abs).constData(), mode_t(m)) != 0)
        return fail("Create folder", abs, errno);
    return true;
}

bool makeDirectories(const QString& abs, unsigned m)
{
    // Missing folders are made writable first, so that the next level can be made inside
    // them, and get their final mode from the deepest up.
    QStringList missing;
    QString p = QDir::cleanPath(abs);
    while (!p.isEmpty() && p != "/" && !exists(p)) {
        missing.prepend(p);
        p = QFileInfo(p).path();
    }
    if (!p.isEmpty() && p != "/" && !isDirectory(p))
        return fail("Create folder", p, ENOTDIR);
    for (const QString& dir : missing)
        if (!makeDirectory(dir, 0755))
            return false;
    for (auto it = missing.crbegin(); it != missing.crend(); ++it)
        if (!setMode(*it, m))
            return false;
    return true;
}

bool copyTree(const QString& from, const QString& to)
{
    struct stat st {};
    if (::lstat(native(from).constData(), &st) != 0)
        return fail("Copy", from, errno);
    if (exists(to))
        return fail("Copy", to, EEXIST);
    if (S_ISLNK(st.st_mode)) {
        QByteArray target(4096, Qt::Uninitialized);
        const ssize_t n = ::readlink(native(from).constData(), target.data(), size_t(target.size()));
        if (n < 0)
            return fail("Copy", from, errno);
        target.resize(n);
        if (::symlink(target.constData(), native(to).constData()) != 0)
            return fail("Copy", to, errno);
        return true;
    }
    if (S_ISDIR(st.st_mode)) {
        if (!makeDirectory(to, 0700))
            return false;
        const QStringList names = QDir(from).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QString& n : names)
            if (!copyTree(from + '/' + n, to + '/' + n))
                return false;
        // The folder's time last: filling it changed it.
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        ::utimensat(AT_FDCWD, native(to).constData(), times, AT_SYMLINK_NOFOLLOW);
        return setMode(to, unsigned(st.st_mode & 07777));
    }
    if (!S_ISREG(st.st_mode))
        return true; // sockets and devices have no place in a package
    if (injected(Op::Write, to, "Copy"))
        return false;
    fdio::Fd in(::open(native(from).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (in.fd < 0)
        return fail("Copy", from, errno);
    fdio::Fd out(::open(native(to).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.fd < 0)
        return fail("Copy", to, errno);
    return copyBytes(in.fd, out.fd, from, to) && takeModeAndTimes(out.fd, st, to);
}

bool createMarker(const QString& abs, unsigned m)
{
    if (injected(Op::Write, abs, "Create file"))
        return false;
    const int fd = ::open(native(abs).constData(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return fail("Create file", abs, errno);
    const bool ok = ::fchmod(fd, mode_t(m)) == 0;
    const int err = errno;
    ::close(fd);
    return ok ? true : fail("Create file", abs, err);
}

bool rename(const QString& from, const QString& to)
{
    if (injected(Op::Rename, from, "Rename"))
        return false;
    if (::rename(native(from).constData(), native(to).constData()) != 0)
        return fail("Rename", from, errno);
    return true;
}

bool removeFile(const QString& abs)
{
    if (injected(Op::Remove, abs, "Delete"))
        return false;
    if (::unlink(native(abs).constData()) != 0 && errno != ENOENT)
        return fail("Delete", abs, errno);
    return true;
}

bool renameNoReplace(const QString& from, const QString& to)
{
    if (injected(Op::Rename, from, "Rename"))
        return false;
    const QByteArray f = native(from), t = native(to);
    if (::renameat2(AT_FDCWD, f.constData(), AT_FDCWD, t.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return fail("Rename", from, errno);
    // A file system without the flag: a file can still move without replacing (link fails
    // on an existing name); a folder is checked first, which leaves only a tiny window.
    struct stat st {};
    if (::lstat(f.constData(), &st) != 0)
        return fail("Rename", from, errno);
    if (!S_ISDIR(st.st_mode)) {
        if (::link(f.constData(), t.constData()) != 0)
            return fail("Rename", from, errno);
        if (::unlink(f.constData()) != 0) {
            const int err = errno;
            ::unlink(t.constData());
            return fail("Rename", from, err);
        }
        return true;
    }
    if (exists(to))
        return fail("Rename", to, EEXIST);
    if (::rename(f.constData(), t.constData()) != 0)
        return fail("Rename", from, errno);
    return true;
}

bool link(const QString& from, const QString& to)
{
    if (injected(Op::Link, to, "Link"))
        return false;
    if (::link(native(from).constData(), native(to).constData()) != 0)
        return fail("Link", to, errno);
    return true;
}

bool cloneFile(const QString& from, const QString& to)
{
    if (injected(Op::Copy, to, "Copy"))
        return false;
    fdio::Fd in(::open(native(from).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (in.fd < 0)
        return fail("Copy", from, errno);
    struct stat st {};
    if (::fstat(in.fd, &st) != 0)
        return fail("Copy", from, errno);
    if (!S_ISREG(st.st_mode))
        return fail("Copy", from, EINVAL);
    const QByteArray t = native(to);
    fdio::Fd out(::open(t.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (out.fd < 0)
        return fail("Copy", to, errno);
    bool ok = ::ioctl(out.fd, FICLONE, in.fd) == 0 || copyBytes(in.fd, out.fd, from, to);
    if (ok && ::fdatasync(out.fd) != 0)
        ok = fail("Copy", to, errno);
    ok = ok && takeModeAndTimes(out.fd, st, to);
    if (!ok)
        ::unlink(t.constData());
    return ok;
}

std::optional<QByteArray> readFile(const QString& abs, qint64 maxBytes)
{
    // O_NONBLOCK: opening a FIFO must not hang; regular files ignore the flag.
    fdio::Fd fd(::open(native(abs).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.fd < 0) {
        fail("Read", abs, errno);
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd.fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > maxBytes) {
        fail("Read", abs, EINVAL);
        return std::nullopt;
    }
    QByteArray data;
    data.resize(qsizetype(st.st_size));
    qint64 done = 0;
    while (done < st.st_size) {
        const ssize_t n = ::read(fd.fd, data.data() + done, size_t(st.st_size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    data.resize(qsizetype(done));
    return data;
}

namespace {

// The prefix and length of temporary names: see freshSibling.
const QString FreshPrefix = QStringLiteral(".fvtmp-");
constexpr int FreshRandomChars = 12;

} // namespace

QString freshSibling(const QString& abs)
{
    static const char Alphabet[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    const QString dir = abs.left(abs.lastIndexOf('/') + 1);
    for (;;) {
        QString name = FreshPrefix;
        for (int i = 0; i < FreshRandomChars; ++i)
            name += QLatin1Char(Alphabet[QRandomGenerator::global()->bounded(36)]);
        if (!exists(dir + name))
            return dir + name;
    }
}

bool isFreshSiblingName(const QString& name)
{
    if (name.size() != FreshPrefix.size() + FreshRandomChars || !name.startsWith(FreshPrefix))
        return false;
    for (qsizetype i = FreshPrefix.size(); i < name.size(); ++i) {
        const QChar c = name[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z')))
            return false;
    }
    return true;
}

bool renameFreshOver(const QString& fresh, const QString& target)
{
    if (injected(Op::Rename, target, "Rename"))
        return false;
    if (::rename(native(fresh).constData(), native(target).constData()) != 0)
        return fail("Rename", target, errno);
    return true;
}

bool writeFileAtomic(const QString& abs, const QByteArray& data, unsigned m, Durability durability)
{
    if (injected(Op::Write, abs, "Write"))
        return false;
    QByteArray nativeTmp;
    int fd = -1;
    // A name taken between choosing and creating it belongs to another writer: never
    // reused, never removed, another one is chosen.
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        nativeTmp = native(freshSibling(abs));
        fd = ::open(nativeTmp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return fail("Write", abs, errno);
    bool ok = fdio::writeFull(fd, data.constData(), data.size()) && ::fchmod(fd, mode_t(m)) == 0;
    if (ok && durability == Durability::Flush)
        ok = ::fdatasync(fd) == 0;
    int err = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && injected(Op::Rename, abs, "Write"))
        ok = false, err = errno;
    if (ok && ::rename(nativeTmp.constData(), native(abs).constData()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(nativeTmp.constData());
        return fail("Write", abs, err);
    }
    return true;
}

bool syncFileSystem(const QString& abs)
{
    if (injected(Op::Sync, abs, "Sync"))
        return false;
    fdio::Fd fd(::open(native(abs).constData(), O_RDONLY | O_CLOEXEC));
    if (fd.fd < 0 || ::syncfs(fd.fd) != 0)
        return fail("Sync", abs, errno);
    return true;
}

bool deleteInside(const QString& root, const PackagePath& path)
{
    if (path.isRoot())
        return fail("Delete", root, EPERM);
    const QString abs = path.absoluteUnder(root);
    if (injected(Op::Remove, abs, "Delete"))
        return false;
    // Walk down to the parent one component at a time, refusing links, so that a link
    // planted inside the package can never redirect the deletion outside it.
    fdio::Fd dirFd(::open(native(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dirFd.fd < 0)
        return fail("Delete", root, errno);
    int current = ::dup(dirFd.fd);
    const QString parentPath = path.parent().str();
    if (!parentPath.isEmpty()) {
        for (const QString& comp : parentPath.split('/')) {
            const int next = ::openat(current, native(comp).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            const int err = errno;
            ::close(current);
            if (next < 0)
                return err == ENOENT ? true : fail("Delete", abs, err);
            current = next;
        }
    }
    fdio::Fd parentFd(current);
    return removeEntry(parentFd.fd, native(path.name()), abs);
}

bool deleteTree(const QString& abs)
{
    if (injected(Op::Remove, abs, "Delete"))
        return false;
    const QString clean = QDir::cleanPath(abs);
    const qsizetype slash = clean.lastIndexOf('/');
    if (slash < 0 || clean == "/")
        return fail("Delete", abs, EPERM);
    const QString parent = slash == 0 ? QStringLiteral("/") : clean.left(slash);
    fdio::Fd parentFd(::open(native(parent).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (parentFd.fd < 0)
        return errno == ENOENT ? true : fail("Delete", abs, errno);
    return removeEntry(parentFd.fd, native(clean.mid(slash + 1)), abs);
}

ScopedWritable::ScopedWritable(const QString& absDir) : dir_(absDir)
{
    if (dir_.isEmpty() || !isDirectory(dir_))
        return;
    previous_ = mode(dir_);
    if (previous_ && (*previous_ & 0700) != 0700)
        ok_ = setMode(dir_, 0755);
    else
        previous_.reset(); // already writable: nothing to give back
}

ScopedWritable::~ScopedWritable()
{
    if (previous_)
        setMode(dir_, *previous_);
}

} // namespace folivo::fs
