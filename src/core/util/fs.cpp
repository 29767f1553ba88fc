#include "util/fs.h"

#include "util/fdio.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <linux/openat2.h>
#include <atomic>
#include <mutex>
#include <stdio.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace folivo::fs {

namespace {

FaultHook& hook()
{
    static FaultHook h;
    return h;
}

thread_local QString tLastError;
thread_local int tLastErrno = 0;
thread_local int tInjectedErrno = EIO;

QByteArray native(const QString& p)
{
    return QFile::encodeName(p);
}

bool fail(const char* step, const QString& path, int err)
{
    tLastError = QStringLiteral("%1: %2: %3").arg(QLatin1String(step), path, QString::fromLocal8Bit(std::strerror(err)));
    tLastErrno = err;
    errno = err;
    return false;
}

// ---- Package roots and the resolver ------------------------------------------------------

std::mutex& rootsMutex()
{
    static std::mutex m;
    return m;
}

std::vector<QString>& roots()
{
    static std::vector<QString> r; // one entry per registration
    return r;
}

// The registered package that holds `abs` strictly inside it (the deepest), or empty.
QString rootHolding(const QString& abs)
{
    std::lock_guard lock(rootsMutex());
    QString best;
    for (const QString& r : roots())
        if (r.size() > best.size() && abs.size() > r.size() + 1 && abs.startsWith(r) && abs[r.size()] == '/')
            best = r;
    return best;
}

bool nonAscii(const QString& s)
{
    return std::any_of(s.begin(), s.end(), [](QChar c) { return c.unicode() > 0x7f; });
}

// The entry of the open folder `dirFd` whose name is `name` after normalisation, as the
// disk spells it; empty when there is none (or only the exact name itself).
QByteArray spelledOnDisk(int dirFd, const QString& name)
{
    if (!nonAscii(name))
        return {};
    const int fd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return {};
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return {};
    }
    const QString wanted = name.normalized(QString::NormalizationForm_C);
    QByteArray found;
    while (const dirent* e = ::readdir(dir)) {
        const QString n = QFile::decodeName(e->d_name);
        if (nonAscii(n) && n != name && n.normalized(QString::NormalizationForm_C) == wanted) {
            found = e->d_name;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

// A component spelled as the disk has it inside the folder `dirFd`: the name itself when it
// is there (or nowhere), else its normalised twin.
QByteArray componentIn(int dirFd, const QString& comp)
{
    QByteArray n = native(comp);
    struct stat st {};
    if (::fstatat(dirFd, n.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT)
        return n;
    const QByteArray twin = spelledOnDisk(dirFd, comp);
    return twin.isEmpty() ? n : twin;
}

// Where a path lands: the folder to act in and the name to act on. Outside every package
// the folder is the current directory's stand-in (AT_FDCWD) and the name the whole path.
struct Resolved {
    bool ok = false;
    bool inside = false;
    fdio::Fd dir;
    QByteArray name;
    QString root;
    int at() const { return inside ? dir.fd : AT_FDCWD; }
};

bool linkRefused(const char* step, const QString& shown, const QString& linkPath)
{
    tLastError = QStringLiteral("%1: %2: \"%3\" is a symbolic link inside the database; nothing is changed through it")
                     .arg(QLatin1String(step), shown, linkPath);
    tLastErrno = ELOOP;
    errno = ELOOP;
    return false;
}

// Opens the folder `rel` (components joined by "/") below the open package folder
// `rootFd` without following any link, spelling each component as the disk has it.
// `shown` and `root` are for messages. -1 on failure, with the failure recorded when
// `step` is given.
int openFolderBeneath(int rootFd, const QString& root, const QStringList& comps, const char* step, const QString& shown)
{
    static std::atomic<bool> noOpenat2 = false;
    if (!noOpenat2 && std::none_of(comps.begin(), comps.end(), nonAscii)) {
        struct open_how how {};
        how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        const QByteArray rel = native(comps.join('/'));
        const long fd = ::syscall(SYS_openat2, rootFd, rel.constData(), &how, sizeof how);
        if (fd >= 0)
            return int(fd);
        if (errno == ENOSYS || errno == EPERM || errno == E2BIG || errno == EINVAL)
            noOpenat2 = errno == ENOSYS; // a kernel without it, or a sandbox that forbids it
        else if (errno != ELOOP && errno != EXDEV)
            return step ? (fail(step, shown, errno), -1) : -1;
        // A link on the way: the walk below finds which one, for the message.
    }
    int current = ::dup(rootFd);
    QString walked = root;
    for (const QString& comp : comps) {
        const QByteArray n = componentIn(current, comp);
        walked += '/' + QFile::decodeName(n);
        const int next = ::openat(current, n.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        int err = errno;
        struct stat st {};
        if (next < 0 && ::fstatat(current, n.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
            err = ELOOP;
        if (next >= 0 && (::fstat(next, &st) != 0 || !S_ISDIR(st.st_mode))) {
            // O_PATH with O_NOFOLLOW may open a link itself instead of refusing it.
            const bool isLink = S_ISLNK(st.st_mode);
            ::close(next);
            ::close(current);
            if (step)
                isLink ? linkRefused(step, shown, walked.mid(root.size() + 1)) : fail(step, shown, ENOTDIR);
            errno = isLink ? ELOOP : ENOTDIR;
            return -1;
        }
        ::close(current);
        if (next < 0) {
            if (step) {
                if (err == ELOOP)
                    linkRefused(step, shown, walked.mid(root.size() + 1));
                else
                    fail(step, shown, err);
            }
            errno = err;
            return -1;
        }
        current = next;
    }
    return current;
}

// Splits the part of `abs` below `root` into components; false for "." or ".." (which
// stored paths never hold).
bool componentsBelow(const QString& root, const QString& abs, QStringList& comps)
{
    comps = abs.mid(root.size() + 1).split('/', Qt::SkipEmptyParts);
    return !comps.isEmpty() && std::none_of(comps.begin(), comps.end(), [](const QString& c) { return c == "." || c == ".."; });
}

// Resolves the folder that holds the last component of `comps` under `root`.
Resolved resolveUnder(const QString& root, QStringList comps, const char* step, const QString& shown)
{
    Resolved r;
    r.inside = true;
    r.root = root;
    fdio::Fd rootFd(::open(native(root).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (rootFd.fd < 0) {
        if (step)
            fail(step, shown, errno);
        return r;
    }
    const QString last = comps.takeLast();
    if (comps.isEmpty()) {
        r.dir = std::move(rootFd);
    } else {
        r.dir = fdio::Fd(openFolderBeneath(rootFd.fd, root, comps, step, shown));
        if (!r.dir.valid())
            return r;
    }
    r.name = componentIn(r.dir.fd, last);
    r.ok = true;
    return r;
}

// Resolves `abs` for one call; `step` names the call in the recorded failure (none for
// the quiet queries).
Resolved resolve(const QString& abs, const char* step)
{
    const QString root = rootHolding(abs);
    if (root.isEmpty()) {
        Resolved r;
        r.ok = true;
        r.name = native(abs);
        return r;
    }
    QStringList comps;
    if (!componentsBelow(root, abs, comps)) {
        Resolved r;
        if (step)
            fail(step, abs, EINVAL);
        errno = EINVAL;
        return r;
    }
    return resolveUnder(root, comps, step, abs);
}

// Refuses a link as the last component of a path inside a package, for the calls that
// would otherwise follow it (a change of mode, a read).
bool isLinkAt(const Resolved& r)
{
    struct stat st {};
    return r.inside && ::fstatat(r.at(), r.name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
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

int lastErrno()
{
    return tLastErrno;
}

PackageRoot::PackageRoot(const QString& absRoot) : root_(QDir::cleanPath(absRoot))
{
    std::lock_guard lock(rootsMutex());
    roots().push_back(root_);
}

PackageRoot::~PackageRoot()
{
    std::lock_guard lock(rootsMutex());
    auto& r = roots();
    if (const auto it = std::find(r.begin(), r.end(), root_); it != r.end())
        r.erase(it);
}

QString onDiskPath(const QString& abs)
{
    const QString root = rootHolding(abs);
    QStringList comps;
    if (root.isEmpty())
        return abs;
    if (!componentsBelow(root, abs, comps))
        return {};
    fdio::Fd current(::open(native(root).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!current.valid())
        return abs;
    QString out = root;
    for (int i = 0; i < comps.size(); ++i) {
        const QByteArray n = componentIn(current.fd, comps[i]);
        struct stat st {};
        if (::fstatat(current.fd, n.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            // Nothing there: the rest is a path still to be made.
            out += '/' + comps.mid(i).join('/');
            return out;
        }
        if (S_ISLNK(st.st_mode))
            return {};
        out += '/' + QFile::decodeName(n);
        if (i + 1 == comps.size())
            break;
        if (!S_ISDIR(st.st_mode))
            return out + '/' + comps.mid(i + 1).join('/');
        fdio::Fd next(::openat(current.fd, n.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next.valid())
            return {};
        current = std::move(next);
    }
    return out;
}

int openFile(const QString& abs, int flags, unsigned m, const char* step)
{
    const Resolved r = resolve(abs, step);
    if (!r.ok)
        return -1;
    const int fd = ::openat(r.at(), r.name.constData(), flags | O_CLOEXEC | (r.inside ? O_NOFOLLOW : 0), mode_t(m));
    if (fd < 0) {
        const int err = errno;
        if (err == ELOOP && isLinkAt(r))
            linkRefused(step, abs, QFile::decodeName(r.name));
        else
            fail(step, abs, err);
        errno = err;
    }
    return fd;
}

namespace {

bool statAt(const QString& abs, struct stat& st)
{
    const Resolved r = resolve(abs, nullptr);
    return r.ok && ::fstatat(r.at(), r.name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

bool accessAt(const QString& abs, int how)
{
    const Resolved r = resolve(abs, nullptr);
    if (!r.ok)
        return false;
    struct stat st {};
    if (::fstatat(r.at(), r.name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    if (r.inside && S_ISLNK(st.st_mode))
        return false; // nothing is read or written through it
    return ::faccessat(r.at(), r.name.constData(), how, 0) == 0;
}

} // namespace

bool exists(const QString& abs)
{
    struct stat st {};
    return statAt(abs, st);
}

bool isDirectory(const QString& abs)
{
    struct stat st {};
    return statAt(abs, st) && S_ISDIR(st.st_mode);
}

bool isRegularFile(const QString& abs)
{
    struct stat st {};
    return statAt(abs, st) && S_ISREG(st.st_mode);
}

bool isReadable(const QString& abs)
{
    return accessAt(abs, R_OK);
}

bool isWritable(const QString& abs)
{
    if (hook() && hook()(Op::Write, abs))
        return false;
    return accessAt(abs, W_OK);
}

std::optional<unsigned> mode(const QString& abs)
{
    struct stat st {};
    if (!statAt(abs, st))
        return std::nullopt;
    return unsigned(st.st_mode & 07777);
}

bool modeChangeable(const QString& abs)
{
    if (hook() && hook()(Op::Chmod, abs))
        return false;
    struct stat st {};
    struct statvfs vfs {};
    const QByteArray n = native(abs);
    if (::lstat(n.constData(), &st) != 0 || ::statvfs(n.constData(), &vfs) != 0)
        return false;
    return (vfs.f_flag & ST_RDONLY) == 0 && (::geteuid() == 0 || st.st_uid == ::geteuid());
}

namespace {

// chmod of what `r` names, never of a link's target inside a package.
bool changeMode(const Resolved& r, unsigned m, const char* step, const QString& abs)
{
    if (!r.inside) {
        if (::chmod(r.name.constData(), mode_t(m)) != 0)
            return fail(step, abs, errno);
        return true;
    }
    fdio::Fd fd(::openat(r.at(), r.name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid())
        return fail(step, abs, errno);
    struct stat st {};
    if (::fstat(fd.fd, &st) != 0)
        return fail(step, abs, errno);
    if (S_ISLNK(st.st_mode))
        return linkRefused(step, abs, QFile::decodeName(r.name));
    // The descriptor names the very file that was checked; /proc reaches it by that.
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd.fd);
    if (::chmod(self.constData(), mode_t(m)) == 0)
        return true;
    if (errno != ENOENT)
        return fail(step, abs, errno);
    if (::fchmodat(r.at(), r.name.constData(), mode_t(m), 0) != 0) // no /proc
        return fail(step, abs, errno);
    return true;
}

} // namespace

bool setMode(const QString& abs, unsigned m)
{
    if (injected(Op::Chmod, abs, "Set permissions"))
        return false;
    const Resolved r = resolve(abs, "Set permissions");
    return r.ok && changeMode(r, m, "Set permissions", abs);
}

bool makeDirectory(const QString& abs, unsigned m)
{
    if (injected(Op::MakeDir, abs, "Create folder"))
        return false;
    const Resolved r = resolve(abs, "Create folder");
    if (!r.ok)
        return false;
    if (::mkdirat(r.at(), r.name.constData(), 0700) != 0)
        return fail("Create folder", abs, errno);
    // mkdir's mode is cut by the umask; the scheme needs the exact bits.
    return changeMode(r, m, "Create folder", abs);
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
    if (!p.isEmpty() && p != "/" && !isDirectory(p)) {
        struct stat st {};
        if (!rootHolding(p).isEmpty() && statAt(p, st) && S_ISLNK(st.st_mode))
            return linkRefused("Create folder", abs, p.mid(rootHolding(p).size() + 1));
        return fail("Create folder", p, ENOTDIR);
    }
    for (const QString& dir : missing)
        if (!makeDirectory(dir, 0755))
            return false;
    for (auto it = missing.crbegin(); it != missing.crend(); ++it)
        if (!setMode(*it, m))
            return false;
    return true;
}

namespace {

// The names in a folder, read without following links on the way.
std::optional<QStringList> namesIn(const Resolved& r)
{
    const int fd = ::openat(r.at(), r.name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return std::nullopt;
    }
    QStringList names;
    while (const dirent* e = ::readdir(dir))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names << QFile::decodeName(e->d_name);
    ::closedir(dir);
    names.sort();
    return names;
}

} // namespace

bool copyTree(const QString& from, const QString& to)
{
    const Resolved rf = resolve(from, "Copy");
    if (!rf.ok)
        return false;
    struct stat st {};
    if (::fstatat(rf.at(), rf.name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return fail("Copy", from, errno);
    const Resolved rt = resolve(to, "Copy");
    if (!rt.ok)
        return false;
    struct stat existing {};
    if (::fstatat(rt.at(), rt.name.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0)
        return fail("Copy", to, EEXIST);
    if (S_ISLNK(st.st_mode)) {
        if (rf.inside || rt.inside)
            return linkRefused("Copy", from, rf.inside ? from.mid(rf.root.size() + 1) : from);
        QByteArray target(4096, Qt::Uninitialized);
        const ssize_t n = ::readlinkat(rf.at(), rf.name.constData(), target.data(), size_t(target.size()));
        if (n < 0)
            return fail("Copy", from, errno);
        target.resize(n);
        if (::symlinkat(target.constData(), rt.at(), rt.name.constData()) != 0)
            return fail("Copy", to, errno);
        return true;
    }
    if (S_ISDIR(st.st_mode)) {
        const auto names = namesIn(rf);
        if (!names)
            return fail("Copy", from, errno);
        if (!makeDirectory(to, 0700))
            return false;
        for (const QString& n : *names)
            if (!copyTree(from + '/' + n, to + '/' + n))
                return false;
        // The folder's time last: filling it changed it.
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        ::utimensat(rt.at(), rt.name.constData(), times, AT_SYMLINK_NOFOLLOW);
        return setMode(to, unsigned(st.st_mode & 07777));
    }
    if (!S_ISREG(st.st_mode))
        return true; // sockets and devices have no place in a package
    if (injected(Op::Write, to, "Copy"))
        return false;
    fdio::Fd in(::openat(rf.at(), rf.name.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (in.fd < 0)
        return fail("Copy", from, errno);
    fdio::Fd out(::openat(rt.at(), rt.name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (out.fd < 0)
        return fail("Copy", to, errno);
    return copyBytes(in.fd, out.fd, from, to) && takeModeAndTimes(out.fd, st, to);
}

bool createMarker(const QString& abs, unsigned m)
{
    if (injected(Op::Write, abs, "Create file"))
        return false;
    const Resolved r = resolve(abs, "Create file");
    if (!r.ok)
        return false;
    const int fd = ::openat(r.at(), r.name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
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
    const Resolved rf = resolve(from, "Rename"), rt = resolve(to, "Rename");
    if (!rf.ok || !rt.ok)
        return false;
    if (::renameat(rf.at(), rf.name.constData(), rt.at(), rt.name.constData()) != 0)
        return fail("Rename", from, errno);
    return true;
}

bool removeFile(const QString& abs)
{
    if (injected(Op::Remove, abs, "Delete"))
        return false;
    const Resolved r = resolve(abs, "Delete");
    if (!r.ok)
        return errno == ENOENT;
    if (::unlinkat(r.at(), r.name.constData(), 0) != 0 && errno != ENOENT)
        return fail("Delete", abs, errno);
    return true;
}

bool renameNoReplace(const QString& from, const QString& to)
{
    if (injected(Op::Rename, from, "Rename"))
        return false;
    const Resolved rf = resolve(from, "Rename"), rt = resolve(to, "Rename");
    if (!rf.ok || !rt.ok)
        return false;
    const char* f = rf.name.constData();
    const char* t = rt.name.constData();
    if (::renameat2(rf.at(), f, rt.at(), t, RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return fail("Rename", from, errno);
    // A file system without the flag: a file can still move without replacing (link fails
    // on an existing name); a folder is checked first, which leaves only a tiny window.
    struct stat st {};
    if (::fstatat(rf.at(), f, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return fail("Rename", from, errno);
    if (!S_ISDIR(st.st_mode)) {
        if (::linkat(rf.at(), f, rt.at(), t, 0) != 0)
            return fail("Rename", from, errno);
        if (::unlinkat(rf.at(), f, 0) != 0) {
            const int err = errno;
            ::unlinkat(rt.at(), t, 0);
            return fail("Rename", from, err);
        }
        return true;
    }
    if (::fstatat(rt.at(), t, &st, AT_SYMLINK_NOFOLLOW) == 0)
        return fail("Rename", to, EEXIST);
    if (::renameat(rf.at(), f, rt.at(), t) != 0)
        return fail("Rename", from, errno);
    return true;
}

bool link(const QString& from, const QString& to)
{
    if (injected(Op::Link, to, "Link"))
        return false;
    const Resolved rf = resolve(from, "Link"), rt = resolve(to, "Link");
    if (!rf.ok || !rt.ok)
        return false;
    if (isLinkAt(rf))
        return linkRefused("Link", from, QFile::decodeName(rf.name));
    if (::linkat(rf.at(), rf.name.constData(), rt.at(), rt.name.constData(), 0) != 0)
        return fail("Link", to, errno);
    return true;
}

bool cloneFile(const QString& from, const QString& to)
{
    if (injected(Op::Copy, to, "Copy"))
        return false;
    fdio::Fd in(openFile(from, O_RDONLY | O_NONBLOCK, 0, "Copy"));
    if (in.fd < 0)
        return false;
    struct stat st {};
    if (::fstat(in.fd, &st) != 0)
        return fail("Copy", from, errno);
    if (!S_ISREG(st.st_mode))
        return fail("Copy", from, EINVAL);
    const Resolved rt = resolve(to, "Copy");
    if (!rt.ok)
        return false;
    fdio::Fd out(::openat(rt.at(), rt.name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (out.fd < 0)
        return fail("Copy", to, errno);
    bool ok = ::ioctl(out.fd, FICLONE, in.fd) == 0 || copyBytes(in.fd, out.fd, from, to);
    if (ok && ::fdatasync(out.fd) != 0)
        ok = fail("Copy", to, errno);
    ok = ok && takeModeAndTimes(out.fd, st, to);
    if (!ok)
        ::unlinkat(rt.at(), rt.name.constData(), 0);
    return ok;
}

std::optional<QByteArray> readFile(const QString& abs, qint64 maxBytes)
{
    // O_NONBLOCK: opening a FIFO must not hang; regular files ignore the flag.
    fdio::Fd fd(openFile(abs, O_RDONLY | O_NONBLOCK, 0, "Read"));
    if (fd.fd < 0)
        return std::nullopt;
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

QString freshSibling(const QString& abs)
{
    const qsizetype slash = abs.lastIndexOf('/');
    const QString name = abs.mid(slash + 1);
    return abs.left(slash + 1) + (name.startsWith('.') ? QString() : QStringLiteral(".")) + name + QStringLiteral(".new");
}

bool writeFileAtomic(const QString& abs, const QByteArray& data, unsigned m, Durability durability)
{
    const QString tmp = freshSibling(abs);
    if (injected(Op::Write, abs, "Write"))
        return false;
    const Resolved target = resolve(abs, "Write"), fresh = resolve(tmp, "Write");
    if (!target.ok || !fresh.ok)
        return false;
    const QByteArray& nativeTmp = fresh.name;
    ::unlinkat(fresh.at(), nativeTmp.constData(), 0);
    const int fd = ::openat(fresh.at(), nativeTmp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
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
    if (ok && ::renameat(fresh.at(), nativeTmp.constData(), target.at(), target.name.constData()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlinkat(fresh.at(), nativeTmp.constData(), 0);
        return fail("Write", abs, err);
    }
    return true;
}

bool syncFileSystem(const QString& abs)
{
    if (injected(Op::Sync, abs, "Sync"))
        return false;
    fdio::Fd fd(openFile(abs, O_RDONLY, 0, "Sync"));
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
    const Resolved r = resolveUnder(QDir::cleanPath(root), path.str().split('/'), "Delete", abs);
    if (!r.ok)
        return tLastErrno == ENOENT ? true : false;
    return removeEntry(r.dir.fd, r.name, abs);
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
    if (!rootHolding(clean).isEmpty()) {
        const Resolved r = resolve(clean, "Delete");
        if (!r.ok)
            return tLastErrno == ENOENT;
        return removeEntry(r.at(), r.name, abs);
    }
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
