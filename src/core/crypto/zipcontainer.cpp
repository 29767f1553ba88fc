#include "crypto/zipcontainer.h"

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

namespace {

// Info-ZIP's extended timestamp: UTC seconds, unlike the local-time DOS field, and
// what unzip restores first.
constexpr zip_uint16_t kExtendedTimestamp = 0x5455;
constexpr qint64 kMaxNameBytes = PATH_MAX - 1;
constexpr qint64 kMaxComponentBytes = NAME_MAX;
constexpr qint64 kMaxLinkText = PATH_MAX - 1;
constexpr qint64 kMaxAllLinkText = qint64(16) << 20;
constexpr qint64 kMaxReadEntry = qint64(1) << 30;
constexpr qint64 kVerifyLimit = qint64(8) << 30;
constexpr int kMaxLinksFollowed = 40; // the kernel's limit for one lookup
// Link checks substitute links inside links; a hostile archive could make that
// exponential, so the whole check gets a fixed amount of work.
constexpr qint64 kResolveBudget = qint64(64) << 20;
constexpr qsizetype kChunk = 256 * 1024;
constexpr qint64 kNoLimit = std::numeric_limits<qint64>::max();

QString sysError(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

QString shown(const QByteArray& raw)
{
    return QFile::decodeName(raw);
}

Result success()
{
    return Result{true, {}};
}

Result failure(const QString& error)
{
    return Result{false, error};
}

struct ZipDiscard {
    void operator()(zip_t* za) const { zip_discard(za); }
};
using ZipPtr = std::unique_ptr<zip_t, ZipDiscard>;

struct SourceFree {
    void operator()(zip_source_t* s) const { zip_source_free(s); }
};
using SourcePtr = std::unique_ptr<zip_source_t, SourceFree>;

QString zipErrorText(int code)
{
    zip_error_t ze;
    zip_error_init_with_code(&ze, code);
    const QString text = QString::fromLocal8Bit(zip_error_strerror(&ze));
    zip_error_fini(&ze);
    return text;
}

QString zipErrorText(zip_error_t* ze)
{
    return QString::fromLocal8Bit(zip_error_strerror(ze));
}

QString zipErrorText(zip_t* za)
{
    return QString::fromLocal8Bit(zip_strerror(za));
}

// An archive of no entries: just the end-of-central-directory record. libzip writes
// nothing at all for one, but an empty folder packed with InsideItem is one.
QByteArray emptyArchive()
{
    QByteArray b(22, '\0');
    b[0] = 'P';
    b[1] = 'K';
    b[2] = 5;
    b[3] = 6;
    return b;
}

// ---------------------------------------------------------------------------------
// Reading archives

ZipPtr openArchiveFile(const QString& path, QString* error)
{
    // Through the package's rules: nothing is read through a link inside a package.
    fdio::Fd fd(fs::openFile(path, O_RDONLY | O_NONBLOCK, 0, "Read"));
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.fd, &st) != 0) {
        *error = path + QStringLiteral(": ") + sysError(errno);
        return {};
    }
    // Every archive ends with a 22-byte directory record; libzip takes an empty file
    // for an empty archive, which would let a file truncated to nothing pass.
    if (!S_ISREG(st.st_mode) || st.st_size < 22) {
        *error = path + QStringLiteral(": not a zip archive");
        return {};
    }
    int code = 0;
    zip_t* za = zip_fdopen(fd.fd, 0, &code);
    if (!za) {
        *error = path + QStringLiteral(": ") + zipErrorText(code);
        return {};
    }
    fd.fd = -1; // the archive owns it now
    return ZipPtr(za);
}

// `data` must outlive the answer.
ZipPtr openArchiveData(const QByteArray& data, QString* error)
{
    if (data.size() < 22) {
        *error = QStringLiteral("not a zip archive");
        return {};
    }
    zip_error_t ze;
    zip_error_init(&ze);
    zip_source_t* src = zip_source_buffer_create(data.constData(), zip_uint64_t(data.size()), 0, &ze);
    if (!src) {
        *error = zipErrorText(&ze);
        zip_error_fini(&ze);
        return {};
    }
    zip_t* za = zip_open_from_source(src, ZIP_RDONLY, &ze);
    if (!za) {
        *error = zipErrorText(&ze);
        zip_source_free(src);
        zip_error_fini(&ze);
        return {};
    }
    zip_error_fini(&ze);
    return ZipPtr(za);
}

