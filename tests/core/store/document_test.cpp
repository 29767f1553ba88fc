// Opening, creating and rebuilding databases, against packages in the macOS edition's
// form made by the fixture script and against small packages built here.

#include "plist/keyedarchive.h"
#include "plist/typedjson.h"
#include "store/keys.h"
#include "store/messages.h"
#include "store/mydocument.h"
#include "support/fakeui.h"
#include "support/packagefixtures.h"
#include "support/testsupport.h"
#include "util/fs.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace folivo;
using folivo::test::FakeUi;
using folivo::test::Fixtures;
using folivo::test::Scratch;

namespace {



QJsonValue pythonDump(const QStringList& args)
{
    const auto r = folivo::test::run("python3", QStringList{QStringLiteral(FOLIVO_SOURCE_DIR "/tests/fixtures/plistdump.py")} + args);
    EXPECT_EQ(r.exitCode, 0) << r.err.constData() << r.out.constData();
    return QJsonDocument::fromJson("[" + r.out + "]").array().at(0);
}

QJsonValue ourDump(const IndexTree& tree)
{
    plist::Array top;
    for (const auto& item : tree.categoriesArray())
        top.push_back(item->toValue());
    return QJsonDocument::fromJson("[" + plist::toTypedJson(top) + "]").array().at(0);
}

} // namespace

TEST_F(Fixtures, OpensAMacEditionPackageWithEveryKeyAndType)
{
    const QString pkg = copyOf("Household.fvdb");
    MyDocument doc(ui_);
    ASSERT_TRUE(doc.openDatabase(pkg).ok());
    EXPECT_FALSE(doc.rebuiltAtOpen());
    EXPECT_EQ(preOrder(doc.tree()), manifestPaths("Household.fvdb"));
    // Every key and type as an independent reader sees the same archive.
    EXPECT_EQ(ourDump(doc.tree()), pythonDump({"--tree", pkg}));
    EXPECT_TRUE(ui_.diskErrors.isEmpty());
    EXPECT_EQ(ui_.progressTitles, QStringList{msg::OpeningDatabase});
    EXPECT_EQ(ui_.progressMinimums, QList<int>{1000});
    EXPECT_EQ(doc.customAttributeNames().size(), 2);
    EXPECT_EQ(doc.settings().notesHeight, 40.0);
    // A normal open changes nothing.
    EXPECT_FALSE(QFile::exists(pkg + "/.changed"));

    const IndexItem* note = doc.tree().itemForPath("Unfiled/Note.txt");
    ASSERT_TRUE(note);
    EXPECT_TRUE(note->value("ZZBig")->isUnsigned());
    EXPECT_EQ(note->value("ZZNeg")->intValue(), -42);
}

TEST_F(Fixtures, WrittenAttributesFilesReadBackByAnIndependentReader)
{
    const QString pkg = copyOf("Household.fvdb");
    MyDocument doc(ui_);
    ASSERT_TRUE(doc.openDatabase(pkg).ok());
    for (IndexItem* item : doc.tree().flatArray())
        ASSERT_TRUE(doc.writeAttributesFileForItem(item));
    ASSERT_TRUE(doc.writeAttributesFileForItem(nullptr));
    for (const QString& rel : {QString(".+Bank"), QString("Unfiled/.+Note.txt"), QString(".dindex")}) {
        const auto r = folivo::test::run("python3", {FOLIVO_SOURCE_DIR "/tests/fixtures/plistdump.py", "--check-keyed", pkg + "/" + rel});
        EXPECT_EQ(r.exitCode, 0) << rel.toStdString() << r.out.constData();
    }
    // Rebuilding from what we wrote gives the same tree, keys and types.
    const QJsonValue before = ourDump(doc.tree());
    doc.close();
    MyDocument again(ui_);
    ASSERT_TRUE(again.openDatabase(pkg, {true}).ok());
    EXPECT_EQ(ourDump(again.tree()), before);
}

TEST_F(Fixtures, ChangedMarkerRebuildsFromTheAttributesFiles)
{
    const QString pkg = copyOf("Crashed.fvdb");
    MyDocument doc(ui_);
    ASSERT_TRUE(doc.openDatabase(pkg).ok());
    EXPECT_TRUE(doc.rebuiltAtOpen());
    EXPECT_EQ(preOrder(doc.tree()), manifestPaths("Crashed.fvdb"));
    EXPECT_EQ(ui_.progressTitles, QStringList{msg::RebuildingIndex + " | " + msg::NotClosedProperly});
    EXPECT_EQ(ui_.progressMinimums, QList<int>{5000});
    // Foreign keys survive a rebuild.
    const IndexItem* bank = doc.tree().itemForPath("Bank");
    ASSERT_TRUE(bank);
    EXPECT_TRUE(bank->has("ZZFutureKey"));
    EXPECT_FALSE(bank->has(keys::ChildrenPaths));
    EXPECT_TRUE(QFile::exists(pkg + "/.changed"));
}

