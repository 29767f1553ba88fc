// Saving an open database, closing it, and the numbered backup copies, against copies of
// the fixture packages.

#include "crypto/cipher.h"
#include "plist/keyedarchive.h"
#include "prefs/ktprefs.h"
#include "store/keys.h"
#include "store/messages.h"
#include "store/mydocument.h"
#include "support/packagefixtures.h"
#include "util/debuglog.h"
#include "util/fs.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace folivo;
using folivo::test::ScopedEnv;
using folivo::test::FakeUi;
using folivo::test::Fixtures;
using folivo::test::folderSnapshot;
using folivo::test::readAll;
using folivo::test::writeAll;

namespace {


plist::Value treeValue(const IndexTree& tree)
{
    plist::Array top;
    for (const auto& item : tree.categoriesArray())
        top.push_back(item->toValue());
    return top;
}

class SaveTest : public Fixtures {
protected:
    SaveTest() : config_("XDG_CONFIG_HOME", scratch_.file("config").toLocal8Bit()) {}

    std::unique_ptr<MyDocument> open(const QString& pkg, FakeUi& ui)
    {
        auto doc = std::make_unique<MyDocument>(ui);
        const OpenResult r = doc->openDatabase(pkg);
        EXPECT_TRUE(r.ok()) << r.message.toStdString();
        doc->setApplicationPreferences(&prefs_);
        return doc;
    }
    // Gives an item a new note the way an operation does: attributes file, then the marker.
    static void editNote(MyDocument& doc, const QString& path, const QString& note)
    {
        IndexItem* item = doc.tree().itemForPath(path);
        ASSERT_TRUE(item) << path.toStdString();
        item->setValue(keys::Notes, note);
        ASSERT_TRUE(doc.writeAttributesFileForItem(item));
        ASSERT_TRUE(doc.changed());
    }

    ScopedEnv config_;
    KTPrefs prefs_{QStringLiteral("org.folivo.savetest")};
};

} // namespace

TEST_F(SaveTest, SaveWritesTheIndexDropsTheMarkerAndASecondSaveDoesNothing)
{
    const QString pkg = copyOf("Household.fvdb");
    auto doc = open(pkg, ui_);
    editNote(*doc, "Unfiled/Note.txt", "saved note");
    ASSERT_TRUE(QFile::exists(pkg + "/.changed"));

    const SaveOutcome first = doc->saveChanges(true);
    EXPECT_TRUE(first.saved);
    EXPECT_TRUE(first.error.isEmpty()) << first.error.toStdString();
    EXPECT_FALSE(QFile::exists(pkg + "/.changed"));
    EXPECT_TRUE(doc->noNeedToSaveNow());

    const auto afterFirst = folderSnapshot(pkg);
    const SaveOutcome second = doc->saveChanges(true);
    EXPECT_FALSE(second.saved);
    EXPECT_EQ(folderSnapshot(pkg), afterFirst);

    // The index alone (no rebuild) gives back the tree that was saved, every key and type.
    const plist::Value saved = treeValue(doc->tree());
    doc.reset();
    FakeUi ui;
    MyDocument again(ui);
    ASSERT_TRUE(again.openDatabase(pkg).ok());
    EXPECT_FALSE(again.rebuiltAtOpen());
    EXPECT_EQ(treeValue(again.tree()), saved);
    EXPECT_EQ(again.tree().itemForPath("Unfiled/Note.txt")->value(keys::Notes)->string(), "saved note");
}

TEST_F(SaveTest, OpenAndCloseWithoutChangesLeavesThePackageAsItWas)
{
    const QString pkg = copyOf("Household.fvdb");
    const auto before = folderSnapshot(pkg);
    auto doc = open(pkg, ui_);
    const CloseOutcome closed = doc->closeDatabase();
    EXPECT_TRUE(closed.saved);
    EXPECT_FALSE(doc->dbOpen());
    EXPECT_EQ(folderSnapshot(pkg), before);
    // The application reopens it at the next launch.
    const KTPrefs reread(QStringLiteral("org.folivo.savetest"));
    ASSERT_TRUE(reread.objectForKey("Last DB File"));
    EXPECT_EQ(reread.objectForKey("Last DB File")->string(), doc->dbPath());
}

