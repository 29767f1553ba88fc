// What the store does with a package whose folders or files were replaced by symbolic
// links, and with one whose names the disk spells in decomposed Unicode.

#include "store/keys.h"
#include "store/messages.h"
#include "store/mydocument.h"
#include "store/repair.h"
#include "support/packagefixtures.h"

#include <QDir>
#include <QFile>

#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace folivo;
using folivo::test::FakeUi;
using folivo::test::Scratch;

namespace {

// A database with "Bank" (holding "Bank/Statement.txt" and the date folders 2023/March with
// "March.txt"), and "Unfiled/Loose.txt"; `outside` is a folder beside the package.
struct LinkedDatabase {
    Scratch scratch;
    FakeUi ui;
    MyDocument doc{ui};
    QString pkg;
    QString outside;
    QMap<QString, QByteArray> before;

    LinkedDatabase()
    {
        EXPECT_TRUE(doc.createDatabase(scratch.file("T.fvdb")).ok());
        pkg = doc.dbPath();
        EXPECT_TRUE(doc.recordNewCategory("Bank", nullptr, -1).ok());
        EXPECT_TRUE(doc.recordImport("Statement.txt", QByteArray("statement"), "Bank", -1, {}, {}).ok());
        const QDateTime march(QDate(2023, 3, 15), QTime(0, 0));
        EXPECT_TRUE(doc.recordImport("March.txt", QByteArray("march"), "Bank", -1, march, march).ok());
        EXPECT_TRUE(doc.tree().itemForPath("Bank/2023/March/March.txt"));
        EXPECT_TRUE(doc.recordImport("Loose.txt", QByteArray("loose"), "Unfiled", -1, {}, {}).ok());
        outside = scratch.file("outside");
        EXPECT_TRUE(QDir().mkpath(outside));
        EXPECT_TRUE(test::writeAll(scratch.file("Incoming.txt"), "incoming"));
    }

    // Puts a link at `rel` in place of what is there, leading to a copy of it outside: the
    // way a person moves a folder to another disk and leaves a link behind.
    void replaceWithLink(const QString& rel)
    {
        const QString at = pkg + '/' + rel;
        const QString copy = outside + '/' + QFileInfo(rel).fileName();
        ASSERT_TRUE(fs::copyTree(at, copy)) << fs::lastError().toStdString();
        ASSERT_TRUE(fs::deleteInside(pkg, *PackagePath::fromString(rel)));
        ASSERT_EQ(::symlink(QFile::encodeName(copy).constData(), QFile::encodeName(at).constData()), 0);
        before = test::folderSnapshot(outside);
    }

    bool outsideUnchanged() const { return test::folderSnapshot(outside) == before; }
};

} // namespace

