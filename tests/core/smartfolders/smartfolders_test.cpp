// Smart folders: their names, their loading over a snapshot of the tree, what an operation
// between the steps of a load does to them, the references of folders of chosen items, and
// that loading them never counts as a change of the database.

#include "attributes/tags.h"
#include "filing/importfolder.h"
#include "find/documentmatch.h"
#include "prefs/ktprefs.h"
#include "smartfolders/references.h"
#include "smartfolders/smartfolders.h"
#include "store/bookmark.h"
#include "store/keys.h"
#include "store/mydocument.h"
#include "store/packagepath.h"
#include "support/fakeui.h"
#include "support/testsupport.h"

#include <QDir>
#include <QtEndian>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::test;

namespace {

QDateTime day(int y, int m, int d)
{
    return QDateTime(QDate(y, m, d), QTime(0, 0));
}

FindCriteria nameContains(const QString& needle, const QString& folderName)
{
    FindCondition c;
    c.tag = findbits::Name | findbits::Contains | findbits::IgnoreCase;
    c.name = needle;
    FindCriteria f;
    f.conditions = {c};
    f.type = 3;
    f.smartFolderName = folderName;
    return f;
}

// The real files a folder's smart files stand for, by path, in order.
QStringList targetsOf(const IndexItem& folder)
{
    QStringList out;
    for (const auto& c : folder.children())
        out << c->value(keys::SmartFile)->string();
    return out;
}

QStringList childPaths(const IndexItem& folder)
{
    QStringList out;
    for (const auto& c : folder.children())
        out << c->path();
    return out;
}

// macOS bookmark data as that system writes it: a header, then a data area with a table
// of contents whose path entry (0x1004) is an array of strings.
QByteArray macBookmark(const QStringList& components)
{
    QByteArray area(4, '\0'); // the offset of the table, filled in below
    auto le = [](QByteArray& to, quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        to.append(b, 4);
    };
    QList<quint32> offsets;
    for (const QString& c : components) {
        offsets << quint32(area.size());
        const QByteArray utf8 = c.toUtf8();
        le(area, quint32(utf8.size()));
        le(area, 0x0101);
        area.append(utf8);
        while (area.size() % 4)
            area.append('\0');
    }
    const quint32 array = quint32(area.size());
    le(area, quint32(offsets.size() * 4));
    le(area, 0x0601);
    for (quint32 o : offsets)
        le(area, o);
    const quint32 toc = quint32(area.size());
    le(area, 20 + 12);
    le(area, 0xfffffffe);
    le(area, 1);
    le(area, 0);
    le(area, 1);
    le(area, 0x1004);
    le(area, array);
    le(area, 0);
    qToLittleEndian(toc, area.data());
    QByteArray header("book");
    le(header, quint32(48 + area.size()));
    le(header, 0x10040000);
    le(header, 48);
    header.append(QByteArray(48 - header.size(), '\0'));
    return header + area;
}

class SmartFoldersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        doc_ = std::make_unique<MyDocument>(ui_);
        ASSERT_TRUE(doc_->createDatabase(scratch_.file("Home.fvdb")).ok());
    }

    MyDocument& doc() { return *doc_; }
    SmartFolders& smart() { return doc_->smartFolders(); }

    void folder(const QString& path)
    {
        const qsizetype slash = path.lastIndexOf('/');
        const QString parent = slash < 0 ? QString() : path.left(slash);
        ASSERT_TRUE(doc().recordNewCategory(path, doc().tree().itemForPath(parent), -1).ok());
    }
    QString file(const QString& name, const QString& parent = "Unfiled", const QStringList& tags = {},
                 std::optional<QDateTime> end = std::nullopt)
    {
        const OperationResult r = doc().recordImport(name, QByteArray("text of ") + name.toUtf8(), parent, -1, {}, end);
        EXPECT_TRUE(r.ok()) << r.message.toStdString();
        if (!tags.isEmpty())
            EXPECT_TRUE(setTags(doc(), r.resultPath, tags));
        return r.resultPath;
    }
    bool load(IndexItem& folder)
    {
        DocumentMatchContext context(doc(), false);
        return smart().loadToCompletion(folder, context);
    }

    Scratch scratch_;
    FakeUi ui_;
    std::unique_ptr<MyDocument> doc_;
};

