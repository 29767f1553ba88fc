// Packing a folder item into a zip container, to a file or into memory.

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

} // namespace folivo::zipc