TEST_F(SaveTest, ChangedPreferencesAreSavedWithTheIndexAndKeepKeysThisEditionDoesNotUse)
{
    const QString pkg = copyOf("Household.fvdb");
    auto doc = open(pkg, ui_);
    doc->settings().notesHeight = 99.0;
    doc->settings().sorting.ignoreCase = true;
    doc->settings().recentWebsiteTitles = {"Bank"};
    const QByteArray indexBefore = readAll(pkg + "/.index");

    // Nothing else changed, so only a close (which always saves) writes them.
    EXPECT_FALSE(doc->saveChanges(true).saved);
    EXPECT_TRUE(doc->closeDatabase().saved);
    const auto state = plist::readKeyedArchiveFile(pkg + "/.attributesState");
    ASSERT_TRUE(state && state->isDict());
    const plist::Dict& d = state->dict();
    EXPECT_EQ(*d.find("notesHeight"), plist::Value(99.0));
    EXPECT_EQ(*d.find("sortingIgnoreCase"), plist::Value(true));
    EXPECT_EQ(*d.find("gotoRecentWebsiteMenuTitles"), plist::Value(plist::Array{"Bank"}));
    EXPECT_EQ(*d.find("attributesViewState"), plist::Value(1)); // an integer, not a boolean
    EXPECT_EQ(*d.find("attributesHeight"), plist::Value(120.0)); // kept as stored
    EXPECT_EQ(*d.find("leftHandSplitViewWidth"), plist::Value(315.0));
    // Writing the preferences counts as a change: the index is written and the marker goes.
    EXPECT_TRUE(doc->needsBackup());
    EXPECT_FALSE(QFile::exists(pkg + "/.changed"));
    EXPECT_NE(readAll(pkg + "/.index"), indexBefore);

    FakeUi ui;
    MyDocument again(ui);
    ASSERT_TRUE(again.openDatabase(pkg).ok());
    EXPECT_EQ(again.settings().notesHeight, 99.0);
    EXPECT_TRUE(again.settings().sorting.ignoreCase);
}

TEST_F(SaveTest, FailedIndexWriteKeepsTheMarkerAndTheNextSaveRetries)
{
    const QString pkg = copyOf("Household.fvdb");
    auto doc = open(pkg, ui_);
    editNote(*doc, "Bank", "after the failure");
    const QByteArray staleIndex = readAll(pkg + "/.index");
    {
        const QString index = pkg + "/.index";
        fs::ScopedFault fault([&](fs::Op op, const QString& abs) { return op == fs::Op::Write && abs == index; });
        const SaveOutcome failed = doc->saveChanges(false);
        EXPECT_FALSE(failed.error.isEmpty());
        EXPECT_TRUE(QFile::exists(pkg + "/.changed"));
        EXPECT_EQ(readAll(pkg + "/.index"), staleIndex);
        EXPECT_FALSE(doc->noNeedToSaveNow());

        // An open now (of the package as it is: this one still holds it) rebuilds from the
        // attributes files and finds the change.
        const QString asLeft = scratch_.file("AsLeft.fvdb");
        ASSERT_TRUE(fs::copyTree(pkg, asLeft)) << fs::lastError().toStdString();
        FakeUi ui;
        MyDocument other(ui);
        ASSERT_TRUE(other.openDatabase(asLeft).ok());
        EXPECT_TRUE(other.rebuiltAtOpen());
        EXPECT_EQ(other.tree().itemForPath("Bank")->value(keys::Notes)->string(), "after the failure");
    }
    const SaveOutcome retried = doc->saveChanges(true);
    EXPECT_TRUE(retried.saved);
    EXPECT_TRUE(retried.error.isEmpty()) << retried.error.toStdString();
    EXPECT_FALSE(QFile::exists(pkg + "/.changed"));
}

