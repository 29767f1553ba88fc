#pragma once
// The desktop notifications of reminders, for the whole run. The desktop keeps no schedule,
// so the person's notice store does (NoticeStore): whenever the reminders of an open database
// change, its entries there are made what the database wants, and what this run has handed to
// the desktop is brought in line with the store — every unshown entry of every database,
// changed ones again, gone ones withdrawn. A notification the desktop showed is marked in the
// store, so that `folivo-cli notify-due` does not show it a second time.
//
// A click comes back as a request only when the store holds its identifier and names an
// existing database package: a notification made up by someone else opens nothing.

#include "reminders/noticestore.h"

#include <QHash>
#include <QObject>
#include <functional>

namespace folivo {
class KTPrefs;
class MyDocument;
} // namespace folivo

namespace folivo::platform {
class Notifications;
struct Notification;
} // namespace folivo::platform

namespace folivo::gui {

class ReminderScheduler : public QObject {
    Q_OBJECT
public:
    ReminderScheduler(platform::Notifications& notifications, KTPrefs* prefs, NoticeStore store = NoticeStore(),
                      QObject* parent = nullptr);
    ~ReminderScheduler() override;

    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };

    // "userNotificationsForReminders": without it nothing is scheduled and the store is empty.
    bool enabled() const;
    // "userNotificationsForRemindersHandling": 0 only refreshes the lists, 1 reveals the
    // folder, 2 reveals it and opens its website.
    int handling() const;

    // The start of the run: hands every unshown entry of the store to the desktop.
    void start();
    // The reminders of the open database changed (open, save, tick, edit, rename, delete).
    void databaseChanged(const MyDocument& doc);
    // The preferences were accepted: off forgets every entry and withdraws every
    // notification; on brings the open databases in.
    void preferencesChanged(const QList<const MyDocument*>& open);

    // The request of the identifier (a click, or `folivo --reminder ID`), when it is ours.
    std::optional<ReminderNotice> request(const QString& identifier) const { return store_.request(identifier); }
    const NoticeStore& store() const { return store_; }
    // What this run handed to the desktop and is not shown yet, by identifier.
    QStringList scheduled() const { return scheduled_.keys(); }

    static platform::Notification notificationFor(const ReminderNotice& notice);

signals:
    // The person clicked a notification of ours.
    void requested(const folivo::ReminderNotice& notice);

private:
    void sync();
    void delivered(const QString& identifier);
    void activated(const platform::Notification& notification);

    platform::Notifications& notifications_;
    KTPrefs* prefs_;
    NoticeStore store_;
    QHash<QString, ReminderNotice> scheduled_;
};

} // namespace folivo::gui
