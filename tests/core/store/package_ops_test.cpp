// Changes to a package through the tree operations: attributes files, date folders,
// deletion and unique names, including what happens when the disk says no.

#include "plist/keyedarchive.h"
#include "store/keys.h"
#include "store/mydocument.h"
#include "support/fakeui.h"
#include "support/testsupport.h"
#include "util/fs.h"
#include "util/tempfolder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>
#include <unistd.h>

using namespace folivo;
using folivo::test::FakeUi;
using folivo::test::Scratch;

namespace {

class PackageOps : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(doc_.createDatabase(scratch_.file("T.fvdb")).ok());
        pkg_ = doc_.dbPath();
        unfiled_ = doc_.tree().itemForPath("Unfiled");
    }
    IndexItem* addFolder(IndexItem* parent, const QString& path)
    {
        EXPECT_TRUE(fs::makeDirectory(pkg_ + "/" + path, 0555));
        IndexItem* item = doc_.tree().insert(parent, std::make_unique<IndexItem>(plist::Dict{{keys::Path, path}}, true));
        EXPECT_TRUE(doc_.writeAttributesFileForItem(item));
        EXPECT_TRUE(doc_.writeAttributesFileForItem(parent));
        return item;
    }
    IndexItem* addFile(IndexItem* parent, const QString& path)
    {
        {
            fs::ScopedWritable w(QFileInfo(pkg_ + "/" + path).path());
            EXPECT_TRUE(folivo::test::writeAll(pkg_ + "/" + path, "content"));
        }
        IndexItem* item = doc_.tree().insert(parent, std::make_unique<IndexItem>(plist::Dict{{keys::Path, path}}, false));
        EXPECT_TRUE(doc_.writeAttributesFileForItem(item));
        EXPECT_TRUE(doc_.writeAttributesFileForItem(parent));
        return item;
    }
    QString abs(const QString& rel) const { return pkg_ + "/" + rel; }

    Scratch scratch_;
    FakeUi ui_;
    MyDocument doc_{ui_};
    QString pkg_;
    IndexItem* unfiled_ = nullptr;
};

} // namespace

TEST(AttributesPath, BesideTheItem)
{
    EXPECT_EQ(MyDocument::attributesPathForPath("Unfiled"), ".+Unfiled");
    EXPECT_EQ(MyDocument::attributesPathForPath("Bank/Statements"), "Bank/.+Statements");
    EXPECT_EQ(MyDocument::attributesPathForPath("Bank/My Bill.final.pdf"), "Bank/.+My Bill.final.pdf");
}

TEST_F(PackageOps, AttributesFileKeepsPreviousVersionWhenTheWriteFails)
{
    IndexItem* bank = addFolder(nullptr, "Bank");
    const QByteArray before = folivo::test::readAll(abs(".+Bank"));
    bank->setValue(keys::Notes, QString("new notes"));
    for (fs::Op op : {fs::Op::Write, fs::Op::Rename}) {
        fs::ScopedFault fault([&](fs::Op o, const QString& p) { return o == op && p == abs(".+Bank"); });
        EXPECT_FALSE(doc_.writeAttributesFileForItem(bank));
        EXPECT_EQ(folivo::test::readAll(abs(".+Bank")), before);
        EXPECT_EQ(folivo::test::temporaryNamesBelow(abs("")), QStringList());
    }
    ASSERT_TRUE(doc_.writeAttributesFileForItem(bank));
    const auto written = plist::readKeyedArchiveFile(abs(".+Bank"));
    ASSERT_TRUE(written && written->isDict());
    EXPECT_EQ(*written->dict().find(keys::Notes), plist::Value(QString("new notes")));
    EXPECT_EQ(*written->dict().find(keys::ChildrenPaths), plist::Value(plist::Array{}));
}

TEST_F(PackageOps, SmartFolderAttributesHoldNeitherChildrenNorPaths)
{
    IndexItem* smart = doc_.tree().insert(nullptr, std::make_unique<IndexItem>(
                                                       plist::Dict{{keys::Path, "Taxes"}, {keys::SmartFolder, plist::Dict{}}}, true));
    ASSERT_TRUE(doc_.writeAttributesFileForItem(smart));
    const auto written = plist::readKeyedArchiveFile(abs(".+Taxes"));
    ASSERT_TRUE(written);
    EXPECT_FALSE(written->dict().contains(keys::Children));
    EXPECT_FALSE(written->dict().contains(keys::ChildrenPaths));
}