// Reads entry `index` to its very end, handing the bytes to `sink`. libzip checks the
// CRC only when a read finds the end, so the loop goes on until a read answers 0 even
// when the recorded size has been reached. The content must have exactly the recorded
// size: a deflate stream that inflates beyond it is refused before it can fill a disk.
template <class Sink>
bool readEntryData(zip_t* za, zip_uint64_t index, qint64 recorded, const QByteArray& name,
                   QString* error, Sink&& sink)
{
    zip_file_t* f = zip_fopen_index(za, index, 0);
    if (!f) {
        *error = shown(name) + QStringLiteral(": ") + zipErrorText(za);
        return false;
    }
    static thread_local std::vector<char> buffer(kChunk);
    qint64 total = 0;
    bool ok = true;
    for (;;) {
        const zip_int64_t n = zip_fread(f, buffer.data(), zip_uint64_t(buffer.size()));
        if (n < 0) {
            *error = shown(name) + QStringLiteral(": ") + QString::fromLocal8Bit(zip_file_strerror(f));
            ok = false;
            break;
        }
        if (n == 0)
            break;
        total += n;
        if (total > recorded) {
            *error = shown(name) + QStringLiteral(": content is longer than recorded");
            ok = false;
            break;
        }
        if (!sink(buffer.data(), qint64(n))) {
            ok = false;
            break;
        }
    }
    if (ok && total != recorded) {
        *error = shown(name) + QStringLiteral(": content is shorter than recorded");
        ok = false;
    }
    const int closed = zip_fclose(f);
    if (ok && closed != 0) {
        *error = shown(name) + QStringLiteral(": ") + zipErrorText(closed);
        ok = false;
    }
    return ok;
}

enum class Scope { Archive, WithItemName, InsideItem };

Scope scopeOf(EntryNaming naming)
{
    return naming == EntryNaming::WithItemName ? Scope::WithItemName : Scope::InsideItem;
}

enum class Kind { Folder, File, Link };

struct Entry {
    zip_uint64_t index = 0;
    QByteArray name; // as stored
    QByteArray rel;  // under the naming rule, no trailing "/"; empty for the item's own folder
    Kind kind = Kind::File;
    std::optional<unsigned> mode; // permission bits, when the archive records Unix modes
    qint64 size = 0;
    std::optional<qint64> mtime;
    QByteArray linkText;
};

bool hasSafeComponents(const QByteArray& path)
{
    if (path.isEmpty() || path.size() > kMaxNameBytes || path.contains('\0'))
        return false;
    qsizetype start = 0;
    while (start <= path.size()) {
        qsizetype slash = path.indexOf('/', start);
        if (slash < 0)
            slash = path.size();
        const QByteArrayView comp(path.constData() + start, slash - start);
        if (comp.isEmpty() || comp == "." || comp == ".." || comp.size() > kMaxComponentBytes)
            return false;
        start = slash + 1;
    }
    return true;
}

std::optional<qint64> entryMtime(zip_t* za, zip_uint64_t index, const zip_stat_t& st)
{
    for (zip_flags_t where : {zip_flags_t(ZIP_FL_CENTRAL), zip_flags_t(ZIP_FL_LOCAL)}) {
        zip_uint16_t len = 0;
        const zip_uint8_t* d = zip_file_extra_field_get_by_id(za, index, kExtendedTimestamp, 0, &len, where);
        if (d && len >= 5 && (d[0] & 1)) {
            const quint32 v = quint32(d[1]) | quint32(d[2]) << 8 | quint32(d[3]) << 16 | quint32(d[4]) << 24;
            // Written from a signed 32-bit time by older tools: with the top bit set it is
            // a date before 1970, unless the DOS date says the entry is from after 2038.
            const bool dosBefore2038 = (st.valid & ZIP_STAT_MTIME) && qint64(st.mtime) < qint64(0x80000000LL);
            if (v >= 0x80000000u && dosBefore2038)
                return qint64(qint32(v));
            return qint64(v);
        }
    }
    if (st.valid & ZIP_STAT_MTIME)
        return qint64(st.mtime);
    return std::nullopt;
}

// Follows a link's text the way the kernel would, substituting the archive's own links
// where the path meets them, and answers whether it stays inside the root. A purely
// lexical check is not enough: with "a/l" -> "../.." (the root), "a/m" -> "l/../x"
// looks like "a/x" but leads to the root's parent.
class LinkResolver {
public:
    explicit LinkResolver(const QHash<QByteArray, QByteArray>& links) : links_(links) {}

