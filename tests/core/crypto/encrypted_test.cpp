// Encrypted databases: the password check, reading and writing the enciphered index and
// attributes files, and the stored forms of items, against packages in the macOS edition's
// form whose ciphertexts the fixture script computed with the openssl command-line tool.

#include "crypto/cipher.h"
#include "plist/keyedarchive.h"
#include "store/keys.h"
#include "store/mydocument.h"
#include "support/packagefixtures.h"
#include "util/fs.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace folivo;
using folivo::test::Fixtures;
using folivo::test::folderSnapshot;
using folivo::test::readAll;
using folivo::test::writeAll;

namespace {

QString password(const QJsonObject& manifest, const QString& name)
{
    return manifest.value(name).toObject().value("password").toString();
}


// Names in an encrypted package that may be plain: they hold nothing of the owner's.
bool allowedPlain(const QString& rel)
{
    static const QStringList names = {pkg::AttributesState, pkg::CustomAttributeNames, pkg::DIndexVer4, pkg::Changed,
                                      pkg::EncryptedMarker,  pkg::WarnedAboutBackup,    pkg::BackupCount};
    return names.contains(rel);
}

// Plain files inside an encrypted package: items, attributes files, index, transient forms.
QStringList plainLeftovers(const QString& root)
{
    QStringList found;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString rel = it.next().mid(root.size() + 1);
        const QString suffix = QFileInfo(rel).suffix();
        if (allowedPlain(rel) || pkg::EncipheredSuffixes.contains(suffix))
            continue;
        found << rel;
    }
    return found;
}

class Encrypted : public Fixtures {
protected:
    QString pw(const QString& name) const { return password(manifest_, name); }
    QJsonObject entry(const QString& name) const { return manifest_.value(name).toObject(); }
    // Opens the package `pkg`, a copy of the fixture `name`, with the right password.
    MyDocument& open(const QString& pkg, const QString& name)
    {
        ui_.passwords = {pw(name)};
        doc_ = std::make_unique<MyDocument>(ui_);
        const OpenResult r = doc_->openDatabase(pkg);
        EXPECT_TRUE(r.ok()) << r.message.toStdString();
        return *doc_;
    }
    std::unique_ptr<MyDocument> doc_;
};

} // namespace

TEST_F(Encrypted, EachPackageOpensWithItsPasswordAndShowsItsTree)
{
    for (const QString name : {"Encrypted.fvdb", "EncryptedNoMarker.fvdb", "EncryptedHostile.fvdb"}) {
        SCOPED_TRACE(name.toStdString());
        const QString pkg = copyOf(name);
        folivo::test::FakeUi ui;
        ui.passwords = {"wrong", pw(name).toUpper(), pw(name)};
        MyDocument doc(ui);
        const OpenResult r = doc.openDatabase(pkg);
        ASSERT_TRUE(r.ok()) << r.message.toStdString();
        EXPECT_TRUE(doc.dbEncrypted());
        EXPECT_EQ(ui.passwordSheets.size(), 1);
        EXPECT_EQ(ui.passwordErrorsShown, 2);
        EXPECT_EQ(preOrder(doc.tree()), manifestPaths(name));
        EXPECT_TRUE(ui.diskErrors.isEmpty());
        EXPECT_TRUE(doc.indexProblems().empty());
    }
}

TEST_F(Encrypted, WrongPasswordsOrCancelLeaveThePackageUntouched)
{
    const QString pkg = copyOf("Encrypted.fvdb");
    const auto before = folderSnapshot(pkg);
    folivo::test::FakeUi ui;
    ui.passwords = {"password", "pässwör", "pässwörd ", ""};
    MyDocument doc(ui);
    const OpenResult r = doc.openDatabase(pkg);
    EXPECT_EQ(r.status, OpenStatus::Cancelled);
    EXPECT_EQ(ui.passwordAttempts, 4);
    EXPECT_EQ(ui.passwordErrorsShown, 4);
    EXPECT_FALSE(doc.dbOpen());
    EXPECT_EQ(folderSnapshot(pkg), before);
}

