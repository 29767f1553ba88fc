#include "crypto/documentcrypto.h"

#include "crypto/messages.h"
#include "plist/keyedarchive.h"
#include "store/keys.h"
#include "store/messages.h"
#include "store/mydocument.h"
#include "util/debuglog.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace folivo {

namespace {

QString lastComponentOf(const QString& path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

// Whether two files hold the same bytes.
bool sameFileContent(const QString& a, const QString& b)
{
    QFile fa(a), fb(b);
    if (fa.size() != fb.size() || !fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly))
        return false;
    constexpr qint64 Chunk = qint64(1) << 20;
    for (;;) {
        const QByteArray ca = fa.read(Chunk);
        const QByteArray cb = fb.read(Chunk);
        if (ca != cb)
            return false;
        if (ca.isEmpty())
            return fa.atEnd() && fb.atEnd();
    }
}

QByteArray linkTarget(const QString& path)
{
    QByteArray target(4096, Qt::Uninitialized);
    const ssize_t n = ::readlink(QFile::encodeName(path).constData(), target.data(), size_t(target.size()));
    return n < 0 ? QByteArray() : target.left(n);
}

// Whether two folder trees hold the same names, the same file contents and the same link
// targets. Links are compared, never followed.
bool sameTree(const QString& a, const QString& b)
{
    auto listing = [](const QString& root) {
        QStringList names;
        QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            names << it.next().mid(root.size() + 1);
        names.sort();
        return names;
    };
    const QStringList names = listing(a);
    if (names != listing(b))
        return false;
    for (const QString& rel : names) {
        const QString pa = a + '/' + rel, pb = b + '/' + rel;
        const QFileInfo fa(pa), fb(pb);
        if (fa.isSymLink() || fb.isSymLink()) {
            if (fa.isSymLink() != fb.isSymLink() || linkTarget(pa) != linkTarget(pb))
                return false;
        } else if (fa.isDir() || fb.isDir()) {
            if (fa.isDir() != fb.isDir())
                return false;
        } else if (!sameFileContent(pa, pb)) {
            return false;
        }
    }
    return true;
}

} // namespace

DocumentCrypto::DocumentCrypto(MyDocument& doc) : doc_(doc) {}

DocumentCrypto::~DocumentCrypto() = default;

void DocumentCrypto::detect()
{
    const QString root = doc_.dbPath() + '/';
    encryptedIndex_ = pkg::EncryptedIndex;
    encrypted_ = fs::isReadable(root + encryptedIndex_);
    if (!encrypted_ && fs::isReadable(root + pkg::LegacyEncryptedIndex)) {
        encryptedIndex_ = pkg::LegacyEncryptedIndex;
        encrypted_ = true;
    }
}

void DocumentCrypto::reset()
{
    cipher_.reset(); // the key is wiped with it
    decipheredIndex_.reset();
    markerNeeded_ = false;
}

// ---------------------------------------------------------------------------------------
// The password

bool DocumentCrypto::promptForPassword()
{
    const PasswordRequest request{msg::PasswordTitle, msg::PasswordText.arg(QFileInfo(doc_.dbPath()).fileName()),
                                  msg::PasswordWrong};
    return doc_.ui().askPassword(request, [this](const QString& password) { return checkPassword(password); });
}