    bool staysInside(const QByteArray& folder, const QByteArray& text)
    {
        path_ = folder;
        followed_ = 0;
        return follow(text);
    }

private:
    bool follow(const QByteArray& text)
    {
        if (++followed_ > kMaxLinksFollowed || text.isEmpty() || text.startsWith('/'))
            return false;
        qsizetype start = 0;
        while (start <= text.size()) {
            qsizetype slash = text.indexOf('/', start);
            if (slash < 0)
                slash = text.size();
            const QByteArrayView comp(text.constData() + start, slash - start);
            start = slash + 1;
            if ((budget_ -= comp.size() + 1) < 0)
                return false;
            if (comp.isEmpty() || comp == ".")
                continue;
            if (comp == "..") {
                if (path_.isEmpty())
                    return false;
                const qsizetype cut = path_.lastIndexOf('/');
                path_.truncate(cut < 0 ? 0 : cut);
                continue;
            }
            const qsizetype before = path_.size();
            if (!path_.isEmpty())
                path_ += '/';
            path_ += comp;
            if ((budget_ -= path_.size()) < 0)
                return false;
            const auto it = links_.constFind(path_);
            if (it != links_.constEnd()) {
                path_.truncate(before);
                if (!follow(*it))
                    return false;
            }
        }
        return true;
    }

    const QHash<QByteArray, QByteArray>& links_;
    QByteArray path_;
    int followed_ = 0;
    qint64 budget_ = kResolveBudget;
};

QByteArray parentOf(const QByteArray& rel)
{
    const qsizetype slash = rel.lastIndexOf('/');
    return slash < 0 ? QByteArray() : rel.left(slash);
}

QByteArray leafOf(const QByteArray& rel)
{
    return rel.mid(rel.lastIndexOf('/') + 1);
}

// Reads the directory of the archive and checks everything that can be checked without
// writing: names, kinds, sizes, the naming rule and where links lead. Link texts are read
// here, so that a bad link refuses the archive before anything is written.
bool scanArchive(zip_t* za, Scope scope, qint64 maxTotal, std::vector<Entry>& out, QString* error)
{
    const zip_int64_t count = zip_get_num_entries(za, 0);
    if (count < 0) {
        *error = zipErrorText(za);
        return false;
    }
    if (count > kMaxEntries) {
        *error = QStringLiteral("more than %1 entries").arg(kMaxEntries);
        return false;
    }
    out.clear();
    out.reserve(size_t(count));
    QHash<QByteArray, Kind> kinds;
    kinds.reserve(count);
    std::optional<QByteArray> rootName;
    qint64 total = 0;

    for (zip_uint64_t i = 0; i < zip_uint64_t(count); ++i) {
        Entry e;
        e.index = i;
        const char* rawName = zip_get_name(za, i, ZIP_FL_ENC_RAW);
        if (!rawName) {
            *error = zipErrorText(za);
            return false;
        }
        e.name = QByteArray(rawName);
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(za, i, ZIP_FL_ENC_RAW, &st) != 0) {
            *error = shown(e.name) + QStringLiteral(": ") + zipErrorText(za);
            return false;
        }
        if (!(st.valid & ZIP_STAT_SIZE) || st.size > zip_uint64_t(kNoLimit)) {
            *error = shown(e.name) + QStringLiteral(": no usable size");
            return false;
        }
        e.size = qint64(st.size);

        const bool folderName = e.name.endsWith('/');
        const QByteArray body = folderName ? e.name.chopped(1) : e.name;
        // An absolute name shows as an empty first component.
        if (!hasSafeComponents(body)) {
            *error = shown(e.name) + QStringLiteral(": unsafe name");
            return false;
        }

        zip_uint8_t opsys = 0;
        zip_uint32_t attributes = 0;
        if (zip_file_get_external_attributes(za, i, 0, &opsys, &attributes) != 0) {
            *error = shown(e.name) + QStringLiteral(": ") + zipErrorText(za);
            return false;
        }
        const bool unixModes = (opsys == ZIP_OPSYS_UNIX || opsys == ZIP_OPSYS_OS_X) && (attributes >> 16) != 0;
        const unsigned unixMode = unixModes ? attributes >> 16 : 0;
        const unsigned format = unixMode & S_IFMT;
        if (format == S_IFLNK) {
            if (folderName) {
                *error = shown(e.name) + QStringLiteral(": a link named as a folder");
                return false;
            }
            e.kind = Kind::Link;
        } else if (folderName || format == S_IFDIR) {
            e.kind = Kind::Folder;
        } else if (format == 0 || format == S_IFREG) {
            e.kind = Kind::File;
        } else {
            *error = shown(e.name) + QStringLiteral(": not a file, folder or link");
            return false;
        }
        if (unixModes)
            e.mode = unixMode & 07777;
        if (e.kind == Kind::Folder && e.size != 0) {
            *error = shown(e.name) + QStringLiteral(": a folder with content");
            return false;
        }
        if (e.kind == Kind::Link && (e.size == 0 || e.size > kMaxLinkText)) {
            *error = shown(e.name) + QStringLiteral(": unusable link");
            return false;
        }
        if (e.size > maxTotal - total) {
            *error = QStringLiteral("content larger than %1 bytes").arg(maxTotal);
            return false;
        }
        total += e.size;

        if (scope == Scope::WithItemName) {
            const qsizetype slash = body.indexOf('/');
            const QByteArray first = slash < 0 ? body : body.left(slash);
            if (!rootName)
                rootName = first;
            else if (*rootName != first) {
                *error = shown(e.name) + QStringLiteral(": not inside ") + shown(*rootName);
                return false;
            }
            e.rel = slash < 0 ? QByteArray() : body.mid(slash + 1);
            if (e.rel.isEmpty() && e.kind != Kind::Folder) {
                *error = shown(e.name) + QStringLiteral(": the item is not a folder");
                return false;
            }
        } else {
            e.rel = body;
        }
        if (kinds.contains(e.rel)) {
            *error = shown(e.name) + QStringLiteral(": duplicate entry");
            return false;
        }
        kinds.insert(e.rel, e.kind);
        e.mtime = entryMtime(za, i, st);
        out.push_back(std::move(e));
    }
    if (scope == Scope::WithItemName && out.empty()) {
        *error = QStringLiteral("empty archive");
        return false;
    }

    // Nothing may be written through a file or a link of the archive itself, whatever
    // the order of the entries.
    for (const Entry& e : out) {
        qsizetype slash = e.rel.indexOf('/');
        while (slash >= 0) {
            const auto it = kinds.constFind(QByteArray::fromRawData(e.rel.constData(), slash));
            if (it != kinds.constEnd() && *it != Kind::Folder) {
                *error = shown(e.name) + QStringLiteral(": passes through a file or link");
                return false;
            }
            slash = e.rel.indexOf('/', slash + 1);
        }
    }

    QHash<QByteArray, QByteArray> links;
    qint64 linkBytes = 0;
    for (Entry& e : out) {
        if (e.kind != Kind::Link)
            continue;
        if ((linkBytes += e.size) > kMaxAllLinkText) {
            *error = QStringLiteral("too many links");
            return false;
        }
        QByteArray text;
        if (!readEntryData(za, e.index, e.size, e.name, error, [&](const char* p, qint64 n) {
                text.append(p, qsizetype(n));
                return true;
            }))
            return false;
        if (text.contains('\0') || text.startsWith('/')) {
            *error = shown(e.name) + QStringLiteral(": link leads outside");
            return false;
        }
        e.linkText = text;
        links.insert(e.rel, text);
    }
    LinkResolver resolver(links);
    for (const Entry& e : out) {
        if (e.kind == Kind::Link && !resolver.staysInside(parentOf(e.rel), e.linkText)) {
            *error = shown(e.name) + QStringLiteral(": link leads outside");
            return false;
        }
    }
    return true;
}

