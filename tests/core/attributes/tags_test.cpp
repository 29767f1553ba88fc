// Tags of files and auto-tagging: what the lines of a file's text give, the settings that
// drive it, the date tags, and what reaches the package.

#include "attributes/messages.h"
#include "attributes/tags.h"
#include "filing/importpipeline.h"
#include "store/dboperation.h"
#include "store/dbsettings.h"
#include "store/indexitem.h"
#include "store/keys.h"
#include "store/mydocument.h"
#include "support/fakeui.h"
#include "support/packagefixtures.h"
#include "support/testsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::test;

namespace {

QDateTime day(int y, int m, int d)
{
    return QDateTime(QDate(y, m, d), QTime(0, 0));
}

TEST(TagsFromText, LinesThatBeginWithAPrefix)
{
    const QStringList k{"Keywords:"};
    struct Case {
        const char* what;
        QString text;
        QStringList prefixes;
        QChar separator;
        QStringList expected;
    };
    const Case cases[] = {
        {"pieces trimmed, empties dropped", "Keywords: rent, utilities , ,tax", k, u',', {"rent", "utilities", "tax"}},
        {"white space before the prefix", " Keywords: rent, tax", k, u',', {}},
        {"letter case counts", "keywords: rent", k, u',', {}},
        {"prefix in the middle of a line", "Our Keywords: rent", k, u',', {}},
        {"CRLF line ends", "Keywords: rent, tax\r\nTotal\r\nKeywords: fee\r\n", k, u',', {"rent", "tax", "fee"}},
        {"lone CR line ends", "Keywords: a, b\rTotal 5\rKeywords: c", k, u',', {"a", "b", "c"}},
        {"Unicode line ends", QString("Keywords: a\u2029Total\u2028Keywords: b"), k, u',', {"a", "b"}},
        {"two lines in line order, repeats kept", "Keywords: b, a\nx\nKeywords: a", k, u',', {"b", "a", "a"}},
        {"semicolon keeps commas", "Keywords: a; b, c", k, u';', {"a", "b, c"}},
        {"space separator", "Keywords:  alpha beta\t", k, u' ', {"alpha", "beta"}},
        {"prefix alone on its line", "Keywords:\r\nKeywords: ,  ,", k, u',', {}},
        {"every prefix in list order",
         "Keywords: a\nTags: b\nKeywords: c",
         {"Tags:", "Keywords:"},
         u',',
         {"a", "b", "c"}},
        {"an empty prefix matches nothing", "hello, world\nKeywords: x", {"", "Keywords:"}, u',', {"x"}},
        {"only an empty prefix", "hello, world", {""}, u',', {}},
        {"no text", "", k, u',', {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tagsFromText(c.text, c.prefixes, c.separator), c.expected) << c.what;
}

TEST(AutoTagSettings, ReadFromTheStoredDictionary)
{
    struct Case {
        const char* what;
        plist::Dict stored;
        QStringList prefixes;
        bool scanImported;
        bool tagsImports;
        QChar separator;
    };
    const plist::Array one{plist::Value("Keywords:")};
    const Case cases[] = {
        {"nothing stored", {}, {}, false, false, u','},
        {"prefixes without the switch: on", {{"autoTaggingPrefixes", one}}, {"Keywords:"}, true, true, u','},
        {"switch stored off",
         {{"autoTaggingPrefixes", one}, {"autoTaggingScanImported", false}},
         {"Keywords:"},
         false,
         false,
         u','},
        {"switch stored as a number",
         {{"autoTaggingPrefixes", one}, {"autoTaggingScanImported", 1}},
         {"Keywords:"},
         true,
         true,
         u','},
        {"switch on without prefixes", {{"autoTaggingScanImported", true}}, {}, true, false, u','},
        {"empty and repeated prefixes dropped",
         {{"autoTaggingPrefixes",
           plist::Array{plist::Value(""), plist::Value("K:"), plist::Value("K:"), plist::Value(3)}},
          {"autoTaggingScanImported", false}},
         {"K:"},
         false,
         false,
         u','},
        {"only an empty prefix: not specified",
         {{"autoTaggingPrefixes", plist::Array{plist::Value("")}}, {"autoTaggingScanImported", true}},
         {},
         true,
         false,
         u','},
        {"semicolon", {{"autoTaggingSeparator", 1}}, {}, false, false, u';'},
        {"space", {{"autoTaggingSeparator", 2}}, {}, false, false, u' '},
        {"separator out of range", {{"autoTaggingSeparator", 7}}, {}, false, false, u','},
        {"negative separator", {{"autoTaggingSeparator", -1}}, {}, false, false, u','},
    };
    for (const Case& c : cases) {
        const AutoTagSettings s = AutoTagSettings::from(c.stored);
        EXPECT_EQ(s.prefixes, c.prefixes) << c.what;
        EXPECT_EQ(s.scanImported, c.scanImported) << c.what;
        EXPECT_EQ(s.tagsImports(), c.tagsImports) << c.what;
        EXPECT_EQ(s.separatorChar(), c.separator) << c.what;
    }
}

TEST(AutoTagSettings, StoringDropsEmptyPrefixesAndWritesTheSwitch)
{
    AutoTagSettings s;
    s.prefixes = {"", "Keywords:", "Keywords:", "Tags:"};
    s.separator = 2;
    plist::Dict stored;
    s.storeInto(stored);
    EXPECT_EQ(*stored.find("autoTaggingPrefixes"),
              plist::Value(plist::Array{plist::Value("Keywords:"), plist::Value("Tags:")}));
    EXPECT_EQ(*stored.find("autoTaggingScanImported"), plist::Value(false));
    EXPECT_EQ(*stored.find("autoTaggingSeparator"), plist::Value(2));
    EXPECT_FALSE(AutoTagSettings::from(stored).tagsImports()) << "a stored off stays off";
}

// The per-database settings keep a missing switch missing, so an older database that has
// prefixes still tags its imports; a new database starts with the switch off.
TEST(AutoTagSettings, MissingSwitchSurvivesReadingTheDatabaseSettings)
{
    const plist::Dict state{{"autoTaggingPrefixes", plist::Array{plist::Value("Keywords:")}}};
    const DatabaseSettings read = DatabaseSettings::fromAttributesState(plist::Value(state), nullptr);
    EXPECT_TRUE(AutoTagSettings::from(read.tagSettings).tagsImports());
    const DatabaseSettings fresh = DatabaseSettings::forNewDatabase(nullptr);
    EXPECT_FALSE(AutoTagSettings::from(fresh.tagSettings).scanImported);
    EXPECT_FALSE(AutoTagSettings::from(fresh.tagSettings).specified());
}

TEST(ButtonDateTagSort, DateTagsFirstMonthsInButtonOrder)
{
    const QList<int> order{3, 1, 2}; // March, January, February
    struct Case {
        QString a, b;
        int sign;
    };
    const Case cases[] = {
        {"<2024>", "apple", -1},         {"zebra", "<March>", 1},      {"<March>", "<January>", -1},
        {"<January>", "<February>", -1}, {"<February>", "<2023>", -1}, {"<April>", "<2023>", 1},
        {"<2023>", "<2024>", -1},        {"Rent", "rent", 0},          {"apple", "Banana", -1},
    };
    for (const Case& c : cases) {
        const int got = buttonDateTagSort(c.a, c.b, order);
        EXPECT_EQ((got > 0) - (got < 0), c.sign) << c.a.toStdString() << " vs " << c.b.toStdString();
        const int back = buttonDateTagSort(c.b, c.a, order);
        EXPECT_EQ((back > 0) - (back < 0), -c.sign) << "antisymmetric";
    }
}

TEST(PrefixRows, EditingTheDialogsList)
{
    const QString deleted = attributesmsg::PrefixDuplicateDeleted;
    const QString kept = attributesmsg::PrefixOriginalNotChanged;
    struct Case {
        const char* what;
        QStringList before;
        int row;
        QString text;
        QList<int> selected;
        QStringList after;
        QString error;
    };
    const Case cases[] = {
        {"new row takes its text", {"A:", ""}, 1, "B:", {1}, {"A:", "B:"}, {}},
        {"new row repeating a prefix is deleted", {"A:", ""}, 1, "A:", {1}, {"A:"}, deleted},
        {"existing row repeating another keeps its text", {"A:", "B:"}, 1, "A:", {1}, {"A:", "B:"}, kept},
        {"same text again", {"A:", "B:"}, 1, "B:", {1}, {"A:", "B:"}, {}},
        {"emptied row deletes the selection", {"A:", "B:", "C:"}, 1, "", {0, 1}, {"C:"}, {}},
        {"emptied row without a selection goes", {"A:", "B:"}, 0, "", {}, {"B:"}, {}},
        {"new row left empty goes", {"A:", ""}, 1, "", {1}, {"A:"}, {}},
        {"prefixes differ by case", {"Tags:", ""}, 1, "tags:", {1}, {"Tags:", "tags:"}, {}},
        {"row out of range", {"A:"}, 3, "B:", {}, {"A:"}, {}},
    };
    for (const Case& c : cases) {
        QStringList prefixes = c.before;
        EXPECT_EQ(editPrefixRow(prefixes, c.row, c.text, c.selected).error, c.error) << c.what;
        EXPECT_EQ(prefixes, c.after) << c.what;
    }
    QStringList prefixes{"A:", "B:", "C:", "D:"};
    EXPECT_EQ(addPrefixRow(prefixes), 4);
    deletePrefixRows(prefixes, {4, 0, 2, 2, 9});
    EXPECT_EQ(prefixes, QStringList({"B:", "D:"}));
}

class Tags : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(doc_.createDatabase(db_).ok());
        ASSERT_EQ(doc_.recordNewCategory("Bank", nullptr, -1).status, OperationResult::Status::Done);
        AutoTagSettings s;
        s.prefixes = {"Keywords:"};
        setAutoTagSettings(doc_, s);
    }
    QString import(const QString& name, const QByteArray& text, std::optional<QDateTime> end = {})
    {
        const QString path = doc_.recordImport(name, text, "Bank", -1, {}, end).resultPath;
        EXPECT_FALSE(path.isEmpty()) << name.toStdString();
        return path;
    }
    IndexItem& item(const QString& path) { return *doc_.tree().itemForPath(path); }
    QString attributesFile(const QString& path) { return db_ + "/" + MyDocument::attributesPathForPath(path); }

    Scratch scratch_;
    QString db_ = scratch_.file("Tags.fvdb");
    FakeUi ui_;
    MyDocument doc_{ui_};
};

TEST_F(Tags, SetTagsStoresOnlyChangesAndKeepsThemThroughARebuild)
{
    const QString file = import("Letter.txt", "Dear");
    EXPECT_FALSE(setTags(doc_, file, {})) << "no tags equal an empty list";
    EXPECT_FALSE(item(file).has(keys::Tags));
    ASSERT_TRUE(setTags(doc_, file, {"rent", "tax"}));
    EXPECT_FALSE(setTags(doc_, file, {"rent", "tax"}));
    EXPECT_FALSE(setTags(doc_, "Bank", {"rent"})) << "folders carry no tags";
    EXPECT_FALSE(setTags(doc_, "Bank/Gone.txt", {"rent"}));
    doc_.rebuildIndex();
    EXPECT_EQ(tagsOf(item(file)), QStringList({"rent", "tax"}));
    ASSERT_TRUE(setTags(doc_, file, {}));
    EXPECT_FALSE(item(file).has(keys::Tags)) << "an emptied list removes the key";
}

TEST_F(Tags, DateTagsComeFromTheEndingDateAndAreNeverStored)
{
    const QString dated = import("March.txt", "Keywords: rent", day(2024, 3, 15));
    const QString undated = import("Plain.txt", "Keywords: rent");
    EXPECT_EQ(dateTagsOf(item(dated)), QStringList({"<March>", "<2024>"}));
    EXPECT_EQ(dateTagsOf(item(undated)), QStringList());
    EXPECT_EQ(tagsSetForItem(item(dated), false), QSet<QString>());
    EXPECT_EQ(tagsSetForItem(item(dated), true), QSet<QString>({"<March>", "<2024>"}));

    ASSERT_EQ(autoTagItem(doc_, item(dated), autoTagSettingsOf(doc_)), AutoTagOutcome::Tagged);
    EXPECT_EQ(tagsOf(item(dated)), QStringList({"rent"}));
    EXPECT_FALSE(readAll(attributesFile(dated)).contains("March>"));
}

TEST_F(Tags, AllTagsOfTheFilesThatCarryTheGivenOnes)
{
    const QString a = import("A.txt", "a", day(2024, 3, 1));
    const QString b = import("B.txt", "b", day(2023, 1, 9));
    import("C.txt", "c");
    ASSERT_TRUE(setTags(doc_, a, {"rent", "Tax"}));
    ASSERT_TRUE(setTags(doc_, b, {"rent", "rent"}));
    struct Case {
        QStringList wanted, expected;
    };
    const Case cases[] = {
        {{}, {"<January>", "<March>", "<2023>", "<2024>", "rent", "Tax"}},
        {{"rent", "Tax"}, {"<March>", "<2024>", "rent", "Tax"}},
        {{"<2023>"}, {"<January>", "<2023>", "rent"}},
        {{"tax"}, {}},
        {{"rent", "<2025>"}, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tagsForAllFilesWithTags(doc_, c.wanted), c.expected) << c.wanted.join(' ').toStdString();
}

TEST_F(Tags, AutoTaggingReplacesTagsOnceAndKeepsThemWithoutAMatch)
{
    const QString file = import("Statement.txt", "Statement\r\nKeywords: rent, tax\r\nTotal 5\r\nKeywords: rent\r\n");
    const QString other = import("Other.txt", "Nothing to see\nkeywords: lower case\n");
    ASSERT_TRUE(setTags(doc_, file, {"old"}));
    ASSERT_TRUE(setTags(doc_, other, {"kept"}));
    const AutoTagSettings s = autoTagSettingsOf(doc_);

    EXPECT_EQ(autoTagItem(doc_, item(file), s), AutoTagOutcome::Tagged);
    EXPECT_EQ(tagsOf(item(file)), QStringList({"rent", "tax", "rent"}));
    EXPECT_EQ(autoTagItem(doc_, item(other), s), AutoTagOutcome::NoTags);
    EXPECT_EQ(tagsOf(item(other)), QStringList({"kept"}));

    // Unchanged tags leave the attributes files alone.
    const QDateTime old = day(2010, 1, 1);
    for (const QString& path : {file, other}) {
        QFile f(attributesFile(path));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(old, QFileDevice::FileModificationTime));
    }
    EXPECT_EQ(autoTagItems(doc_, {doc_.tree().itemForPath("Bank")}, s), 0);
    EXPECT_EQ(autoTagItem(doc_, item(file), s), AutoTagOutcome::Unchanged);
    for (const QString& path : {file, other})
        EXPECT_EQ(QFileInfo(attributesFile(path)).lastModified(), old) << path.toStdString();

    doc_.rebuildIndex();
    EXPECT_EQ(tagsOf(item(file)), QStringList({"rent", "tax", "rent"}));
}

// An import tags what it stores only while "Auto Tag Imported Files" is on, reading the
// source's text once for the filing rules and the tags.
TEST_F(Tags, ImportsAreTaggedOnlyWhileTheSwitchIsOn)
{
    const QString source = scratch_.file("in/Statement.txt");
    QDir().mkpath(QFileInfo(source).path());
    ASSERT_TRUE(writeAll(source, "Bank statement\r\nKeywords: rent, heating\n"));
    for (const bool on : {false, true}) {
        AutoTagSettings s = autoTagSettingsOf(doc_);
        s.scanImported = on;
        setAutoTagSettings(doc_, s);
        ImportPipeline pipeline(doc_, nullptr);
        ImportRequest request;
        request.paths = {source};
        request.parentPath = "Bank";
        request.ignoreUserSelection = true;
        const ImportOutcome out = pipeline.doImport(request);
        ASSERT_EQ(out.itemsToSelect.size(), 1);
        EXPECT_EQ(tagsOf(item(out.itemsToSelect.first())), on ? QStringList({"rent", "heating"}) : QStringList())
            << "switch " << on;
    }
}

TEST_F(Tags, AutoTaggingAFolderTagsEveryFileBeneathIt)
{
    const QString dated = import("Dated.txt", "Keywords: a", day(2024, 5, 2));
    const QString flat = import("Flat.txt", "Keywords: b");
    const QString none = import("None.txt", "plain");
    const QString unfiled = doc_.recordImport("U.txt", QByteArray("Keywords: u"), "Unfiled", -1, {}, {}).resultPath;
    EXPECT_EQ(autoTagItems(doc_, {doc_.tree().itemForPath("Bank")}, autoTagSettingsOf(doc_)), 2);
    EXPECT_EQ(tagsOf(item(dated)), QStringList({"a"}));
    EXPECT_EQ(tagsOf(item(flat)), QStringList({"b"}));
    EXPECT_FALSE(item(none).has(keys::Tags));
    EXPECT_FALSE(item(unfiled).has(keys::Tags)) << "outside the folder";
}

TEST_F(Tags, TheFilesAWindowTagsOneByOneAndTheTagsItCompletes)
{
    ASSERT_EQ(doc_.recordNewCategory("Bank/2024", doc_.tree().itemForPath("Bank"), -1).status,
              OperationResult::Status::Done);
    const QString a = import("A.txt", "x");
    const QString b = doc_.recordImport("B.txt", QByteArray("y"), "Bank/2024", -1, {}, {}).resultPath;
    ASSERT_TRUE(setTags(doc_, a, {"rent", "Tax"}));
    ASSERT_TRUE(setTags(doc_, b, {"tax", "rent", "alpha"}));
    // In the tree's order: the folder "2024" stands before the file.
    EXPECT_EQ(filesToAutoTag({doc_.tree().itemForPath("Bank")}), QStringList({b, a}));
    EXPECT_EQ(filesToAutoTag({doc_.tree().itemForPath(b), nullptr}), QStringList({b}));
    EXPECT_EQ(allFileTags(doc_), QStringList({"alpha", "rent", "Tax", "tax"}));
}

TEST_F(Tags, AnEmptyPrefixDoesNotTagEveryFile)
{
    const QString file = import("Letter.txt", "Dear Sir, dear Madam");
    AutoTagSettings s;
    s.prefixes = {""};
    EXPECT_FALSE(s.specified());
    EXPECT_EQ(autoTagItem(doc_, item(file), s), AutoTagOutcome::NoTags);
    EXPECT_FALSE(item(file).has(keys::Tags));
}

TEST_F(Tags, NothingIsWrittenInADatabaseOpenForReading)
{
    const QString file = import("Statement.txt", "Keywords: rent");
    doc_.closeDatabase();
    doc_.close();
    const auto before = packageListing(db_);
    MyDocument reader(ui_);
    OpenOptions options;
    options.forReading = true;
    ASSERT_TRUE(reader.openDatabase(db_, options).ok());
    IndexItem* stored = reader.tree().itemForPath(file);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(autoTagItem(reader, *stored, autoTagSettingsOf(reader)), AutoTagOutcome::Refused);
    EXPECT_EQ(autoTagItems(reader, {reader.tree().itemForPath("Bank")}, autoTagSettingsOf(reader)), 0);
    EXPECT_FALSE(setTags(reader, file, {"rent"}));
    EXPECT_FALSE(stored->has(keys::Tags));
    EXPECT_EQ(listingDifferences(before, packageListing(db_)), QString());
}

class EncryptedTags : public Fixtures {};

// The text of an enciphered file is read in memory; neither it nor the tags found in it
// reach the package in plain.
TEST_F(EncryptedTags, LeaveNoPlainFileInThePackage)
{
    const QString pkg = copyOf("Encrypted.fvdb");
    const QString password = manifest_.value("Encrypted.fvdb").toObject().value("password").toString();
    const QByteArray secret = "SECRETTAG-4411";
    QString file;
    {
        FakeUi ui;
        ui.passwords = {password};
        MyDocument doc(ui);
        ASSERT_TRUE(doc.openDatabase(pkg).ok());
        AutoTagSettings s;
        s.prefixes = {"Keywords:"};
        setAutoTagSettings(doc, s);
        file = doc.recordImport("Tagged.txt", "Keywords: " + secret, "Bank", -1, {}, {}).resultPath;
        ASSERT_FALSE(file.isEmpty());
        const auto before = packageListing(pkg);
        ASSERT_EQ(autoTagItem(doc, *doc.tree().itemForPath(file), s), AutoTagOutcome::Tagged);
        EXPECT_EQ(tagsOf(*doc.tree().itemForPath(file)), QStringList({QString::fromUtf8(secret)}));
        EXPECT_FALSE(QFileInfo::exists(pkg + "/" + file)) << "no plain copy beside the enciphered file";
        for (const QString& added : packageListing(pkg).keys())
            EXPECT_TRUE(before.contains(added)) << "new file " << added.toStdString();
        doc.closeDatabase();
        doc.close();
    }
    QDirIterator it(pkg, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString f = it.next();
        EXPECT_FALSE(readAll(f).contains(secret)) << f.toStdString();
    }
    FakeUi ui;
    ui.passwords = {password};
    MyDocument doc(ui);
    ASSERT_TRUE(doc.openDatabase(pkg, OpenOptions{.rebuildRequested = true}).ok());
    EXPECT_EQ(tagsOf(*doc.tree().itemForPath(file)), QStringList({QString::fromUtf8(secret)}));
}

} // namespace