TEST_F(Encrypted, MarkerIsWrittenOnlyAfterAnOpenWithTheRightKey)
{
    const QString name = "EncryptedNoMarker.fvdb";
    const QString pkg = copyOf(name);
    const QByteArray index = readAll(pkg + "/" + pkg::EncryptedIndex);

    // Find a wrong password whose key happens to give the index valid padding (about one
    // in 256): checking the padding alone would accept it and write a marker with it.
    QString lucky;
    for (int i = 0; i < 5000 && lucky.isEmpty(); ++i) {
        const QString candidate = QStringLiteral("wrong%1").arg(i);
        auto key = crypto::DatabaseKey::fromPassword(candidate);
        if (crypto::cryptData(key->decryptor(), index))
            lucky = candidate;
    }
    ASSERT_FALSE(lucky.isEmpty());
    {
        folivo::test::FakeUi ui;
        ui.passwords = {lucky};
        MyDocument doc(ui);
        EXPECT_EQ(doc.openDatabase(pkg).status, OpenStatus::Cancelled);
        EXPECT_FALSE(fs::exists(pkg + "/" + pkg::EncryptedMarkerStored));
    }
    {
        MyDocument& doc = open(pkg, name);
        ASSERT_TRUE(doc.dbOpen());
        doc_.reset();
    }
    // The marker now holds the known text under the right key, and settles later opens.
    auto key = crypto::DatabaseKey::fromPassword(pw(name));
    EXPECT_EQ(*crypto::cryptData(key->decryptor(), readAll(pkg + "/" + pkg::EncryptedMarkerStored)),
              pkg::EncryptedMarkerContent);
    EXPECT_EQ(readAll(pkg + "/" + pkg::EncryptedMarker), pkg::EncryptedMarkerContent);
    folivo::test::FakeUi ui;
    ui.passwords = {lucky, pw(name)};
    MyDocument doc(ui);
    EXPECT_TRUE(doc.openDatabase(pkg).ok());
    EXPECT_EQ(ui.passwordErrorsShown, 1);
}

TEST_F(Encrypted, ADamagedMarkerDoesNotLockTheOwnerOut)
{
    // A marker that cannot be read back refuses every key, the right one too; the index
    // then decides, and the marker is made good again by the open.
    const QString name = "Encrypted.fvdb";
    const QByteArray good = readAll(fixtures_->file(name) + "/" + pkg::EncryptedMarkerStored);
    ASSERT_EQ(good.size(), 16);
    const struct {
        const char* what;
        QByteArray marker;
    } cases[] = {
        {"emptied", QByteArray()},
        {"truncated", good.left(7)},
        {"random", QByteArray::fromHex("8f1c2a9b47d03e6e5a11c0ffee2b7d94")},
        {"longer", good + good},
    };
    auto key = crypto::DatabaseKey::fromPassword(pw(name));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString pkg = copyOf(name);
        QFile::remove(pkg + "/" + pkg::EncryptedMarkerStored);
        ASSERT_TRUE(writeAll(pkg + "/" + pkg::EncryptedMarkerStored, c.marker));
        {
            folivo::test::FakeUi ui;
            ui.passwords = {"wrong", pw(name)};
            MyDocument doc(ui);
            ASSERT_TRUE(doc.openDatabase(pkg).ok());
            EXPECT_EQ(ui.passwordErrorsShown, 1) << "a wrong password must still be refused";
            EXPECT_EQ(preOrder(doc.tree()), manifestPaths(name));
        }
        const auto plain = crypto::cryptData(key->decryptor(), readAll(pkg + "/" + pkg::EncryptedMarkerStored));
        ASSERT_TRUE(plain);
        EXPECT_EQ(*plain, pkg::EncryptedMarkerContent);
        ASSERT_TRUE(fs::deleteTree(pkg));
    }
}