Result verifyOpened(zip_t* za)
{
    std::vector<Entry> entries;
    QString error;
    if (!scanArchive(za, Scope::Archive, kVerifyLimit, entries, &error))
        return failure(error);
    for (const Entry& e : entries)
        if (!readEntryData(za, e.index, e.size, e.name, &error, [](const char*, qint64) { return true; }))
            return failure(error);
    return success();
}

// ---------------------------------------------------------------------------------
// Unpacking

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

// ---------------------------------------------------------------------------------
// Packing

struct PackItem {
    QByteArray rel; // inside the folder, "/"-joined
    Kind kind = Kind::File;
    struct stat st {};
    QByteArray linkText;
};

struct PackPlan {
    QByteArray folderNative;
    QByteArray rootName; // empty with InsideItem
    struct stat rootSt {};
    std::vector<PackItem> items;

    qint64 entryCount() const { return qint64(items.size()) + (rootName.isEmpty() ? 0 : 1); }
};

bool walkFolder(int dirFd, const QByteArray& rel, PackPlan& plan, QString* error)
{
    const QString shownDir = shown(plan.folderNative) + (rel.isEmpty() ? QString() : '/' + shown(rel));
    const int listFd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!dir) {
        if (listFd >= 0)
            ::close(listFd);
        *error = shownDir + QStringLiteral(": ") + sysError(errno);
        return false;
    }
    std::vector<QByteArray> names;
    errno = 0;
    while (dirent* d = ::readdir(dir)) {
        if (std::strcmp(d->d_name, ".") != 0 && std::strcmp(d->d_name, "..") != 0)
            names.emplace_back(d->d_name);
        errno = 0;
    }
    const int readErr = errno;
    ::closedir(dir);
    if (readErr != 0) {
        *error = shownDir + QStringLiteral(": ") + sysError(readErr);
        return false;
    }
    std::sort(names.begin(), names.end());

    for (const QByteArray& name : names) {
        PackItem item;
        item.rel = rel.isEmpty() ? name : rel + '/' + name;
        const QString shownItem = shown(plan.folderNative) + '/' + shown(item.rel);
        if (plan.entryCount() >= kMaxEntries) {
            *error = shown(plan.folderNative) + QStringLiteral(": more than %1 entries").arg(kMaxEntries);
            return false;
        }
        if (::fstatat(dirFd, name.constData(), &item.st, AT_SYMLINK_NOFOLLOW) != 0) {
            *error = shownItem + QStringLiteral(": ") + sysError(errno);
            return false;
        }
        if (S_ISDIR(item.st.st_mode)) {
            item.kind = Kind::Folder;
            plan.items.push_back(item);
            fdio::Fd child(::openat(dirFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!child.valid()) {
                *error = shownItem + QStringLiteral(": ") + sysError(errno);
                return false;
            }
            if (!walkFolder(child.fd, item.rel, plan, error))
                return false;
        } else if (S_ISREG(item.st.st_mode)) {
            item.kind = Kind::File;
            plan.items.push_back(item);
        } else if (S_ISLNK(item.st.st_mode)) {
            item.kind = Kind::Link;
            QByteArray text(PATH_MAX, Qt::Uninitialized);
            const ssize_t n = ::readlinkat(dirFd, name.constData(), text.data(), size_t(text.size()));
            if (n < 0 || n >= text.size()) {
                *error = shownItem + QStringLiteral(": ") + (n < 0 ? sysError(errno) : QStringLiteral("link too long"));
                return false;
            }
            text.truncate(n);
            item.linkText = text;
            plan.items.push_back(item);
        } else {
            *error = shownItem + QStringLiteral(": not a file, folder or link");
            return false;
        }
    }
    return true;
}

