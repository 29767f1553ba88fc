// The consistency check at open: what it reports, what it repairs by itself, and that
// deleting and recovering never lose a file the person may still need. Every fault is
// staged after the database opened, so the tests do not depend on whether the open runs
// the check itself.

#include "crypto/cipher.h"
#include "prefs/ktprefs.h"
#include "store/keys.h"
#include "store/messages.h"
#include "store/mydocument.h"
#include "store/repair.h"
#include "support/packagefixtures.h"
#include "util/fs.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>
#include <unistd.h>

using namespace folivo;
using folivo::test::Fixtures;
using folivo::test::folderSnapshot;
using folivo::test::readAll;
using folivo::test::writeAll;

namespace {


class Repair : public Fixtures {
protected:
    // A private copy of the fixture `name`; each `round` of a table gets its own.
    QString fresh(const QString& name, int round = 0)
    {
        const QString to = scratch_.file(QString::number(round) + "/" + name);
        EXPECT_TRUE(QDir().mkpath(QFileInfo(to).path()));
        EXPECT_TRUE(fs::copyTree(fixtures_->file(name), to)) << fs::lastError().toStdString();
        return to;
    }
    MyDocument& open(const QString& name, int round = 0)
    {
        pkg_ = fresh(name, round);
        const QString password = manifest_.value(name).toObject().value("password").toString();
        if (!password.isEmpty())
            ui_.passwords = {password};
        doc_ = std::make_unique<MyDocument>(ui_);
        const OpenResult r = doc_->openDatabase(pkg_);
        EXPECT_TRUE(r.ok()) << r.message.toStdString();
        ui_.asked.clear();
        ui_.progressTitles.clear();
        return *doc_;
    }
    // Writes a file into the package as something outside the program would.
    void put(const QString& rel, const QByteArray& data = "stray\n")
    {
        const QString abs = pkg_ + '/' + rel;
        fs::makeDirectories(QFileInfo(abs).path(), 0755);
        fs::ScopedWritable w(QFileInfo(abs).path());
        ASSERT_TRUE(writeAll(abs, data)) << rel.toStdString();
    }
    void removeFromDisk(const QString& rel)
    {
        const auto pp = PackagePath::fromString(rel);
        ASSERT_TRUE(pp);
        fs::ScopedWritable w(QFileInfo(pkg_ + '/' + rel).path());
        ASSERT_TRUE(fs::deleteInside(pkg_, *pp));
        ASSERT_FALSE(fs::exists(pkg_ + '/' + rel));
    }
    bool onDisk(const QString& rel) const { return fs::exists(pkg_ + '/' + rel); }
    const Prompt* report() const
    {
        for (const Prompt& p : ui_.asked)
            if (p.id == msg::RepairReportPrompt)
                return &p;
        return nullptr;
    }

    QString pkg_;
    std::unique_ptr<MyDocument> doc_;
};

} // namespace

TEST_F(Repair, ConsistentPackagesGiveNoReportAndFindReminders)
{
    for (const QString name : {"Household.fvdb", "Encrypted.fvdb"}) {
        SCOPED_TRACE(name.toStdString());
        MyDocument& doc = open(name);
        const auto before = folderSnapshot(pkg_);
        const ConsistencyReport r = checkConsistency(doc);
        EXPECT_TRUE(r.itemsWithoutFiles.isEmpty()) << r.itemsWithoutFiles.join(", ").toStdString();
        EXPECT_TRUE(r.extraEntries.isEmpty()) << r.extraEntries.join(", ").toStdString();
        EXPECT_FALSE(doc.repairDBandFindReminders());
        EXPECT_TRUE(ui_.asked.isEmpty());
        EXPECT_EQ(folderSnapshot(pkg_), before);
        if (name == "Household.fvdb") {
            EXPECT_EQ(doc.remindersFound(), QStringList{"Bank"});
        }
    }
}

