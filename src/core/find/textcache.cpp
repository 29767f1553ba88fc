#include "find/textcache.h"

#include "crypto/documentcrypto.h"
#include "crypto/storedforms.h"
#include "find/filetext.h"
#include "store/dboperation.h"
#include "store/keys.h"
#include "store/mydocument.h"
#include "store/packagepath.h"
#include "util/debuglog.h"
#include "util/fs.h"

#include <QFileInfo>
#include <atomic>
#include <sqlite3.h>

namespace folivo {

namespace {

std::atomic<qint64> readsOfFiles{0};

constexpr int SchemaVersion = 1;

// A prepared statement that finalises itself.
class Statement {
public:
    Statement(sqlite3* db, const char* sql)
    {
        if (db && sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK)
            stmt_ = nullptr;
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    explicit operator bool() const { return stmt_ != nullptr; }
    void bind(int i, const QString& s)
    {
        const QByteArray utf8 = s.toUtf8();
        sqlite3_bind_text(stmt_, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
    void bind(int i, qint64 v) { sqlite3_bind_int64(stmt_, i, v); }
    int step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_ERROR; }
    qint64 integer(int col) const { return sqlite3_column_int64(stmt_, col); }
    QString text(int col) const
    {
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
        return QString::fromUtf8(bytes, sqlite3_column_bytes(stmt_, col));
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

bool exec(sqlite3* db, const char* sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool damaged(int rc)
{
    rc &= 0xFF;
    return rc == SQLITE_CORRUPT || rc == SQLITE_NOTADB;
}

bool isAscii(const QString& s)
{
    for (QChar c : s)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

// The needle as an FTS5 phrase: in double quotes, with its own quotes doubled.
QString phrase(const QString& needle)
{
    QString quoted = needle;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

bool inside(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(folder + u'/');
}

} // namespace

TextCache::TextCache(MyDocument& doc) : doc_(doc) {}

TextCache::~TextCache()
{
    closeFile();
}

qint64 TextCache::filesRead()
{
    return readsOfFiles.load();
}

QString TextCache::filePath() const
{
    return db_ ? doc_.dbPath() + u'/' + pkg::TextCache : QString();
}

void TextCache::read(MyDocument&)
{
    clear();
}

void TextCache::clear()
{
    closeFile();
    memory_.clear();
    probe_ = {};
    opened_ = false;
}

void TextCache::open()
{
    if (opened_ || !doc_.dbOpen())
        return;
    opened_ = true;
    // The text of an encrypted database stays in memory, and a database that cannot change
    // gets no new file.
    if (doc_.dbEncrypted() || !doc_.canChange())
        return;
    const QString path = doc_.dbPath() + u'/' + pkg::TextCache;
    if (!openFile(path)) {
        discardDamaged();
        if (!openFile(path)) {
            closeFile();
            appendDebugInfo(QStringLiteral("\n\nThe text cache of %1 cannot be used; texts are kept in memory.")
                                .arg(doc_.dbPath()));
        }
    }
}

bool TextCache::openFile(const QString& path)
{
    closeFile();
    const QByteArray name = QFile::encodeName(path);
    if (sqlite3_open_v2(name.constData(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr)
        != SQLITE_OK) {
        closeFile();
        return false;
    }
    sqlite3_busy_timeout(db_, 2000);
    fs::setMode(path, 0600);
    // The write-ahead log survives a crash without a torn file; a commit need not reach
    // the disk at once, as the rows are only a copy of what the files say.
    bool ok = exec(db_, "PRAGMA journal_mode=WAL") && exec(db_, "PRAGMA synchronous=NORMAL");
    int version = -1;
    if (ok) {
        Statement v(db_, "PRAGMA user_version");
        ok = v && v.step() == SQLITE_ROW;
        if (ok)
            version = int(v.integer(0));
    }
    if (ok && version != SchemaVersion) {
        ok = exec(db_, "DROP TABLE IF EXISTS files") && exec(db_, "DROP TABLE IF EXISTS texts")
             && exec(db_, "CREATE TABLE files(path TEXT PRIMARY KEY, form INTEGER, size INTEGER, mtime INTEGER,"
                          " hastext INTEGER, textid INTEGER)")
             && exec(db_, "CREATE VIRTUAL TABLE texts USING fts5(body, tokenize='trigram')")
             && exec(db_, "PRAGMA user_version=1");
    }
    if (ok) {
        // A damaged file often opens; reading it tells.
        Statement count(db_, "SELECT count(*) FROM files");
        ok = count && count.step() == SQLITE_ROW;
    }
    if (!ok) {
        closeFile();
        return false;
    }
    return true;
}

void TextCache::closeFile()
{
    commitWrites();
    if (db_)
        sqlite3_close_v2(db_);
    db_ = nullptr;
}

void TextCache::discardDamaged()
{
    closeFile();
    const QString path = doc_.dbPath() + u'/' + pkg::TextCache;
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        if (fs::exists(path + suffix))
            fs::removeFile(path + suffix);
    memory_.clear();
    probe_ = {};
}

std::optional<TextCache::Key> TextCache::keyOf(const QString& storedPath)
{
    const auto pp = PackagePath::fromString(storedPath);
    if (!pp || pp->isRoot())
        return std::nullopt;
    Key key;
    QString file = pp->absoluteUnder(doc_.dbPath());
    if (doc_.dbEncrypted() && doc_.cipher()) {
        const StoredForm form = doc_.cipher()->storedFormOf(*pp);
        key.form = int(form);
        if (form != StoredForm::None)
            file += u'.' + suffixOf(form);
    }
    QFileInfo info(file);
    // A rich-text bundle's text lives in its TXT.rtf.
    if (info.isDir())
        info.setFile(file + QStringLiteral("/TXT.rtf"));
    if (!info.exists())
        return std::nullopt;
    key.size = info.size();
    key.mtime = info.lastModified().toMSecsSinceEpoch();
    return key;
}

std::optional<TextCache::Row> TextCache::lookup(const QString& storedPath)
{
    open();
    if (!db_) {
        const auto it = memory_.constFind(storedPath);
        return it == memory_.constEnd() ? std::nullopt : std::optional<Row>(*it);
    }
    Statement q(db_, "SELECT form, size, mtime, hastext, textid FROM files WHERE path = ?");
    if (!q)
        return std::nullopt;
    q.bind(1, storedPath);
    const int rc = q.step();
    if (rc != SQLITE_ROW) {
        if (damaged(rc))
            discardDamaged();
        return std::nullopt;
    }
    Row row;
    row.key = {int(q.integer(0)), q.integer(1), q.integer(2)};
    if (q.integer(3) != 0) {
        Statement t(db_, "SELECT body FROM texts WHERE rowid = ?");
        t.bind(1, q.integer(4));
        if (t.step() != SQLITE_ROW)
            return std::nullopt; // the text went missing: read the file again
        row.text = t.text(0);
    }
    return row;
}

void TextCache::store(const QString& storedPath, const Key& key, const std::optional<QString>& text)
{
    open();
    // The needle asked about follows the new row, so that a search that fills the cache as
    // it goes does not ask the index again for every file.
    if (probe_.valid) {
        probe_.keys.insert(storedPath, key);
        if (text && text->contains(probe_.needle, Qt::CaseInsensitive))
            probe_.candidates.insert(storedPath);
        else
            probe_.candidates.remove(storedPath);
    }
    if (!db_) {
        memory_.insert(storedPath, Row{key, text});
        return;
    }
    beginWrite();
    {
        Statement old(db_, "DELETE FROM texts WHERE rowid IN (SELECT textid FROM files WHERE path = ? AND hastext)");
        old.bind(1, storedPath);
        old.step();
    }
    qint64 textId = 0;
    if (text) {
        Statement insert(db_, "INSERT INTO texts(body) VALUES (?)");
        insert.bind(1, *text);
        if (insert.step() == SQLITE_DONE)
            textId = sqlite3_last_insert_rowid(db_);
    }
    Statement row(db_, "INSERT OR REPLACE INTO files(path, form, size, mtime, hastext, textid) VALUES (?,?,?,?,?,?)");
    row.bind(1, storedPath);
    row.bind(2, qint64(key.form));
    row.bind(3, key.size);
    row.bind(4, key.mtime);
    row.bind(5, qint64(text && textId ? 1 : 0));
    row.bind(6, textId);
    const int rc = row.step();
    if (rc != SQLITE_DONE) {
        exec(db_, "ROLLBACK");
        pendingWrites_ = 0;
        if (damaged(rc))
            discardDamaged();
        return;
    }
    if (++pendingWrites_ >= 500)
        commitWrites();
}

void TextCache::beginWrite()
{
    if (pendingWrites_ == 0 && !exec(db_, "BEGIN"))
        exec(db_, "ROLLBACK");
}

void TextCache::commitWrites()
{
    if (!db_ || pendingWrites_ == 0)
        return;
    pendingWrites_ = 0;
    // A cache that cannot be written costs only a re-read next time.
    if (!exec(db_, "COMMIT"))
        exec(db_, "ROLLBACK");
}

std::optional<QString> TextCache::text(const QString& storedPath)
{
    const std::optional<Key> key = keyOf(storedPath);
    if (key) {
        if (const std::optional<Row> row = lookup(storedPath); row && row->key == *key)
            return row->text;
    }
    ++readsOfFiles;
    std::optional<QString> text = textOfItem(doc_, storedPath);
    if (text)
        *text = text->normalized(QString::NormalizationForm_C);
    // A file that is there but gave no text (not a text kind, damaged, too slow) is kept as
    // having none, so that it is not parsed again.
    if (key && doc_.dbOpen())
        store(storedPath, *key, text);
    return text;
}

void TextCache::put(const QString& storedPath, const std::optional<QString>& text)
{
    if (const std::optional<Key> key = keyOf(storedPath))
        store(storedPath, *key, text);
}

bool TextCache::mayContain(const QString& storedPath, const QString& needle, bool ignoreCase)
{
    if (needle.isEmpty())
        return true;
    const std::optional<Key> key = keyOf(storedPath);
    if (!key)
        return true;
    open();
    if (!db_) {
        const auto it = memory_.constFind(storedPath);
        if (it == memory_.constEnd() || !(it->key == *key))
            return true;
        return it->text && it->text->contains(needle, ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive);
    }
    // The trigram index finds three characters and more, folding case its own way: used for
    // ASCII needles only, where its folding and ours agree; a hit is only a candidate.
    if (needle.size() < 3 || !isAscii(needle))
        return true;
    if (!probe_.valid || probe_.needle != needle) {
        probe_ = {};
        probe_.needle = needle;
        probe_.ignoreCase = ignoreCase;
        Statement q(db_, "SELECT f.path FROM texts JOIN files f ON f.textid = texts.rowid AND f.hastext"
                         " WHERE texts MATCH ?");
        if (!q)
            return true;
        q.bind(1, phrase(needle));
        int rc;
        while ((rc = q.step()) == SQLITE_ROW)
            probe_.candidates.insert(q.text(0));
        if (rc != SQLITE_DONE) {
            probe_ = {};
            if (damaged(rc))
                discardDamaged();
            return true;
        }
        Statement keys(db_, "SELECT path, form, size, mtime FROM files");
        while (keys && keys.step() == SQLITE_ROW)
            probe_.keys.insert(keys.text(0), Key{int(keys.integer(1)), keys.integer(2), keys.integer(3)});
        probe_.valid = true;
    }
    if (probe_.candidates.contains(storedPath))
        return true;
    // Not a candidate: certain only when the row describes this content.
    const auto row = probe_.keys.constFind(storedPath);
    return row == probe_.keys.constEnd() || !(*row == *key);
}

qint64 TextCache::rowCount()
{
    open();
    if (!db_)
        return memory_.size();
    Statement q(db_, "SELECT count(*) FROM files");
    return q && q.step() == SQLITE_ROW ? q.integer(0) : 0;
}

void TextCache::forget(const QString& path)
{
    probe_.valid = false;
    if (!db_) {
        for (auto it = memory_.begin(); it != memory_.end();)
            it = inside(it.key(), path) ? memory_.erase(it) : std::next(it);
        return;
    }
    beginWrite();
    for (const char* sql : {"DELETE FROM texts WHERE rowid IN (SELECT textid FROM files WHERE hastext AND"
                            " (path = ?1 OR substr(path, 1, length(?1) + 1) = ?1 || '/'))",
                            "DELETE FROM files WHERE path = ?1 OR substr(path, 1, length(?1) + 1) = ?1 || '/'"}) {
        Statement q(db_, sql);
        q.bind(1, path);
        q.step();
    }
    ++pendingWrites_;
    commitWrites();
}

void TextCache::operationFinished(const DBOperation& operation, const OperationResult& result)
{
    if (result.status != OperationResult::Status::Done || operation.path.isEmpty())
        return;
    switch (operation.code()) {
    case OperationCode::Delete:
    case OperationCode::Rename:
    case OperationCode::Move:
        open();
        forget(operation.path);
        break;
    default:
        break;
    }
}

} // namespace folivo