bool DocumentCrypto::checkPassword(const QString& password)
{
    const QString& dbPath = doc_.dbPath();
    auto key = crypto::DatabaseKey::fromPassword(password);
    if (!key)
        return false;
    auto decipherFile = [&](const QString& name) -> std::optional<QByteArray> {
        const auto bytes = fs::readFile(dbPath + '/' + name, qint64(1) << 30);
        if (!bytes)
            return std::nullopt;
        return crypto::cryptData(key->decryptor(), *bytes);
    };

    // The marker proves the key when it deciphers to its known text. It cannot disprove
    // one: a damaged, truncated, emptied or overwritten marker refuses every key, the
    // right one too. So whenever it does not prove the key (and for older databases
    // without one) the password is right only when the index deciphers to a readable
    // archive: a wrong key gives valid padding about once in 256 tries, but never an
    // archive. A marker that did not prove the right key is written again after the open.
    bool markerChecked = false;
    const QString marker = dbPath + '/' + pkg::EncryptedMarkerStored;
    if (fs::isRegularFile(marker) && fs::isReadable(marker)) {
        const auto plain = decipherFile(pkg::EncryptedMarkerStored);
        markerChecked = plain && *plain == pkg::EncryptedMarkerContent;
    }

    std::optional<plist::Value> index;
    if (const auto plain = decipherFile(encryptedIndex_))
        if (auto decoded = plist::decodeKeyedArchive(*plain); decoded && decoded->isArray())
            index = std::move(decoded);
    if (!markerChecked && !index) {
        // An unreadable index with a readable distributed index still proves the key.
        const auto dindex = decipherFile(pkg::EncryptedDIndex);
        const auto decoded = dindex ? plist::decodeKeyedArchive(*dindex) : std::nullopt;
        if (!decoded || !decoded->isArray())
            return false;
    }

    cipher_ = std::make_unique<DocumentCipher>(dbPath, doc_.tempDir(), std::move(key));
    decipheredIndex_ = std::move(index);
    markerNeeded_ = !markerChecked;
    if (markerNeeded_ && fs::exists(marker))
        appendDebugInfo(QStringLiteral("\n\nPassword marker of %1 could not prove the key; the index did").arg(dbPath));

    // Still inside the open: whether the package may be written is all that is known yet.
    const QString unfiled = dbPath + '/' + pkg::Unfiled;
    if (doc_.dbWriteable() && !fs::isReadable(unfiled))
        fs::makeDirectories(unfiled, pkg::ReadWriteMode);
    return true;
}

std::optional<plist::Value> DocumentCrypto::takeDecipheredIndex()
{
    std::optional<plist::Value> index = std::move(decipheredIndex_);
    decipheredIndex_.reset();
    return index;
}

void DocumentCrypto::writeMarkerIfNeeded()
{
    // Only once the database has opened with this key: a marker written with a wrong key
    // would lock the owner out for good.
    if (markerNeeded_ && cipher_ && doc_.notesRepairs())
        doc_.notePendingRepair(msg::PendingMarker);
    if (!markerNeeded_ || !doc_.dbWriteable() || !cipher_)
        return;
    markerNeeded_ = false;
    const QString& dbPath = doc_.dbPath();
    const auto stored = cipher_->encipher(pkg::EncryptedMarkerContent);
    const bool ok = stored && fs::writeFileAtomic(dbPath + '/' + pkg::EncryptedMarker, pkg::EncryptedMarkerContent)
                    && fs::writeFileAtomic(dbPath + '/' + pkg::EncryptedMarkerStored, *stored);
    if (!ok) // the next open tries again
        appendDebugInfo(QStringLiteral("\n\nPassword marker of %1 not written: %2").arg(dbPath, fs::lastError()));
}

// ---------------------------------------------------------------------------------------
// The backup warning

bool DocumentCrypto::backupWarningNeeded(bool writable, bool alreadyWarned, bool backupPreference, bool backupFolderGood)
{
    return writable && !alreadyWarned && !(backupPreference && backupFolderGood);
}

bool DocumentCrypto::needsBackupWarning(bool backupPreference, bool backupFolderGood) const
{
    return encrypted_
           && backupWarningNeeded(doc_.dbWriteable(), fs::exists(doc_.dbPath() + '/' + pkg::WarnedAboutBackup),
                                  backupPreference, backupFolderGood);
}

bool DocumentCrypto::markWarnedAboutBackup()
{
    return fs::writeFileAtomic(doc_.dbPath() + '/' + pkg::WarnedAboutBackup, QByteArrayLiteral("Warned"));
}

// ---------------------------------------------------------------------------------------
// Stored forms of items

StoreResult DocumentCrypto::encryptFile(const QString& path)
{
    const auto pp = PackagePath::fromString(path);
    if (!pp || !cipher_ || !doc_.canChange()) {
        StoreResult r;
        r.error = cryptomsg::CannotEncipherHere.arg(path);
        return r;
    }
    return cipher_->encryptFile(*pp);
}

StoreResult DocumentCrypto::decryptFile(const QString& path, bool leaveEncryptedFile, const QString* password)
{
    StoreResult r;
    const auto pp = PackagePath::fromString(path);
    if (!pp || !cipher_) {
        r.error = cryptomsg::CannotDecipherHere.arg(path);
        return r;
    }
    if (!leaveEncryptedFile && !doc_.canChange()) {
        r.error = cryptomsg::CannotChange;
        return r;
    }
    std::unique_ptr<crypto::DatabaseKey> other;
    if (password) {
        other = crypto::DatabaseKey::fromPassword(*password);
        if (!other) {
            r.error = cryptomsg::NoKeyFromPassword;
            return r;
        }
        if (other->key().sameAs(cipher_->key().key()))
            other.reset();
    }
    return cipher_->decryptFile(*pp, leaveEncryptedFile, other.get());
}