TEST_F(Repair, AnItemWhoseFileIsGoneIsListedAndOkRemovesIt)
{
    MyDocument& doc = open("Household.fvdb");
    removeFromDisk("Bank/Welcome Letter.pdf");
    removeFromDisk("Bank/Visa/2024"); // a folder with its month folder and statement
    EXPECT_TRUE(doc.repairDBandFindReminders());

    const Prompt* p = report();
    ASSERT_TRUE(p);
    EXPECT_EQ(p->buttons, QStringList{msg::OK});
    const QRegularExpression header(
        R"(^\d{1,2}-\d\d-\d{4} \d{1,2}:\d\d (AM|PM): Your database has some internal inconsistancies, which likely )"
        R"(occurred because Folivo was force-quit, crashed, or the system froze during a disk operation\.\r\r)");
    EXPECT_TRUE(header.match(p->text).hasMatch()) << p->text.toStdString();
    const QString body = p->text.mid(p->text.indexOf("\r\r") + 2);
    EXPECT_EQ(body, msg::RepairMissingWritable
                        + "Bank/Welcome Letter.pdf\rBank/Visa/2024\rBank/Visa/2024/January\r"
                          "Bank/Visa/2024/January/Statement.pdf\r\r\r");

    // Removed through recorded deletes: gone from the tree with their attributes files.
    for (const QString path : {"Bank/Welcome Letter.pdf", "Bank/Visa/2024", "Bank/Visa/2024/January/Statement.pdf"})
        EXPECT_FALSE(doc.tree().itemForPath(path)) << path.toStdString();
    EXPECT_FALSE(onDisk("Bank/.+Welcome Letter.pdf"));
    EXPECT_TRUE(doc.tree().itemForPath("Bank/Visa/2023"));
    EXPECT_TRUE(onDisk(pkg::Changed));
    EXPECT_FALSE(doc.repairDBandFindReminders()) << "consistent afterwards";
}

TEST_F(Repair, RecoverCopiesExtraFilesOutAndOnlyThenDeletesThem)
{
    MyDocument& doc = open("Household.fvdb");
    put("Stray.txt", "top level\n");
    put("Bank/Stray.txt", "in Bank\n");
    put("Loose/Deep/Note.txt", "in a folder without item\n");
    removeFromDisk("Unfiled/Note.txt");
    const QString folder = scratch_.file("Recovered");
    ui_.recoveryFolder = folder;
    EXPECT_TRUE(doc.repairDBandFindReminders());

    const Prompt* p = report();
    ASSERT_TRUE(p);
    EXPECT_EQ(p->buttons, (QStringList{msg::Recover, msg::Delete}));
    EXPECT_TRUE(p->text.endsWith(msg::RepairMissingWritable + "Unfiled/Note.txt\r\r\r" + msg::RepairExtraWritable
                                 + "Bank/Stray.txt\rLoose/Deep/Note.txt\rStray.txt\r"))
        << p->text.toStdString();
    ASSERT_EQ(ui_.recoveryFolderProposals.size(), 1);
    EXPECT_TRUE(QRegularExpression(R"(^Recovered Files \(\d{1,2}-\d\d-\d{4}\)$)")
                    .match(ui_.recoveryFolderProposals[0])
                    .hasMatch())
        << ui_.recoveryFolderProposals[0].toStdString();

    // Same names from different folders do not overwrite each other.
    EXPECT_EQ(readAll(folder + "/Stray.txt") + readAll(folder + "/Stray2.txt"), "in Bank\ntop level\n");
    EXPECT_EQ(readAll(folder + "/Note.txt"), "in a folder without item\n");
    for (const QString rel : {"Stray.txt", "Bank/Stray.txt", "Loose"})
        EXPECT_FALSE(onDisk(rel)) << rel.toStdString();
    EXPECT_FALSE(doc.tree().itemForPath("Unfiled/Note.txt"));
    EXPECT_TRUE(ui_.progressTitles.contains(msg::RecoveringFiles));
    EXPECT_TRUE(ui_.progressTitles.contains(msg::DeletingFiles));
}

