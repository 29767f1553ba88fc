// Recovery: files found in the package without an item are copied out into a new folder the
// person chooses, deciphered where they were enciphered, before anything is deleted.

#include "store/repair/consistencycheck.h"

#include "store/keys.h"
#include "store/messages.h"
#include "store/mydocument.h"
#include "store/repair/repairsupport.h"
#include "util/debuglog.h"
#include "crypto/cipher.h"
#include "crypto/storedforms.h"
#include "crypto/zipcontainer.h"
#include "plist/keyedarchive.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace folivo {

using repair::BundleExtensions;
using repair::extensionOf;
using repair::ignoredName;
using repair::isEncipheredExtension;
using repair::lastComponent;

// The folder the person chose, made new; empty when it cannot be used. Nothing that
// exists is reused (it would be emptied or mixed with recovered files), and nothing
// inside the package (it would be found and deleted at the next check).
QString ConsistencyCheck::makeRecoveryFolder(const QString& chosen) const
{
    if (chosen.isEmpty() || !QDir::isAbsolutePath(chosen))
        return {};
    const QString g = QDir::cleanPath(chosen);
    const QString name = QFileInfo(g).fileName();
    if (name.isEmpty() || fs::exists(g))
        return {};
    const QString parent = QFileInfo(QFileInfo(g).path()).canonicalFilePath();
    const QString package = QFileInfo(d_.dbPath()).canonicalFilePath();
    if (parent.isEmpty() || package.isEmpty())
        return {};
    const QString where = parent + '/' + name;
    if (where == package || where.startsWith(package + '/') || parent == package)
        return {};
    if (!fs::makeDirectory(g, 0755))
        return {};
    return g;
}

QString ConsistencyCheck::uniqueIn(const QString& folder, const QString& name)
{
    if (!fs::exists(folder + '/' + name))
        return folder + '/' + name;
    const qsizetype dot = name.lastIndexOf('.');
    const bool hasExtension = dot > 0 && dot < name.size() - 1;
    const QString stem = hasExtension ? name.left(dot) : name;
    const QString extension = hasExtension ? name.mid(dot) : QString();
    for (qint64 n = 2;; ++n) {
        const QString candidate = folder + '/' + stem + QString::number(n) + extension;
        if (!fs::exists(candidate))
            return candidate;
    }
}

void ConsistencyCheck::discard(Deciphered& copy) const
{
    const QString holder = QFileInfo(copy.path).path();
    if (!copy.path.isEmpty() && holder.startsWith(d_.tempDir() + '/'))
        fs::deleteTree(holder);
    copy = {};
}

// Whether `copy`, deciphered with `key` from the stored form `ext` of `plain`, is the
// file that was enciphered. Valid padding alone proves little: a wrong key ends in one
// padding byte about once in 256 tries, and the garbage it gives would then stand in
// for the only copy. A container that unpacked is a valid zip, checked entry by entry.
// A file proves itself by a padding of four bytes or more (a wrong key gives k valid
// bytes about once in 256^k tries), by its kind (the signature of a PDF or an image, or
// a zip-based document that reads back whole), or by its attributes file, which
// deciphers with the same key to a record that names it.
bool ConsistencyCheck::provenRecovery(const PackagePath& plain, const QString& ext, const QString& copy, crypto::DatabaseKey& key) const
{
    if (ext != pkg::EncFile)
        return fs::isDirectory(copy);
    const qint64 padding = QFileInfo(absOf(plain) + '.' + ext).size() - QFileInfo(copy).size();
    if (padding >= 4 && padding <= 16)
        return true;
    QFile file(copy);
    const QByteArray head = file.open(QIODevice::ReadOnly) ? file.read(16) : QByteArray();
    file.close();
    static const QByteArrayView signatures[] = {"%PDF", "\x89PNG\r\n\x1a\n", "\xff\xd8\xff", "GIF87a", "GIF89a"};
    for (QByteArrayView signature : signatures)
        if (head.startsWith(signature))
            return true;
    if (head.startsWith("PK\x03\x04") && zipc::verifyArchive(copy).ok)
        return true;
    const auto attributes =
        fs::readFile(d_.dbPath() + '/' + MyDocument::attributesPathForPath(plain.str()) + '.' + pkg::EncFile, qint64(1) << 24);
    const auto bytes = attributes ? crypto::cryptData(key.decryptor(), *attributes) : std::nullopt;
    const auto record = bytes ? plist::decodeKeyedArchive(*bytes) : std::nullopt;
    const plist::Value* path = record && record->isDict() ? record->dict().find(keys::Path) : nullptr;
    return path && path->isString() && lastComponent(path->string()) == plain.name();
}

