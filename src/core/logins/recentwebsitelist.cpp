#include "logins/recentwebsitelist.h"

#include "logins/recentwebsites.h"
#include "store/dboperation.h"
#include "store/mydocument.h"

namespace folivo {

RecentWebsiteList::RecentWebsiteList(MyDocument& doc) : doc_(doc)
{
    // A list written by hand or by an older version may hold repeats and empty titles.
    list() = cleanRecentWebsites(list());
    doc_.addOperationObserver(this);
}

RecentWebsiteList::~RecentWebsiteList()
{
    doc_.removeOperationObserver(this);
}

QStringList& RecentWebsiteList::list()
{
    return doc_.settings().recentWebsiteTitles;
}

const QStringList& RecentWebsiteList::titles() const
{
    return doc_.settings().recentWebsiteTitles;
}

void RecentWebsiteList::notify()
{
    if (changed)
        changed();
}

void RecentWebsiteList::visit(const QString& folderPath)
{
    if (folderPath.isEmpty())
        return;
    visitRecentWebsite(list(), folderPath);
    notify();
}

void RecentWebsiteList::clear()
{
    if (list().isEmpty())
        return;
    list().clear();
    notify();
}

void RecentWebsiteList::operationFinished(const DBOperation& operation, const OperationResult& result)
{
    bool edited = false;
    switch (operation.code()) {
    case OperationCode::Rename:
    case OperationCode::Move: {
        // A rename that stopped part-way may have moved the folder all the same: what counts
        // is where it is now.
        const QString now = !result.resultPath.isEmpty() ? result.resultPath
                            : operation.code() == OperationCode::Rename ? operation.newPath
                                                                        : QString();
        if (!now.isEmpty() && !doc_.tree().itemForPath(operation.path) && doc_.tree().itemForPath(now))
            edited = renameRecentWebsite(list(), operation.path, now);
        break;
    }
    case OperationCode::Delete:
        // Only what has really gone: a delete refused or stopped by the disk keeps its entries.
        if (!doc_.tree().itemForPath(operation.path))
            edited = removeRecentWebsite(list(), operation.path);
        break;
    default:
        break;
    }
    if (edited)
        notify();
}

} // namespace folivo
