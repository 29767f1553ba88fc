#pragma once
// References to stored files kept by smart folders of chosen files ("BookMarkData"). The
// reference is the file's path inside the package, so it survives moving or copying the
// package as a whole.

#include <QByteArray>
#include <QString>
#include <optional>

namespace folivo {

QByteArray bookmarkDataForStoredPath(const QString& storedPath);
// Whether the data is a reference of ours, whatever path it names.
bool isPackagePathBookmark(const QByteArray& data);
// The stored path a reference names; nullopt for data that is not one of ours.
std::optional<QString> storedPathFromBookmarkData(const QByteArray& data);

} // namespace folivo
