#pragma once
// What reading, unpacking and packing zip containers share: limits, libzip handles and
// error texts, and the scan that reads an archive's directory and checks every name,
// kind and link before anything is written. Only for zipread.cpp, zipunpack.cpp and
// zippack.cpp; everyone else uses crypto/zipcontainer.h.

#include "crypto/zipcontainer.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <zip.h>

#include <climits>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace folivo::zipc::detail {

// Info-ZIP's extended timestamp: UTC seconds, unlike the local-time DOS field, and
// what unzip restores first.
inline constexpr zip_uint16_t kExtendedTimestamp = 0x5455;
inline constexpr qint64 kMaxNameBytes = PATH_MAX - 1;
inline constexpr qint64 kMaxComponentBytes = NAME_MAX;
inline constexpr qint64 kMaxLinkText = PATH_MAX - 1;
inline constexpr qint64 kMaxAllLinkText = qint64(16) << 20;
inline constexpr qint64 kMaxReadEntry = qint64(1) << 30;
inline constexpr qint64 kVerifyLimit = qint64(8) << 30;
inline constexpr int kMaxLinksFollowed = 40; // the kernel's limit for one lookup
// Link checks substitute links inside links; a hostile archive could make that
// exponential, so the whole check gets a fixed amount of work.
inline constexpr qint64 kResolveBudget = qint64(64) << 20;
inline constexpr qsizetype kChunk = 256 * 1024;
inline constexpr qint64 kNoLimit = std::numeric_limits<qint64>::max();

inline QString sysError(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

inline QString shown(const QByteArray& raw)
{
    return QFile::decodeName(raw);
}

inline Result success()
{
    return Result{true, {}};
}

inline Result failure(const QString& error)
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

inline QString zipErrorText(int code)
{
    zip_error_t ze;
    zip_error_init_with_code(&ze, code);
    const QString text = QString::fromLocal8Bit(zip_error_strerror(&ze));
    zip_error_fini(&ze);
    return text;
}

inline QString zipErrorText(zip_error_t* ze)
{
    return QString::fromLocal8Bit(zip_error_strerror(ze));
}

inline QString zipErrorText(zip_t* za)
{
    return QString::fromLocal8Bit(zip_strerror(za));
}

// An archive of no entries: just the end-of-central-directory record. libzip writes
// nothing at all for one, but an empty folder packed with InsideItem is one.
inline QByteArray emptyArchive()
{
    QByteArray b(22, '\0');
    b[0] = 'P';
    b[1] = 'K';
    b[2] = 5;
    b[3] = 6;
    return b;
}

enum class Scope { Archive, WithItemName, InsideItem };

inline Scope scopeOf(EntryNaming naming)
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

// Opening an archive as outside data. `data` must outlive the answer.
ZipPtr openArchiveFile(const QString& path, QString* error);
ZipPtr openArchiveData(const QByteArray& data, QString* error);

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

QByteArray parentOf(const QByteArray& rel);
QByteArray leafOf(const QByteArray& rel);

// Reads the directory of the archive and checks everything that can be checked without
// writing: names, kinds, sizes, the naming rule and where links lead.
bool scanArchive(zip_t* za, Scope scope, qint64 maxTotal, std::vector<Entry>& out, QString* error);

} // namespace folivo::zipc::detail