// A plain copy of the stored form `ext` of the plain item `plain`, with the current key
// when that proves to be the right one, else with a password the person gives. A copy
// the current key gave without proof is what a Cancel answers; one from a password the
// person typed is taken as it comes (they chose it), still unproven. Empty when nothing
// could be deciphered.
ConsistencyCheck::Deciphered ConsistencyCheck::decipherForRecovery(const PackagePath& plain, const QString& ext)
{
    // Deciphering goes by the plain path and takes its first stored form; when that is
    // another form than this entry, this entry cannot be reached that way.
    auto sameForm = [&](DocumentCipher& c) { return suffixOf(c.storedFormOf(plain)) == ext; };
    auto attempt = [&](DocumentCipher& cipher, crypto::DatabaseKey* otherKey) {
        Deciphered out;
        const StoreResult r = cipher.decryptFile(plain, true, otherKey);
        if (!r.ok || r.nothingToDo || r.path.isEmpty())
            return out;
        out.path = r.path;
        out.proven = provenRecovery(plain, ext, r.path, otherKey ? *otherKey : cipher.key());
        return out;
    };
    Deciphered unproven;
    if (d_.cipher()) {
        if (!sameForm(*d_.cipher()))
            return {};
        Deciphered first = attempt(*d_.cipher(), nullptr);
        if (first.proven)
            return first;
        unproven = first;
    }
    for (;;) {
        d_.ui().progressStop();
        const auto password = d_.ui().askRecoveryPassword(msg::RecoverPassword.arg(
            plain.name(), d_.dbEncrypted() ? msg::RecoverPasswordDifferent : QString()));
        d_.ui().progressStart(msg::RecoveringFiles, QString(), 0);
        if (!password)
            return unproven;
        auto key = crypto::DatabaseKey::fromPassword(*password);
        if (!key)
            continue;
        Deciphered typed;
        if (d_.cipher()) {
            typed = attempt(*d_.cipher(), key.get());
        } else {
            // A plain database can still hold stored forms from when it was encrypted.
            DocumentCipher once(d_.dbPath(), d_.tempDir(), std::move(key));
            if (!sameForm(once)) {
                discard(unproven);
                return {};
            }
            typed = attempt(once, nullptr);
        }
        if (typed.path.isEmpty())
            continue;
        discard(unproven);
        return typed;
    }
}

ConsistencyCheck::Recovered ConsistencyCheck::recoverOne(const QString& entry, const QString& folder)
{
    const auto pp = PackagePath::fromString(entry);
    if (!pp || pp->isRoot())
        return Recovered::Failed;
    const QString abs = absOf(*pp);
    const QString name = pp->name();
    const QString ext = extensionOf(name);
    d_.ui().progressSetText(entry);

    QString source = abs;
    QString destName = name;
    Deciphered deciphered;
    bool stays = false;        // the entry stays in the package
    bool storedBeside = false; // the stored form is copied out beside the deciphered copy
    if (isEncipheredExtension(ext) && fs::isRegularFile(abs)) {
        const auto plain = PackagePath::fromString(entry.chopped(ext.size() + 1));
        if (plain)
            deciphered = decipherForRecovery(*plain, ext);
        if (!deciphered.path.isEmpty()) {
            source = deciphered.path;
            destName = plain->name();
            storedBeside = !deciphered.proven;
        } else {
            stays = true; // still enciphered, but not lost
        }
    } else if (ext == pkg::CheckCopy && fs::isDirectory(abs)) {
        destName = name.chopped(ext.size() + 1);
    }

    const bool copyable = fs::isRegularFile(source) || fs::isDirectory(source) || QFileInfo(source).isSymLink();
    const QString dest = uniqueIn(folder, destName);
    bool ok = copyable && fs::copyTree(source, dest);
    if (!deciphered.path.isEmpty()) {
        // The copy is read-only in its private folder; the recovered file is the
        // person's own again.
        if (ok && fs::isRegularFile(dest))
            fs::setMode(dest, 0644);
        discard(deciphered);
    }
    // Whether an unproven copy is right is for the person to find out: the stored form
    // goes with it, so the file is never lost to a key that only seemed to fit.
    QString storedDest;
    if (ok && storedBeside) {
        storedDest = uniqueIn(folder, name);
        ok = fs::copyTree(abs, storedDest);
    }
    if (!ok) {
        for (const QString& made : {dest, storedDest})
            if (!made.isEmpty() && fs::exists(made))
                fs::deleteTree(made);
        d_.ui().progressStop();
        d_.ui().alert(msg::CannotRecoverPrompt, msg::CannotRecoverTitle, msg::CannotRecoverText.arg(abs));
        d_.ui().progressStart(msg::RecoveringFiles, QString(), 0);
        return Recovered::Failed;
    }
    if (stays)
        return Recovered::Kept;
    return storedBeside ? Recovered::CopiedUnproven : Recovered::Copied;
}

} // namespace folivo