TEST_F(PackageOps, DateFoldersAreCreatedReusedAndSorted)
{
    IndexItem* bank = addFolder(nullptr, "Bank");
    addFile(bank, "Bank/a.pdf");
    IndexItem* march = doc_.findOrCreateDateCategoryFor(bank, QDate(2023, 3, 31));
    ASSERT_TRUE(march);
    EXPECT_EQ(march->path(), "Bank/2023/March");
    EXPECT_TRUE(march->isDateFolder());
    EXPECT_EQ(*fs::mode(abs("Bank/2023")), 0555u);
    EXPECT_EQ(*fs::mode(abs("Bank/2023/March")), 0555u);
    EXPECT_TRUE(QFile::exists(abs("Bank/2023/.+March")));
    EXPECT_EQ(doc_.findOrCreateDateCategoryFor(bank, QDate(2023, 3, 1)), march);

    // A folder on disk without an item is reused, and an item without a folder gets one.
    ASSERT_TRUE(fs::makeDirectories(abs("Bank/2024/January"), 0555));
    IndexItem* jan = doc_.findOrCreateDateCategoryFor(bank, QDate(2024, 1, 2));
    ASSERT_TRUE(jan);
    fs::deleteInside(pkg_, *PackagePath::fromString("Bank/2023/March"));
    EXPECT_EQ(doc_.findOrCreateDateCategoryFor(bank, QDate(2023, 3, 5)), march);
    EXPECT_TRUE(fs::isDirectory(abs("Bank/2023/March")));

    QStringList order;
    for (const auto& c : bank->children())
        order << c->name();
    EXPECT_EQ(order, (QStringList{"a.pdf", "2024", "2023"}));
    EXPECT_TRUE(ui_.diskErrors.isEmpty());
}

TEST_F(PackageOps, AFileInTheWayOfADateFolderIsAnErrorNotAParent)
{
    IndexItem* bank = addFolder(nullptr, "Bank");
    addFile(bank, "Bank/2023");
    EXPECT_EQ(doc_.findOrCreateDateCategoryFor(bank, QDate(2023, 5, 1)), nullptr);
    EXPECT_FALSE(doc_.tree().itemForPath("Bank/2023")->hasChildren());
    EXPECT_TRUE(fs::isRegularFile(abs("Bank/2023")));
    EXPECT_EQ(doc_.tree().itemForPath("Bank/2023/May"), nullptr);

    IndexItem* smart = doc_.tree().insert(nullptr, std::make_unique<IndexItem>(
                                                       plist::Dict{{keys::Path, "Saved"}, {keys::SmartFolder, plist::Dict{}}}, true));
    EXPECT_EQ(doc_.findOrCreateDateCategoryFor(smart, QDate(2023, 5, 1)), nullptr);
    EXPECT_FALSE(fs::exists(abs("Saved")));
}

TEST_F(PackageOps, DiskErrorWhileCreatingADateFolderIsReported)
{
    IndexItem* bank = addFolder(nullptr, "Bank");
    fs::ScopedFault fault([](fs::Op o, const QString&) { return o == fs::Op::MakeDir; });
    EXPECT_EQ(doc_.findOrCreateDateCategoryFor(bank, QDate(2023, 5, 1)), nullptr);
    EXPECT_EQ(ui_.diskErrors, QStringList{"Creating Date Category: Bank/2023"});
}

TEST_F(PackageOps, EmptyDateFolderGoesButUnknownFilesStay)
{
    IndexItem* bank = addFolder(nullptr, "Bank");
    IndexItem* march = doc_.findOrCreateDateCategoryFor(bank, QDate(2023, 3, 1));
    IndexItem* year = march->parent();
    IndexItem* doc = addFile(march, "Bank/2023/March/s.pdf");
    ASSERT_TRUE(doc_.deleteCategoryWithPath(doc->path(), nullptr));
    EXPECT_FALSE(QFile::exists(abs("Bank/2023/March/s.pdf")));
    EXPECT_FALSE(QFile::exists(abs("Bank/2023/March/.+s.pdf")));

    // A file the tree does not know about keeps the year folder on disk.
    {
        fs::ScopedWritable w(abs("Bank/2023"));
        ASSERT_TRUE(folivo::test::writeAll(abs("Bank/2023/unknown.pdf"), "keep me"));
    }
    doc_.deleteDateCategoryIfEmpty(march);
    EXPECT_FALSE(fs::exists(abs("Bank/2023/March")));
    EXPECT_EQ(doc_.tree().itemForPath("Bank/2023/March"), nullptr);
    doc_.deleteDateCategoryIfEmpty(year);
    EXPECT_EQ(doc_.tree().itemForPath("Bank/2023"), nullptr);
    EXPECT_EQ(folivo::test::readAll(abs("Bank/2023/unknown.pdf")), "keep me");
    EXPECT_FALSE(QFile::exists(abs("Bank/.+2023")));
    EXPECT_TRUE(bank->children().empty());
}

