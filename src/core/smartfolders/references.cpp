#include "smartfolders/references.h"

#include "store/bookmark.h"
#include "store/packagepath.h"

#include <QtEndian>

namespace folivo {

plist::Value referenceEntryForStoredPath(const QString& storedPath)
{
    return plist::Dict{{refkeys::BookMarkData, bookmarkDataForStoredPath(storedPath)}};
}

namespace {

// Bounds-checked little-endian reads: the data comes from another machine's files.
std::optional<quint32> le32(const QByteArray& data, qint64 at)
{
    if (at < 0 || at + 4 > data.size())
        return std::nullopt;
    return qFromLittleEndian<quint32>(data.constData() + at);
}

std::optional<quint16> be16(const QByteArray& data, qint64 at)
{
    if (at < 0 || at + 2 > data.size())
        return std::nullopt;
    return qFromBigEndian<quint16>(data.constData() + at);
}

constexpr quint32 BookmarkPathKey = 0x1004;
constexpr quint32 StringType = 0x0101;
constexpr quint32 ArrayType = 0x0601;
constexpr quint32 TocMagic = 0xfffffffe;
constexpr int MaxTocs = 64;
constexpr int MaxComponents = 4096;

std::optional<QString> bookmarkString(const QByteArray& data, qint64 base, quint32 offset)
{
    const auto length = le32(data, base + offset);
    const auto type = le32(data, base + offset + 4);
    if (!length || !type || *type != StringType)
        return std::nullopt;
    const qint64 start = base + offset + 8;
    if (start + qint64(*length) > data.size())
        return std::nullopt;
    return QString::fromUtf8(data.constData() + start, qsizetype(*length));
}

} // namespace

std::optional<QStringList> macBookmarkPathComponents(const QByteArray& data)
{
    if (!data.startsWith("book"))
        return std::nullopt;
    const auto headerSize = le32(data, 12);
    if (!headerSize || *headerSize < 16 || qint64(*headerSize) >= data.size())
        return std::nullopt;
    const qint64 base = *headerSize;
    auto tocOffset = le32(data, base);
    for (int tocs = 0; tocOffset && *tocOffset != 0 && tocs < MaxTocs; ++tocs) {
        const qint64 toc = base + *tocOffset;
        const auto magic = le32(data, toc + 4);
        const auto next = le32(data, toc + 12);
        const auto count = le32(data, toc + 16);
        if (!magic || *magic != TocMagic || !next || !count)
            return std::nullopt;
        for (quint32 i = 0; i < *count; ++i) {
            const qint64 entry = toc + 20 + qint64(i) * 12;
            const auto key = le32(data, entry);
            const auto offset = le32(data, entry + 4);
            if (!key || !offset)
                return std::nullopt;
            if ((*key & 0x7fffffff) != BookmarkPathKey)
                continue;
            const auto length = le32(data, base + *offset);
            const auto type = le32(data, base + *offset + 4);
            if (!length || !type || *type != ArrayType || *length % 4 != 0 || *length / 4 > MaxComponents)
                return std::nullopt;
            QStringList components;
            for (quint32 k = 0; k < *length / 4; ++k) {
                const auto item = le32(data, base + *offset + 8 + qint64(k) * 4);
                if (!item)
                    return std::nullopt;
                const auto s = bookmarkString(data, base, *item);
                if (!s)
                    return std::nullopt;
                components << *s;
            }
            return components;
        }
        // A table that points back at itself ends the walk instead of going round.
        if (*next == *tocOffset)
            break;
        tocOffset = next;
    }
    return std::nullopt;
}

std::optional<QString> macAliasPosixPath(const QByteArray& data)
{
    constexpr quint16 PosixPathTag = 18;
    constexpr quint16 EndTag = 0xffff;
    const auto version = be16(data, 6);
    if (!version || (*version != 2 && *version != 3))
        return std::nullopt;
    // The fixed part of a version 2 record is 150 bytes, of a version 3 record 58; the
    // tagged fields follow it.
    const qint64 start = *version == 2 ? 150 : 58;
    for (qint64 at = start; at + 4 <= data.size();) {
        const auto tag = be16(data, at);
        const auto length = be16(data, at + 2);
        if (!tag || !length || *tag == EndTag)
            break;
        if (at + 4 + *length > data.size())
            break;
        if (*tag == PosixPathTag)
            return QString::fromUtf8(data.constData() + at + 4, *length);
        at += 4 + *length + (*length & 1);
    }
    return std::nullopt;
}

std::optional<QString> storedPathAfterPackage(const QStringList& components, const QString& packageName)
{
    qsizetype package = -1;
    if (!packageName.isEmpty())
        package = components.indexOf(packageName);
    if (package < 0)
        for (qsizetype i = 0; i < components.size() && package < 0; ++i)
            if (components[i].endsWith(QStringLiteral(".fvdb"), Qt::CaseInsensitive))
                package = i;
    if (package < 0 || package + 1 >= components.size())
        return std::nullopt;
    const QString rest = components.mid(package + 1).join('/');
    const auto path = PackagePath::fromString(rest);
    if (!path || path->isRoot())
        return std::nullopt;
    return path->str();
}

ResolvedReference resolveReference(const plist::Value& entry, const QString& packageName)
{
    ResolvedReference r;
    if (!entry.isDict())
        return r;
    const plist::Dict& d = entry.dict();
    // A path of ours added after the target moved comes first: the legacy data beside it
    // still names the old place.
    if (const plist::Value* ours = d.find(refkeys::FolivoPath); ours && ours->isString()) {
        r.source = ReferenceSource::Folivo;
        if (const auto p = PackagePath::fromString(ours->string()); p && !p->isRoot())
            r.storedPath = p->str();
        return r;
    }
    if (const plist::Value* data = d.find(refkeys::BookMarkData); data && data->isData()) {
        if (isPackagePathBookmark(data->data())) {
            // One of ours that leaves the package names nothing.
            r.source = ReferenceSource::Folivo;
            if (const auto path = storedPathFromBookmarkData(data->data()))
                if (const auto p = PackagePath::fromString(*path); p && !p->isRoot())
                    r.storedPath = p->str();
            return r;
        }
        r.source = ReferenceSource::MacBookmark;
        if (const auto components = macBookmarkPathComponents(data->data()))
            r.storedPath = storedPathAfterPackage(*components, packageName).value_or(QString());
        return r;
    }
    if (const plist::Value* alias = d.find(refkeys::Alias); alias && alias->isData()) {
        r.source = ReferenceSource::MacAlias;
        if (const auto posix = macAliasPosixPath(alias->data()))
            r.storedPath = storedPathAfterPackage(posix->split('/', Qt::SkipEmptyParts), packageName).value_or(QString());
    }
    return r;
}

void retargetReference(plist::Dict& entry, const QString& storedPath)
{
    const plist::Value* data = entry.find(refkeys::BookMarkData);
    const bool ours = !entry.contains(refkeys::FolivoPath) && data && data->isData()
                      && isPackagePathBookmark(data->data());
    if (ours)
        entry.set(refkeys::BookMarkData, bookmarkDataForStoredPath(storedPath));
    else
        entry.set(refkeys::FolivoPath, storedPath);
}

} // namespace folivo
