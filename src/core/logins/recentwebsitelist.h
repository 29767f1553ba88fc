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
