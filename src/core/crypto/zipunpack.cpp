// Unpacking zip containers into a new folder, refusing whatever could write outside it.

#include "crypto/zipinternal.h"

#include "util/fdio.h"
#include "util/fs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <limits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace folivo::zipc {

using namespace detail;

namespace {


bool setTimes(int fd, qint64 mtime)
{
    const timespec times[2] = {{time_t(mtime), 0}, {time_t(mtime), 0}};
    return ::futimens(fd, times) == 0;
}

// For a link, whose own time is set without opening it.
bool setTimesAt(int dirFd, const char* name, qint64 mtime)
{
    const timespec times[2] = {{time_t(mtime), 0}, {time_t(mtime), 0}};
    return ::utimensat(dirFd, name, times, AT_SYMLINK_NOFOLLOW) == 0;
}

class Unpacker {
public:
    Unpacker(zip_t* za, const QString& target, int rootFd, const UnpackOptions& options)
        : za_(za), target_(target), rootFd_(rootFd), options_(options)
    {
    }

    bool run(const std::vector<Entry>& entries, QString* error)
    {
        error_ = error;
        for (const Entry& e : entries) {
            bool ok = true;
            switch (e.kind) {
            case Kind::Folder: ok = makeFolder(e); break;
            case Kind::File: ok = writeFile(e); break;
            case Kind::Link: ok = makeLink(e); break;
            }
            if (!ok)
                return false;
        }
        cached_.reset();
        return finishFolders(entries);
    }

private:
    bool fail(const QByteArray& rel, const QString& reason)
    {
        *error_ = target_ + '/' + shown(rel) + QStringLiteral(": ") + reason;
        return false;
    }

    // Opens the folder `rel` by walking down from the target one component at a time,
    // never through a link, making missing folders when `create` is set.
    fdio::Fd openFolder(const QByteArray& rel, bool create)
    {
        fdio::Fd current(::fcntl(rootFd_, F_DUPFD_CLOEXEC, 0));
        if (!current.valid()) {
            fail(rel, sysError(errno));
            return {};
        }
        if (rel.isEmpty())
            return current;
        qsizetype start = 0;
        while (start <= rel.size()) {
            qsizetype slash = rel.indexOf('/', start);
            if (slash < 0)
                slash = rel.size();
            const QByteArray comp = rel.mid(start, slash - start);
            const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
            int next = ::openat(current.fd, comp.constData(), flags);
            if (next < 0 && errno == ENOENT && create) {
                if (::mkdirat(current.fd, comp.constData(), 0700) != 0) {
                    fail(rel.left(slash), sysError(errno));
                    return {};
                }
                implicitFolders_.insert(rel.left(slash));
                next = ::openat(current.fd, comp.constData(), flags);
            }
            if (next < 0) {
                fail(rel.left(slash), errno == ELOOP || errno == ENOTDIR ? QStringLiteral("not a folder")
                                                                         : sysError(errno));
                return {};
            }
            current = fdio::Fd(next);
            start = slash + 1;
        }
        return current;
    }

    // Entries of one folder usually follow each other; keep its descriptor.
    int parentFolder(const QByteArray& rel)
    {
        const QByteArray parent = parentOf(rel);
        if (!cached_.valid() || cachedRel_ != parent) {
            cached_ = openFolder(parent, true);
            cachedRel_ = parent;
        }
        return cached_.fd;
    }

