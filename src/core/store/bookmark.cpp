#include "store/bookmark.h"

#include "store/packagepath.h"

namespace folivo {

namespace {
const QByteArray Magic = QByteArrayLiteral("folivo-package-path\n");
}

QByteArray bookmarkDataForStoredPath(const QString& storedPath)
{
    return Magic + storedPath.toUtf8();
}

bool isPackagePathBookmark(const QByteArray& data)
{
    return data.startsWith(Magic);
}

std::optional<QString> storedPathFromBookmarkData(const QByteArray& data)
{
    if (!data.startsWith(Magic))
        return std::nullopt;
    const QString path = QString::fromUtf8(data.mid(Magic.size()));
    // A reference that could leave the package names nothing.
    if (!PackagePath::fromString(path))
        return std::nullopt;
    return path;
}

} // namespace folivo