TEST_F(Encrypted, ADamagedIndexBehindAGoodMarkerIsRebuiltNotALockOut)
{
    const QString name = "Encrypted.fvdb";
    const QString pkg = copyOf(name);
    QByteArray index = readAll(pkg + "/" + pkg::EncryptedIndex);
    index.chop(5);
    ASSERT_TRUE(writeAll(pkg + "/" + pkg::EncryptedIndex, index));
    MyDocument& doc = open(pkg, name);
    ASSERT_TRUE(doc.dbOpen());
    EXPECT_TRUE(doc.rebuiltAtOpen());
    EXPECT_EQ(preOrder(doc.tree()), manifestPaths(name));
}

TEST_F(Encrypted, MetadataIsWrittenEncipheredAndReadsBack)
{
    const QString name = "Encrypted.fvdb";
    const QString pkg = copyOf(name);
    {
        MyDocument& doc = open(pkg, name);
        ASSERT_TRUE(doc.dbOpen());
        IndexItem* bank = doc.tree().itemForPath("Bank");
        ASSERT_TRUE(bank);
        ASSERT_TRUE(doc.findOrCreateDateCategoryFor(bank, QDate(2023, 7, 4)));
        ASSERT_TRUE(doc.writeIndexArchive());
        ASSERT_TRUE(doc.changed());
        EXPECT_TRUE(plainLeftovers(pkg).isEmpty()) << plainLeftovers(pkg).join(", ").toStdString();
        // The new attributes files exist only enciphered.
        EXPECT_TRUE(fs::exists(pkg + "/Bank/.+2023.fvdbe"));
        EXPECT_TRUE(fs::exists(pkg + "/Bank/2023/.+July.fvdbe"));
    }
    // Opened again: the change marker makes it rebuild from the enciphered attributes files,
    // and the enciphered index written above also reads.
    for (bool removeChanged : {false, true}) {
        if (removeChanged)
            fs::removeFile(pkg + "/" + pkg::Changed);
        MyDocument& doc = open(pkg, name);
        ASSERT_TRUE(doc.dbOpen());
        EXPECT_EQ(doc.rebuiltAtOpen(), !removeChanged);
        EXPECT_TRUE(doc.tree().itemForPath("Bank/2023/July"));
        EXPECT_TRUE(doc.indexProblems().empty());
    }
    EXPECT_TRUE(plainLeftovers(pkg).isEmpty()) << plainLeftovers(pkg).join(", ").toStdString();
}

TEST_F(Encrypted, ItemsReadBackExactlyWithoutPlainCopiesInThePackage)
{
    for (const QString name : {"Encrypted.fvdb", "EncryptedNoMarker.fvdb"}) {
        SCOPED_TRACE(name.toStdString());
        const QString pkg = copyOf(name);
        MyDocument& doc = open(pkg, name);
        ASSERT_TRUE(doc.dbOpen());
        auto read = [&](const QString& path, const QString& inner) {
            QByteArray out;
            QString error;
            const bool ok = doc.readItemContent(path, inner, [&](const char* d, qsizetype n) {
                out.append(d, n);
                return true;
            }, &error);
            EXPECT_TRUE(ok) << path.toStdString() << " " << inner.toStdString() << ": " << error.toStdString();
            return out;
        };
        const QJsonObject contents = entry(name).value("contents").toObject();
        ASSERT_FALSE(contents.isEmpty());
        for (auto it = contents.begin(); it != contents.end(); ++it)
            EXPECT_EQ(read(it.key(), {}).toHex(), it.value().toString().toLatin1()) << it.key().toStdString();
        const QJsonObject bundles = entry(name).value("bundles").toObject();
        for (auto b = bundles.begin(); b != bundles.end(); ++b) {
            const QJsonObject inner = b.value().toObject();
            for (auto it = inner.begin(); it != inner.end(); ++it)
                EXPECT_EQ(read(b.key(), it.key()).toHex(), it.value().toString().toLatin1());
        }
        EXPECT_TRUE(plainLeftovers(pkg).isEmpty()) << plainLeftovers(pkg).join(", ").toStdString();
    }
}

