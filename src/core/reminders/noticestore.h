#pragma once
// The desktop keeps no schedule of its own for notifications, so Folivo keeps one: the
// notifications the future reminders of every database want, in one file of the person's
// ("reminders.json" under $XDG_DATA_HOME/folivo/). The running program and
// `folivo-cli notify-due` show from it what fell due; a clicked notification is acted on only
// when the store holds it, so a notification made up by someone else opens nothing.
//
// Every change reads the file afresh and writes it back (atomically, 0600, in a 0700 folder)
// only when its content changed: the program and the command line share it, and a save
// every minute must not rewrite it.

#include "reminders/reminders.h"
#include "util/result.h"

#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

namespace folivo {

struct StoredNotice {
    ReminderNotice notice;
    bool shown = false; // shown once already; not shown again until it changes
    friend bool operator==(const StoredNotice&, const StoredNotice&) = default;
};

// What a reconcile changed, for whoever shows the notifications.
struct NoticeChanges {
    std::vector<ReminderNotice> added;  // new, or changed in what it says or when
    std::vector<QString> removed;       // identifiers no longer wanted
    bool empty() const { return added.empty() && removed.empty(); }
};

class NoticeStore {
public:
    // The person's store: $XDG_DATA_HOME/folivo/reminders.json.
    NoticeStore();
    explicit NoticeStore(QString file);
    static QString defaultPath();
    static inline const QString FileName = QStringLiteral("reminders.json");
    const QString& path() const { return path_; }

    // Every entry, as the file has it now. A missing file is an empty store; a damaged one
    // too (it is replaced by the next change).
    std::vector<StoredNotice> entries() const;
    std::optional<StoredNotice> find(const QString& identifier) const;

    // Makes the entries of the database exactly `wanted`: entries of it that are not wanted
    // go (renamed, moved or deleted folders), new and changed ones come in unshown, and
    // unchanged ones keep their state. Writes only when something changed.
    Result<NoticeChanges> reconcile(const QString& dbPath, const std::vector<ReminderNotice>& wanted);
    // Forgets every entry of the database (notifications switched off).
    Result<NoticeChanges> forgetDatabase(const QString& dbPath);
    // Forgets every entry of every database (notifications switched off in the
    // preferences); true when there was something to forget.
    Result<bool> forgetAll();

    // The entries not shown yet whose time has come, in time order.
    std::vector<ReminderNotice> due(const QDateTime& now) const;
    // The entries not shown yet whose time is still to come, in time order.
    std::vector<ReminderNotice> future(const QDateTime& now) const;
    Result<bool> markShown(const QString& identifier);
    Result<bool> forget(const QString& identifier);

    // A clicked notification's request, when it is one of ours and points at a database
    // that is there: the entry with the identifier, whose "DB Path" is an absolute, existing
    // ".fvdb" folder and whose identifier is that path joined with its folder's path.
    std::optional<ReminderNotice> request(const QString& identifier) const;

    // How often this object wrote the file (tests: an unchanged reconcile writes nothing).
    int writes() const { return writes_; }

private:
    Result<bool> save(const std::vector<StoredNotice>& entries);

    QString path_;
    int writes_ = 0;
};

// The file's content for `entries` (sorted by time, then identifier) and back.
QByteArray encodeNotices(const std::vector<StoredNotice>& entries);
std::optional<std::vector<StoredNotice>> decodeNotices(const QByteArray& data);

} // namespace folivo