    bool makeFolder(const Entry& e)
    {
        // A folder has no content, but a damaged entry still refuses the archive, as
        // verifying would.
        if (!readEntryData(za_, e.index, e.size, e.name, error_, [](const char*, qint64) { return true; }))
            return false;
        if (e.rel.isEmpty())
            return true; // the target itself
        const int parent = parentFolder(e.rel);
        if (parent < 0)
            return false;
        const QByteArray leaf = leafOf(e.rel);
        if (::mkdirat(parent, leaf.constData(), 0700) != 0) {
            const int err = errno;
            struct stat st {};
            // Made earlier on the way to an entry inside it.
            if (err != EEXIST || ::fstatat(parent, leaf.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0
                || !S_ISDIR(st.st_mode))
                return fail(e.rel, sysError(err));
        }
        return true;
    }

    bool writeFile(const Entry& e)
    {
        const int parent = parentFolder(e.rel);
        if (parent < 0)
            return false;
        const QByteArray leaf = leafOf(e.rel);
        fdio::Fd out(::openat(parent, leaf.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!out.valid())
            return fail(e.rel, sysError(errno));
        if (!readEntryData(za_, e.index, e.size, e.name, error_, [&](const char* p, qint64 n) {
                return fdio::writeFull(out.fd, p, n) || fail(e.rel, sysError(errno));
            }))
            return false;
        unsigned mode = e.mode ? ((*e.mode & 0755) | 0600) : 0644;
        if (options_.readOnly)
            mode = 0400;
        if (::fchmod(out.fd, mode) != 0)
            return fail(e.rel, sysError(errno));
        if (e.mtime && !setTimes(out.fd, *e.mtime))
            return fail(e.rel, sysError(errno));
        const int fd = out.fd;
        out.fd = -1;
        if (::close(fd) != 0)
            return fail(e.rel, sysError(errno));
        return true;
    }

    bool makeLink(const Entry& e)
    {
        const int parent = parentFolder(e.rel);
        if (parent < 0)
            return false;
        const QByteArray leaf = leafOf(e.rel);
        if (::symlinkat(e.linkText.constData(), parent, leaf.constData()) != 0)
            return fail(e.rel, sysError(errno));
        if (e.mtime && !setTimesAt(parent, leaf.constData(), *e.mtime))
            return fail(e.rel, sysError(errno));
        return true;
    }

    // Folder modes and times last, deepest first: writing inside a folder changes its
    // time, and a read-only folder could take nothing more.
    bool finishFolders(const std::vector<Entry>& entries)
    {
        struct Finish {
            unsigned mode = 0755;
            std::optional<qint64> mtime;
        };
        QHash<QByteArray, Finish> folders;
        folders.insert(QByteArray(), Finish{});
        for (const QByteArray& rel : implicitFolders_)
            folders.insert(rel, Finish{});
        for (const Entry& e : entries)
            if (e.kind == Kind::Folder)
                folders.insert(e.rel, Finish{e.mode ? ((*e.mode & 0755) | 0700) : 0755, e.mtime});
        std::vector<QByteArray> order(folders.keyBegin(), folders.keyEnd());
        std::sort(order.begin(), order.end(), [](const QByteArray& a, const QByteArray& b) {
            const qsizetype da = a.isEmpty() ? -1 : a.count('/');
            const qsizetype db = b.isEmpty() ? -1 : b.count('/');
            return da != db ? da > db : a < b;
        });
        for (const QByteArray& rel : order) {
            const Finish& f = folders[rel];
            fdio::Fd dir = openFolder(rel, false);
            if (!dir.valid())
                return false;
            if (::fchmod(dir.fd, options_.readOnly ? 0500 : f.mode) != 0)
                return fail(rel, sysError(errno));
            if (f.mtime && !setTimes(dir.fd, *f.mtime))
                return fail(rel, sysError(errno));
        }
        return true;
    }

    zip_t* za_;
    QString target_;
    int rootFd_;
    UnpackOptions options_;
    QString* error_ = nullptr;
    QSet<QByteArray> implicitFolders_;
    fdio::Fd cached_;
    QByteArray cachedRel_;
};

Result checkTarget(const QString& target)
{
    if (target.isEmpty())
        return failure(QStringLiteral("no target folder"));
    if (fs::exists(target))
        return failure(target + QStringLiteral(": already exists"));
    const QString parent = QFileInfo(QDir::cleanPath(target)).absolutePath();
    if (!QFileInfo(parent).isDir())
        return failure(parent + QStringLiteral(": no such folder"));
    return success();
}

Result unpackOpened(zip_t* za, const QString& target, const UnpackOptions& options)
{
    std::vector<Entry> entries;
    QString error;
    if (!scanArchive(za, scopeOf(options.naming), options.maxTotalBytes, entries, &error))
        return failure(error);
    if (!fs::makeDirectory(target, 0700))
        return failure(fs::lastError());
    bool ok = false;
    {
        fdio::Fd root(::open(QFile::encodeName(target).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!root.valid())
            error = target + QStringLiteral(": ") + sysError(errno);
        else
            ok = Unpacker(za, target, root.fd, options).run(entries, &error);
    }
    if (!ok && !fs::deleteTree(target))
        error += QStringLiteral("; ") + fs::lastError();
    return ok ? success() : failure(error);
}

} // namespace

Result unpackArchive(const QString& archive, const QString& target, const UnpackOptions& options)
{
    if (Result r = checkTarget(target); !r)
        return r;
    QString error;
    ZipPtr za = openArchiveFile(archive, &error);
    return za ? unpackOpened(za.get(), target, options) : failure(error);
}

Result unpackArchive(const QByteArray& data, const QString& target, const UnpackOptions& options)
{
    if (Result r = checkTarget(target); !r)
        return r;
    QString error;
    ZipPtr za = openArchiveData(data, &error);
    return za ? unpackOpened(za.get(), target, options) : failure(error);
}

} // namespace folivo::zipc