bool DocumentCrypto::cryptForCopy(const IndexItem* item, bool encrypt)
{
    if (!encrypted_ || !item || item->isSmartFolder())
        return true;
    if (item->hasChildren()) {
        bool ok = true;
        for (const auto& child : item->children())
            ok = cryptForCopy(child.get(), encrypt) && ok;
        return ok;
    }
    if (!item->isFile())
        return true;
    const StoreResult r = encrypt ? encryptFile(item->path()) : decryptFile(item->path(), false);
    if (!r.ok)
        appendDebugInfo(QStringLiteral("\n\n%1 of %2 failed: %3")
                            .arg(encrypt ? QStringLiteral("Enciphering") : QStringLiteral("Deciphering"), item->path(),
                                 r.error));
    return r.ok;
}

QString DocumentCrypto::encryptedPath(const QString& path) const
{
    if (!encrypted_)
        return path;
    const QString abs = doc_.absolutePath(path);
    if (abs.isEmpty())
        return path;
    for (const QString& suffix : pkg::EncipheredSuffixes)
        if (fs::exists(abs + '.' + suffix))
            return path + '.' + suffix;
    return path;
}

QString DocumentCrypto::decryptedPath(const QString& path) const
{
    if (!encrypted_)
        return path;
    for (const QString& suffix : pkg::EncipheredSuffixes)
        if (path.endsWith('.' + suffix))
            return path.chopped(suffix.size() + 1);
    return path;
}

std::optional<PlainCopy> DocumentCrypto::plainCopyForReading(const QString& path, QString* error)
{
    const auto pp = PackagePath::fromString(path);
    if (!pp || pp->isRoot()) {
        if (error)
            *error = cryptomsg::NotInsideDatabase.arg(path);
        return std::nullopt;
    }
    if (encrypted_ && cipher_ && cipher_->storedFormOf(*pp) != StoredForm::None)
        return cipher_->plainCopy(*pp, error);
    const QString abs = pp->absoluteUnder(doc_.dbPath());
    if (!fs::exists(abs)) {
        if (error)
            *error = cryptomsg::NotInDatabase.arg(path);
        return std::nullopt;
    }
    return PlainCopy(abs, QString());
}

std::optional<PlainCopy> DocumentCrypto::copyForHandingOut(const QString& path, QString* error)
{
    std::optional<PlainCopy> plain = plainCopyForReading(path, error);
    if (!plain || !plain->valid() || plain->isPrivate())
        return plain;
    // The item itself, inside the package: copied into a folder of its own.
    const auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    const QString tempDir = doc_.tempDir();
    if (tempDir.isEmpty())
        return fail(cryptomsg::NoPrivateFolder);
    QByteArray holderName = QFile::encodeName(tempDir + QStringLiteral("/out-XXXXXX"));
    if (!::mkdtemp(holderName.data())) // mode 0700
        return fail(cryptomsg::NoPrivateFolderBecause.arg(QString::fromLocal8Bit(std::strerror(errno))));
    const QString holder = QFile::decodeName(holderName);
    const QString copy = holder + '/' + QFileInfo(plain->path()).fileName();
    const bool folder = fs::isDirectory(plain->path());
    if (!(folder ? fs::copyTree(plain->path(), copy) : fs::cloneFile(plain->path(), copy))) {
        const QString why = fs::lastError();
        fs::deleteTree(holder);
        return fail(cryptomsg::CannotCopy.arg(path, why));
    }
    if (!folder)
        fs::setMode(copy, 0400);
    return PlainCopy(copy, holder);
}

