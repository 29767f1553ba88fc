#include "reminders/noticestore.h"

#include "util/fs.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <algorithm>
#include <map>

namespace folivo {

namespace {

constexpr int kVersion = 1;
// A store of reminders is small; anything much larger is not ours.
constexpr qint64 kMaxBytes = 16 * 1024 * 1024;

const QString kVersionKey = QStringLiteral("version");
const QString kNoticesKey = QStringLiteral("notices");
const QString kIdentifier = QStringLiteral("identifier");
const QString kTitle = QStringLiteral("title");
const QString kSubtitle = QStringLiteral("subtitle");
const QString kBody = QStringLiteral("body");
const QString kWhen = QStringLiteral("when");
const QString kDbPath = QStringLiteral("DB Path");
const QString kFolder = QStringLiteral("Reminded Folder");
const QString kShown = QStringLiteral("shown");

bool byTime(const StoredNotice& a, const StoredNotice& b)
{
    if (a.notice.when != b.notice.when)
        return a.notice.when < b.notice.when;
    return a.notice.identifier < b.notice.identifier;
}

std::vector<StoredNotice> sorted(std::vector<StoredNotice> entries)
{
    std::sort(entries.begin(), entries.end(), byTime);
    return entries;
}

} // namespace

QByteArray encodeNotices(const std::vector<StoredNotice>& entries)
{
    QJsonArray list;
    for (const StoredNotice& e : sorted(entries)) {
        const ReminderNotice& n = e.notice;
        QJsonObject o;
        o[kIdentifier] = n.identifier;
        o[kTitle] = n.title;
        o[kSubtitle] = n.subtitle;
        o[kBody] = n.body;
        // In UTC, so that the moment survives a change of time zone between two runs.
        o[kWhen] = n.when.toUTC().toString(Qt::ISODate);
        o[kDbPath] = n.dbPath;
        o[kFolder] = n.folderPath;
        o[kShown] = e.shown;
        list.append(o);
    }
    QJsonObject top;
    top[kVersionKey] = kVersion;
    top[kNoticesKey] = list;
    return QJsonDocument(top).toJson(QJsonDocument::Indented);
}

std::optional<std::vector<StoredNotice>> decodeNotices(const QByteArray& data)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject top = doc.object();
    if (top.value(kVersionKey).toInt() != kVersion || !top.value(kNoticesKey).isArray())
        return std::nullopt;
    std::vector<StoredNotice> out;
    for (const QJsonValue& v : top.value(kNoticesKey).toArray()) {
        const QJsonObject o = v.toObject();
        StoredNotice e;
        e.notice.identifier = o.value(kIdentifier).toString();
        e.notice.title = o.value(kTitle).toString();
        e.notice.subtitle = o.value(kSubtitle).toString();
        e.notice.body = o.value(kBody).toString();
        e.notice.when = QDateTime::fromString(o.value(kWhen).toString(), Qt::ISODate);
        e.notice.dbPath = o.value(kDbPath).toString();
        e.notice.folderPath = o.value(kFolder).toString();
        e.shown = o.value(kShown).toBool();
        // An entry without a name or a time cannot be shown or asked for: it is dropped.
        if (e.notice.identifier.isEmpty() || !e.notice.when.isValid())
            continue;
        out.push_back(std::move(e));
    }
    return out;
}

NoticeStore::NoticeStore() : NoticeStore(defaultPath()) {}

NoticeStore::NoticeStore(QString file) : path_(std::move(file)) {}

QString NoticeStore::defaultPath()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(data).filePath(QStringLiteral("folivo/") + FileName);
}

std::vector<StoredNotice> NoticeStore::entries() const
{
    if (!fs::isRegularFile(path_))
        return {};
    const std::optional<QByteArray> data = fs::readFile(path_, kMaxBytes);
    if (!data)
        return {};
    std::optional<std::vector<StoredNotice>> decoded = decodeNotices(*data);
    return decoded ? sorted(std::move(*decoded)) : std::vector<StoredNotice>{};
}

std::optional<StoredNotice> NoticeStore::find(const QString& identifier) const
{
    for (StoredNotice& e : entries())
        if (e.notice.identifier == identifier)
            return std::move(e);
    return std::nullopt;
}

