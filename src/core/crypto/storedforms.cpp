#include "crypto/storedforms.h"

#include "crypto/zipcontainer.h"
#include "store/keys.h"
#include "util/debuglog.h"
#include "util/fs.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace folivo {

namespace {

// A container holds one document bundle; anything near this size is not one.
constexpr qint64 MaxContainerInMemory = qint64(1) << 30;

QString dot(const QString& suffix)
{
    return '.' + suffix;
}

// Gives `to` the modification time of `from`; creation times cannot be set here.
void copyModificationTime(const QString& from, const QString& to)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(from).constData(), &st) != 0)
        return;
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::utimensat(AT_FDCWD, QFile::encodeName(to).constData(), times, AT_SYMLINK_NOFOLLOW);
}

StoreResult failure(const QString& error)
{
    StoreResult r;
    r.error = error;
    return r;
}

zipc::EntryNaming namingOf(StoredForm form)
{
    return form == StoredForm::OldContainer ? zipc::EntryNaming::InsideItem : zipc::EntryNaming::WithItemName;
}

} // namespace

QString suffixOf(StoredForm form)
{
    switch (form) {
    case StoredForm::File: return pkg::EncFile;
    case StoredForm::Container: return pkg::EncZipR;
    case StoredForm::OldContainer: return pkg::EncZip;
    case StoredForm::None: break;
    }
    return {};
}

// ---------------------------------------------------------------------------------------

PlainCopy::PlainCopy(PlainCopy&& other) noexcept : path_(std::move(other.path_)), holder_(std::move(other.holder_))
{
    other.path_.clear();
    other.holder_.clear();
}

PlainCopy& PlainCopy::operator=(PlainCopy&& other) noexcept
{
    if (this != &other) {
        release();
        path_ = std::move(other.path_);
        holder_ = std::move(other.holder_);
        other.path_.clear();
        other.holder_.clear();
    }
    return *this;
}

PlainCopy::~PlainCopy()
{
    release();
}

void PlainCopy::release()
{
    if (!holder_.isEmpty())
        fs::deleteTree(holder_);
    holder_.clear();
    path_.clear();
}

// ---------------------------------------------------------------------------------------

DocumentCipher::DocumentCipher(QString root, QString tempDir, std::unique_ptr<crypto::DatabaseKey> key)
    : root_(std::move(root)), tempDir_(std::move(tempDir)), key_(std::move(key))
{
}

DocumentCipher::~DocumentCipher() = default;

std::optional<QByteArray> DocumentCipher::encipher(QByteArrayView plain)
{
    return crypto::cryptData(key_->encryptor(), plain);
}

std::optional<QByteArray> DocumentCipher::decipher(QByteArrayView stored)
{
    return crypto::cryptData(key_->decryptor(), stored);
}

QString DocumentCipher::parentDir(const PackagePath& path) const
{
    // The package root is always writable; folders inside it are kept read-only.
    return path.parent().isRoot() ? QString() : path.parent().absoluteUnder(root_);
}

QString DocumentCipher::newHolder()
{
    // One private folder per copy, so two readers of the same item never share a file.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const QString dir = tempDir_ + QStringLiteral("/read-%1").arg(++serial_);
        if (fs::makeDirectory(dir, 0700))
            return dir;
        if (errno != EEXIST)
            break;
    }
    return {};
}

StoredForm DocumentCipher::storedFormOf(const PackagePath& path) const
{
    const QString abs = path.absoluteUnder(root_);
    for (StoredForm form : {StoredForm::File, StoredForm::Container, StoredForm::OldContainer})
        if (fs::isRegularFile(abs + dot(suffixOf(form))) && fs::isReadable(abs + dot(suffixOf(form))))
            return form;
    return StoredForm::None;
}

StoreResult DocumentCipher::encryptFile(const PackagePath& path)
{
    return encryptFrom(path.absoluteUnder(root_), path);
}