TEST_F(SaveTest, SaveWaitsWhileTheDocumentIsBusyAndCloseDoesNotPullTheTreeAway)
{
    const QString pkg = copyOf("Household.fvdb");
    auto doc = open(pkg, ui_);
    editNote(*doc, "Bank", "busy");
    {
        MyDocument::BusyScope busy(*doc);
        const SaveOutcome s = doc->saveChanges(true);
        EXPECT_TRUE(s.deferred);
        EXPECT_FALSE(s.saved);
        EXPECT_TRUE(QFile::exists(pkg + "/.changed"));
        const CloseOutcome c = doc->closeDatabase();
        EXPECT_FALSE(c.saved);
        EXPECT_TRUE(doc->dbOpen());
        EXPECT_TRUE(doc->doBackup({scratch_.path(), true, 0, 4}).skipped);
    }
    EXPECT_TRUE(doc->saveChanges(true).saved);
    EXPECT_FALSE(QFile::exists(pkg + "/.changed"));
}

TEST_F(SaveTest, ReadOnlyDatabaseWritesNothing)
{
    const QString pkg = copyOf("Household.fvdb");
    const auto before = folderSnapshot(pkg);
    // A package on a read-only volume: the seam says the package cannot be changed.
    fs::ScopedFault readOnly([&](fs::Op op, const QString& abs) { return op == fs::Op::Write && abs == pkg; });
    auto doc = open(pkg, ui_);
    ASSERT_FALSE(doc->dbWriteable());
    doc->settings().notesHeight = 77.0;
    doc->changed();
    const SaveOutcome s = doc->saveChanges(false);
    EXPECT_TRUE(s.error.isEmpty()) << s.error.toStdString();
    doc->closeDatabase();
    EXPECT_EQ(folderSnapshot(pkg), before);
}

// ---------------------------------------------------------------------------------------
// Encrypted databases

TEST_F(SaveTest, EncryptedSaveRemovesOnlyPlainCopiesThatItsStoredFormsHold)
{
    const QString pkg = copyOf("Encrypted.fvdb");
    const QString password = manifest_.value("Encrypted.fvdb").toObject().value("password").toString();
    ui_.passwords = {password};
    auto doc = open(pkg, ui_);
    ASSERT_TRUE(doc->dbEncrypted());

    // Left by viewing, a crash or an older version: the same content as the stored form...
    ASSERT_TRUE(writeAll(pkg + "/Unfiled/Block32.txt", "thirty-two bytes, two AES blocks"));
    {
        const auto bundle = doc->plainCopyForReading("Notes/Report.rtfd");
        ASSERT_TRUE(bundle);
        ASSERT_TRUE(fs::copyTree(bundle->path(), pkg + "/Notes/Report.rtfd"));
    }
    ASSERT_TRUE(writeAll(pkg + "/Unfiled/.+Block32.txt", "a plain attributes file"));
    ASSERT_TRUE(QFile::copy(pkg + "/.index.fvdbe", pkg + "/.index")); // any plain index is stale
    // ...a plain copy that differs from its stored form (it may hold the owner's edits)...
    ASSERT_TRUE(writeAll(pkg + "/Bank/Letter.pdf", "edited after it was deciphered"));
    // ...and an item whose only copy is plain.
    ASSERT_TRUE(writeAll(pkg + "/Unfiled/Only.txt", "the only copy"));
    doc->tree().insert(doc->tree().itemForPath("Unfiled"),
                       std::make_unique<IndexItem>(plist::Dict{{keys::Path, QString("Unfiled/Only.txt")}}, false));
    doc->changed();

    const SaveOutcome s = doc->saveChanges(false);
    EXPECT_TRUE(s.saved);
    EXPECT_FALSE(QFile::exists(pkg + "/.changed"));
    for (const char* gone : {"Unfiled/Block32.txt", "Notes/Report.rtfd", "Unfiled/.+Block32.txt", ".index"})
        EXPECT_FALSE(QFileInfo::exists(pkg + "/" + gone)) << gone;
    EXPECT_EQ(readAll(pkg + "/Bank/Letter.pdf"), "edited after it was deciphered");
    EXPECT_EQ(readAll(pkg + "/Unfiled/Only.txt"), "the only copy");
    for (const char* kept : {"Unfiled/Block32.txt.fvdbe", "Notes/Report.rtfd.fvdbzre", "Unfiled/.+Block32.txt.fvdbe",
                             "Bank/Letter.pdf.fvdbe", ".index.fvdbe"})
        EXPECT_TRUE(QFileInfo::exists(pkg + "/" + kept)) << kept;
    EXPECT_TRUE(debugInfo().contains("Plain copy of Bank/Letter.pdf"));

    // The enciphered index and attributes files carry the database on.
    const plist::Value saved = treeValue(doc->tree());
    doc.reset();
    FakeUi ui;
    ui.passwords = {password};
    MyDocument again(ui);
    ASSERT_TRUE(again.openDatabase(pkg).ok());
    EXPECT_FALSE(again.rebuiltAtOpen());
    EXPECT_EQ(treeValue(again.tree()), saved);
    EXPECT_TRUE(again.tree().itemForPath("Unfiled/Block32.txt"));
}