TEST_F(Fixtures, HostileDistributedIndexIsContained)
{
    const QString pkg = copyOf("Corrupt.fvdb");
    MyDocument doc(ui_);
    ASSERT_TRUE(doc.openDatabase(pkg).ok());
    EXPECT_EQ(preOrder(doc.tree()), manifestPaths("Corrupt.fvdb"));
    QStringList reported;
    for (const auto& p : doc.indexProblems())
        reported << p.path;
    // A child listed under another folder's path is looked for inside the folder that
    // lists it (where an interrupted rename leaves it), and is not found there either.
    for (const char* bad : {"../outside", "/etc", "A/x", "A/A"})
        EXPECT_TRUE(reported.contains(bad)) << bad << " " << reported.join(", ").toStdString();
    EXPECT_GE(reported.count("A/B"), 1); // listed twice
    EXPECT_FALSE(doc.tree().itemForPath("Elsewhere/x"));
}

TEST_F(Fixtures, RebuildRequestAsksAndCanBeCancelled)
{
    const QString pkg = copyOf("Household.fvdb");
    {
        ui_.answers[msg::RebuildIndexPrompt] = msg::CancelAnswer;
        MyDocument doc(ui_);
        EXPECT_EQ(doc.openDatabase(pkg, {true}).status, OpenStatus::Cancelled);
        EXPECT_EQ(ui_.asked.back().buttons, (QStringList{msg::OpenNormally, msg::RebuildIndexButton, msg::Cancel}));
        EXPECT_FALSE(doc.dbOpen());
    }
    {
        ui_.answers[msg::RebuildIndexPrompt] = msg::RebuildIndexAnswer;
        MyDocument doc(ui_);
        ASSERT_TRUE(doc.openDatabase(pkg, {true}).ok());
        EXPECT_TRUE(doc.rebuiltAtOpen());
        EXPECT_EQ(preOrder(doc.tree()), manifestPaths("Household.fvdb"));
        EXPECT_EQ(ui_.progressTitles.back(), msg::RebuildingIndex); // no "not closed properly" text
    }
}

TEST_F(Fixtures, LegacyPackageIsRenamedBackedUpAndConverted)
{
    const QString pkg = copyOf("Legacy.fvdb");
    MyDocument doc(ui_);
    ASSERT_TRUE(doc.openDatabase(pkg).ok());
    EXPECT_EQ(preOrder(doc.tree()), manifestPaths("Legacy.fvdb"));
    EXPECT_TRUE(QFile::exists(pkg + "/.index"));
    EXPECT_FALSE(QFile::exists(pkg + "/.categories"));
    EXPECT_TRUE(ui_.titles().contains(msg::MustConvert.left(40)));
    // The backup holds the package as it was before the conversion.
    const QString backup = scratch_.file("Legacy (before index conversion).fvdb");
    EXPECT_TRUE(QFile::exists(backup + "/.index"));
    EXPECT_FALSE(QFile::exists(backup + "/.dindex"));
    // Now the distributed index exists and rebuilding from it gives the same tree.
    EXPECT_TRUE(QFile::exists(pkg + "/.dindex"));
    EXPECT_TRUE(QFile::exists(pkg + "/Taxes/.+2022"));
    EXPECT_EQ(*fs::mode(pkg + "/.dindexVer4"), 0600u);
    doc.close();
    MyDocument again(ui_);
    ASSERT_TRUE(again.openDatabase(pkg).ok());
    EXPECT_TRUE(again.rebuiltAtOpen()); // the conversion marked the database changed
    EXPECT_EQ(preOrder(again.tree()), manifestPaths("Legacy.fvdb"));
}

