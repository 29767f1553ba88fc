#pragma once
// The stored forms of an encrypted database's items and the moves between them. A file F
// is kept as "F.fvdbe" (the file enciphered whole); a folder item (a document bundle) as
// "F.fvdbzre" (a zip container whose entries begin with the item's name, enciphered
// whole); older databases also hold "F.fvdbze" (a container whose entries are relative to
// the inside of the item). The index keeps the plain path.
//
// Plain text never lands beside a stored form: a copy made for a reader goes to the
// document's private temporary folder, read-only, and metadata is enciphered in memory.
// The only plain files written into the package are those of deciphering for good.

#include "crypto/cipher.h"
#include "store/packagepath.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace folivo {

// Which stored form an item has on disk.
enum class StoredForm {
    None,       // nothing enciphered (a plain item, or nothing at all)
    File,       // fvdbe
    Container,  // fvdbzre: entries begin with the item's name
    OldContainer, // fvdbze: entries relative to the inside
};

QString suffixOf(StoredForm form); // "fvdbe", "fvdbzre", "fvdbze"; empty for None

// The outcome of enciphering or deciphering one item.
struct StoreResult {
    bool ok = false;
    QString error;   // for people and the log; empty on success
    QString path;    // deciphering: where the plain item is; enciphering: the stored form
    bool nothingToDo = false; // deciphering an item that has no enciphered form
    explicit operator bool() const { return ok; }
};

// A plain copy handed to a reader: read-only, in the document's private temporary folder,
// removed when the last holder lets go (and with the folder at close in any case).
class PlainCopy {
public:
    PlainCopy() = default;
    PlainCopy(QString path, QString holder) : path_(std::move(path)), holder_(std::move(holder)) {}
    PlainCopy(PlainCopy&& other) noexcept;
    PlainCopy& operator=(PlainCopy&& other) noexcept;
    PlainCopy(const PlainCopy&) = delete;
    PlainCopy& operator=(const PlainCopy&) = delete;
    ~PlainCopy();

    const QString& path() const { return path_; }
    bool valid() const { return !path_.isEmpty(); }
    // A copy in a private folder of its own (removed with it), not the item where it is.
    bool isPrivate() const { return !holder_.isEmpty(); }
    void release();

private:
    QString path_;
    QString holder_; // the private folder that holds the copy; empty when not ours
};

// The stored-form operations of one open encrypted database: its package root, its private
// temporary folder and its key. Paths given are paths inside the package.
class DocumentCipher {
public:
    DocumentCipher(QString root, QString tempDir, std::unique_ptr<crypto::DatabaseKey> key);
    ~DocumentCipher();

    crypto::DatabaseKey& key() { return *key_; }
    const QString& root() const { return root_; }

    // Metadata in memory.
    std::optional<QByteArray> encipher(QByteArrayView plain);
    std::optional<QByteArray> decipher(QByteArrayView stored);

    // The first stored form of `path` that can be read, in the one order used everywhere:
    // fvdbe, fvdbzre, fvdbze.
    StoredForm storedFormOf(const PackagePath& path) const;

    // Writes the stored form of the plain item at `path` beside it and checks that it
    // deciphers back to the item; the plain item stays (the caller deletes it). The stored
    // form is written to a fresh sibling and renamed into place, so a failure or a crash
    // never destroys an earlier stored form.
    StoreResult encryptFile(const PackagePath& path);
    // The same for content that is not in the package yet (an import, a copy from another
    // database): `sourceItem` is enciphered straight into the stored form of `path`, so no
    // plain copy ever lands in the package.
    StoreResult encryptFrom(const QString& sourceItem, const PackagePath& path);

    // Produces the plain item from its stored form. With `leaveEncryptedFile` the stored
    // form stays and the plain copy goes to the private temporary folder (hold it with
    // `holder`); without it the database is being deciphered for good: the plain item is
    // put in place at `path`, and only then is the stored form deleted. `otherKey`, when
    // given, deciphers instead of the database key (files from an earlier password).
    StoreResult decryptFile(const PackagePath& path, bool leaveEncryptedFile, crypto::DatabaseKey* otherKey = nullptr,
                            QString* holder = nullptr);

    // Unpacks a plain container into the folder `target`, which must not exist yet: a
    // "….fvdbzr" holds entries that begin with the item's name, an older "….fvdbz" entries
    // relative to the item's inside; either way they land inside `target`.
    StoreResult unzipFile(const QString& container, const QString& target, bool readOnly);

    // A read-only plain copy of an item for a reader.
    std::optional<PlainCopy> plainCopy(const PackagePath& path, QString* error = nullptr);

    // Streams the plain content of a file item into `sink`. For a folder item, `inner`
    // names a file inside it ("TXT.rtf", "img/pic.png"); the container is deciphered in
    // memory, never onto the disk.
    bool readContent(const PackagePath& path, const QString& inner,
                     const std::function<bool(const char*, qsizetype)>& sink, QString* error);

private:
    QString newHolder();
    QString parentDir(const PackagePath& path) const;

    QString root_;
    QString tempDir_;
    std::unique_ptr<crypto::DatabaseKey> key_;
    quint64 serial_ = 0;
};

} // namespace folivo