bool makePlan(const QString& folder, EntryNaming naming, PackPlan& plan, QString* error)
{
    const QString clean = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    plan.folderNative = QFile::encodeName(clean);
    if (naming == EntryNaming::WithItemName) {
        plan.rootName = QFile::encodeName(QFileInfo(clean).fileName());
        if (plan.rootName.isEmpty()) {
            *error = clean + QStringLiteral(": the folder has no name");
            return false;
        }
    }
    fdio::Fd root(fs::openFile(clean, O_RDONLY | O_DIRECTORY | O_NOFOLLOW, 0, "Read"));
    if (!root.valid()) {
        *error = clean + QStringLiteral(": ") + (errno == ELOOP || errno == ENOTDIR ? QStringLiteral("not a folder") : sysError(errno));
        return false;
    }
    if (::fstat(root.fd, &plan.rootSt) != 0) {
        *error = clean + QStringLiteral(": ") + sysError(errno);
        return false;
    }
    return walkFolder(root.fd, QByteArray(), plan, error);
}

// The source of one regular file: opened only when libzip gets to it (so that a large
// folder does not hold a descriptor per file), never through a link, and refused when
// the file is no longer the one that was listed or changes size while it is read.
struct FileSource {
    QByteArray path;
    qint64 size = 0;
    time_t mtime = 0;
    dev_t dev = 0;
    ino_t ino = 0;
    int fd = -1;
    qint64 done = 0;
    zip_error_t error;
    QString message;

    FileSource() { zip_error_init(&error); }
    ~FileSource()
    {
        if (fd >= 0)
            ::close(fd);
        zip_error_fini(&error);
    }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    zip_int64_t fail(int zipCode, int sysCode, const QString& why)
    {
        zip_error_set(&error, zipCode, sysCode);
        message = shown(path) + QStringLiteral(": ") + why;
        return -1;
    }

