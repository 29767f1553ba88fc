// Reading zip containers: opening an archive as outside data, the scan of its directory
// that checks every name, kind and link, verifying it whole, and reading its entries.

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

namespace detail {

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

namespace {

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

} // namespace

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

} // namespace detail

using namespace detail;

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