// ---------------------------------------------------------------------------------------
// Backups

namespace {

class BackupTest : public SaveTest {
protected:
    QString backups() const { return scratch_.file("backups"); }
    void SetUp() override { ASSERT_TRUE(QDir().mkpath(backups())); }
    void setPrefs(std::optional<bool> enabled, int interval, int keep)
    {
        if (enabled)
            prefs_.setBool(*enabled, "BackupDatabase");
        else
            prefs_.removeObjectForKey("BackupDatabase");
        prefs_.setInteger(interval, "BackupInterval");
        prefs_.setInteger(keep, "BackupKeep");
        prefs_.setObject(plist::Value(backups()), "backupFolderPath");
    }
    QString copy(int n) const { return backups() + QStringLiteral("/%1Household.fvdb").arg(n); }
    // Existing numbered copies, each labelled with its number in a hidden file.
    void makeCopies(int count)
    {
        for (int n = 1; n <= count; ++n) {
            ASSERT_TRUE(fs::copyTree(fixtures_->file("Household.fvdb"), copy(n)));
            ASSERT_TRUE(writeAll(copy(n) + "/.which", QByteArray::number(n)));
            ASSERT_EQ(fs::mode(copy(n) + "/Bank/Visa"), 0555u); // read-only like any package's
        }
    }
    QStringList backupNames() const
    {
        QStringList names = QDir(backups()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        names.sort();
        return names;
    }
};

} // namespace

TEST_F(BackupTest, SettingsComeFromTheApplicationPreferencesHeldToAByte)
{
    struct Case {
        std::optional<plist::Value> interval, keep;
        int wantInterval, wantKeep;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt, 0, 4},
        {plist::Value(2), plist::Value(0), 2, 0},
        {plist::Value(256), plist::Value(1000), 255, 255}, // never cut to the low byte
        {plist::Value(-3), plist::Value(-1), 0, 0},
        {plist::Value("7"), plist::Value(2.9), 7, 2},
    };
    for (const Case& c : cases) {
        prefs_.setObject(c.interval, "BackupInterval");
        prefs_.setObject(c.keep, "BackupKeep");
        const BackupSettings s = BackupSettings::from(&prefs_);
        EXPECT_EQ(s.interval, c.wantInterval);
        EXPECT_EQ(s.keep, c.wantKeep);
    }
    EXPECT_FALSE(BackupSettings::from(&prefs_).enabled);
    prefs_.setBool(false, "BackupDatabase");
    EXPECT_EQ(BackupSettings::from(&prefs_).enabled, false);
}