TEST_F(Repair, RecoveryThatCannotStartDeletesNothing)
{
    struct Case {
        const char* what;
        std::function<std::optional<QString>(const QString& pkg, const QString& scratch)> folder;
        bool alert;
    };
    const Case cases[] = {
        {"cancelled", [](const QString&, const QString&) { return std::nullopt; }, false},
        {"exists", [](const QString&, const QString& s) { return s + "/Existing"; }, true},
        {"inside the package", [](const QString& p, const QString&) { return p + "/Bank/Recovered"; }, true},
        {"inside through a link", [](const QString&, const QString& s) { return s + "/ToPkg/Recovered"; }, true},
        {"relative", [](const QString&, const QString&) { return QString("Recovered"); }, true},
        {"missing parent", [](const QString&, const QString& s) { return s + "/no/such/Recovered"; }, true},
    };
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ui_ = {};
        MyDocument& doc = open("Household.fvdb", ++round);
        ASSERT_TRUE(QDir().mkpath(scratch_.file("Existing")));
        ASSERT_TRUE(writeAll(scratch_.file("Existing/keep.txt"), "mine\n"));
        QFile::remove(scratch_.file("ToPkg"));
        ASSERT_TRUE(QFile::link(pkg_, scratch_.file("ToPkg")));
        put("Stray.txt");
        removeFromDisk("Unfiled/Note.txt");
        const auto before = folderSnapshot(pkg_);
        ui_.recoveryFolder = c.folder(pkg_, scratch_.path());

        EXPECT_TRUE(doc.repairDBandFindReminders());
        EXPECT_EQ(folderSnapshot(pkg_), before);
        EXPECT_TRUE(doc.tree().itemForPath("Unfiled/Note.txt"));
        EXPECT_EQ(ui_.titles().contains(msg::RecoverFolderFailedTitle), c.alert);
        EXPECT_EQ(folderSnapshot(scratch_.file("Existing")).value("keep.txt"), "mine\n");
        EXPECT_FALSE(fs::exists(scratch_.file("Recovered")));
        doc_.reset();
    }
}

TEST_F(Repair, ClosingTheReportWithoutAChoiceDeletesNothing)
{
    MyDocument& doc = open("Household.fvdb");
    put("Stray.txt");
    const auto before = folderSnapshot(pkg_);
    ui_.closeRepairReport = true;
    EXPECT_TRUE(doc.repairDBandFindReminders());
    EXPECT_EQ(folderSnapshot(pkg_), before);
    EXPECT_TRUE(ui_.recoveryFolderProposals.isEmpty());
}

TEST_F(Repair, AFileThatCouldNotBeCopiedStaysWithTheFolderHoldingIt)
{
    MyDocument& doc = open("Household.fvdb");
    put("Loose/a.txt", "cannot be copied\n");
    put("Loose/b.txt", "copied\n");
    const QString folder = scratch_.file("Recovered");
    ui_.recoveryFolder = folder;
    {
        fs::ScopedFault full([folder](fs::Op op, const QString& p) { return op == fs::Op::Write && p == folder + "/a.txt"; });
        EXPECT_TRUE(doc.repairDBandFindReminders());
    }
    ASSERT_TRUE(ui_.titles().contains(msg::CannotRecoverTitle));
    for (const Prompt& p : ui_.asked) {
        if (p.title == msg::CannotRecoverTitle) {
            EXPECT_EQ(p.text, msg::CannotRecoverText.arg(pkg_ + "/Loose/a.txt"));
        }
    }
    EXPECT_EQ(readAll(pkg_ + "/Loose/a.txt"), "cannot be copied\n");
    EXPECT_FALSE(onDisk("Loose/b.txt"));
    EXPECT_EQ(readAll(folder + "/b.txt"), "copied\n");
    EXPECT_FALSE(fs::exists(folder + "/a.txt"));
}

