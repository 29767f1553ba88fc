#include "browser/selection.h"

#include "store/indexitem.h"

#include <QSet>

namespace folivo {

bool isInsidePath(const QString& path, const QString& ancestor)
{
    return !ancestor.isEmpty() && path.size() > ancestor.size() && path.startsWith(ancestor)
           && path.at(ancestor.size()) == QLatin1Char('/');
}

bool isSameOrInsidePath(const QString& path, const QString& ancestor)
{
    return path == ancestor || isInsidePath(path, ancestor);
}

std::vector<const IndexItem*> withoutNestedItems(const std::vector<const IndexItem*>& items)
{
    QSet<const IndexItem*> chosen;
    for (const IndexItem* item : items)
        if (item)
            chosen.insert(item);
    std::vector<const IndexItem*> out;
    QSet<const IndexItem*> taken;
    for (const IndexItem* item : items) {
        if (!item || taken.contains(item))
            continue;
        bool nested = false;
        for (const IndexItem* up = item->parent(); up && !nested; up = up->parent())
            nested = chosen.contains(up);
        if (nested)
            continue;
        taken.insert(item);
        out.push_back(item);
    }
    return out;
}

QStringList withoutNestedPaths(const QStringList& paths)
{
    QStringList out;
    QSet<QString> taken;
    for (const QString& path : paths) {
        if (path.isEmpty() || taken.contains(path))
            continue;
        bool nested = false;
        for (const QString& other : paths)
            if (isInsidePath(path, other)) {
                nested = true;
                break;
            }
        if (nested)
            continue;
        taken.insert(path);
        out << path;
    }
    return out;
}

} // namespace folivo
