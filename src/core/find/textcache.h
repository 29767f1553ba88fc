#pragma once
// The text of a database's files, kept so that a search of contents reads each file once:
// a hidden SQLite file in the package (".textCache"), with the text in an FTS5 table whose
// trigram index answers "may this file contain the needle" for the whole database in one
// query. Each row is keyed by what identifies the stored content (its path, stored form,
// size and modification time) and is used only while those still match, so a cache that is
// missing, stale or damaged costs a re-read and never a wrong answer.
//
// The plain text of an encrypted database never reaches the disk: its cache is kept in
// memory only, as is the cache of a database that cannot change.

#include "store/documenthooks.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <memory>
#include <optional>

struct sqlite3;

namespace folivo {

class MyDocument;

class TextCache : public DocumentPart, public OperationObserver {
public:
    explicit TextCache(MyDocument& doc);
    ~TextCache() override;
    TextCache(const TextCache&) = delete;
    TextCache& operator=(const TextCache&) = delete;

    // The searchable text (normalisation form C) of the stored file at `storedPath`: from the
    // cache while its key still matches, else read from the file and kept. A file without
    // text, or one its reader gave up on, is kept as having none, so it is not read again.
    std::optional<QString> text(const QString& storedPath);
    // Keeps `text` (already normalised) for the file just stored at `storedPath`, so that an
    // import does not read it twice.
    void put(const QString& storedPath, const std::optional<QString>& text);

    // False only when the cache knows, for the current content of the file, that its text
    // does not contain `needle` (normalised). Answered from one query per needle.
    bool mayContain(const QString& storedPath, const QString& needle, bool ignoreCase);

    // Where the rows live: "" when in memory only.
    QString filePath() const;
    bool onDisk() const { return db_ != nullptr; }
    // Rows kept, for the benchmark and tests.
    qint64 rowCount();

    // How many files were read to get their text, since the program started (a seam for
    // tests: a second search must read none).
    static qint64 filesRead();

    // DocumentPart: nothing is written at save; the rows are written as they come.
    QString partName() const override { return QStringLiteral("text cache"); }
    void read(MyDocument&) override;
    bool changed(const MyDocument&) const override { return false; }
    bool write(MyDocument&) override { return true; }
    bool essential() const override { return false; }
    void clear() override;

    // OperationObserver: a renamed, moved or deleted item's rows go.
    void operationFinished(const DBOperation& operation, const OperationResult& result) override;

private:
    struct Key {
        int form = 0;
        qint64 size = -1;
        qint64 mtime = 0;
        friend bool operator==(const Key&, const Key&) = default;
    };
    struct Row {
        Key key;
        std::optional<QString> text;
    };
    std::optional<Key> keyOf(const QString& storedPath);
    void open();
    bool openFile(const QString& path);
    void closeFile();
    std::optional<Row> lookup(const QString& storedPath);
    void store(const QString& storedPath, const Key& key, const std::optional<QString>& text);
    void forget(const QString& path);
    void discardDamaged();

    MyDocument& doc_;
    bool opened_ = false;
    sqlite3* db_ = nullptr;
    QHash<QString, Row> memory_; // the rows when not on disk
    // The last needle asked about and the paths whose cached text may contain it.
    struct Probe {
        QString needle;
        bool ignoreCase = false;
        QSet<QString> candidates;
        QHash<QString, Key> keys; // every row's key, read with the candidates
        bool valid = false;
    } probe_;
    // Rows are written in transactions of many, committed every so often and at close: one
    // commit per file would make the first search of a large database crawl.
    void beginWrite();
    void commitWrites();
    int pendingWrites_ = 0;
};

} // namespace folivo
