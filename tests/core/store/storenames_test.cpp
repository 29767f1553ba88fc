// Items may carry any name the name rule allows, also names the store itself could make
// from another item's name ("X.new", "X.old", "X.fvdbd"). The store's own temporary and
// leftover names must never be such names, and nothing may be deleted by a name derived
// from another one.

#include "plist/keyedarchive.h"
#include "store/keys.h"
#include "store/messages.h"
#include "store/mydocument.h"
#include "support/packagefixtures.h"
#include "util/fs.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

using namespace folivo;
using namespace folivo::test;

namespace {

const QString EncryptedPassword = QStringLiteral("pässwörd");

class StoreNames : public Fixtures {
protected:
    std::unique_ptr<MyDocument> open(const QString& pkg, bool encrypted)
    {
        if (encrypted)
            ui_.passwords = {EncryptedPassword};
        auto doc = std::make_unique<MyDocument>(ui_);
        const OpenResult r = doc->openDatabase(pkg);
        EXPECT_TRUE(r.ok()) << r.message.toStdString();
        return doc;
    }
    bool reportShown() const
    {
        for (const Prompt& p : ui_.asked)
            if (p.title == msg::RepairTitle)
                return true;
        return false;
    }
};

QByteArray contentOf(MyDocument& doc, const QString& path)
{
    QByteArray out;
    if (!doc.readItemContent(path, {}, [&](const char* p, qsizetype n) {
            out.append(p, n);
            return true;
        }))
        return {};
    return out;
}

} // namespace

