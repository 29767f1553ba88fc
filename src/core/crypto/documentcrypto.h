#pragma once
// The encryption of one open database: whether it is encrypted, its key (from the password
// sheet until close), the password marker and the backup-warning marker, and the moves
// between an item's plain and stored forms. The document owns one and asks it whenever a
// file or an archive goes to or comes from the package.
//
// In a plain database every operation here is the plain one (stored archives are written
// as they are, an item is read where it is), so callers never ask twice.

#include "crypto/storedforms.h"
#include "plist/value.h"
#include "util/fs.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace folivo {

class IndexItem;
class MyDocument;

class DocumentCrypto {
public:
    explicit DocumentCrypto(MyDocument& doc);
    ~DocumentCrypto();
    DocumentCrypto(const DocumentCrypto&) = delete;
    DocumentCrypto& operator=(const DocumentCrypto&) = delete;

    // ---- State -----------------------------------------------------------------------
    bool encrypted() const { return encrypted_; }
    // The key's stored-form operations; nullptr until a password was accepted.
    DocumentCipher* cipher() { return cipher_.get(); }
    const DocumentCipher* cipher() const { return cipher_.get(); }
    // Looks at the package for an enciphered index (".index.fvdbe", or the older
    // ".categories.fvdbe"): the database is encrypted when one can be read.
    void detect();
    // A new database is plain.
    void setPlain() { encrypted_ = false; }
    // The name of the enciphered index found by detect().
    const QString& encryptedIndexName() const { return encryptedIndex_; }
    // Forgets the key (wiped with it) and whatever was read with it. Whether the database
    // was encrypted stays known until the next open.
    void reset();

    // ---- The password ----------------------------------------------------------------
    // The password sheet hands each attempt to checkPassword, which derives the key and
    // accepts it when the marker deciphers to its known text (or, for a database from
    // before the marker, when the index deciphers to a readable archive). The password
    // itself is not kept: the key is, in locked memory, until close.
    bool promptForPassword();
    bool checkPassword(const QString& password);
    // The index deciphered while the password was checked, taken once by the loader.
    std::optional<plist::Value> takeDecipheredIndex();
    void dropDecipheredIndex() { decipheredIndex_.reset(); }
    // Writes the marker again when it could not prove the right key; only after the open
    // succeeded with that key.
    void writeMarkerIfNeeded();

    // ---- The backup warning ----------------------------------------------------------
    // Whether to tell the owner once to keep backups of this encrypted database: only while
    // backups are not set up (the preference is off or the folder is not usable).
    static bool backupWarningNeeded(bool writable, bool alreadyWarned, bool backupPreference, bool backupFolderGood);
    bool needsBackupWarning(bool backupPreference, bool backupFolderGood) const;
    // Notes in the package that the warning was given.
    bool markWarnedAboutBackup();

    // ---- Stored forms of items, by stored path ---------------------------------------
    StoreResult encryptFile(const QString& path);
    StoreResult decryptFile(const QString& path, bool leaveEncryptedFile, const QString* password = nullptr);
    // Enciphers (true) or deciphers for good (false) the files of an item and of all its
    // descendants; false when any of them failed. Nothing happens in a plain database.
    bool cryptForCopy(const IndexItem* item, bool encrypt);
    QString encryptedPath(const QString& path) const;
    QString decryptedPath(const QString& path) const;
    // A plain, read-only copy of an item for a reader: in an encrypted database a copy in
    // the private temporary folder, otherwise the item where it is.
    std::optional<PlainCopy> plainCopyForReading(const QString& path, QString* error = nullptr);
    // A copy of a stored file for another program (a drag out of the window), always in a
    // private folder of this database's temporary folder and read-only, deciphered in an
    // encrypted database: whatever that program does with it (moves it, throws it into the
    // Trash, writes to it) never reaches the package.
    std::optional<PlainCopy> copyForHandingOut(const QString& path, QString* error = nullptr);
    // Streams an item's plain content; `inner` names a file inside a folder item.
    bool readItemContent(const QString& path, const QString& inner,
                         const std::function<bool(const char*, qsizetype)>& sink, QString* error = nullptr);
    // Whether the plain item at `pp` holds exactly what its stored form holds (the same
    // bytes, or for a bundle the same tree), so that it may go.
    bool plainCopyMatchesStoredForm(const PackagePath& pp);

    // ---- Archives of the package ----------------------------------------------------
    // Index, distributed index, attributes files and the other stored archives: enciphered
    // in memory in an encrypted database, so no plain copy of them is ever written into
    // the package.
    bool writeStoredArchive(const QString& abs, const plist::Value& root, fs::Durability durability);
    // `itemName`, for an attributes file: the name of its item, which a fallback copy's
    // record must carry.
    std::optional<plist::Value> readStoredArchive(const QString& abs, const QString& itemName = {}) const;

private:
    MyDocument& doc_;
    bool encrypted_ = false;
    QString encryptedIndex_;
    std::unique_ptr<DocumentCipher> cipher_;
    std::optional<plist::Value> decipheredIndex_; // read while the password was checked
    bool markerNeeded_ = false;
};

} // namespace folivo