TEST(Links, NothingIsWrittenThroughALinkInPlaceOfAFolder)
{
    struct Case {
        const char* name;
        const char* link;
        std::function<OperationResult(LinkedDatabase&)> change;
    } cases[] = {
        {"move into it", "Bank",
         [](LinkedDatabase& d) { return d.doc.recordMovePath("Unfiled/Loose.txt", d.doc.tree().itemForPath("Bank"), -1); }},
        {"import into it", "Bank",
         [](LinkedDatabase& d) { return d.doc.recordImport(d.scratch.file("Incoming.txt"), std::nullopt, "Bank", -1, {}, {}); }},
        {"rename inside it", "Bank",
         [](LinkedDatabase& d) { return d.doc.recordRename("Bank/Statement.txt", "Bank/Renamed.txt"); }},
        {"new folder inside it", "Bank",
         [](LinkedDatabase& d) { return d.doc.recordNewCategory("Bank/New", d.doc.tree().itemForPath("Bank"), -1); }},
        {"move into a linked month", "Bank/2023/March",
         [](LinkedDatabase& d) {
             return d.doc.recordMovePath("Unfiled/Loose.txt", d.doc.tree().itemForPath("Bank/2023/March"), -1);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LinkedDatabase d;
        d.replaceWithLink(c.link);
        const OperationResult r = c.change(d);
        // Refused, or carried out in the package itself, never behind the link.
        if (r.status == OperationResult::Status::Done) {
            EXPECT_FALSE(r.resultPath.startsWith(QString(c.link) + '/')) << r.resultPath.toStdString();
        }
        // What an operation writes at its end (attributes files) and a save must not go
        // through the link either.
        d.doc.saveChanges(false);
        EXPECT_TRUE(d.outsideUnchanged()) << "something was written outside the package";
        if (r.status == OperationResult::Status::DiskError) {
            EXPECT_TRUE(r.detail.contains("symbolic link")) << r.detail.toStdString();
        }
    }
}

TEST(Links, TheCheckReportsLinksAndKeepsWhatIsBehindThem)
{
    LinkedDatabase d;
    d.replaceWithLink("Bank/2023/March");
    d.replaceWithLink("Unfiled/Loose.txt");
    const ConsistencyReport r = checkConsistency(d.doc);
    EXPECT_EQ(r.linkedItems, QStringList({"Unfiled/Loose.txt", "Bank/2023/March"}));
    // Behind the link the month's file is not missing, and the links are no stray files.
    EXPECT_TRUE(r.itemsWithoutFiles.isEmpty()) << r.itemsWithoutFiles.join(", ").toStdString();
    EXPECT_TRUE(r.extraEntries.isEmpty()) << r.extraEntries.join(", ").toStdString();
    EXPECT_TRUE(r.text.contains(msg::RepairLinks)) << r.text.toStdString();
    EXPECT_TRUE(r.text.contains("Bank/2023/March\r"));

    // The report's only button changes nothing, in the tree or behind the links.
    applyConsistencyReport(d.doc, r, RepairChoice::Delete);
    EXPECT_TRUE(d.doc.tree().itemForPath("Bank/2023/March/March.txt"));
    EXPECT_TRUE(d.doc.tree().itemForPath("Unfiled/Loose.txt"));
    EXPECT_TRUE(QFileInfo(d.pkg + "/Unfiled/Loose.txt").isSymLink());
    EXPECT_TRUE(d.outsideUnchanged());
}

TEST(Links, ALinkedFileOrFolderIsNotHandedOut)
{
    LinkedDatabase d;
    d.replaceWithLink("Unfiled/Loose.txt");
    EXPECT_TRUE(d.doc.absolutePath("Unfiled/Loose.txt").isEmpty());
    EXPECT_TRUE(d.doc.absolutePath("Bank/Statement.txt").endsWith("/T.fvdb/Bank/Statement.txt"));
    d.replaceWithLink("Bank");
    EXPECT_TRUE(d.doc.absolutePath("Bank/Statement.txt").isEmpty());
}

TEST(Links, ABackupRefusesToHoldJustALink)
{
    LinkedDatabase d;
    d.replaceWithLink("Bank");
    const QString folder = d.scratch.file("Backups");
    ASSERT_TRUE(QDir().mkpath(folder));
    BackupSettings settings;
    settings.folder = folder;
    settings.enabled = true;
    const BackupOutcome b = d.doc.doBackup(settings);
    EXPECT_FALSE(b.ok);
    EXPECT_TRUE(b.error.contains("Bank")) << b.error.toStdString();
    EXPECT_TRUE(b.error.contains("symbolic link")) << b.error.toStdString();
    EXPECT_FALSE(fs::exists(folder + "/1T.fvdb"));
}
// ---- Names the disk spells in decomposed Unicode ------------------------------------

class Decomposed : public test::Fixtures {};

TEST_F(Decomposed, OpensWithEveryItemAndReadsItsFiles)
{
    for (const bool rebuild : {false, true}) {
        SCOPED_TRACE(rebuild ? "rebuilt from the attributes files" : "from the index");
        const QString pkg = copyOf("Decomposed.fvdb");
        if (rebuild) {
            ASSERT_TRUE(test::writeAll(pkg + "/.changed", ""));
        }
        FakeUi ui;
        MyDocument doc(ui);
        ASSERT_TRUE(doc.openDatabase(pkg).ok());
        EXPECT_EQ(preOrder(doc.tree()), manifestPaths("Decomposed.fvdb"));
        const ConsistencyReport r = checkConsistency(doc);
        EXPECT_TRUE(r.itemsWithoutFiles.isEmpty()) << r.itemsWithoutFiles.join(", ").toStdString();
        EXPECT_TRUE(r.extraEntries.isEmpty()) << r.extraEntries.join(", ").toStdString();
        EXPECT_TRUE(ui.asked.isEmpty()) << "the open asked about a consistent package";

        QByteArray read;
        ASSERT_TRUE(doc.readItemContent(QString::fromUtf8("Café/Noël/Reçu.pdf"), {}, [&](const char* p, qsizetype n) {
            read.append(p, n);
            return true;
        }));
        EXPECT_TRUE(read.startsWith("%PDF"));
        // The path handed out is the one on disk.
        const QString handed = doc.absolutePath(QString::fromUtf8("Café/Résumé.txt"));
        EXPECT_TRUE(QFileInfo::exists(handed)) << handed.toStdString();

        // A change writes the attributes file the disk has, not a composed second one.
        IndexItem* cafe = doc.tree().itemForPath(QString::fromUtf8("Café"));
        ASSERT_TRUE(cafe);
        ASSERT_TRUE(doc.recordRename(QString::fromUtf8("Café/Résumé.txt"), QString::fromUtf8("Café/CV.txt")).ok());
        const QStringList names = QDir(pkg + '/' + QString::fromUtf8("Café").normalized(QString::NormalizationForm_D))
                                      .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        EXPECT_EQ(names, QStringList({".+CV.txt", QString::fromUtf8(".+Noël").normalized(QString::NormalizationForm_D),
                                      "CV.txt", QString::fromUtf8("Noël").normalized(QString::NormalizationForm_D)}));
        doc.close();
        ASSERT_TRUE(fs::deleteTree(pkg));
    }
}