    static zip_int64_t callback(void* userdata, void* data, zip_uint64_t len, zip_source_cmd_t cmd)
    {
        auto* s = static_cast<FileSource*>(userdata);
        switch (cmd) {
        case ZIP_SOURCE_OPEN: {
            s->fd = ::open(s->path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
            if (s->fd < 0)
                return s->fail(ZIP_ER_OPEN, errno, sysError(errno));
            struct stat st {};
            if (::fstat(s->fd, &st) != 0)
                return s->fail(ZIP_ER_READ, errno, sysError(errno));
            if (!S_ISREG(st.st_mode) || st.st_dev != s->dev || st.st_ino != s->ino)
                return s->fail(ZIP_ER_CHANGED, 0, QStringLiteral("replaced while it was packed"));
            s->done = 0;
            return 0;
        }
        case ZIP_SOURCE_READ: {
            ssize_t n;
            do
                n = ::read(s->fd, data, size_t(std::min<zip_uint64_t>(len, zip_uint64_t(1) << 30)));
            while (n < 0 && errno == EINTR);
            if (n < 0)
                return s->fail(ZIP_ER_READ, errno, sysError(errno));
            s->done += n;
            if (s->done > s->size || (n == 0 && s->done != s->size))
                return s->fail(ZIP_ER_CHANGED, 0, QStringLiteral("changed while it was packed"));
            return n;
        }
        case ZIP_SOURCE_CLOSE:
            if (s->fd >= 0)
                ::close(s->fd);
            s->fd = -1;
            return 0;
        case ZIP_SOURCE_STAT: {
            if (len < sizeof(zip_stat_t))
                return s->fail(ZIP_ER_INVAL, 0, QStringLiteral("internal error"));
            auto* st = static_cast<zip_stat_t*>(data);
            zip_stat_init(st);
            st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME;
            st->size = zip_uint64_t(s->size);
            st->mtime = s->mtime;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&s->error, data, len);
        case ZIP_SOURCE_FREE:
            return 0; // owned by the packer, which reads its message afterwards
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                                  ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
        default:
            zip_error_set(&s->error, ZIP_ER_OPNOTSUPP, 0);
            return -1;
        }
    }
};

class Packer {
public:
    explicit Packer(const PackPlan& plan) : plan_(plan) {}

    bool addAll(zip_t* za, QString* error)
    {
        za_ = za;
        error_ = error;
        const QByteArray prefix = plan_.rootName.isEmpty() ? QByteArray() : plan_.rootName + '/';
        if (!prefix.isEmpty() && !addFolder(prefix, plan_.rootSt))
            return false;
        for (const PackItem& item : plan_.items) {
            const QByteArray name = prefix + item.rel;
            bool ok = false;
            switch (item.kind) {
            case Kind::Folder: ok = addFolder(name + '/', item.st); break;
            case Kind::File: ok = addFile(name, item); break;
            case Kind::Link: ok = addLink(name, item); break;
            }
            if (!ok)
                return false;
        }
        return true;
    }

    // After a failed zip_close: the reason a file source gave, when one did.
    QString sourceMessage() const
    {
        for (const auto& s : sources_)
            if (!s->message.isEmpty())
                return s->message;
        return {};
    }

private:
    bool fail(const QByteArray& name)
    {
        *error_ = shown(name) + QStringLiteral(": ") + zipErrorText(za_);
        return false;
    }

    // Unix mode in the upper half and the MS-DOS attributes in the lower byte, as
    // Info-ZIP's zip records them (0x10 folder, 0x01 read-only).
    bool describe(zip_int64_t index, const QByteArray& name, const struct stat& st)
    {
        zip_uint32_t attributes = zip_uint32_t(st.st_mode & 0xFFFF) << 16;
        if (S_ISDIR(st.st_mode))
            attributes |= 0x10;
        if (!(st.st_mode & S_IWUSR))
            attributes |= 0x01;
        if (zip_file_set_external_attributes(za_, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX, attributes) != 0)
            return fail(name);
        // DOS times start in 1980; earlier ones become its first moment, as with Info-ZIP.
        struct tm local {};
        const bool before1980 = ::localtime_r(&st.st_mtime, &local) && local.tm_year < 80;
        if ((before1980 ? zip_file_set_dostime(za_, zip_uint64_t(index), 0, (1 << 5) | 1, 0)
                        : zip_file_set_mtime(za_, zip_uint64_t(index), st.st_mtime, 0))
            != 0)
            return fail(name);
        // 32 bits: times before 1970 wrap as Info-ZIP's do, later ones stay unsigned.
        const qint64 t = std::clamp<qint64>(qint64(st.st_mtime), INT32_MIN, UINT32_MAX);
        const quint32 v = quint32(t);
        const zip_uint8_t ut[5] = {1, zip_uint8_t(v), zip_uint8_t(v >> 8), zip_uint8_t(v >> 16), zip_uint8_t(v >> 24)};
        if (zip_file_extra_field_set(za_, zip_uint64_t(index), kExtendedTimestamp, ZIP_EXTRA_FIELD_NEW, ut,
                                     sizeof ut, ZIP_FL_LOCAL | ZIP_FL_CENTRAL)
            != 0)
            return fail(name);
        return true;
    }