TEST_F(PackageOps, DeletingNeverFollowsLinksOutOfThePackage)
{
    Scratch outside;
    ASSERT_TRUE(QDir().mkpath(outside.file("victim")));
    ASSERT_TRUE(folivo::test::writeAll(outside.file("victim/precious.txt"), "precious"));
    IndexItem* bank = addFolder(nullptr, "Bank");
    {
        fs::ScopedWritable w(abs("Bank"));
        ASSERT_EQ(::symlink(outside.file("victim").toLocal8Bit().constData(), abs("Bank/link").toLocal8Bit().constData()), 0);
        ASSERT_TRUE(fs::makeDirectories(abs("Bank/deep/er/est"), 0555));
    }
    // Deleting a folder that holds a link and nested read-only folders.
    ASSERT_TRUE(doc_.deleteCategoryWithPath("Bank", nullptr));
    EXPECT_FALSE(fs::exists(abs("Bank")));
    EXPECT_EQ(folivo::test::readAll(outside.file("victim/precious.txt")), "precious");

    // A path that runs through a link is not followed either.
    ASSERT_EQ(::symlink(outside.file("victim").toLocal8Bit().constData(), abs("Jump").toLocal8Bit().constData()), 0);
    fs::deleteInside(pkg_, *PackagePath::fromString("Jump/precious.txt"));
    EXPECT_TRUE(QFile::exists(outside.file("victim/precious.txt")));
    EXPECT_FALSE(fs::deleteInside(pkg_, PackagePath()));
    (void)bank;
}

TEST_F(PackageOps, DeletingASmartFolderTouchesOnlyItsAttributesFile)
{
    IndexItem* smart = doc_.tree().insert(nullptr, std::make_unique<IndexItem>(
                                                       plist::Dict{{keys::Path, "Unfiled2"}, {keys::SmartFolder, plist::Dict{}}}, true));
    ASSERT_TRUE(doc_.writeAttributesFileForItem(smart));
    ASSERT_TRUE(doc_.writeAttributesFileForItem(nullptr));
    ASSERT_TRUE(folivo::test::writeAll(abs("Unfiled2"), "a user file that merely shares the name"));
    ASSERT_TRUE(doc_.deleteCategoryWithPath("Unfiled2", nullptr));
    EXPECT_TRUE(QFile::exists(abs("Unfiled2")));
    EXPECT_FALSE(QFile::exists(abs(".+Unfiled2")));
    const auto dindex = plist::readKeyedArchiveFile(abs(".dindex"));
    EXPECT_EQ(*dindex, plist::Value(plist::Array{QString("Unfiled")}));
}

TEST_F(PackageOps, UniquePathsAvoidEveryKindOfTakenName)
{
    IndexItem* bank = addFolder(nullptr, "Bank");
    const struct {
        QStringList taken; // files made under Bank/ before asking (".item:" makes a tree item)
        QString ask, expect;
    } cases[] = {
        {{}, "Bank/Scan.pdf", "Bank/Scan.pdf"},
        {{"Scan.pdf"}, "Bank/Scan.pdf", "Bank/Scan2.pdf"},
        {{"Clip.pdf", "Clip2.pdf.fvdbe"}, "Bank/Clip.pdf", "Bank/Clip3.pdf"},
        {{"a.b.c"}, "Bank/a.b.c", "Bank/a.b2.c"},
        {{"noext"}, "Bank/noext", "Bank/noext2"},
        {{".+orphan.pdf"}, "Bank/orphan.pdf", "Bank/orphan2.pdf"},
        {{"item:Smart"}, "Bank/Smart", "Bank/Smart2"},
    };
    for (const auto& c : cases) {
        for (const QString& t : c.taken) {
            if (t.startsWith("item:")) {
                doc_.tree().insert(bank, std::make_unique<IndexItem>(plist::Dict{{keys::Path, "Bank/" + t.mid(5)}}, true));
            } else {
                fs::ScopedWritable w(abs("Bank"));
                ASSERT_TRUE(folivo::test::writeAll(abs("Bank/" + t), "x"));
            }
        }
        EXPECT_EQ(doc_.uniquePathForPath(c.ask), c.expect) << c.ask.toStdString();
    }
    // A dangling link is taken too: lstat sees it.
    {
        fs::ScopedWritable w(abs("Bank"));
        ASSERT_EQ(::symlink("/nonexistent", abs("Bank/dangling").toLocal8Bit().constData()), 0);
    }
    EXPECT_EQ(doc_.uniquePathForPath("Bank/dangling"), "Bank/dangling2");
}

TEST(TempFolders, StaleFoldersOfEndedRunsAreSwept)
{
    const QString base = privateTempBase();
    ASSERT_FALSE(base.isEmpty());
    EXPECT_EQ(*fs::mode(base), 0700u);
    // A pid that cannot be running: above the kernel's pid limit but within the range we parse.
    const QString stale = base + "/2147483000-deadbeef-Old.fvdb";
    ASSERT_TRUE(fs::makeDirectories(stale + "/inner", 0555));
    const QString mine = createPrivateTempFolder("Mine.fvdb");
    ASSERT_FALSE(mine.isEmpty());
    EXPECT_GE(sweepStaleTempFolders(), 1);
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(mine));
    fs::deleteTree(mine);
}
