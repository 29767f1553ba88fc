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
    if (const QString now = folderMovedTo(doc_, operation, result); !now.isEmpty())
        edited = renameRecentWebsite(list(), operation.path, now);
    else if (folderDeletedBy(doc_, operation))
        edited = removeRecentWebsite(list(), operation.path);
    if (edited)
        notify();
}

QString folderMovedTo(const MyDocument& doc, const DBOperation& operation, const OperationResult& result)
{
    if (operation.code() != OperationCode::Rename && operation.code() != OperationCode::Move)
        return {};
    // A rename that stopped part-way may have moved the folder all the same: what counts is
    // where it is now.
    const QString now = !result.resultPath.isEmpty()              ? result.resultPath
                        : operation.code() == OperationCode::Rename ? operation.newPath
                                                                    : QString();
    if (now.isEmpty() || doc.tree().itemForPath(operation.path) || !doc.tree().itemForPath(now))
        return {};
    return now;
}

bool folderDeletedBy(const MyDocument& doc, const DBOperation& operation)
{
    return operation.code() == OperationCode::Delete && !doc.tree().itemForPath(operation.path);
}

} // namespace folivo