TEST_F(Fixtures, NoConversionWithoutASuccessfulBackup)
{
    const QString pkg = copyOf("Legacy.fvdb");
    {
        fs::ScopedFault fault([](fs::Op op, const QString& path) {
            return op == fs::Op::MakeDir && path.contains("before index conversion");
        });
        MyDocument doc(ui_);
        ASSERT_TRUE(doc.openDatabase(pkg).ok());
        EXPECT_EQ(preOrder(doc.tree()), manifestPaths("Legacy.fvdb"));
    }
    EXPECT_TRUE(ui_.titles().contains(msg::ConversionBackupFailedTitle));
    EXPECT_FALSE(QFile::exists(pkg + "/.dindex"));
    EXPECT_FALSE(QFile::exists(pkg + "/.dindexVer4"));
    EXPECT_EQ(QDir(scratch_.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList{"Legacy.fvdb"});
}

TEST_F(Fixtures, MissingVer4MarkerRewritesAttributesWithoutBackup)
{
    const QString pkg = copyOf("NoVer4.fvdb");
    MyDocument doc(ui_);
    ASSERT_TRUE(doc.openDatabase(pkg).ok());
    EXPECT_TRUE(QFile::exists(pkg + "/.dindexVer4"));
    EXPECT_TRUE(ui_.progressTitles.contains(msg::UpdatingIndex + " | " + msg::UpdatingIndexText));
    EXPECT_FALSE(ui_.titles().contains(msg::MustConvert.left(40)));
    EXPECT_EQ(QDir(scratch_.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList{"NoVer4.fvdb"});
}

TEST_F(Fixtures, RefusesWhatIsNotAnOpenableDatabase)
{
    {
        MyDocument doc(ui_);
        const OpenResult r = doc.openDatabase(copyOf("NotADatabase.fvdb"));
        EXPECT_EQ(r.status, OpenStatus::Invalid);
        EXPECT_EQ(ui_.asked.back().title, msg::InvalidDatabaseTitle);
        EXPECT_EQ(ui_.asked.back().text, msg::InvalidDatabaseText);
    }
    {
        // An encrypted database whose password sheet is cancelled stays closed and untouched.
        const QString pkg = copyOf("Encrypted.fvdb");
        const QByteArray before = folivo::test::readAll(pkg + "/.index.fvdbe");
        MyDocument doc(ui_);
        EXPECT_EQ(doc.openDatabase(pkg).status, OpenStatus::Cancelled);
        EXPECT_EQ(ui_.passwordSheets.size(), 1);
        EXPECT_EQ(folivo::test::readAll(pkg + "/.index.fvdbe"), before);
        EXPECT_FALSE(QFile::exists(pkg + "/.index"));
    }
    MyDocument doc(ui_);
    EXPECT_EQ(doc.openDatabase(scratch_.file("nothing-here.fvdb")).status, OpenStatus::NotFound);
}

TEST_F(Fixtures, LegacyRenameNeverReplacesAnExistingIndex)
{
    const QString pkg = copyOf("Household.fvdb");
    const QByteArray index = folivo::test::readAll(pkg + "/.index");
    ASSERT_TRUE(folivo::test::writeAll(pkg + "/.categories", "stale"));
    MyDocument doc(ui_);
    ASSERT_TRUE(doc.openDatabase(pkg).ok());
    EXPECT_EQ(folivo::test::readAll(pkg + "/.index"), index);
    EXPECT_EQ(preOrder(doc.tree()), manifestPaths("Household.fvdb"));
}

TEST_F(Fixtures, UnreadableIndexRebuildsInsteadOfShowingAnEmptyTree)
{
    for (const QByteArray& damage : {QByteArray("bplist00 truncated"), QByteArray()}) {
        const QString pkg = copyOf("Household.fvdb");
        ASSERT_TRUE(folivo::test::writeAll(pkg + "/.index", damage));
        MyDocument doc(ui_);
        ASSERT_TRUE(doc.openDatabase(pkg).ok());
        EXPECT_TRUE(doc.rebuiltAtOpen());
        EXPECT_EQ(preOrder(doc.tree()), manifestPaths("Household.fvdb"));
        fs::deleteTree(pkg);
    }
}

TEST_F(Fixtures, TemporaryFolderIsPrivateAndGoesAtClose)
{
    const QString pkg = copyOf("Household.fvdb");
    const QString cwd = QDir::currentPath();
    QString temp;
    {
        MyDocument doc(ui_);
        ASSERT_TRUE(doc.openDatabase(pkg).ok());
        temp = doc.tempDir();
        ASSERT_FALSE(temp.isEmpty());
        EXPECT_FALSE(temp.startsWith(pkg));
        EXPECT_EQ(*fs::mode(temp), 0700u);
        MyDocument second(ui_);
        ASSERT_TRUE(second.openDatabase(copyOf("Crashed.fvdb")).ok());
        EXPECT_NE(second.tempDir(), temp); // one folder per open database
        // Several databases are open at once: none of them may take the current directory.
        EXPECT_EQ(QDir::currentPath(), cwd);
    }
    EXPECT_FALSE(fs::exists(temp));
}

// ---------------------------------------------------------------------------------------
// Creating

TEST(CreateDatabase, MakesExactlyTheNewPackage)
{
    Scratch s;
    FakeUi ui;
    MyDocument doc(ui);
    ASSERT_TRUE(doc.createDatabase(s.file("New")).ok());
    const QString pkg = s.file("New.fvdb");
    EXPECT_EQ(doc.dbPath(), pkg);
    QStringList entries = QDir(pkg).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    EXPECT_EQ(entries, (QStringList{".+Unfiled", ".customAttributeNames", ".dindex", ".dindexVer4", ".index", "Unfiled"}));
    EXPECT_EQ(*fs::mode(pkg), 0755u);
    EXPECT_EQ(*fs::mode(pkg + "/Unfiled"), 0555u);
    EXPECT_EQ(*fs::mode(pkg + "/.dindexVer4"), 0600u);
    EXPECT_TRUE(QDir(pkg + "/Unfiled").isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));

    auto dump = [&](const QString& rel) { return pythonDump({pkg + "/" + rel}); };
    const auto str = [](const char* s) { return QJsonObject{{"string", s}}; };
    EXPECT_EQ(dump(".dindex"), QJsonObject({{"array", QJsonArray{str("Unfiled")}}}));
    EXPECT_EQ(dump(".customAttributeNames"), QJsonObject({{"array", QJsonArray{}}}));
    const QJsonObject unfiledAttrs{{"dict", QJsonObject{{"Path", str("Unfiled")}, {"ChildrenPaths", QJsonObject{{"array", QJsonArray{}}}}}}};
    EXPECT_EQ(dump(".+Unfiled"), unfiledAttrs);
    const QJsonObject unfiledItem{{"dict", QJsonObject{{"Path", str("Unfiled")}, {"Children", QJsonObject{{"array", QJsonArray{}}}}}}};
    EXPECT_EQ(dump(".index"), QJsonObject({{"array", QJsonArray{unfiledItem}}}));
    for (const QString rel : {".index", ".dindex", ".+Unfiled", ".customAttributeNames"}) {
        const auto r = folivo::test::run("python3", {FOLIVO_SOURCE_DIR "/tests/fixtures/plistdump.py", "--check-keyed", pkg + "/" + rel});
        EXPECT_EQ(r.exitCode, 0) << rel.toStdString() << r.out.constData();
    }

    // And it opens again.
    doc.close();
    MyDocument again(ui);
    ASSERT_TRUE(again.openDatabase(pkg).ok());
    EXPECT_FALSE(again.rebuiltAtOpen());
    ASSERT_EQ(again.tree().categoriesArray().size(), 1u);
    EXPECT_TRUE(again.tree().itemForPath("Unfiled")->isPlainFolder());
}

TEST(CreateDatabase, RefusesExistingPathsAndCleansUpFailures)
{
    Scratch s;
    FakeUi ui;
    ASSERT_TRUE(QDir().mkpath(s.file("Taken.fvdb/inside")));
    {
        MyDocument doc(ui);
        EXPECT_FALSE(doc.createDatabase(s.file("Taken.fvdb")).ok());
        EXPECT_TRUE(QFile::exists(s.file("Taken.fvdb/inside")));
    }
    ASSERT_TRUE(folivo::test::writeAll(s.file("File.fvdb"), "x"));
    EXPECT_FALSE(MyDocument(ui).createDatabase(s.file("File.fvdb")).ok());
    EXPECT_FALSE(MyDocument(ui).createDatabase(s.file(".hidden")).ok());

    // A disk that fails part-way leaves nothing half-made behind.
    for (const char* failing : {"/.index", "/.dindex", "/.+Unfiled", "/.dindexVer4", "/Unfiled"}) {
        const QString pkg = s.file("Broken.fvdb");
        fs::ScopedFault fault([&](fs::Op, const QString& path) { return path == pkg + failing; });
        MyDocument doc(ui);
        const OpenResult r = doc.createDatabase(pkg);
        EXPECT_FALSE(r.ok()) << failing;
        EXPECT_FALSE(r.message.isEmpty());
        EXPECT_FALSE(fs::exists(pkg)) << failing;
    }
}