StoreResult DocumentCipher::encryptFrom(const QString& sourceItem, const PackagePath& path)
{
    if (path.isRoot())
        return failure(QStringLiteral("The package itself cannot be enciphered."));
    const QString abs = path.absoluteUnder(root_);
    const bool folder = fs::isDirectory(sourceItem);
    if (!folder && !fs::isRegularFile(sourceItem))
        return failure(QStringLiteral("\"%1\" is not a file or folder that can be enciphered.").arg(path.str()));

    const QString target = abs + dot(folder ? pkg::EncZipR : pkg::EncFile);
    fs::ScopedWritable writable(parentDir(path));

    QString source = sourceItem;
    QString container;
    if (folder) {
        // The container is made in the private temporary folder: it holds plain text.
        const QString holder = newHolder();
        if (holder.isEmpty())
            return failure(QStringLiteral("No private temporary folder: %1").arg(fs::lastError()));
        container = holder + '/' + path.name() + dot(pkg::ZipR);
        // The entries carry the item's own name, so a folder coming from elsewhere under
        // another name is first copied under the name it will have here.
        QString packedFrom = sourceItem;
        if (QFileInfo(sourceItem).fileName() != path.name()) {
            packedFrom = holder + '/' + path.name();
            if (!fs::copyTree(sourceItem, packedFrom)) {
                const QString why = fs::lastError();
                fs::deleteTree(holder);
                return failure(QStringLiteral("\"%1\" could not be packed: %2").arg(path.str(), why));
            }
        }
        zipc::Result packed = zipc::packFolder(packedFrom, container, zipc::EntryNaming::WithItemName);
        if (packed.ok)
            packed = zipc::verifyArchive(container);
        if (!packed.ok) {
            fs::deleteTree(holder);
            return failure(QStringLiteral("\"%1\" could not be packed: %2").arg(path.str(), packed.error));
        }
        source = container;
    }
    StoreResult result;
    // A fresh name of its own: the cipher creates it exclusively and nothing that is there
    // is ever removed to make room.
    QString fresh = fs::freshSibling(target);
    crypto::CryptResult run = crypto::useCryptor(key_->encryptor(), source, fresh);
    for (int attempt = 0; !run.ok && errno == EEXIST && fs::exists(fresh) && attempt < 100; ++attempt) {
        fresh = fs::freshSibling(target);
        run = crypto::useCryptor(key_->encryptor(), source, fresh);
    }
    if (!run.ok) {
        result.error = run.error;
    } else if (!crypto::decipheredEquals(key_->decryptor(), fresh, source)) {
        result.error = QStringLiteral("The enciphered copy of \"%1\" does not read back.").arg(path.str());
    } else {
        copyModificationTime(sourceItem, fresh);
        if (!fs::renameFreshOver(fresh, target))
            result.error = fs::lastError();
        else
            result.ok = true;
    }
    if (!result.ok) {
        if (run.ok) // a failed run removes its own output, and only a run that made it may
            fs::removeFile(fresh);
        appendDebugInfo(QStringLiteral("\n\nEnciphering %1 failed: %2").arg(path.str(), result.error));
    }
    if (!container.isEmpty())
        fs::deleteTree(container.section('/', 0, -2));
    result.path = target;
    return result;
}

StoreResult DocumentCipher::unzipFile(const QString& container, const QString& target, bool readOnly)
{
    zipc::UnpackOptions options;
    options.readOnly = readOnly;
    if (container.endsWith(dot(pkg::ZipR)))
        options.naming = zipc::EntryNaming::WithItemName;
    else if (container.endsWith(dot(pkg::Zip)))
        options.naming = zipc::EntryNaming::InsideItem;
    else
        return failure(QStringLiteral("\"%1\" is not a container.").arg(container));
    const zipc::Result r = zipc::unpackArchive(container, target, options);
    if (!r.ok)
        return failure(QStringLiteral("\"%1\" could not be unpacked: %2").arg(QFileInfo(target).fileName(), r.error));
    StoreResult ok;
    ok.ok = true;
    ok.path = target;
    return ok;
}

