#include "platform/fake/fakenotifications.h"

#include <algorithm>

namespace folivo::platform {

void FakeNotifications::schedule(const Notification& notification)
{
    scheduled << notification.identifier;
    const auto same = [&](const Notification& n) { return n.identifier == notification.identifier; };
    pending_.erase(std::remove_if(pending_.begin(), pending_.end(), same), pending_.end());
    pending_ << notification;
}

void FakeNotifications::remove(const QString& identifier)
{
    removed << identifier;
    const auto same = [&](const Notification& n) { return n.identifier == identifier; };
    pending_.erase(std::remove_if(pending_.begin(), pending_.end(), same), pending_.end());
}

void FakeNotifications::removeAll()
{
    for (const Notification& n : pending_)
        removed << n.identifier;
    pending_.clear();
}

bool FakeNotifications::click(const QString& identifier)
{
    for (qsizetype i = 0; i < pending_.size(); ++i) {
        if (pending_[i].identifier == identifier) {
            const Notification clicked = pending_.takeAt(i);
            emit activated(clicked);
            return true;
        }
    }
    return false;
}

bool FakeNotifications::deliver(const QString& identifier)
{
    for (const Notification& n : std::as_const(pending_)) {
        if (n.identifier == identifier) {
            emit delivered(identifier);
            return true;
        }
    }
    return false;
}

} // namespace folivo::platform