    bool addFolder(const QByteArray& name, const struct stat& st)
    {
        const zip_int64_t index = zip_dir_add(za_, name.constData(), ZIP_FL_ENC_GUESS);
        return index >= 0 ? describe(index, name, st) : fail(name);
    }

    bool addFile(const QByteArray& name, const PackItem& item)
    {
        auto source = std::make_unique<FileSource>();
        source->path = plan_.folderNative + '/' + item.rel;
        source->size = qint64(item.st.st_size);
        source->mtime = item.st.st_mtime;
        source->dev = item.st.st_dev;
        source->ino = item.st.st_ino;
        zip_source_t* src = zip_source_function(za_, &FileSource::callback, source.get());
        if (!src)
            return fail(name);
        sources_.push_back(std::move(source));
        const zip_int64_t index = zip_file_add(za_, name.constData(), src, ZIP_FL_ENC_GUESS);
        if (index < 0) {
            zip_source_free(src);
            return fail(name);
        }
        // Info-ZIP stores empty files rather than deflating nothing.
        const zip_int32_t method = item.st.st_size > 0 ? ZIP_CM_DEFLATE : ZIP_CM_STORE;
        if (zip_set_file_compression(za_, zip_uint64_t(index), method, 0) != 0)
            return fail(name);
        return describe(index, name, item.st);
    }

    bool addLink(const QByteArray& name, const PackItem& item)
    {
        // The text lives in plan_, which outlives zip_close.
        zip_source_t* src = zip_source_buffer(za_, item.linkText.constData(), zip_uint64_t(item.linkText.size()), 0);
        if (!src)
            return fail(name);
        const zip_int64_t index = zip_file_add(za_, name.constData(), src, ZIP_FL_ENC_GUESS);
        if (index < 0) {
            zip_source_free(src);
            return fail(name);
        }
        if (zip_set_file_compression(za_, zip_uint64_t(index), ZIP_CM_STORE, 0) != 0)
            return fail(name);
        return describe(index, name, item.st);
    }

