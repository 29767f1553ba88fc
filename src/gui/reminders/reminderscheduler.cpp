#include "reminderscheduler.h"

#include "platform/notifications.h"
#include "prefs/ktprefs.h"
#include "prefs/prefkeys.h"
#include "reminders/reminders.h"
#include "store/mydocument.h"
#include "filing/ktdate.h"

#include <QSet>
#include <QtDebug>

namespace folivo::gui {

ReminderScheduler::ReminderScheduler(platform::Notifications& notifications, KTPrefs* prefs, NoticeStore store,
                                     QObject* parent)
    : QObject(parent), notifications_(notifications), prefs_(prefs), store_(std::move(store))
{
    connect(&notifications_, &platform::Notifications::delivered, this, &ReminderScheduler::delivered);
    connect(&notifications_, &platform::Notifications::activated, this, &ReminderScheduler::activated);
}

ReminderScheduler::~ReminderScheduler() = default;

bool ReminderScheduler::enabled() const
{
    return prefs_ && prefs_->boolForKey(prefkeys::UserNotificationsForReminders);
}

int ReminderScheduler::handling() const
{
    if (!prefs_ || !prefs_->objectForKey(prefkeys::UserNotificationsForRemindersHandling))
        return 1; // what the preferences offer first
    return int(prefs_->integerForKey(prefkeys::UserNotificationsForRemindersHandling));
}

platform::Notification ReminderScheduler::notificationFor(const ReminderNotice& notice)
{
    platform::Notification n;
    n.identifier = notice.identifier;
    n.title = notice.title;
    n.subtitle = notice.subtitle;
    n.body = notice.body;
    n.deliverAt = notice.when;
    n.actionTitle = QStringLiteral("Go");
    n.userInfo = {{QStringLiteral("Reminded Folder"), notice.folderPath}, {QStringLiteral("DB Path"), notice.dbPath}};
    return n;
}

void ReminderScheduler::start()
{
    if (!enabled()) {
        // Switched off while no program ran (or by an older run): nothing may be left to show.
        if (Result<bool> forgotten = store_.forgetAll(); !forgotten)
            qWarning("folivo: cannot empty the reminder notifications: %s", qPrintable(forgotten.error().describe()));
        return;
    }
    sync();
}

void ReminderScheduler::databaseChanged(const MyDocument& doc)
{
    if (!doc.dbOpen() || doc.dbPath().isEmpty())
        return;
    // An encrypted database schedules too: the store holds folder paths, which its package
    // shows as folder names anyway, and nothing of its files or attributes.
    const bool wanted = enabled();
    const Result<NoticeChanges> changes =
        wanted ? store_.reconcile(doc.dbPath(),
                                  doc.reminders().noticesFrom(
                                      KTDate::atMidnight(clock().date())))
               : store_.forgetDatabase(doc.dbPath());
    if (!changes)
        qWarning("folivo: cannot keep the reminder notifications: %s", qPrintable(changes.error().describe()));
    sync();
}

void ReminderScheduler::preferencesChanged(const QList<const MyDocument*>& open)
{
    if (!enabled()) {
        if (Result<bool> forgotten = store_.forgetAll(); !forgotten)
            qWarning("folivo: cannot empty the reminder notifications: %s", qPrintable(forgotten.error().describe()));
        notifications_.removeAll();
        scheduled_.clear();
        return;
    }
    for (const MyDocument* doc : open)
        databaseChanged(*doc);
    sync();
}

void ReminderScheduler::sync()
{
    QHash<QString, StoredNotice> entries;
    for (StoredNotice& e : store_.entries())
        entries.insert(e.notice.identifier, std::move(e));
    for (auto it = scheduled_.begin(); it != scheduled_.end();) {
        const auto entry = entries.constFind(it.key());
        if (entry == entries.cend()) {
            // No longer wanted: a ticked, ended, renamed, moved or deleted reminder.
            notifications_.remove(it.key());
            it = scheduled_.erase(it);
        } else if (entry->shown) {
            // Shown already (perhaps by the command line): it stays on the desktop.
            it = scheduled_.erase(it);
        } else {
            ++it;
        }
    }
    if (!enabled())
        return;
    for (const StoredNotice& e : std::as_const(entries)) {
        if (e.shown)
            continue;
        const auto had = scheduled_.constFind(e.notice.identifier);
        if (had != scheduled_.cend() && *had == e.notice)
            continue;
        scheduled_.insert(e.notice.identifier, e.notice);
        notifications_.schedule(notificationFor(e.notice));
    }
}

void ReminderScheduler::delivered(const QString& identifier)
{
    if (!scheduled_.remove(identifier))
        return;
    if (Result<bool> marked = store_.markShown(identifier); !marked)
        qWarning("folivo: cannot note a shown reminder notification: %s", qPrintable(marked.error().describe()));
}

void ReminderScheduler::activated(const platform::Notification& notification)
{
    scheduled_.remove(notification.identifier);
    const std::optional<ReminderNotice> notice = store_.request(notification.identifier);
    if (!notice) {
        qWarning("folivo: a clicked notification is not one of ours any more");
        return;
    }
    emit requested(*notice);
}

} // namespace folivo::gui