TEST_F(SmartFoldersTest, NamesAreMadeUniqueAmongAllItems)
{
    folder("Selected Files");
    const QString bill = file("bill.txt");
    const IndexItem* item = doc().tree().itemForPath(bill);
    IndexItem* second = smart().createSelectedItemsFolder({item});
    IndexItem* third = smart().createSelectedItemsFolder({item});
    ASSERT_TRUE(second && third);
    EXPECT_EQ(second->path(), "Selected Files2");
    EXPECT_EQ(third->path(), "Selected Files3");

    IndexItem* a = smart().createConditionFolder(nameContains("bill", "Bills"));
    IndexItem* b = smart().createConditionFolder(nameContains("bill", "Bills"));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(b->path(), "Bills2");
    // The name a condition folder got is the one its criteria keep.
    EXPECT_EQ(FindCriteria::fromValue(*b->value(keys::SmartFolder)).smartFolderName, "Bills2");

    // Nothing to refer to: no folder is made.
    EXPECT_EQ(smart().createSelectedItemsFolder({third}), nullptr);
    EXPECT_EQ(smart().createSelectedItemsFolder({}), nullptr);
}

TEST_F(SmartFoldersTest, ProposedTagFolderNamesStayInsideThePackage)
{
    const QString longTag = QString(200, QChar(0x00e9)); // 400 bytes of UTF-8
    struct Case {
        const char* what;
        QStringList titles;
    };
    const Case cases[] = {
        {"a slash in a tag", {"car/boat", "tax"}},
        {"a tag longer than a name may be", {longTag}},
        {"control characters", {"a\nb"}},
        {"nothing selected yet", {}},
        {"a character outside the basic plane at the cut", {QString(118, 'x') + QString::fromUtf8("\U0001F600\U0001F600\U0001F600")}},
    };
    for (const Case& c : cases) {
        const QString name = smart().proposedTagFolderName(c.titles);
        EXPECT_EQ(checkName(name), NameProblem::None) << c.what << ": " << name.toStdString();
        EXPECT_FALSE(name.contains('/')) << c.what;
        EXPECT_LE(name.toUtf8().size(), MaxNameBytes - 6) << c.what;
        // Cut at a character: it reads back the same.
        EXPECT_EQ(QString::fromUtf8(name.toUtf8()), name) << c.what;
        EXPECT_TRUE(name.startsWith("Files With ")) << c.what;
    }
    EXPECT_EQ(smart().proposedTagFolderName({}), "Files With Selected Tags and or Date");
    IndexItem* made = smart().createTagFolder({"tax"}, QString());
    ASSERT_TRUE(made);
    EXPECT_EQ(made->path(), "Files With tax");
    EXPECT_EQ(smart().proposedTagFolderName({"tax"}), "Files With tax2");
    EXPECT_EQ(smart().proposedTagFolderName({"tax"}, "Files With tax"), "Files With tax");
}