TEST_F(Repair, InventoryListsDocumentsOnceAndSkipsHiddenNames)
{
    MyDocument& doc = open("Household.fvdb");
    put(".hidden");
    put("Unfiled/.+Gone.txt"); // attributes file of an item deleted long ago
    put(".Trash/inside.txt");
    put("Icon\r");
    put("Unfiled/Doc.rtfd/TXT.rtf");
    put("Unfiled/Doc.rtfd/img.png");
    put("Unfiled/Doc.rtfd.pdf"); // beside the bundle, not inside it
    put("Unfiled/Sheet.NUMBERS/Index.xml");
    put("Unfiled/Copy.fvdbd/x.txt");
    ASSERT_TRUE(fs::makeDirectory(pkg_ + "/Unfiled/Empty", 0755));
    // A folder item named like a document bundle is still a folder: its children are found.
    ASSERT_EQ(doc.recordNewCategory("Letters.rtfd", nullptr, -1).status, OperationResult::Status::Done);
    ASSERT_EQ(doc.recordNewCategory("Letters.rtfd/Inner", doc.tree().itemForPath("Letters.rtfd"), -1).status,
              OperationResult::Status::Done);
    // An item under a hidden name (an older version let such names in) is found by its
    // file, though the listing leaves hidden names out: reported missing, its file would go.
    doc.tree().insert(doc.tree().itemForPath("Unfiled"),
                      std::make_unique<IndexItem>(plist::Dict{{keys::Path, QString("Unfiled/.profile")}}, false));
    put("Unfiled/.profile");
    // A file item that is a folder on disk is one entry.
    ASSERT_TRUE(QDir().rename(pkg_ + "/Unfiled/Note.txt", pkg_ + "/Unfiled/tmp"));
    put("Unfiled/Note.txt/part");

    const ConsistencyReport r = checkConsistency(doc);
    EXPECT_TRUE(r.itemsWithoutFiles.isEmpty()) << r.itemsWithoutFiles.join(", ").toStdString();
    EXPECT_EQ(r.filesToRecover, (QStringList{"Unfiled/Copy.fvdbd", "Unfiled/Doc.rtfd", "Unfiled/Doc.rtfd.pdf",
                                              "Unfiled/Sheet.NUMBERS", "Unfiled/tmp"}));
    EXPECT_TRUE(r.extraEntries.contains("Unfiled/Empty")) << "deleted with the rest, but not listed";
    EXPECT_FALSE(r.text.contains("Empty"));
}

TEST_F(Repair, DeletingNeverFollowsALinkOutOfThePackage)
{
    MyDocument& doc = open("Household.fvdb");
    const QString outside = scratch_.file("outside");
    ASSERT_TRUE(QDir().mkpath(outside));
    ASSERT_TRUE(writeAll(outside + "/secret.txt", "not yours\n"));
    {
        fs::ScopedWritable w(pkg_ + "/Bank");
        ASSERT_EQ(::symlink(QFile::encodeName(outside).constData(), QFile::encodeName(pkg_ + "/Bank/Out").constData()), 0);
        ASSERT_EQ(::symlink(QFile::encodeName(outside + "/secret.txt").constData(),
                            QFile::encodeName(pkg_ + "/Bank/OutFile").constData()),
                  0);
    }
    const ConsistencyReport r = checkConsistency(doc);
    EXPECT_EQ(r.filesToRecover, (QStringList{"Bank/Out", "Bank/OutFile"})) << "listed as links, never entered";

    ui_.repairChoice = RepairChoice::Delete;
    EXPECT_TRUE(doc.repairDBandFindReminders());
    EXPECT_FALSE(QFileInfo(pkg_ + "/Bank/Out").isSymLink());
    EXPECT_FALSE(QFileInfo(pkg_ + "/Bank/OutFile").isSymLink());
    EXPECT_EQ(readAll(outside + "/secret.txt"), "not yours\n");
}

TEST_F(Repair, AReadOnlyPackageAsksYesOrNoAndNoDeletesNothing)
{
    int round = 0;
    for (const QString& answer : {msg::No, msg::Yes}) {
        SCOPED_TRACE(answer.toStdString());
        const RepairChoice choice = answer == msg::Yes ? RepairChoice::Recover : RepairChoice::Delete;
        ui_ = {};
        pkg_ = fresh("Household.fvdb", ++round);
        removeFromDisk("Unfiled/Note.txt");
        put("Stray.txt", "stray\n");
        const auto before = folderSnapshot(pkg_);
        const QString pkg = pkg_;
        fs::ScopedFault readOnly([pkg](fs::Op op, const QString& p) { return op == fs::Op::Write && p == pkg; });
        MyDocument doc(ui_);
        ASSERT_TRUE(doc.openDatabase(pkg_).ok());
        ASSERT_FALSE(doc.dbWriteable());
        const QString folder = scratch_.file("Recovered " + answer);
        ui_.recoveryFolder = folder;
        ui_.repairChoice = choice;
        ui_.asked.clear();

        EXPECT_TRUE(doc.repairDBandFindReminders());
        const Prompt* p = report();
        ASSERT_TRUE(p);
        EXPECT_EQ(p->buttons, (QStringList{msg::Yes, msg::No}));
        EXPECT_TRUE(p->text.contains(msg::RepairMissingReadOnly + "Unfiled/Note.txt\r"));
        EXPECT_TRUE(p->text.endsWith(msg::RepairExtraReadOnly + "Stray.txt\r"));
        EXPECT_EQ(folderSnapshot(pkg_), before);
        EXPECT_TRUE(doc.tree().itemForPath("Unfiled/Note.txt"));
        EXPECT_EQ(readAll(folder + "/Stray.txt"), answer == msg::Yes ? QByteArray("stray\n") : QByteArray());
    }
}