bool DocumentCrypto::readItemContent(const QString& path, const QString& inner,
                                     const std::function<bool(const char*, qsizetype)>& sink, QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    const QString& dbPath = doc_.dbPath();
    const auto pp = PackagePath::fromString(path);
    if (!pp || pp->isRoot())
        return fail(cryptomsg::NotInsideDatabase.arg(path));
    if (encrypted_ && cipher_ && cipher_->storedFormOf(*pp) != StoredForm::None)
        return cipher_->readContent(*pp, inner, sink, error);

    std::optional<PackagePath> target = pp;
    if (!inner.isEmpty()) {
        const auto innerPath = PackagePath::fromString(pp->str() + '/' + inner);
        if (!innerPath || !fs::isDirectory(pp->absoluteUnder(dbPath)))
            return fail(cryptomsg::NoSuchInnerFile.arg(path, inner));
        target = innerPath;
    }
    // A link must not lead the reader anywhere: the path as the disk spells it, with no
    // link on the way.
    const QString abs = fs::onDiskPath(target->absoluteUnder(dbPath));
    const QString canonical = QFileInfo(abs).canonicalFilePath();
    const QString root = QFileInfo(dbPath).canonicalFilePath();
    if (canonical.isEmpty() || !canonical.startsWith(root + '/'))
        return fail(cryptomsg::NotInDatabase.arg(target->str()));
    if (fs::isDirectory(canonical))
        return fail(cryptomsg::IsAFolder.arg(target->str()));
    QFile file(canonical);
    if (!fs::isRegularFile(canonical) || !file.open(QIODevice::ReadOnly))
        return fail(cryptomsg::CannotRead.arg(target->str(), file.errorString()));
    QByteArray buffer(qsizetype(1) << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = file.read(buffer.data(), buffer.size());
        if (n < 0)
            return fail(cryptomsg::CannotRead.arg(target->str(), file.errorString()));
        if (n == 0)
            return true;
        if (!sink(buffer.constData(), n))
            return fail(cryptomsg::CannotWriteOut.arg(target->str()));
    }
}

bool DocumentCrypto::plainCopyMatchesStoredForm(const PackagePath& pp)
{
    if (!cipher_)
        return false;
    const QString abs = pp.absoluteUnder(doc_.dbPath());
    const StoredForm form = cipher_->storedFormOf(pp);
    if (form == StoredForm::File)
        return fs::isRegularFile(abs) && crypto::decipheredEquals(cipher_->key().decryptor(), abs + '.' + pkg::EncFile, abs);
    if (form != StoredForm::None && fs::isDirectory(abs)) {
        const auto copy = cipher_->plainCopy(pp);
        return copy && copy->valid() && sameTree(copy->path(), abs);
    }
    return false;
}

// ---------------------------------------------------------------------------------------
// Archives of the package

bool DocumentCrypto::writeStoredArchive(const QString& abs, const plist::Value& root, fs::Durability durability)
{
    if (!encrypted_)
        return plist::writeKeyedArchiveFile(abs, root, durability);
    if (!cipher_)
        return false;
    const QByteArray plain = plist::encodeKeyedArchive(root);
    if (plain.isEmpty())
        return false;
    const auto stored = cipher_->encipher(plain);
    if (!stored || !fs::writeFileAtomic(abs + '.' + pkg::EncFile, *stored, 0644, durability))
        return false;
    // A plain copy of this very file must not outlive the enciphered one. Nothing else
    // beside it is removed (see writeKeyedArchiveFile).
    if (fs::exists(abs))
        fs::removeFile(abs);
    return true;
}

std::optional<plist::Value> DocumentCrypto::readStoredArchive(const QString& abs, const QString& itemName) const
{
    // After a crash while the file was being replaced only another copy may be readable:
    // the stored form first, then the ".old" copy the macOS edition makes while it writes.
    // For an attributes file that copy is taken only when its record is the item's own:
    // ".+X.old" is just as well the attributes file of an item "X.old".
    auto ownRecord = [&](std::optional<plist::Value> v) -> std::optional<plist::Value> {
        if (!v || itemName.isEmpty())
            return v;
        const plist::Value* path = v->isDict() ? v->dict().find(keys::Path) : nullptr;
        if (!path || !path->isString() || lastComponentOf(path->string()) != itemName)
            return std::nullopt;
        return v;
    };
    if (!encrypted_) {
        if (auto v = plist::readKeyedArchiveFile(abs))
            return v;
        return ownRecord(plist::readKeyedArchiveFile(abs + pkg::OldSuffix));
    }
    if (!cipher_)
        return std::nullopt;
    const QString enciphered = abs + '.' + pkg::EncFile;
    for (const QString& candidate : {enciphered, abs, enciphered + pkg::OldSuffix}) {
        if (!fs::isRegularFile(candidate))
            continue;
        const auto bytes = fs::readFile(candidate);
        if (!bytes)
            continue;
        if (candidate == abs) {
            if (auto v = plist::decodeKeyedArchive(*bytes))
                return v;
            continue;
        }
        if (const auto plain = cipher_->decipher(*bytes))
            if (auto v = plist::decodeKeyedArchive(*plain))
                return candidate == enciphered ? v : ownRecord(std::move(v));
    }
    return std::nullopt;
}

} // namespace folivo
