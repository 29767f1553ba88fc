#pragma once
// One database's recent websites: the list kept in its settings (saved with them), changed
// by Go To and by "Clear Menu", and following its folders through the database's recorded
// operations, whoever records them: a renamed or moved folder keeps its place under its new
// path, a deleted one leaves with everything that was beneath it.

#include "store/documenthooks.h"

#include <QStringList>
#include <functional>

namespace folivo {

class MyDocument;

// Where a folder went by a finished operation, for whoever follows folders by path: the new
// path when a rename or move left the folder there (also one that stopped part-way, if the
// folder moved all the same), else empty.
QString folderMovedTo(const MyDocument& doc, const DBOperation& operation, const OperationResult& result);
// The operation deleted the folder at its path (a refused or stopped delete did not).
bool folderDeletedBy(const MyDocument& doc, const DBOperation& operation);

class RecentWebsiteList : public OperationObserver {
public:
    explicit RecentWebsiteList(MyDocument& doc);
    ~RecentWebsiteList() override;
    RecentWebsiteList(const RecentWebsiteList&) = delete;
    RecentWebsiteList& operator=(const RecentWebsiteList&) = delete;

    // Newest first.
    const QStringList& titles() const;
    // Go To opened the folder's site.
    void visit(const QString& folderPath);
    void clear();

    // Told after every change of the list.
    std::function<void()> changed;

    void operationFinished(const DBOperation& operation, const OperationResult& result) override;

private:
    QStringList& list();
    void notify();

    MyDocument& doc_;
};

} // namespace folivo