TEST_F(Repair, UnfiledMissingOnDiskIsMadeAgainNotRemoved)
{
    MyDocument& doc = open("Household.fvdb");
    removeFromDisk("Unfiled");
    EXPECT_TRUE(doc.repairDBandFindReminders());
    const Prompt* p = report();
    ASSERT_TRUE(p);
    EXPECT_TRUE(p->text.contains("\rUnfiled/Note.txt\r"));
    EXPECT_FALSE(p->text.contains("\rUnfiled\r"));
    EXPECT_TRUE(fs::isDirectory(pkg_ + "/Unfiled"));
    EXPECT_TRUE(doc.tree().itemForPath("Unfiled"));
    EXPECT_FALSE(doc.tree().itemForPath("Unfiled/Note.txt"));
}

TEST_F(Repair, EncryptedPlainCopiesGoAndPlainOnlyItemsAreEnciphered)
{
    MyDocument& doc = open("Encrypted.fvdb");
    const QString leftover = "Unfiled/Block32.txt";
    {
        // A plain copy with the stored content, as an older version left it.
        auto copy = doc.plainCopyForReading(leftover);
        ASSERT_TRUE(copy && copy->valid());
        put(leftover, readAll(copy->path()));
    }
    // One whose content differs may hold the owner's edits: reported, not deleted.
    const QString edited = "Bank/Letter.pdf";
    put(edited, "edited outside, never enciphered");
    const QString adopted = "Notes/Tom's café.txt";
    const QByteArray content = [&] {
        auto copy = doc.plainCopyForReading(adopted);
        return copy ? readAll(copy->path()) : QByteArray();
    }();
    ASSERT_FALSE(content.isEmpty());
    ASSERT_TRUE(doc.decryptFile(adopted, false).ok); // only the plain file is left
    ASSERT_FALSE(onDisk(adopted + ".fvdbe"));

    const ConsistencyReport r = checkConsistency(doc);
    EXPECT_EQ(r.plainCopies, QStringList{leftover});
    EXPECT_EQ(r.plainOnlyItems, QStringList{adopted});
    EXPECT_EQ(r.filesToRecover, QStringList{edited});
    ui_.repairChoice = RepairChoice::Delete;
    EXPECT_TRUE(doc.repairDBandFindReminders());

    EXPECT_FALSE(onDisk(leftover));
    EXPECT_TRUE(onDisk(leftover + ".fvdbe"));
    // "Delete" took the differing plain copy only; the item and its stored form stay.
    EXPECT_FALSE(onDisk(edited));
    EXPECT_TRUE(onDisk(edited + ".fvdbe"));
    EXPECT_TRUE(doc.tree().itemForPath(edited));
    EXPECT_FALSE(onDisk(adopted));
    EXPECT_TRUE(onDisk(adopted + ".fvdbe"));
    auto copy = doc.plainCopyForReading(adopted);
    ASSERT_TRUE(copy && copy->valid());
    EXPECT_EQ(readAll(copy->path()), content);
}