TEST_F(SmartFoldersTest, InvalidationMarksAndReloadingNumbersAfresh)
{
    file("bill one.txt");
    file("bill two.txt");
    file("letter.txt");
    IndexItem* bills = smart().createConditionFolder(nameContains("bill", "Bills"));
    IndexItem* letters = smart().createConditionFolder(nameContains("letter", "Letters"));
    ASSERT_TRUE(bills && letters);
    int collapses = 0;
    smart().onInvalidated = [&] { ++collapses; };

    ASSERT_TRUE(load(*bills));
    ASSERT_TRUE(load(*letters));
    EXPECT_EQ(childPaths(*bills), (QStringList{"Bills/SF1", "Bills/SF2"}));
    EXPECT_EQ(childPaths(*letters), QStringList{"Letters/SF3"});
    EXPECT_FALSE(smart().needsLoading(*bills));
    EXPECT_EQ(doc().tree().itemForPath("Letters/SF3")->value(keys::SmartFile)->string(), "Unfiled/letter.txt");
    // A folder that is current is not scanned again.
    DocumentMatchContext context(doc(), false);
    EXPECT_EQ(smart().startLoad(*bills, context), nullptr);

    // Any recorded change marks every folder; nothing is scanned until one is shown.
    file("bill three.txt");
    EXPECT_EQ(collapses, 1);
    EXPECT_TRUE(smart().needsLoading(*bills));
    EXPECT_TRUE(smart().needsLoading(*letters));
    EXPECT_EQ(bills->children().size(), 2u);

    ASSERT_TRUE(load(*letters));
    EXPECT_EQ(childPaths(*letters), QStringList{"Letters/SF1"});
    EXPECT_EQ(doc().tree().itemForPath("Letters/SF3"), nullptr);
    ASSERT_TRUE(load(*bills));
    EXPECT_EQ(childPaths(*bills), (QStringList{"Bills/SF2", "Bills/SF3", "Bills/SF4"}));
    EXPECT_EQ(doc().tree().itemForPath("Bills/SF1"), nullptr);

    // A renamed folder's smart files go with their old names; a deleted folder's too.
    ASSERT_TRUE(doc().recordRename("Bills", "Invoices").ok());
    EXPECT_EQ(doc().tree().itemForPath("Bills/SF2"), nullptr);
    EXPECT_EQ(doc().tree().itemForPath("Invoices/SF2"), nullptr);
    EXPECT_TRUE(bills->children().empty());
    ASSERT_TRUE(load(*bills));
    EXPECT_EQ(targetsOf(*bills).size(), 3);
    ASSERT_TRUE(doc().recordDelete("Invoices").ok());
    for (const char* gone : {"Invoices/SF1", "Invoices/SF2", "Invoices/SF3"})
        EXPECT_EQ(doc().tree().itemForPath(gone), nullptr) << gone;
}

TEST_F(SmartFoldersTest, TagFoldersRequireEveryTitleAndMonthsMatchAnyYear)
{
    const QString a = file("a.txt", "Unfiled", {"tax", "car"}, day(2023, 3, 31));
    const QString b = file("b.txt", "Unfiled", {"tax"}, day(2024, 3, 1));
    const QString c = file("c.txt", "Unfiled", {"car", "boat"}, day(2024, 6, 15));
    const QString d = file("d.txt", "Unfiled", {"Tax"});
    struct Case {
        QStringList titles;
        QStringList expected;
    };
    const Case cases[] = {
        {{}, {}},
        {{"tax"}, {a, b}},
        {{"tax", "car"}, {a}},
        {{"car", "tax"}, {a}},
        {{"Tax"}, {d}},
        {{"<March>"}, {a, b}},
        {{"<2024>"}, {b, c}},
        {{"<March>", "<2024>"}, {b}},
        {{"<June>", "tax"}, {}},
        {{"unknown"}, {}},
    };
    IndexItem* folder = smart().createTagFolder({}, "Tags");
    ASSERT_TRUE(folder);
    for (const Case& k : cases) {
        smart().setTagFolderTitles(*folder, k.titles);
        ASSERT_TRUE(smart().needsLoading(*folder));
        ASSERT_TRUE(load(*folder));
        QStringList got = targetsOf(*folder);
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, k.expected) << k.titles.join(',').toStdString();
    }
}