TEST_F(StoreNames, ItemsNamedLikeTheStoresOwnNamesKeepTheirAttributesFiles)
{
    // Beside "X": the names a write of X's attributes file, the deletion of its old copy or
    // of its stored forms, or the sweep at open could take for their own. (An encrypted
    // database stores X as "X.fvdbe", so it cannot hold an item of that name beside it.)
    struct Kind {
        const char* name;
        bool encrypted;
    };
    for (const Kind kind : {Kind{"plain", false}, Kind{"encrypted", true}}) {
        SCOPED_TRACE(kind.name);
        QStringList fileNames = {"X", "X.new", "X.old", "X.new.pdf", "X.fvdbd"};
        if (!kind.encrypted)
            fileNames << "X.fvdbe";
        const QString pkg = scratch_.file(QStringLiteral("%1.fvdb").arg(kind.name));
        std::unique_ptr<MyDocument> doc;
        if (kind.encrypted) {
            ASSERT_TRUE(fs::copyTree(fixtures_->file("Encrypted.fvdb"), pkg));
            doc = open(pkg, true);
        } else {
            doc = std::make_unique<MyDocument>(ui_);
            ASSERT_TRUE(doc->createDatabase(pkg).ok());
        }
        ASSERT_TRUE(doc->dbOpen());
        IndexTree& t = doc->tree();

        // Each item gets notes that say which it is, so that a record written under
        // another item's name shows.
        auto note = [&](const QString& path) {
            IndexItem* item = t.itemForPath(path);
            ASSERT_TRUE(item) << path.toStdString();
            item->setValue(keys::Notes, "notes of " + item->name());
            ASSERT_TRUE(doc->writeAttributesFileForItem(item));
        };
        for (const QString folder : {"Taxes", "Taxes.new", "Box"})
            ASSERT_EQ(doc->recordNewCategory(folder, nullptr, -1).status, OperationResult::Status::Done);
        for (const QString& name : fileNames) {
            const OperationResult r =
                doc->recordImport(name, "content of " + name.toUtf8(), "Box", -1, std::nullopt, std::nullopt);
            ASSERT_EQ(r.resultPath, "Box/" + name);
        }
        for (const QString& name : fileNames)
            note("Box/" + name);
        for (const QString folder : {"Taxes", "Taxes.new", "Box"})
            note(folder);

        // A move, which rewrites the records of the folder and everything in it, then
        // renames, which write X's record under its new name and remove the old one: the
        // last writes before the save, so that nothing writes the others' records again.
        // In a plain database "X" cannot take its name back while "X.fvdbe" is there
        // (that would be its stored form once the database is enciphered): it keeps the
        // new one.
        ASSERT_EQ(doc->recordMovePath("Box", t.itemForPath("Taxes"), -1).status, OperationResult::Status::Done);
        QMap<QString, QString> madeAs; // final path -> the name the item was made with
        for (const QString& name : fileNames)
            madeAs.insert("Taxes/Box/" + name, name);
        ASSERT_EQ(doc->recordRename("Taxes/Box/X", "Taxes/Box/X1").status, OperationResult::Status::Done);
        if (kind.encrypted) {
            ASSERT_EQ(doc->recordRename("Taxes/Box/X1", "Taxes/Box/X").status, OperationResult::Status::Done);
        } else {
            ASSERT_EQ(doc->recordRename("Taxes/Box/X1", "Taxes/Box/X").status, OperationResult::Status::Refused);
            madeAs.remove("Taxes/Box/X");
            madeAs.insert("Taxes/Box/X1", "X");
        }
        ASSERT_TRUE(doc->saveChanges(false).saved);
        ASSERT_FALSE(fs::exists(pkg + "/" + pkg::Changed));

        // One more change, then a crash: the next open rebuilds from the attributes files
        // and checks the package.
        ASSERT_EQ(doc->recordRename("Taxes/Box/X.new.pdf", "Taxes/Box/Y.pdf").status, OperationResult::Status::Done);
        ASSERT_EQ(doc->recordRename("Taxes/Box/Y.pdf", "Taxes/Box/X.new.pdf").status, OperationResult::Status::Done);
        doc.reset();
        ui_.asked.clear();
        doc = open(pkg, kind.encrypted);
        EXPECT_TRUE(doc->rebuiltAtOpen());

        for (const QString folder : {"Taxes", "Taxes.new", "Taxes/Box"})
            madeAs.insert(folder, QFileInfo(folder).fileName());
        // A rebuild after the crash, and a plain open after a clean close: both find every
        // item with its own record, and the check finds nothing to report.
        for (int round = 0; round < 2; ++round) {
            SCOPED_TRACE(round == 0 ? "rebuilt after the crash" : "opened after a close");
            EXPECT_FALSE(reportShown());
            for (auto it = madeAs.cbegin(); it != madeAs.cend(); ++it) {
                const QString& path = it.key();
                SCOPED_TRACE(path.toStdString());
                const IndexItem* item = doc->tree().itemForPath(path);
                ASSERT_TRUE(item);
                const plist::Value* n = item->value(keys::Notes);
                ASSERT_TRUE(n && n->isString());
                EXPECT_EQ(n->string(), "notes of " + it.value());
                const QString attributes = pkg + "/" + MyDocument::attributesPathForPath(path);
                EXPECT_TRUE(fs::exists(kind.encrypted ? attributes + ".fvdbe" : attributes));
                if (item->isFile()) {
                    EXPECT_EQ(contentOf(*doc, path), "content of " + it.value().toUtf8());
                }
            }
            EXPECT_EQ(temporaryNamesBelow(pkg), QStringList());
            if (round == 0) {
                doc->closeDatabase();
                doc.reset();
                ui_.asked.clear();
                doc = open(pkg, kind.encrypted);
                EXPECT_FALSE(doc->rebuiltAtOpen());
            }
        }
        doc.reset();
    }
}