    const PackPlan& plan_;
    zip_t* za_ = nullptr;
    QString* error_ = nullptr;
    std::vector<std::unique_ptr<FileSource>> sources_;
};

// Adds everything and closes (writes) the archive; `za` is gone afterwards either way.
bool writeArchive(zip_t* za, const PackPlan& plan, QString* error)
{
    Packer packer(plan);
    if (!packer.addAll(za, error)) {
        zip_discard(za);
        return false;
    }
    if (zip_close(za) != 0) {
        const QString fromSource = packer.sourceMessage();
        *error = fromSource.isEmpty() ? zipErrorText(za) : fromSource;
        zip_discard(za);
        return false;
    }
    return true;
}

// What we store must unpack again under our own rules; a link that leads out of the
// folder would otherwise lock the item away behind a container nobody can open.
bool checkPacked(zip_t* za, EntryNaming naming, QString* error)
{
    std::vector<Entry> entries;
    return scanArchive(za, scopeOf(naming), kNoLimit, entries, error);
}

std::optional<QByteArray> packToMemory(const QString& folder, EntryNaming naming, QString* error)
{
    PackPlan plan;
    if (!makePlan(folder, naming, plan, error))
        return std::nullopt;

    QByteArray bytes;
    if (plan.entryCount() == 0) {
        bytes = emptyArchive();
    } else {
        zip_error_t ze;
        zip_error_init(&ze);
        SourcePtr out(zip_source_buffer_create(nullptr, 0, 0, &ze));
        zip_t* za = out ? zip_open_from_source(out.get(), ZIP_TRUNCATE, &ze) : nullptr;
        if (!za) {
            *error = zipErrorText(&ze);
            zip_error_fini(&ze);
            return std::nullopt;
        }
        zip_error_fini(&ze);
        // The archive took the source over; keep it alive past zip_close to read it.
        zip_source_keep(out.get());
        if (!writeArchive(za, plan, error))
            return std::nullopt;
        if (zip_source_open(out.get()) != 0) {
            *error = zipErrorText(zip_source_error(out.get()));
            return std::nullopt;
        }
        std::vector<char> buffer(kChunk);
        for (;;) {
            const zip_int64_t n = zip_source_read(out.get(), buffer.data(), zip_uint64_t(buffer.size()));
            if (n < 0) {
                *error = zipErrorText(zip_source_error(out.get()));
                zip_source_close(out.get());
                return std::nullopt;
            }
            if (n == 0)
                break;
            bytes.append(buffer.data(), qsizetype(n));
        }
        if (zip_source_close(out.get()) != 0) {
            *error = zipErrorText(zip_source_error(out.get()));
            return std::nullopt;
        }
    }
    ZipPtr check = openArchiveData(bytes, error);
    if (!check || !checkPacked(check.get(), naming, error))
        return std::nullopt;
    return bytes;
}

Result packToFile(const QString& folder, const QString& archive, EntryNaming naming)
{
    QString error;
    PackPlan plan;
    if (!makePlan(folder, naming, plan, &error))
        return failure(error);

    // The archive must not land inside what is being packed.
    const QString archiveDir = QFileInfo(QFileInfo(archive).absolutePath()).canonicalFilePath();
    const QString folderCanonical = QFileInfo(shown(plan.folderNative)).canonicalFilePath();
    if (archiveDir.isEmpty())
        return failure(archive + QStringLiteral(": no such folder"));
    if (archiveDir == folderCanonical || archiveDir.startsWith(folderCanonical + '/'))
        return failure(archive + QStringLiteral(": inside the folder being packed"));

    // The archive is written by path: inside a package, never where a link leads.
    if (fs::onDiskPath(archive).isEmpty())
        return failure(archive + QStringLiteral(": a symbolic link lies on the way"));
    // A fresh sibling, renamed over the archive only once it is complete and checked.
    QByteArray temp = QFile::encodeName(archive) + ".XXXXXX";
    {
        fdio::Fd fd(::mkstemp(temp.data()));
        if (!fd.valid())
            return failure(archive + QStringLiteral(": ") + sysError(errno));
    }
    const auto discard = [&](const QString& why) {
        ::unlink(temp.constData());
        return failure(why);
    };

    if (plan.entryCount() == 0) {
        const QByteArray empty = emptyArchive();
        fdio::Fd fd(::open(temp.constData(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC));
        if (!fd.valid() || !fdio::writeFull(fd.fd, empty.constData(), empty.size()))
            return discard(archive + QStringLiteral(": ") + sysError(errno));
    } else {
        int code = 0;
        // TRUNCATE: the placeholder is never read as an archive, only replaced.
        zip_t* za = zip_open(temp.constData(), ZIP_TRUNCATE, &code);
        if (!za)
            return discard(archive + QStringLiteral(": ") + zipErrorText(code));
        if (!writeArchive(za, plan, &error))
            return discard(error);
    }
    {
        ZipPtr check = openArchiveFile(shown(temp), &error);
        if (!check || !checkPacked(check.get(), naming, &error))
            return discard(error);
    }
    if (!fs::rename(shown(temp), archive))
        return discard(fs::lastError());
    return success();
}

} // namespace

Result packFolder(const QString& folder, const QString& archive, EntryNaming naming)
{
    return packToFile(folder, archive, naming);
}

std::optional<QByteArray> packFolderToMemory(const QString& folder, EntryNaming naming, QString* error)
{
    QString scratch;
    return packToMemory(folder, naming, error ? error : &scratch);
}

Result verifyArchive(const QString& archive)
{
    QString error;
    ZipPtr za = openArchiveFile(archive, &error);
    return za ? verifyOpened(za.get()) : failure(error);
}

Result verifyArchive(const QByteArray& data)
{
    QString error;
    ZipPtr za = openArchiveData(data, &error);
    return za ? verifyOpened(za.get()) : failure(error);
}

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

std::optional<QStringList> entryNames(const QByteArray& data, EntryNaming naming)
{
    QString error;
    ZipPtr za = openArchiveData(data, &error);
    std::vector<Entry> entries;
    if (!za || !scanArchive(za.get(), scopeOf(naming), kNoLimit, entries, &error))
        return std::nullopt;
    QStringList names;
    for (const Entry& e : entries)
        if (!e.rel.isEmpty())
            names << shown(e.rel) + (e.kind == Kind::Folder ? QStringLiteral("/") : QString());
    return names;
}

std::optional<QByteArray> readEntry(const QByteArray& data, const QString& innerPath, EntryNaming naming)
{
    QString error;
    ZipPtr za = openArchiveData(data, &error);
    std::vector<Entry> entries;
    if (!za || !scanArchive(za.get(), scopeOf(naming), kNoLimit, entries, &error))
        return std::nullopt;
    const QByteArray wanted = QFile::encodeName(innerPath);
    for (const Entry& e : entries) {
        if (e.rel != wanted)
            continue;
        if (e.kind != Kind::File || e.size > kMaxReadEntry)
            return std::nullopt;
        QByteArray content;
        content.reserve(qsizetype(e.size));
        if (!readEntryData(za.get(), e.index, e.size, e.name, &error, [&](const char* p, qint64 n) {
                content.append(p, qsizetype(n));
                return true;
            }))
            return std::nullopt;
        return content;
    }
    return std::nullopt;
}

} // namespace folivo::zipc