TEST_F(SmartFoldersTest, SelectedItemsFolderListsItsReferencesNewestFirst)
{
    folder("Bills");
    folder("Bills/Gas");
    const QString g1 = file("g1.txt", "Bills/Gas");
    const QString b1 = file("b1.txt", "Bills");
    const QString b2 = file("b2.txt", "Bills");
    const QString lone = file("lone.txt");
    const QString gone = file("gone.txt");
    QList<const IndexItem*> chosen;
    for (const QString& p : {lone, QString("Bills"), gone, b1})
        chosen << doc().tree().itemForPath(p);
    IndexItem* f = smart().createSelectedItemsFolder(chosen);
    ASSERT_TRUE(f);
    ASSERT_TRUE(load(*f));
    // Entries from the last to the first; a folder gives every file below it, depth first
    // in child order; a file already listed is listed once.
    EXPECT_EQ(targetsOf(*f), (QStringList{b1, gone, g1, b2, lone}));
    EXPECT_EQ(smart().members(*f).size(), 5);

    // A deleted target drops out; a renamed or moved one is followed.
    ASSERT_TRUE(doc().recordDelete(gone).ok());
    ASSERT_TRUE(doc().recordRename(b1, "Bills/b1 paid.txt").ok());
    ASSERT_TRUE(doc().recordRename("Bills", "Paid").ok());
    ASSERT_TRUE(doc().recordMovePath(lone, doc().tree().itemForPath("Paid/Gas"), -1).ok());
    ASSERT_TRUE(smart().needsLoading(*f));
    ASSERT_TRUE(load(*f));
    EXPECT_EQ(targetsOf(*f), (QStringList{"Paid/b1 paid.txt", "Paid/Gas/g1.txt", "Paid/Gas/lone.txt",
                                          "Paid/b2.txt"}));
    EXPECT_EQ(smart().referencedPaths(*f), (QStringList{"Paid/Gas/lone.txt", "Paid", "Paid/b1 paid.txt"}));

    // The followed references reach the attributes file, so a rebuilt index has them too.
    const QString name = f->path();
    doc().rebuildIndex();
    IndexItem* again = doc().tree().itemForPath(name);
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->children().empty());
    EXPECT_TRUE(smart().needsLoading(*again));
    ASSERT_TRUE(load(*again));
    EXPECT_EQ(targetsOf(*again).size(), 4);
}

TEST_F(SmartFoldersTest, ReferencesOutsideThePackageOrUnreadableNameNothing)
{
    const QString kept = file("kept.txt");
    const QString legacy = file("legacy.txt");
    const QString older = file("older.txt");
    plist::Array entries;
    entries.push_back(plist::Dict{{refkeys::BookMarkData, QByteArray("folivo-package-path\n../Other.fvdb/x.txt")}});
    entries.push_back(plist::Dict{{refkeys::BookMarkData, bookmarkDataForStoredPath("/etc/passwd")}});
    entries.push_back(plist::Dict{{refkeys::BookMarkData, macBookmark({"Users", "me", "Other", "secret.txt"})}});
    entries.push_back(plist::Dict{{refkeys::BookMarkData, macBookmark({"Users", "me", "Home.fvdb", "..", "x"})}});
    entries.push_back(plist::Dict{{refkeys::FolivoPath, QString("../../etc/passwd")}});
    entries.push_back(plist::Dict{{refkeys::BookMarkData, macBookmark({"Volumes", "Disk", "Old Name.fvdb", "Unfiled", "legacy.txt"})}});
    entries.push_back(plist::Dict{{refkeys::BookMarkData, bookmarkDataForStoredPath(kept)}});
    plist::Dict criteria{{findkeys::Conditions, std::move(entries)}};
    // Made the way the macOS edition leaves it in the index: definition and smart files.
    auto item = std::make_unique<IndexItem>(plist::Dict{{keys::Path, QString("Old")},
                                                        {keys::SmartFolderType, std::int64_t(2)},
                                                        {keys::SmartFolder, criteria},
                                                        {keys::NeedsLoading, true}},
                                            true);
    IndexItem* f = doc().tree().insert(nullptr, std::move(item));
    ASSERT_TRUE(load(*f));
    EXPECT_EQ(targetsOf(*f), (QStringList{kept, legacy}));

    // Bookmark data no path can be read out of: the files it listed before stand in.
    plist::Array unreadable;
    unreadable.push_back(plist::Dict{{refkeys::BookMarkData, QByteArray("book\x01\x02\x03 truncated")}});
    unreadable.push_back(plist::Dict{{refkeys::BookMarkData, bookmarkDataForStoredPath(kept)}});
    f->setValue(keys::SmartFolder, plist::Dict{{findkeys::Conditions, std::move(unreadable)}});
    doc().tree().replaceChildren(f, {});
    ItemList before;
    before.push_back(std::make_unique<IndexItem>(plist::Dict{{keys::Path, QString("Old/SF90")}, {keys::SmartFile, older}}, false));
    doc().tree().replaceChildren(f, std::move(before));
    f->setValue(keys::NeedsLoading, true);
    ASSERT_TRUE(load(*f));
    EXPECT_EQ(targetsOf(*f), (QStringList{kept, older}));

    // A rename here adds the new place to a legacy entry and leaves its data as it was.
    plist::Array one;
    const QByteArray data = macBookmark({"Users", "me", "Home.fvdb", "Unfiled", "legacy.txt"});
    one.push_back(plist::Dict{{refkeys::BookMarkData, data}});
    f->setValue(keys::SmartFolder, plist::Dict{{findkeys::Conditions, std::move(one)}});
    ASSERT_TRUE(doc().recordRename(legacy, "Unfiled/renamed.txt").ok());
    const plist::Dict& entry = f->value(keys::SmartFolder)->dict().find(findkeys::Conditions)->array()[0].dict();
    EXPECT_EQ(entry.find(refkeys::BookMarkData)->data(), data);
    EXPECT_EQ(entry.find(refkeys::FolivoPath)->string(), "Unfiled/renamed.txt");
    ASSERT_TRUE(load(*f));
    EXPECT_EQ(targetsOf(*f), QStringList{"Unfiled/renamed.txt"});
}