TEST_F(StoreNames, InAPlainDatabaseDeletingXLeavesTheItemXfvdbe)
{
    // A plain database has no stored forms: "X.fvdbe" beside "X" is an item of its own, its
    // file and its attributes file are not X's to delete.
    struct Case {
        const char* what;
        std::function<bool(MyDocument&)> deleteX;
    };
    const Case cases[] = {
        {"recorded delete",
         [](MyDocument& doc) { return doc.recordDelete("Unfiled/X").status == OperationResult::Status::Done; }},
        {"deleteCategoryWithPath", [](MyDocument& doc) { return doc.deleteCategoryWithPath("Unfiled/X", nullptr); }},
    };
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString pkg = scratch_.file(QStringLiteral("plain%1.fvdb").arg(++round));
        {
            MyDocument doc(ui_);
            ASSERT_TRUE(doc.createDatabase(pkg).ok());
            for (const QString name : {"X", "X.fvdbe"}) {
                const OperationResult r =
                    doc.recordImport(name, "content of " + name.toUtf8(), "Unfiled", -1, std::nullopt, std::nullopt);
                ASSERT_EQ(r.resultPath, "Unfiled/" + name);
                IndexItem* item = doc.tree().itemForPath(r.resultPath);
                item->setValue(keys::Notes, "notes of " + name);
                ASSERT_TRUE(doc.writeAttributesFileForItem(item));
            }
            ASSERT_TRUE(c.deleteX(doc));
            ASSERT_TRUE(doc.changed());
        } // a crash: the next open rebuilds
        auto doc = open(pkg, false);
        EXPECT_TRUE(doc->rebuiltAtOpen());
        EXPECT_FALSE(doc->tree().itemForPath("Unfiled/X"));
        const IndexItem* other = doc->tree().itemForPath("Unfiled/X.fvdbe");
        const plist::Value* notes = other ? other->value(keys::Notes) : nullptr;
        EXPECT_TRUE(notes && *notes == plist::Value(QStringLiteral("notes of X.fvdbe")));
        EXPECT_EQ(readAll(pkg + "/Unfiled/X.fvdbe"), "content of X.fvdbe");
        EXPECT_FALSE(fs::exists(pkg + "/Unfiled/X"));
    }
}

TEST_F(StoreNames, DecipheringForGoodLeavesTheItemNamedLikeItsCheckCopy)
{
    const QString pkg = copyOf("Encrypted.fvdb");
    auto doc = open(pkg, true);
    for (const QString name : {"Memo", "Memo.fvdbd"})
        ASSERT_EQ(doc->recordImport(name, "content of " + name.toUtf8(), "Unfiled", -1, std::nullopt, std::nullopt).resultPath,
                  "Unfiled/" + name);
    // "Memo.fvdbd" is plain now, where a transient copy of "Memo" was once made.
    ASSERT_TRUE(doc->decryptFile("Unfiled/Memo.fvdbd", false).ok);
    ASSERT_TRUE(doc->decryptFile("Unfiled/Memo", false).ok);
    EXPECT_EQ(readAll(pkg + "/Unfiled/Memo"), "content of Memo");
    EXPECT_EQ(readAll(pkg + "/Unfiled/Memo.fvdbd"), "content of Memo.fvdbd");
    EXPECT_EQ(temporaryNamesBelow(pkg), QStringList());
}

TEST_F(StoreNames, ABackupRemovesOnlyPartialCopiesThatNoBackupIsMaking)
{
    const QString pkg = copyOf("Household.fvdb");
    const QString backups = scratch_.file("backups");
    ASSERT_TRUE(QDir().mkpath(backups));
    // Another backup of a database with the same name is being made, and one that was
    // interrupted long ago left its partial copy.
    const QString busy = backups + "/.partial-Household.fvdb";
    const QString stale = backups + "/.partial-k3v9qz";
    ASSERT_TRUE(QDir().mkpath(busy + "/Unfiled"));
    ASSERT_TRUE(writeAll(busy + "/Unfiled/in progress.txt", "being copied"));
    ASSERT_TRUE(QDir().mkpath(stale + "/Household.fvdb"));
    const int held = ::open(QFile::encodeName(busy).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);

    auto doc = open(pkg, false);
    const BackupOutcome b = doc->doBackup({backups, true, 0, 4});
    ::close(held);
    ASSERT_TRUE(b.ok) << b.error.toStdString();
    EXPECT_EQ(readAll(busy + "/Unfiled/in progress.txt"), "being copied");
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_EQ(QDir(backups).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{".partial-Household.fvdb", "1Household.fvdb"}));
    EXPECT_EQ(folderSnapshot(backups + "/1Household.fvdb"), folderSnapshot(pkg));
}
