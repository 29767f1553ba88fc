#pragma once
// The folders whose sites were opened last with Go To, newest first, kept with each database
// ("gotoRecentWebsiteMenuTitles" in its settings) and shown as the "Go To Recent Website"
// menu of its window, rebuilt from the list whenever it changes. The list follows its folders:
// a renamed or moved folder keeps its place under its new path; a deleted one leaves, with
// everything that was beneath it.

#include <QString>
#include <QStringList>

namespace folivo {

constexpr int kMaxRecentWebsites = 20;

// A visit: the folder goes to the top (once), the oldest beyond the limit drops off.
void visitRecentWebsite(QStringList& titles, const QString& folderPath);
// The folder and everything beneath it leave the list; true when something left.
bool removeRecentWebsite(QStringList& titles, const QString& folderPath);
// The folder (and everything beneath it) is at `newPath` now; true when something changed.
bool renameRecentWebsite(QStringList& titles, const QString& oldPath, const QString& newPath);
// A list read from a database's settings: empty entries and repeats dropped, at most the limit.
QStringList cleanRecentWebsites(const QStringList& stored);

} // namespace folivo