TEST_F(BackupTest, CloseCounterBacksUpEveryIntervalPlusOneClosesWithChanges)
{
    const QString pkg = copyOf("Household.fvdb");
    setPrefs(true, 2, 4);
    const int wantCount[] = {1, 2, 0, 1, 2};
    const bool wantBackup[] = {false, true, false, false, true};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        auto doc = open(pkg, ui_);
        editNote(*doc, "Bank", QStringLiteral("close %1").arg(i));
        const CloseOutcome c = doc->closeDatabase();
        EXPECT_EQ(c.backupCount, wantCount[i]);
        EXPECT_EQ(readAll(pkg + "/.backupCount"), QByteArray(1, char(wantCount[i])));
        ASSERT_EQ(c.backup.has_value(), wantBackup[i]);
        if (c.backup) {
            EXPECT_TRUE(c.backup->ok) << c.backup->error.toStdString();
        }
    }
    EXPECT_EQ(backupNames(), (QStringList{"1Household.fvdb", "2Household.fvdb"}));
    EXPECT_EQ(readAll(copy(1) + "/.backupCount"), QByteArray(1, char(2)));

    // A close without changes neither counts nor backs up.
    auto doc = open(pkg, ui_);
    const CloseOutcome quiet = doc->closeDatabase();
    EXPECT_EQ(quiet.backupCount, -1);
    EXPECT_FALSE(quiet.backup);
    EXPECT_EQ(readAll(pkg + "/.backupCount"), QByteArray(1, char(2)));
}

TEST_F(BackupTest, CounterRunsOnlyWhileThePreferenceExists)
{
    struct Case {
        std::optional<bool> enabled;
        int interval;
        int wantCount;
        bool wantBackup;
    };
    const Case cases[] = {
        {std::nullopt, 0, -1, false}, // never set: nothing counted
        {false, 0, 0, false},         // off: counted, no copy
        {false, 1, 1, false},
        {true, 0, 0, true},           // every close with changes
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.interval);
        const QString pkg = copyOf("Household.fvdb");
        QDir(backups()).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(backups()));
        setPrefs(c.enabled, c.interval, 4);
        auto doc = open(pkg, ui_);
        editNote(*doc, "Bank", "changed");
        const CloseOutcome closed = doc->closeDatabase();
        EXPECT_EQ(closed.backupCount, c.wantCount);
        EXPECT_EQ(QFile::exists(pkg + "/.backupCount"), c.wantCount >= 0);
        EXPECT_EQ(closed.backup.has_value(), c.wantBackup);
        EXPECT_EQ(QFile::exists(copy(1)), c.wantBackup);
        ASSERT_TRUE(fs::deleteTree(pkg));
    }
}

TEST_F(BackupTest, NewCopyTakesNumberOneAndTheOldestGoes)
{
    const QString pkg = copyOf("Household.fvdb");
    makeCopies(5);
    auto doc = open(pkg, ui_);
    editNote(*doc, "Bank", "newest");
    ASSERT_TRUE(doc->saveChanges(false).saved);

    const BackupOutcome b = doc->doBackup({backups(), true, 0, 4});
    ASSERT_TRUE(b.ok) << b.error.toStdString();
    EXPECT_EQ(b.path, copy(1));
    EXPECT_FALSE(doc->needsBackup());
    EXPECT_EQ(backupNames(), (QStringList{"1Household.fvdb", "2Household.fvdb", "3Household.fvdb", "4Household.fvdb",
                                          "5Household.fvdb"}));
    for (int n = 2; n <= 5; ++n)
        EXPECT_EQ(readAll(copy(n) + "/.which"), QByteArray::number(n - 1)) << n;
    // A full copy, hidden files and modes included.
    EXPECT_EQ(folderSnapshot(copy(1)), folderSnapshot(pkg));
    EXPECT_EQ(fs::mode(copy(1) + "/Bank/Visa"), fs::mode(pkg + "/Bank/Visa"));
    EXPECT_EQ(ui_.progressTitles.last(), msg::BackingUpDatabase);
    EXPECT_TRUE(debugInfo().contains(QStringLiteral("\n\nBackup Rename %1 to %2 with return 0").arg(copy(4), copy(5))));
    EXPECT_TRUE(debugInfo().contains(QStringLiteral("\n\nBacking Up Household.fvdb to %1").arg(copy(1))));

    // With nothing kept but the one copy, it is replaced.
    ASSERT_TRUE(writeAll(copy(1) + "/.which", "old"));
    ASSERT_TRUE(doc->doBackup({backups(), true, 0, 0}).ok);
    EXPECT_FALSE(QFile::exists(copy(1) + "/.which"));
    EXPECT_EQ(readAll(copy(2) + "/.which"), "1");
}

