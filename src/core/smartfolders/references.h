#pragma once
// The references a folder of chosen items keeps to its files and folders (the entries of
// its "Conditions"). Entries made here hold the stored path inside the package in
// "BookMarkData". Entries written by the macOS edition hold its file bookmarks, or older
// "Alias" records; their path components are read out of them where the data allows.
// Such an entry is never rewritten (the macOS edition still resolves it by its own means);
// when a recorded rename or move carries its target away, the new path is added to it under
// "FolivoPath", which this edition reads first.

#include "plist/value.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace folivo {

namespace refkeys {
inline const QString BookMarkData = QStringLiteral("BookMarkData");
inline const QString Alias = QStringLiteral("Alias");
inline const QString FolivoPath = QStringLiteral("FolivoPath");
} // namespace refkeys

// A new entry for the item stored at `storedPath` (its enciphered form where there is one).
plist::Value referenceEntryForStoredPath(const QString& storedPath);

enum class ReferenceSource { None, Folivo, MacBookmark, MacAlias };

struct ResolvedReference {
    ReferenceSource source = ReferenceSource::None;
    QString storedPath; // relative to the package; empty when nothing could be read
};

// The stored path an entry names. `packageName` is the package folder's name ("Home.fvdb"):
// macOS data holds absolute paths, and the part after the package is the stored path. A
// path that would leave the package, or data that names no place inside a package, is
// nothing (source is still set, so that the caller can tell legacy data it could not read).
ResolvedReference resolveReference(const plist::Value& entry, const QString& packageName);

// The components of the path in macOS bookmark data ("book" format); nothing when the data
// is not such a bookmark or holds no path.
std::optional<QStringList> macBookmarkPathComponents(const QByteArray& data);
// The POSIX path in a legacy alias record; nothing when none can be read.
std::optional<QString> macAliasPosixPath(const QByteArray& data);
// The part of an absolute path's components after the package folder, as a stored path;
// nothing when no component is a package or the rest is not a valid stored path.
std::optional<QString> storedPathAfterPackage(const QStringList& components, const QString& packageName);

// Points the entry at `storedPath` after its target moved: an entry of ours gets new
// "BookMarkData", a legacy entry keeps its data and gets "FolivoPath".
void retargetReference(plist::Dict& entry, const QString& storedPath);

} // namespace folivo