TEST(SmartFolderReferences, ForeignDataIsReadWithinItsBounds)
{
    const QByteArray good = macBookmark({"Users", "me", "Home.fvdb", "Bills", "gas.pdf"});
    EXPECT_EQ(macBookmarkPathComponents(good), (QStringList{"Users", "me", "Home.fvdb", "Bills", "gas.pdf"}));
    // Every cut of good data, and a few bytes spoiled, give nothing or a path, never more.
    for (int n = 0; n < good.size(); ++n)
        (void)macBookmarkPathComponents(good.left(n));
    for (int i = 12; i < good.size(); i += 3) {
        QByteArray bad = good;
        bad[i] = char(0xff);
        (void)macBookmarkPathComponents(bad);
    }
    EXPECT_FALSE(macBookmarkPathComponents("not a bookmark"));

    struct Case {
        QStringList components;
        QString package;
        std::optional<QString> expected;
    };
    const Case cases[] = {
        {{"Users", "me", "Home.fvdb", "Bills", "gas.pdf"}, "Home.fvdb", "Bills/gas.pdf"},
        {{"Users", "me", "Moved.fvdb", "Bills", "gas.pdf"}, "Home.fvdb", "Bills/gas.pdf"},
        {{"Users", "me", "Home.fvdb"}, "Home.fvdb", std::nullopt},
        {{"Users", "me", "Home.fvdb", "..", "x"}, "Home.fvdb", std::nullopt},
        {{"Users", "me", "Documents", "x"}, "Home.fvdb", std::nullopt},
        {{"Home.fvdb", "a", "", "b"}, "Home.fvdb", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(storedPathAfterPackage(c.components, c.package), c.expected) << c.components.join('/').toStdString();

    // A version 2 alias record: 150 bytes of fixed part, then tagged fields (big-endian).
    QByteArray alias(150, '\0');
    alias[7] = 2;
    const QByteArray posix = "/Users/me/Home.fvdb/Unfiled/a.txt";
    auto field = [&](quint16 tag, const QByteArray& value) {
        char b[2];
        qToBigEndian(tag, b);
        alias.append(b, 2);
        qToBigEndian(quint16(value.size()), b);
        alias.append(b, 2);
        alias.append(value);
        if (value.size() % 2)
            alias.append('\0');
    };
    field(2, "Macintosh HD:Users:me:Home.fvdb:Unfiled:a.txt");
    field(18, posix);
    field(0xffff, {});
    EXPECT_EQ(macAliasPosixPath(alias), QString(posix));
    const ResolvedReference r = resolveReference(plist::Dict{{refkeys::Alias, alias}}, "Home.fvdb");
    EXPECT_EQ(r.source, ReferenceSource::MacAlias);
    EXPECT_EQ(r.storedPath, "Unfiled/a.txt");
    for (int n = 0; n < alias.size(); ++n)
        (void)macAliasPosixPath(alias.left(n));
}

TEST_F(SmartFoldersTest, AStoppedLoadKeepsWhatItFoundAndLoadsAgain)
{
    for (int i = 0; i < 20; ++i)
        file(QStringLiteral("bill %1.txt").arg(i));
    IndexItem* bills = smart().createConditionFolder(nameContains("bill", "Bills"));
    ASSERT_TRUE(bills);
    DocumentMatchContext context(doc(), false);
    {
        auto load = smart().startLoad(*bills, context);
        ASSERT_TRUE(load);
        EXPECT_EQ(load->total(), 20);
        EXPECT_TRUE(load->step(5));
        load->stop();
        EXPECT_TRUE(load->stopped());
        EXPECT_FALSE(load->step(5));
    }
    EXPECT_EQ(bills->children().size(), 5u);
    EXPECT_TRUE(smart().needsLoading(*bills));
    EXPECT_FALSE(smart().loading());

    int asked = 0;
    EXPECT_FALSE(smart().loadToCompletion(*bills, context, [&] { return ++asked > 0; }));
    EXPECT_TRUE(smart().needsLoading(*bills));
    // An unfinished load that is dropped counts as stopped.
    smart().startLoad(*bills, context).reset();
    EXPECT_TRUE(smart().needsLoading(*bills));
    EXPECT_TRUE(load(*bills));
    EXPECT_EQ(bills->children().size(), 20u);
    EXPECT_FALSE(smart().needsLoading(*bills));
}

// Operations arrive between the steps of a scan (the import folder is emptied, the person
// renames and deletes): the scan passes over what went, neither folder is left half made,
// and the scanned folder loads again once it is shown.
TEST_F(SmartFoldersTest, OperationsBetweenTheStepsOfAScan)
{
    KTPrefs prefs(QStringLiteral("org.folivo.FolivoSmartFolderTest"));
    doc().setApplicationPreferences(&prefs);
    const QString box = scratch_.file("box");
    QDir().mkpath(box);
    doc().settings().importFolderEnabled = true;
    doc().settings().importFolderPath = box;
    doc().settings().importFolderSetFor = doc().dbPath();
    folder("Bills");
    QStringList bills;
    for (int i = 0; i < 30; ++i)
        bills << file(QStringLiteral("bill %1.txt").arg(i), "Bills");
    IndexItem* scanned = smart().createConditionFolder(nameContains("bill", "Scanned"));
    IndexItem* other = smart().createConditionFolder(nameContains("bill", "Other"));
    ASSERT_TRUE(scanned && other);
    ASSERT_TRUE(load(*other));
    ASSERT_EQ(other->children().size(), 30u);

    DocumentMatchContext context(doc(), false);
    auto load = smart().startLoad(*scanned, context);
    ASSERT_TRUE(load);
    EXPECT_EQ(smart().startLoad(*other, context), nullptr) << "one load at a time";
    ASSERT_TRUE(load->step(10));
    ASSERT_TRUE(writeAll(box + "/bill new.txt", "new"));
    DrainOptions options;
    options.wait = [](int) {};
    EXPECT_TRUE(importFromImportFolder(doc(), &prefs, {}, options).ran);
    ASSERT_TRUE(load->step(3));
    ASSERT_TRUE(doc().recordDelete(bills[20]).ok());
    ASSERT_TRUE(doc().recordRename(bills[25], "Bills/bill renamed.txt").ok());
    ASSERT_TRUE(doc().recordDelete(bills[5]).ok()); // one the scan found already
    while (load->step(4)) {
    }
    EXPECT_FALSE(load->stopped());
    load.reset();

    // The scanned folder holds only files that exist, each once, and is due again.
    const QList<const IndexItem*> members = smart().members(*scanned);
    EXPECT_EQ(members.size(), qsizetype(scanned->children().size()));
    EXPECT_EQ(scanned->children().size(), 27u); // 30 but the two deleted, the renamed one passed over
    EXPECT_TRUE(smart().needsLoading(*scanned));
    EXPECT_TRUE(smart().needsLoading(*other));
    EXPECT_EQ(other->children().size(), 30u);

    ASSERT_TRUE(this->load(*scanned));
    QStringList got = targetsOf(*scanned);
    EXPECT_EQ(got.size(), 29); // 30 - 2 deleted + the import
    EXPECT_TRUE(got.contains("Bills/bill renamed.txt"));
    EXPECT_EQ(got.filter("bill new").size(), 1);
    EXPECT_EQ(childPaths(*scanned).first(), "Scanned/SF1");
    doc().setApplicationPreferences(nullptr);
}

TEST_F(SmartFoldersTest, AFolderThatGoesDuringItsLoadEndsIt)
{
    for (int i = 0; i < 10; ++i)
        file(QStringLiteral("bill %1.txt").arg(i));
    IndexItem* bills = smart().createConditionFolder(nameContains("bill", "Bills"));
    DocumentMatchContext context(doc(), false);
    auto load = smart().startLoad(*bills, context);
    ASSERT_TRUE(load && load->step(2));
    ASSERT_TRUE(doc().recordDelete("Bills").ok());
    EXPECT_EQ(load->folder(), nullptr);
    EXPECT_FALSE(load->step(5));
    EXPECT_FALSE(smart().loading());
    load.reset();
    // The tree reopened under a load: it ends too.
    IndexItem* again = smart().createConditionFolder(nameContains("bill", "Bills"));
    load = smart().startLoad(*again, context);
    ASSERT_TRUE(load);
    doc().rebuildIndex();
    EXPECT_FALSE(load->step(5));
    EXPECT_FALSE(smart().loading());
}

// Loading rebuilds what can always be rebuilt: it is no change of the database, so a saved
// database is left exactly as it is (no ".changed", no backup due, nothing written).
TEST_F(SmartFoldersTest, LoadingIsNotAChange)
{
    file("bill.txt");
    const QString lone = file("lone.txt");
    IndexItem* bills = smart().createConditionFolder(nameContains("bill", "Bills"));
    IndexItem* chosen = smart().createSelectedItemsFolder({doc().tree().itemForPath(lone)});
    IndexItem* tags = smart().createTagFolder({"<2024>"}, "Year");
    ASSERT_TRUE(bills && chosen && tags);
    ASSERT_TRUE(doc().saveChanges(false).saved);
    ASSERT_FALSE(QFile::exists(doc().dbPath() + "/.changed"));
    const auto before = packageListing(doc().dbPath());

    for (IndexItem* f : {bills, chosen, tags})
        ASSERT_TRUE(load(*f));
    EXPECT_EQ(bills->children().size(), 1u);
    EXPECT_EQ(chosen->children().size(), 1u);
    EXPECT_FALSE(doc().saveChanges(true).saved);
    EXPECT_EQ(listingDifferences(before, packageListing(doc().dbPath())), QString());
}

TEST_F(SmartFoldersTest, AttributesFilesKeepTheDefinitionOnly)
{
    const QString bill = file("bill.txt");
    IndexItem* bills = smart().createConditionFolder(nameContains("bill", "Bills"));
    ASSERT_TRUE(bills && load(*bills));
    ASSERT_TRUE(doc().writeAttributesFileForItem(bills));
    const plist::Value stored = bills->attributesValue();
    ASSERT_TRUE(stored.isDict());
    EXPECT_FALSE(stored.dict().contains(keys::Children));
    EXPECT_FALSE(stored.dict().contains(keys::ChildrenPaths));
    EXPECT_TRUE(stored.dict().contains(keys::SmartFolder));

    // A rebuild from the attributes files brings the folder back empty and due.
    doc().rebuildIndex();
    IndexItem* again = doc().tree().itemForPath("Bills");
    ASSERT_TRUE(again && again->isSmartFolder());
    EXPECT_TRUE(again->children().empty());
    EXPECT_TRUE(smart().needsLoading(*again));
    EXPECT_EQ(doc().tree().itemForPath("Bills/SF1"), nullptr);
    ASSERT_TRUE(load(*again));
    EXPECT_EQ(targetsOf(*again), QStringList{bill});
}

} // namespace
