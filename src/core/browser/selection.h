#pragma once
// Questions about what is selected in the browser that every command asks the same way:
// whether one path lies inside another, and which selected items stand for the rest.

#include <QString>
#include <QStringList>
#include <vector>

namespace folivo {

class IndexItem;

// Whether `path` is `ancestor` itself or lies below it. Whole components are compared:
// "Bank" is not an ancestor of "Banking/x".
bool isSameOrInsidePath(const QString& path, const QString& ancestor);
bool isInsidePath(const QString& path, const QString& ancestor); // strictly below

// The selected items without those whose folder is selected too: moving, copying or
// deleting a folder takes its contents along, and doing it again for a descendant would
// act on something that has already gone. Order is kept; duplicates are dropped.
std::vector<const IndexItem*> withoutNestedItems(const std::vector<const IndexItem*>& items);
QStringList withoutNestedPaths(const QStringList& paths);

} // namespace folivo
