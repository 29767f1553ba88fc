#pragma once
// Notifications for tests: scheduled ones are kept in a list, and the test clicks them.

#include "platform/notifications.h"

#include <QStringList>

namespace folivo::platform {

class FakeNotifications final : public Notifications {
    Q_OBJECT
public:
    void schedule(const Notification& notification) override;
    void remove(const QString& identifier) override;
    void removeAll() override;
    QList<Notification> pending() const override { return pending_; }

    // The person clicks the pending notification: it goes, and `activated` hands it back.
    // False when none has the identifier.
    bool click(const QString& identifier);
    // The desktop shows the pending notification: `delivered` tells of it. False when none
    // has the identifier.
    bool deliver(const QString& identifier);

    QStringList scheduled; // identifiers, in the order they were scheduled
    QStringList removed;   // identifiers asked to be withdrawn, pending or not

private:
    QList<Notification> pending_;
};

} // namespace folivo::platform