Result<bool> NoticeStore::save(const std::vector<StoredNotice>& entries)
{
    const QByteArray data = encodeNotices(entries);
    if (fs::isRegularFile(path_)) {
        const std::optional<QByteArray> old = fs::readFile(path_, kMaxBytes);
        if (old && *old == data)
            return false;
    }
    // The file says which databases the person keeps and where: only they may read it.
    const QString dir = QFileInfo(path_).absolutePath();
    if (!fs::isDirectory(dir) && !fs::makeDirectories(dir, 0700))
        return Error{ErrorCode::DiskError, QStringLiteral("Creating the reminder folder"), dir, fs::lastError()};
    if (const std::optional<unsigned> mode = fs::mode(dir); mode && (*mode & 077))
        fs::setMode(dir, *mode & 0700);
    if (!fs::writeFileAtomic(path_, data, 0600))
        return Error{ErrorCode::DiskError, QStringLiteral("Writing the reminder notifications"), path_,
                     fs::lastError()};
    ++writes_;
    return true;
}

Result<NoticeChanges> NoticeStore::reconcile(const QString& dbPath, const std::vector<ReminderNotice>& wanted)
{
    std::vector<StoredNotice> all = entries();
    std::map<QString, StoredNotice> before;
    std::vector<StoredNotice> next;
    for (StoredNotice& e : all) {
        if (e.notice.dbPath == dbPath)
            before.emplace(e.notice.identifier, std::move(e));
        else
            next.push_back(std::move(e));
    }
    NoticeChanges changes;
    std::map<QString, bool> seen;
    for (const ReminderNotice& n : wanted) {
        if (n.dbPath != dbPath || seen[n.identifier])
            continue; // another database's, or the same folder twice
        seen[n.identifier] = true;
        const auto old = before.find(n.identifier);
        if (old != before.end() && old->second.notice == n) {
            next.push_back(old->second);
            continue;
        }
        next.push_back({n, false});
        changes.added.push_back(n);
    }
    for (const auto& [identifier, e] : before)
        if (!seen[identifier])
            changes.removed.push_back(identifier);
    if (!changes.empty()) {
        Result<bool> saved = save(next);
        if (!saved)
            return saved.error();
    }
    return changes;
}

Result<NoticeChanges> NoticeStore::forgetDatabase(const QString& dbPath)
{
    return reconcile(dbPath, {});
}

Result<bool> NoticeStore::forgetAll()
{
    if (entries().empty())
        return false;
    return save({});
}

std::vector<ReminderNotice> NoticeStore::due(const QDateTime& now) const
{
    std::vector<ReminderNotice> out;
    for (const StoredNotice& e : entries())
        if (!e.shown && e.notice.when <= now)
            out.push_back(e.notice);
    return out;
}

std::vector<ReminderNotice> NoticeStore::future(const QDateTime& now) const
{
    std::vector<ReminderNotice> out;
    for (const StoredNotice& e : entries())
        if (!e.shown && e.notice.when > now)
            out.push_back(e.notice);
    return out;
}

Result<bool> NoticeStore::markShown(const QString& identifier)
{
    std::vector<StoredNotice> all = entries();
    bool changed = false;
    for (StoredNotice& e : all)
        if (e.notice.identifier == identifier && !e.shown)
            e.shown = changed = true;
    if (!changed)
        return false;
    return save(all);
}

Result<bool> NoticeStore::forget(const QString& identifier)
{
    std::vector<StoredNotice> all = entries();
    const auto gone = std::remove_if(all.begin(), all.end(),
                                     [&](const StoredNotice& e) { return e.notice.identifier == identifier; });
    if (gone == all.end())
        return false;
    all.erase(gone, all.end());
    return save(all);
}

std::optional<ReminderNotice> NoticeStore::request(const QString& identifier) const
{
    if (identifier.isEmpty())
        return std::nullopt;
    const std::optional<StoredNotice> e = find(identifier);
    if (!e)
        return std::nullopt;
    const ReminderNotice& n = e->notice;
    if (!QDir::isAbsolutePath(n.dbPath) || !n.dbPath.endsWith(QStringLiteral(".fvdb")) || n.folderPath.isEmpty()
        || n.identifier != n.dbPath + u'/' + n.folderPath)
        return std::nullopt;
    if (!QFileInfo(n.dbPath).isDir())
        return std::nullopt;
    return n;
}

} // namespace folivo