TEST_F(BackupTest, FailedCopyLeavesTheExistingCopiesAsTheyWere)
{
    const QString pkg = copyOf("Household.fvdb");
    makeCopies(5);
    const auto before = folderSnapshot(backups());
    auto doc = open(pkg, ui_);
    editNote(*doc, "Bank", "not backed up");
    {
        // The disk fills up halfway through the copy.
        fs::ScopedFault full([](fs::Op op, const QString& abs) {
            return op == fs::Op::Write && abs.contains("Household.fvdb/Bank/Visa/2023/");
        });
        const BackupOutcome b = doc->doBackup({backups(), true, 0, 4});
        EXPECT_FALSE(b.ok);
        EXPECT_FALSE(b.skipped);
        EXPECT_FALSE(b.error.isEmpty());
    }
    EXPECT_EQ(folderSnapshot(backups()), before); // no partial copy, nothing renamed or deleted
    EXPECT_TRUE(doc->needsBackup());
    ASSERT_FALSE(ui_.asked.isEmpty());
    EXPECT_EQ(ui_.asked.last().text, msg::BackupFailed);
    EXPECT_TRUE(debugInfo().contains("\n\nError: "));

    // A rename refused during the rotation: only the oldest copy, due to go anyway, is gone;
    // a rename never replaces a copy and the new copy does not stay half placed.
    {
        fs::ScopedFault refuse([&](fs::Op op, const QString& abs) { return op == fs::Op::Rename && abs == copy(2); });
        EXPECT_FALSE(doc->doBackup({backups(), true, 0, 4}).ok);
    }
    EXPECT_EQ(backupNames(), (QStringList{"1Household.fvdb", "2Household.fvdb", "4Household.fvdb", "5Household.fvdb"}));
    for (const auto& [n, label] : {std::pair{1, "1"}, {2, "2"}, {4, "3"}, {5, "4"}})
        EXPECT_EQ(readAll(copy(n) + "/.which"), label) << n;

    // The next backup goes through.
    EXPECT_TRUE(doc->doBackup({backups(), true, 0, 4}).ok);
    EXPECT_FALSE(doc->needsBackup());
}