TEST_F(Encrypted, PlainCopiesForReadersArePrivateReadOnlyAndGoAway)
{
    const QString name = "Encrypted.fvdb";
    const QString pkg = copyOf(name);
    MyDocument& doc = open(pkg, name);
    ASSERT_TRUE(doc.dbOpen());
    const QJsonObject contents = entry(name).value("contents").toObject();
    const QJsonObject bundles = entry(name).value("bundles").toObject();

    QString kept;
    {
        auto copy = doc.plainCopyForReading("Notes/Tom's café.txt");
        ASSERT_TRUE(copy && copy->valid());
        EXPECT_TRUE(copy->path().startsWith(doc.tempDir() + "/"));
        EXPECT_EQ(QFileInfo(copy->path()).fileName(), "Tom's café.txt");
        EXPECT_EQ(readAll(copy->path()).toHex(), contents.value("Notes/Tom's café.txt").toString().toLatin1());
        EXPECT_EQ(*fs::mode(copy->path()) & 0777, 0400u);
        kept = copy->path();
    }
    EXPECT_FALSE(fs::exists(kept));

    // Both container forms unpack into a folder of the item's name.
    for (const QString item : {"Notes/Report.rtfd", "Notes/Old.rtfd"}) {
        auto copy = doc.plainCopyForReading(item);
        ASSERT_TRUE(copy && copy->valid()) << item.toStdString();
        EXPECT_EQ(QFileInfo(copy->path()).fileName(), QFileInfo(item).fileName());
        const QJsonObject inner = bundles.value(item).toObject();
        for (auto it = inner.begin(); it != inner.end(); ++it)
            EXPECT_EQ(readAll(copy->path() + "/" + it.key()).toHex(), it.value().toString().toLatin1());
        kept = copy->path();
    }
    auto empty = doc.plainCopyForReading("Unfiled/empty.txt");
    ASSERT_TRUE(empty && empty->valid());
    EXPECT_EQ(QFileInfo(empty->path()).size(), 0);
    EXPECT_TRUE(plainLeftovers(pkg).isEmpty());
    const QString temp = doc.tempDir();
    doc.close();
    EXPECT_FALSE(fs::exists(temp));
}

