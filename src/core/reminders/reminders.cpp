#include "reminders/reminders.h"

#include "filing/ktdate.h"
#include "filing/messages.h"
#include "store/dboperation.h"
#include "store/indexitem.h"
#include "store/keys.h"
#include "store/mydocument.h"

#include <QFileInfo>
#include <algorithm>

namespace folivo {

namespace {

void erase(std::vector<IndexItem*>& list, const IndexItem* item)
{
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

} // namespace

Reminders::Reminders(MyDocument& doc) : doc_(doc)
{
    doc_.tree().addObserver(this);
}

Reminders::~Reminders()
{
    doc_.tree().removeObserver(this);
}

std::optional<ReminderDefinition> Reminders::definitionOf(const IndexItem& folder)
{
    const plist::Value* v = folder.value(keys::Reminder);
    if (!v || !v->isDict())
        return std::nullopt;
    return ReminderDefinition::from(v->dict());
}

std::optional<QDate> Reminders::dueDateOf(const IndexItem& folder)
{
    const plist::Value* v = folder.value(keys::ReminderDate);
    if (!v || !v->isDate())
        return std::nullopt;
    return fromPlistDate(v->date()).toLocalTime().date();
}

bool Reminders::checkedOf(const IndexItem& folder)
{
    const plist::Value* v = folder.value(keys::ReminderChecked);
    return v && v->toBool(false);
}

bool Reminders::isDue(const IndexItem& folder) const
{
    const std::optional<QDate> due = dueDateOf(folder);
    return due && KTDate::atMidnight(*due) <= clock();
}

void Reminders::insertByDate(std::vector<IndexItem*>& list, IndexItem* folder)
{
    erase(list, folder);
    const QDate due = *dueDateOf(*folder);
    const auto later = std::find_if(list.begin(), list.end(), [&](IndexItem* other) {
        const std::optional<QDate> d = dueDateOf(*other);
        return d && *d > due;
    });
    list.insert(later, folder);
}

void Reminders::file(IndexItem* folder, const QDateTime& now)
{
    if (!folder || folder->isSmartFolder() || !dueDateOf(*folder))
        return;
    insertByDate(all_, folder);
    if (KTDate::atMidnight(*dueDateOf(*folder)) <= now)
        insertByDate(current_, folder);
    else
        erase(current_, folder);
}

void Reminders::collect()
{
    all_.clear();
    current_.clear();
    if (!doc_.dbOpen())
        return;
    const QDateTime now = clock();
    for (IndexItem* item : doc_.tree().flatArray())
        if (item->isPlainFolder())
            file(item, now);
    notify();
}

bool Reminders::update()
{
    if (!doc_.dbOpen() || !doc_.canChange())
        return false;
    bool changed = false;
    const QDateTime now = clock();
    {
        // Due now, not by the lists of the last update, which may be a day old.
        for (IndexItem* folder : std::vector<IndexItem*>(all_)) {
            if (!checkedOf(*folder) || !isDue(*folder))
                continue;
            folder->removeValue(keys::ReminderChecked);
            const std::optional<ReminderDefinition> definition = definitionOf(*folder);
            const std::optional<QDate> next =
                definition ? advancedReminderDate(*definition, now.date()) : std::nullopt;
            if (next)
                folder->setValue(keys::ReminderDate, plist::Value(toPlistDate(KTDate::atMidnight(*next))));
            else
                folder->removeValue(keys::ReminderDate);
            if (!doc_.writeAttributesFileForItem(folder))
                doc_.diskError(filingmsg::WritingAttributesStep, folder->path());
            doc_.changed();
            changed = true;
        }
    }
    const std::vector<IndexItem*> filed = all_;
    all_.clear();
    current_.clear();
    for (IndexItem* folder : filed)
        file(folder, now);
    notify();
    return changed;
}

bool Reminders::setDefinition(IndexItem& folder, const ReminderDefinition& definition)
{
    if (!doc_.canChange() || !folder.isPlainFolder())
        return false;
    const std::optional<ReminderDefinition> old = definitionOf(folder);
    if (old ? *old == definition : definition.when == 0)
        return false;
    folder.setValue(keys::Reminder, definition.toDict());
    const QDateTime now = clock();
    if (const std::optional<QDate> next = nextReminderDate(definition, now.date())) {
        folder.setValue(keys::ReminderDate, plist::Value(toPlistDate(KTDate::atMidnight(*next))));
        file(&folder, now);
    } else {
        folder.removeValue(keys::ReminderDate);
        erase(all_, &folder);
        erase(current_, &folder);
    }
    if (!doc_.writeAttributesFileForItem(&folder))
        doc_.diskError(filingmsg::WritingAttributesStep, folder.path());
    doc_.changed();
    update();
    return true;
}

bool Reminders::setChecked(IndexItem& folder, bool checked)
{
    if (!doc_.canChange() || !isDue(folder) || checkedOf(folder) == checked)
        return false;
    if (checked)
        folder.setValue(keys::ReminderChecked, true);
    else
        folder.removeValue(keys::ReminderChecked);
    if (!doc_.writeAttributesFileForItem(&folder))
        doc_.diskError(filingmsg::WritingAttributesStep, folder.path());
    doc_.changed();
    notify();
    return true;
}

std::vector<ReminderNotice> Reminders::wantedNotices() const
{
    const QDateTime now = clock();
    std::vector<ReminderNotice> out = noticesFrom(now);
    std::erase_if(out, [&](const ReminderNotice& n) { return n.when <= now; });
    return out;
}

std::vector<ReminderNotice> Reminders::noticesFrom(const QDateTime& from) const
{
    std::vector<ReminderNotice> out;
    const QString db = doc_.dbPath();
    const QString title = QFileInfo(db).completeBaseName();
    for (const IndexItem* folder : all_) {
        const QDateTime when = KTDate::atMidnight(*dueDateOf(*folder));
        if (when < from)
            continue;
        const QString path = folder->path();
        const qsizetype slash = path.lastIndexOf(u'/');
        out.push_back({db + u'/' + path, title, slash < 0 ? QString() : path.left(slash), path.mid(slash + 1), when,
                       db, path});
    }
    return out;
}

void Reminders::itemWillBeRemoved(const IndexItem& item)
{
    const auto before = all_.size();
    erase(all_, &item);
    erase(current_, &item);
    if (all_.size() != before)
        notify();
}

void Reminders::itemPathChanged(const IndexItem& item, const QString&)
{
    if (std::find(all_.begin(), all_.end(), &item) != all_.end())
        notify();
}

void Reminders::operationFinished(const DBOperation& operation, const OperationResult&)
{
    if (operation.code() == OperationCode::Delete)
        update();
}

void Reminders::treeWillReset()
{
    all_.clear();
    current_.clear();
}

void Reminders::treeDidReset()
{
    collect();
}

void Reminders::read(MyDocument&)
{
    collect();
}

void Reminders::clear()
{
    all_.clear();
    current_.clear();
    notify();
}

void Reminders::notify()
{
    if (onChanged)
        onChanged();
}

} // namespace folivo
