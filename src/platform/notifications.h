#pragma once
// Notifications shown by the desktop at a given time, such as a reminder falling due, with one
// action button ("Go"). Clicking the notification or its button hands it back to the program,
// which then shows what it is about.
//
// The Linux backend is the desktop's notification service (org.freedesktop.Notifications);
// the fake records what it is asked for, for tests.

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariantMap>

namespace folivo::platform {

struct Notification {
    QString identifier; // one per subject: scheduling the same identifier again replaces it
    QString title;
    QString subtitle;
    QString body;
    QDateTime deliverAt;  // shown from this time on; at once when it has passed
    QString actionTitle;  // the button besides the notification itself; none when empty
    QVariantMap userInfo; // handed back untouched when the person clicks it
};

class Notifications : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Schedules the notification, replacing any pending one with its identifier.
    virtual void schedule(const Notification& notification) = 0;
    // Withdraws the pending notification with the identifier, if any.
    virtual void remove(const QString& identifier) = 0;
    virtual void removeAll() = 0;
    // The notifications scheduled and not yet clicked or withdrawn, for the debugging
    // information.
    virtual QList<Notification> pending() const = 0;

signals:
    // The desktop shows the notification now (its time came).
    void delivered(const QString& identifier);
    // The person clicked the notification or its action button.
    void activated(const folivo::platform::Notification& notification);
};

} // namespace folivo::platform