TEST_F(Encrypted, StoredFormsRoundTripAndNeverLoseTheOldOne)
{
    const QString name = "Encrypted.fvdb";
    const QString pkg = copyOf(name);
    MyDocument& doc = open(pkg, name);
    ASSERT_TRUE(doc.dbOpen());

    // Files of 0 and 32 bytes: deciphered for good, then enciphered again.
    for (const QString path : {"Unfiled/empty.txt", "Unfiled/Block32.txt", "Notes/Report.rtfd", "Notes/Old.rtfd"}) {
        SCOPED_TRACE(path.toStdString());
        const QString abs = pkg + "/" + path;
        const QString storedBefore = doc.encryptedPath(path);
        ASSERT_NE(storedBefore, path);
        const StoreResult plain = doc.decryptFile(path, false);
        ASSERT_TRUE(plain.ok) << plain.error.toStdString();
        EXPECT_TRUE(fs::exists(abs));
        EXPECT_FALSE(fs::exists(pkg + "/" + storedBefore)); // gone only now that the plain item is there
        EXPECT_FALSE(fs::exists(abs + ".fvdbd"));
        EXPECT_EQ(folivo::test::temporaryNamesBelow(pkg), QStringList());
        EXPECT_EQ(doc.encryptedPath(path), path);

        const StoreResult stored = doc.encryptFile(path);
        ASSERT_TRUE(stored.ok) << stored.error.toStdString();
        const QString form = fs::isDirectory(abs) ? ".fvdbzre" : ".fvdbe";
        EXPECT_TRUE(fs::exists(abs + form));
        EXPECT_TRUE(fs::exists(abs)); // the caller deletes the plain item
        EXPECT_EQ(folivo::test::temporaryNamesBelow(pkg), QStringList());
        fs::ScopedWritable writable(QFileInfo(abs).path());
        ASSERT_TRUE(fs::deleteInside(pkg, *PackagePath::fromString(path)));
    }
    // Nothing to decipher is success and changes nothing.
    const StoreResult none = doc.decryptFile("Bank", true);
    EXPECT_TRUE(none.ok && none.nothingToDo);

    // A disk that refuses the final rename leaves the earlier stored form as it was.
    const QString letter = pkg + "/Bank/Letter.pdf.fvdbe";
    const QByteArray before = readAll(letter);
    ASSERT_TRUE(writeAll(pkg + "/Bank/Letter.pdf", "a newer plain copy"));
    {
        fs::ScopedFault fault([](fs::Op op, const QString& p) { return op == fs::Op::Rename && p.contains(".fvdbe"); });
        EXPECT_FALSE(doc.encryptFile("Bank/Letter.pdf").ok);
    }
    EXPECT_EQ(readAll(letter), before);
    EXPECT_EQ(folivo::test::temporaryNamesBelow(pkg), QStringList());
    fs::removeFile(pkg + "/Bank/Letter.pdf");

    // Deciphering for good with a refused move keeps the enciphered form and leaves no
    // half-made plain item.
    {
        fs::ScopedFault fault([](fs::Op op, const QString&) { return op == fs::Op::Rename; });
        EXPECT_FALSE(doc.decryptFile("Bank/Letter.pdf", false).ok);
    }
    EXPECT_EQ(readAll(letter), before);
    EXPECT_FALSE(fs::exists(pkg + "/Bank/Letter.pdf"));
    EXPECT_FALSE(fs::exists(pkg + "/Bank/Letter.pdf.fvdbd"));
    EXPECT_EQ(folivo::test::temporaryNamesBelow(pkg), QStringList());
}

TEST_F(Encrypted, AContainerStoredUnderAnOldNameUnpacksUnderTheNewOne)
{
    const QString name = "Encrypted.fvdb";
    const QString pkg = copyOf(name);
    MyDocument& doc = open(pkg, name);
    ASSERT_TRUE(doc.dbOpen());
    {
        fs::ScopedWritable w(pkg + "/Notes");
        ASSERT_TRUE(fs::rename(pkg + "/Notes/Report.rtfd.fvdbzre", pkg + "/Notes/Renamed.rtfd.fvdbzre"));
    }
    auto copy = doc.plainCopyForReading("Notes/Renamed.rtfd");
    ASSERT_TRUE(copy && copy->valid());
    EXPECT_EQ(QFileInfo(copy->path()).fileName(), "Renamed.rtfd");
    EXPECT_TRUE(QFileInfo(copy->path() + "/TXT.rtf").isFile());
}