TEST_F(BackupTest, UnusableFoldersAreRefusedAndNothingIsWritten)
{
    const QString pkg = copyOf("Household.fvdb");
    const QString file = scratch_.file("a file");
    ASSERT_TRUE(writeAll(file, "x"));
    const QString linkIntoPackage = scratch_.file("link");
    ASSERT_TRUE(QFile::link(pkg + "/Bank", linkIntoPackage));
    const QString readOnly = backups();
    // Another database, or a folder deep inside one: its next check would find the copies
    // as files nobody filed.
    const QString otherPackage = scratch_.file("Other.fvdb");
    ASSERT_TRUE(QDir().mkpath(otherPackage + "/Taxes/2024"));

    struct Case {
        QString folder;
        BackupFolderProblem want;
        QString alertTitle; // empty: no alert
    };
    const Case cases[] = {
        {QString(), BackupFolderProblem::NotSet, QString()},
        {scratch_.file("gone"), BackupFolderProblem::Missing, msg::BackupFolderNotFoundTitle},
        {QStringLiteral("backups"), BackupFolderProblem::Missing, msg::BackupFolderNotFoundTitle},
        {file, BackupFolderProblem::NotAFolder, msg::BackupFolderNotFoundTitle},
        {readOnly, BackupFolderProblem::NotWritable, msg::BackupFolderNotFoundTitle},
        {pkg, BackupFolderProblem::InsidePackage, msg::BackupFolderInsideTitle},
        {pkg + "/Unfiled", BackupFolderProblem::InsidePackage, msg::BackupFolderInsideTitle},
        {linkIntoPackage, BackupFolderProblem::InsidePackage, msg::BackupFolderInsideTitle},
        {otherPackage, BackupFolderProblem::InsidePackage, msg::BackupFolderInsideTitle},
        {otherPackage + "/Taxes/2024", BackupFolderProblem::InsidePackage, msg::BackupFolderInsideTitle},
        {scratch_.path(), BackupFolderProblem::None, QString()}, // the folder that holds the package
    };
    fs::ScopedFault notWritable([&](fs::Op op, const QString& abs) { return op == fs::Op::Write && abs == readOnly; });
    auto doc = open(pkg, ui_);
    const auto before = folderSnapshot(pkg);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder.toStdString());
        EXPECT_EQ(MyDocument::backupFolderProblem(c.folder, pkg), c.want);
        if (c.want == BackupFolderProblem::None)
            continue;
        FakeUi ui;
        EXPECT_EQ(MyDocument::checkBackupFolder(c.folder, pkg, ui), c.want == BackupFolderProblem::NotSet);
        EXPECT_EQ(ui.titles(), c.alertTitle.isEmpty() ? QStringList{} : QStringList{c.alertTitle});
        if (c.folder.startsWith(otherPackage)) { // the alert names the package that holds it
            EXPECT_TRUE(ui.asked.value(0).text.contains('"' + QFileInfo(otherPackage).canonicalFilePath() + '"'));
        }
        const int asked = ui_.asked.size();
        const BackupOutcome b = doc->doBackup({c.folder, true, 0, 4});
        EXPECT_TRUE(b.skipped);
        EXPECT_FALSE(b.ok);
        EXPECT_EQ(ui_.asked.size(), asked + (c.alertTitle.isEmpty() ? 0 : 1));
    }
    FakeUi ui;
    MyDocument::checkBackupFolder(scratch_.file("gone"), pkg, ui);
    ASSERT_EQ(ui.asked.size(), 1);
    EXPECT_EQ(ui.asked[0].text, msg::BackupFolderNotFoundText.arg(scratch_.file("gone")));
    EXPECT_EQ(folderSnapshot(pkg), before);
    EXPECT_TRUE(backupNames().isEmpty());
}

TEST_F(BackupTest, MenuBackupSavesTheIndexSoTheCopyOpensWithoutARebuild)
{
    const QString pkg = copyOf("Household.fvdb");
    auto doc = open(pkg, ui_);
    editNote(*doc, "Unfiled/Note.txt", "in the backup");
    const BackupOutcome b = doc->backupDatabase({backups(), true, 0, 4});
    ASSERT_TRUE(b.ok) << b.error.toStdString();
    EXPECT_FALSE(QFile::exists(pkg + "/.changed"));
    EXPECT_FALSE(QFile::exists(copy(1) + "/.changed"));

    FakeUi ui;
    MyDocument copyDoc(ui);
    ASSERT_TRUE(copyDoc.openDatabase(copy(1)).ok());
    EXPECT_FALSE(copyDoc.rebuiltAtOpen());
    EXPECT_EQ(treeValue(copyDoc.tree()), treeValue(doc->tree()));
    // The copy keeps when each document was last changed.
    for (const char* file : {"Unfiled/Note.txt", "Bank/Visa/2023/March/Statement.pdf"})
        EXPECT_EQ(QFileInfo(copy(1) + "/" + file).lastModified(), QFileInfo(pkg + "/" + file).lastModified()) << file;
}