StoreResult DocumentCipher::decryptFile(const PackagePath& path, bool leaveEncryptedFile, crypto::DatabaseKey* otherKey,
                                        QString* holderOut)
{
    if (path.isRoot())
        return failure(QStringLiteral("The package itself cannot be deciphered."));
    crypto::DatabaseKey& key = otherKey ? *otherKey : *key_;
    const QString abs = path.absoluteUnder(root_);
    const QString name = path.name();
    const StoredForm form = storedFormOf(path);
    if (form == StoredForm::None) {
        StoreResult r;
        r.ok = true;
        r.nothingToDo = true;
        r.path = abs;
        return r;
    }
    const QString stored = abs + dot(suffixOf(form));

    // Where the plain item is built: a private folder for a reader's copy; for good, a
    // transient sibling in the package that is renamed into place once complete.
    QString holder;
    QString built;
    std::optional<fs::ScopedWritable> writable;
    if (leaveEncryptedFile) {
        holder = newHolder();
        if (holder.isEmpty())
            return failure(QStringLiteral("No private temporary folder: %1").arg(fs::lastError()));
        built = holder + '/' + name;
    } else {
        // Built under a temporary name of its own: a name derived from the item's ("….fvdbd")
        // can be another item's.
        writable.emplace(parentDir(path));
        built = fs::freshSibling(abs);
    }
    bool madeBuilt = false; // only what this call made is ever removed
    auto fail = [&](const QString& error) {
        if (!holder.isEmpty())
            fs::deleteTree(holder);
        else if (madeBuilt)
            fs::deleteInside(root_, *path.parent().child(QFileInfo(built).fileName()));
        appendDebugInfo(QStringLiteral("\n\nDeciphering %1 failed: %2").arg(path.str(), error));
        return failure(error);
    };

    if (form == StoredForm::File) {
        const crypto::CryptResult run =
            crypto::useCryptor(key.decryptor(), stored, built, leaveEncryptedFile ? 0600 : 0644);
        if (!run.ok)
            return fail(run.error);
        madeBuilt = true;
        if (leaveEncryptedFile)
            fs::setMode(built, 0400);
    } else {
        // The container is deciphered into the private folder (it is plain text), checked
        // entry by entry while it is unpacked, and unpacked where the item is built.
        const QString zipHolder = newHolder();
        if (zipHolder.isEmpty())
            return fail(QStringLiteral("No private temporary folder: %1").arg(fs::lastError()));
        const QString zip = zipHolder + '/' + name + dot(form == StoredForm::Container ? pkg::ZipR : pkg::Zip);
        const crypto::CryptResult run = crypto::useCryptor(key.decryptor(), stored, zip, 0600);
        const StoreResult unpacked = run.ok ? unzipFile(zip, built, leaveEncryptedFile) : StoreResult{};
        fs::deleteTree(zipHolder);
        if (!run.ok)
            return fail(run.error);
        if (!unpacked.ok)
            return fail(unpacked.error);
        madeBuilt = true;
    }
    copyModificationTime(stored, built);

    StoreResult r;
    if (leaveEncryptedFile) {
        r.ok = true;
        r.path = built;
        if (holderOut)
            *holderOut = holder;
        return r;
    }
    // Deciphering for good: the plain item goes in place first; the stored form is deleted
    // only once it is there, so a failure leaves the database as it was.
    if (fs::isDirectory(abs) && !fs::isDirectory(built))
        return fail(QStringLiteral("A folder is in the way of \"%1\".").arg(path.str()));
    if (fs::isDirectory(built) && fs::exists(abs))
        return fail(QStringLiteral("Something is in the way of \"%1\".").arg(path.str()));
    if (!fs::rename(built, abs))
        return fail(fs::lastError());
    if (!fs::removeFile(stored)) {
        // The plain item is in place; the stored form merely outlives it.
        r.error = fs::lastError();
    }
    r.ok = true;
    r.path = abs;
    return r;
}

std::optional<PlainCopy> DocumentCipher::plainCopy(const PackagePath& path, QString* error)
{
    QString holder;
    StoreResult r = decryptFile(path, true, nullptr, &holder);
    if (!r.ok) {
        if (error)
            *error = r.error;
        return std::nullopt;
    }
    if (r.nothingToDo) // a plain item: read it where it is
        return PlainCopy(r.path, QString());
    return PlainCopy(r.path, holder);
}

bool DocumentCipher::readContent(const PackagePath& path, const QString& inner,
                                 const std::function<bool(const char*, qsizetype)>& sink, QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    const StoredForm form = storedFormOf(path);
    const QString abs = path.absoluteUnder(root_);
    if (form == StoredForm::None)
        return fail(QStringLiteral("\"%1\" has no enciphered form.").arg(path.str()));
    const QString stored = abs + dot(suffixOf(form));
    if (form == StoredForm::File) {
        if (!inner.isEmpty())
            return fail(QStringLiteral("\"%1\" is a file, not a folder item.").arg(path.str()));
        if (!crypto::decipherFile(key_->decryptor(), stored, sink))
            return fail(QStringLiteral("\"%1\" could not be deciphered: %2").arg(path.str(), fs::lastError()));
        return true;
    }
    const auto enciphered = fs::readFile(stored, MaxContainerInMemory);
    if (!enciphered)
        return fail(fs::lastError());
    auto zip = decipher(*enciphered);
    if (!zip)
        return fail(QStringLiteral("\"%1\" could not be deciphered.").arg(path.str()));
    if (inner.isEmpty()) {
        const auto names = zipc::entryNames(*zip, namingOf(form));
        return fail(QStringLiteral("\"%1\" is a folder item; name a file inside it (%2).")
                        .arg(path.str(), names ? names->join(QStringLiteral(", ")) : QStringLiteral("unreadable")));
    }
    const auto entry = zipc::readEntry(*zip, inner, namingOf(form));
    if (!entry)
        return fail(QStringLiteral("\"%1\" has no file \"%2\" that can be read.").arg(path.str(), inner));
    return sink(entry->constData(), entry->size());
}

} // namespace folivo
