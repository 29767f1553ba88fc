#pragma once
// The reminders of an open database: every folder with a due date, in date order, and the
// due ones among them. Collected after every open, kept by the tree's observer as folders
// are renamed, moved and deleted, and brought up to date (ticked reminders advanced, lists
// rebuilt) after saves, at activation and after deletes. The clock is the helper's own, so
// tests and the command line give it.

#include "reminders/reminder.h"
#include "store/documenthooks.h"
#include "store/tree.h"

#include <QDateTime>
#include <functional>
#include <vector>

namespace folivo {

class IndexItem;
class MyDocument;

// What a desktop notification of a future reminder says and when it fires.
struct ReminderNotice {
    QString identifier; // the package path joined with the folder's path
    QString title;      // the package's name without ".fvdb"
    QString subtitle;   // the folder's parent path; empty for a top-level folder
    QString body;       // the folder's name
    QDateTime when;     // the start of the due day
    QString dbPath;     // "DB Path"
    QString folderPath; // "Reminded Folder"
    friend bool operator==(const ReminderNotice&, const ReminderNotice&) = default;
};

class Reminders : public TreeObserver, public DocumentPart, public OperationObserver {
public:
    explicit Reminders(MyDocument& doc);
    ~Reminders() override;
    Reminders(const Reminders&) = delete;
    Reminders& operator=(const Reminders&) = delete;

    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };
    // Told whenever the lists or a reminder changed (the window's table, the scheduler).
    std::function<void()> onChanged;

    // In due-date order; equal dates keep the order the folders were filed in.
    const std::vector<IndexItem*>& all() const { return all_; }
    // Those whose date is not later than now.
    const std::vector<IndexItem*>& current() const { return current_; }

    // Files every folder with a due date again (a plain folder, never a smart folder).
    void collect();
    // Advances ticked due reminders (writing their folders) and rebuilds the lists. A
    // database that cannot change keeps what the open collected. True when a folder changed.
    bool update();
    // A reminder definition edited on the folder's page: stores it and its next date, or
    // ends the reminder for "when" 0. False when nothing changed.
    bool setDefinition(IndexItem& folder, const ReminderDefinition& definition);
    // Ticks (or unticks) a due reminder; it advances at the next update.
    bool setChecked(IndexItem& folder, bool checked);

    static std::optional<ReminderDefinition> definitionOf(const IndexItem& folder);
    static std::optional<QDate> dueDateOf(const IndexItem& folder);
    static bool checkedOf(const IndexItem& folder);
    bool isDue(const IndexItem& folder) const;

    // The notifications the future reminders want, in date order.
    std::vector<ReminderNotice> wantedNotices() const;
    // The notifications of every reminder whose time is `from` or later, in date order (the
    // desktop's schedule keeps those of today until they are ticked off or shown).
    std::vector<ReminderNotice> noticesFrom(const QDateTime& from) const;

    // TreeObserver
    void itemWillBeRemoved(const IndexItem& item) override;
    void itemPathChanged(const IndexItem& item, const QString& oldPath) override;
    void treeWillReset() override;
    // A rebuilt or reloaded tree: its folders are collected again.
    void treeDidReset() override;

    // OperationObserver: a delete may have taken reminders with it.
    void operationFinished(const DBOperation& operation, const OperationResult& result) override;

    // DocumentPart: reminders keep nothing of their own in the package; reading is
    // collecting.
    QString partName() const override { return QStringLiteral("reminders"); }
    void read(MyDocument& doc) override;
    bool changed(const MyDocument&) const override { return false; }
    bool write(MyDocument&) override { return true; }
    bool essential() const override { return false; }
    void clear() override;

private:
    void file(IndexItem* folder, const QDateTime& now);
    static void insertByDate(std::vector<IndexItem*>& list, IndexItem* folder);
    void notify();

    MyDocument& doc_;
    std::vector<IndexItem*> all_;
    std::vector<IndexItem*> current_;
};

} // namespace folivo