TEST_F(Encrypted, AHostileContainerIsRefusedAndWritesNothingOutside)
{
    const QString name = "EncryptedHostile.fvdb";
    const QString pkg = copyOf(name);
    MyDocument& doc = open(pkg, name);
    ASSERT_TRUE(doc.dbOpen());
    const QString outside = QFileInfo(pkg).path();
    const QStringList around = QDir(outside).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);

    QString error;
    EXPECT_FALSE(doc.plainCopyForReading("Unfiled/Evil.rtfd", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(doc.decryptFile("Unfiled/Evil.rtfd", false).ok);
    EXPECT_TRUE(fs::exists(pkg + "/Unfiled/Evil.rtfd.fvdbzre"));
    EXPECT_FALSE(fs::exists(pkg + "/Unfiled/Evil.rtfd"));
    EXPECT_FALSE(fs::exists(pkg + "/Unfiled/Evil.rtfd.fvdbd"));
    EXPECT_FALSE(fs::exists("/tmp/folivo-abs-escape.txt"));
    EXPECT_FALSE(fs::exists(pkg + "/escaped.txt"));
    EXPECT_FALSE(fs::exists(pkg + "/Unfiled/escaped.txt"));
    EXPECT_EQ(QDir(outside).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), around);
    EXPECT_TRUE(QDir(doc.tempDir()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    // The rest of the database still reads.
    EXPECT_TRUE(doc.plainCopyForReading("Unfiled/fine.txt"));
}

TEST(EncryptedBackupWarning, OnlyWhileBackupsAreNotSetUp)
{
    struct Case {
        bool writable, warned, preference, folderGood, expected;
    };
    const Case cases[] = {
        {true, false, false, false, true},  {true, false, true, false, true}, {true, false, false, true, true},
        {true, false, true, true, false},   {true, true, false, false, false}, {false, false, false, false, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MyDocument::backupWarningNeeded(c.writable, c.warned, c.preference, c.folderGood), c.expected)
            << c.writable << c.warned << c.preference << c.folderGood;
}

TEST_F(Encrypted, BackupWarningIsGivenOncePerDatabase)
{
    const QString name = "Encrypted.fvdb";
    const QString pkg = copyOf(name);
    MyDocument& doc = open(pkg, name);
    ASSERT_TRUE(doc.dbOpen());
    EXPECT_TRUE(doc.needsBackupWarning(false, false));
    EXPECT_FALSE(doc.needsBackupWarning(true, true));
    ASSERT_TRUE(doc.markWarnedAboutBackup());
    EXPECT_EQ(readAll(pkg + "/" + pkg::WarnedAboutBackup), QByteArray("Warned"));
    EXPECT_FALSE(doc.needsBackupWarning(false, false));
}

TEST_F(Encrypted, EveryReaderLooksForTheStoredFormsInOneOrder)
{
    // Normally an item has one stored form. When a crash leaves two, the path helpers, the
    // readers and deciphering for good must agree on which one is the item.
    const QString name = "Encrypted.fvdb";
    const QString pkg = copyOf(name);
    MyDocument& doc = open(pkg, name);
    ASSERT_TRUE(doc.dbOpen());
    const QString path = "Notes/Tom's café.txt";
    {
        fs::ScopedWritable w(pkg + "/Notes");
        ASSERT_TRUE(fs::copyTree(pkg + "/Notes/Old.rtfd.fvdbze", pkg + "/" + path + ".fvdbze"));
    }
    const QByteArray expected =
        QByteArray::fromHex(entry(name).value("contents").toObject().value(path).toString().toLatin1());
    EXPECT_EQ(doc.encryptedPath(path), path + ".fvdbe");
    EXPECT_EQ(doc.pathOrEncryptedPath(path), std::optional<QString>(path + ".fvdbe"));
    auto copy = doc.plainCopyForReading(path);
    ASSERT_TRUE(copy && copy->valid());
    EXPECT_EQ(readAll(copy->path()), expected);
    ASSERT_TRUE(doc.decryptFile(path, false).ok);
    EXPECT_EQ(readAll(pkg + "/" + path), expected);
    EXPECT_TRUE(fs::exists(pkg + "/" + path + ".fvdbze"));
}

TEST_F(Encrypted, AReadOnlyPackageOpensWithoutAMarkerAndStillReads)
{
    const QString name = "EncryptedNoMarker.fvdb";
    const QString pkg = copyOf(name);
    const auto before = folderSnapshot(pkg);
    // The package's own folder says it cannot be written, as on a read-only volume.
    fs::ScopedFault readOnly([pkg](fs::Op op, const QString& p) { return op == fs::Op::Write && p == pkg; });
    MyDocument& doc = open(pkg, name);
    ASSERT_TRUE(doc.dbOpen());
    EXPECT_FALSE(doc.dbWriteable());
    EXPECT_FALSE(doc.needsBackupWarning(false, false));
    EXPECT_EQ(preOrder(doc.tree()), manifestPaths(name));
    const QJsonObject contents = entry(name).value("contents").toObject();
    for (auto it = contents.begin(); it != contents.end(); ++it) {
        auto copy = doc.plainCopyForReading(it.key());
        ASSERT_TRUE(copy && copy->valid());
        EXPECT_EQ(readAll(copy->path()).toHex(), it.value().toString().toLatin1());
    }
    EXPECT_FALSE(doc.decryptFile(contents.begin().key(), false).ok);
    EXPECT_FALSE(doc.encryptFile(contents.begin().key()).ok);
    doc.close();
    EXPECT_EQ(folderSnapshot(pkg), before);
}

TEST_F(Encrypted, CryptForCopyTakesAWholeFolderEitherWay)
{
    const QString name = "Encrypted.fvdb";
    const QString pkg = copyOf(name);
    MyDocument& doc = open(pkg, name);
    const IndexItem* notes = doc.tree().itemForPath("Notes");
    ASSERT_TRUE(notes);
    const QStringList items = {"Notes/Report.rtfd", "Notes/Old.rtfd", "Notes/Tom's café.txt"};

    ASSERT_TRUE(doc.cryptForCopy(notes, false));
    for (const QString& item : items) {
        EXPECT_TRUE(fs::exists(pkg + "/" + item)) << item.toStdString();
        EXPECT_EQ(doc.encryptedPath(item), item) << "no stored form left";
    }
    EXPECT_FALSE(fs::exists(pkg + "/Notes.fvdbe")) << "the folder itself is never enciphered";

    ASSERT_TRUE(doc.cryptForCopy(notes, true));
    for (const QString& item : items) {
        const QString stored = doc.encryptedPath(item);
        EXPECT_NE(stored, item);
        // What was stored reads back as the plain item it came from.
        auto copy = doc.plainCopyForReading(item);
        ASSERT_TRUE(copy && copy->valid());
        if (QFileInfo(copy->path()).isDir())
            EXPECT_EQ(readAll(copy->path() + "/TXT.rtf"), readAll(pkg + "/" + item + "/TXT.rtf"));
        else
            EXPECT_EQ(readAll(copy->path()), readAll(pkg + "/" + item));
    }
}

TEST_F(Encrypted, ARebuildFindsAttributesThatACrashLeftInAnotherForm)
{
    // A crash while an attributes file was replaced leaves the old enciphered copy as
    // ".fvdbe.old", or (in older versions) the new one still plain beside a damaged ".fvdbe".
    const QString name = "Encrypted.fvdb";
    const QString pkg = copyOf(name);
    QByteArray plainLetter;
    {
        MyDocument& doc = open(pkg, name);
        auto plain = doc.cipher()->decipher(readAll(pkg + "/Bank/.+Letter.pdf.fvdbe"));
        ASSERT_TRUE(plain);
        plainLetter = *plain;
        doc.close();
    }
    {
        fs::ScopedWritable w(pkg + "/Bank");
        ASSERT_TRUE(writeAll(pkg + "/Bank/.+Letter.pdf", plainLetter));
        ASSERT_TRUE(writeAll(pkg + "/Bank/.+Letter.pdf.fvdbe", "damaged"));
        ASSERT_TRUE(fs::rename(pkg + "/.+Notes.fvdbe", pkg + "/.+Notes.fvdbe.old"));
    }
    ASSERT_TRUE(fs::createMarker(pkg + "/" + pkg::Changed, pkg::MarkerMode));
    MyDocument& doc = open(pkg, name);
    EXPECT_TRUE(doc.rebuiltAtOpen());
    EXPECT_TRUE(doc.indexProblems().empty());
    EXPECT_EQ(preOrder(doc.tree()), manifestPaths(name));
    // Written again, the plain copy goes and only the enciphered form stays.
    ASSERT_TRUE(doc.writeAttributesFileForItem(doc.tree().itemForPath("Bank/Letter.pdf")));
    EXPECT_FALSE(fs::exists(pkg + "/Bank/.+Letter.pdf"));
    EXPECT_TRUE(fs::exists(pkg + "/Bank/.+Letter.pdf.fvdbe"));
}