TEST_F(Repair, StoredFilesAreDecipheredForRecoveryOrCopiedAsStoredAndKept)
{
    // A.txt was enciphered with a password the person remembers, B.txt with one they do not.
    auto enciphered = [](const QString& password, const QByteArray& plain) {
        auto key = crypto::DatabaseKey::fromPassword(password);
        return *crypto::cryptData(key->encryptor(), plain);
    };
    const QByteArray a = enciphered("earlier", "remembered\n");
    const QByteArray b = enciphered("forgotten", "lost\n");
    for (const QString name : {"Encrypted.fvdb", "Household.fvdb"}) {
        SCOPED_TRACE(name.toStdString());
        ui_ = {};
        MyDocument& doc = open(name);
        put("Unfiled/A.txt.fvdbe", a);
        put("Unfiled/B.txt.fvdbe", b);
        put("Unfiled/B.txt", "plain beside a stored form that cannot be read\n");
        const QString folder = scratch_.file("Recovered " + name);
        ui_.recoveryFolder = folder;
        ui_.recoveryPasswords = {"earlier", "wrong"};

        EXPECT_TRUE(doc.repairDBandFindReminders());
        const Prompt* p = report();
        ASSERT_TRUE(p);
        EXPECT_TRUE(p->text.endsWith(msg::RepairExtraWritable + "Unfiled/A.txt\rUnfiled/B.txt\r")) << p->text.toStdString();
        const QString other = doc.dbEncrypted() ? msg::RecoverPasswordDifferent : QString();
        EXPECT_EQ(ui_.recoveryPrompts, (QStringList{msg::RecoverPassword.arg("A.txt", other),
                                                    msg::RecoverPassword.arg("B.txt", other),
                                                    msg::RecoverPassword.arg("B.txt", other)}));

        EXPECT_EQ(readAll(folder + "/A.txt"), "remembered\n");
        EXPECT_FALSE(onDisk("Unfiled/A.txt.fvdbe"));
        // Not deciphered: copied as it is stored, and the package keeps it.
        EXPECT_EQ(readAll(folder + "/B.txt.fvdbe"), b);
        EXPECT_EQ(readAll(pkg_ + "/Unfiled/B.txt.fvdbe"), b);
        // The plain file beside it may be all there is of it: recovered too.
        EXPECT_EQ(readAll(folder + "/B.txt"), "plain beside a stored form that cannot be read\n");
        EXPECT_FALSE(onDisk("Unfiled/B.txt"));
        EXPECT_TRUE(QDir(doc.tempDir()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty())
            << "no deciphered copy left behind";
        doc_.reset();
    }
}

TEST_F(Repair, TheOneTimeNoticeIsShownOnce)
{
    const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", scratch_.file("config").toUtf8());
    KTPrefs prefs("org.folivo.repairtest");
    qputenv("XDG_CONFIG_HOME", previous);
    MyDocument& doc = open("Household.fvdb");
    doc.setApplicationPreferences(&prefs);
    EXPECT_FALSE(doc.repairDBandFindReminders());
    EXPECT_EQ(ui_.titles(), QStringList{msg::OpenCheckNoticeTitle});
    EXPECT_TRUE(prefs.boolForKey("NotifyOpenIndexCheck"));
    EXPECT_TRUE(QFile::exists(prefs.prefsPath()));
    ui_.asked.clear();
    EXPECT_FALSE(doc.repairDBandFindReminders());
    EXPECT_TRUE(ui_.asked.isEmpty());
}

TEST_F(Repair, PathsFromAHostileIndexNeverReachOutsideThePackage)
{
    MyDocument& doc = open("Corrupt.fvdb");
    const QString outside = QFileInfo(pkg_).path() + "/outside";
    ASSERT_TRUE(writeAll(outside, "beside the package\n"));
    // Items with paths no loader lets in, as a careless caller could still insert them.
    for (const QString bad : {"../outside", "/etc/hostname", "A/../../outside"})
        doc.tree().insert(nullptr, std::make_unique<IndexItem>(plist::Dict{{keys::Path, bad}}, false));

    const ConsistencyReport r = checkConsistency(doc);
    for (const QString& p : r.itemsWithoutFiles + r.extraEntries)
        EXPECT_TRUE(PackagePath::fromString(p).has_value()) << p.toStdString();
    ui_.repairChoice = RepairChoice::Delete;
    doc.repairDBandFindReminders();
    EXPECT_EQ(readAll(outside), "beside the package\n");
    EXPECT_TRUE(doc.tree().itemForPath("A/B/f.txt"));
}
