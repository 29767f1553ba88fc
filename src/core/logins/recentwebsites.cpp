#include "logins/recentwebsites.h"

namespace folivo {

namespace {

bool isAtOrBeneath(const QString& path, const QString& folder)
{
    return path == folder || (path.size() > folder.size() && path.startsWith(folder) && path.at(folder.size()) == u'/');
}

} // namespace

void visitRecentWebsite(QStringList& titles, const QString& folderPath)
{
    if (folderPath.isEmpty())
        return;
    titles.removeAll(folderPath);
    titles.prepend(folderPath);
    while (titles.size() > kMaxRecentWebsites)
        titles.removeLast();
}

bool removeRecentWebsite(QStringList& titles, const QString& folderPath)
{
    return titles.removeIf([&](const QString& t) { return isAtOrBeneath(t, folderPath); }) > 0;
}

bool renameRecentWebsite(QStringList& titles, const QString& oldPath, const QString& newPath)
{
    if (oldPath == newPath)
        return false;
    bool changed = false;
    for (QString& t : titles) {
        if (isAtOrBeneath(t, oldPath)) {
            t = newPath + t.mid(oldPath.size());
            changed = true;
        }
    }
    if (changed) {
        // A rename onto a path already listed leaves one entry, in the newer place.
        QStringList unique;
        for (const QString& t : std::as_const(titles))
            if (!unique.contains(t))
                unique << t;
        titles = unique;
    }
    return changed;
}

QStringList cleanRecentWebsites(const QStringList& stored)
{
    QStringList out;
    for (const QString& t : stored)
        if (!t.isEmpty() && !out.contains(t) && out.size() < kMaxRecentWebsites)
            out << t;
    return out;
}

} // namespace folivo
