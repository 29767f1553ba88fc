// An item's notes: stored only when they differ, in the item's own attributes file.

#include "attributes/notes.h"
#include "filing/filedates.h"
#include "filing/filingrules.h"
#include "store/dboperation.h"
#include "store/indexitem.h"
#include "store/keys.h"
#include "store/mydocument.h"
#include "support/fakeui.h"
#include "support/packagefixtures.h"
#include "support/testsupport.h"

#include <QDirIterator>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::test;

namespace {

class Notes : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(doc_.createDatabase(db_).ok());
        ASSERT_EQ(doc_.recordNewCategory("Bank", nullptr, -1).status, OperationResult::Status::Done);
        file_ = doc_.recordImport("Letter.txt", QByteArray("Dear"), "Bank", -1, {}, {}).resultPath;
        ASSERT_FALSE(file_.isEmpty());
    }
    Scratch scratch_;
    QString db_ = scratch_.file("Notes.fvdb");
    FakeUi ui_;
    MyDocument doc_{ui_};
    QString file_;
};

TEST_F(Notes, StoredInTheItemsAttributesFileAndKeptByARebuild)
{
    for (const QString& path : {file_, QStringLiteral("Bank"), QStringLiteral("Unfiled")}) {
        ASSERT_TRUE(saveNotes(doc_, path, "Paid on the 3rd")) << path.toStdString();
        EXPECT_FALSE(saveNotes(doc_, path, "Paid on the 3rd")) << "unchanged: no write";
    }
    doc_.rebuildIndex();
    for (const QString& path : {file_, QStringLiteral("Bank"), QStringLiteral("Unfiled")})
        EXPECT_EQ(notesOf(doc_, path), "Paid on the 3rd") << path.toStdString();
}

TEST_F(Notes, NoNotesEqualEmptyText)
{
    const auto before = packageListing(db_);
    EXPECT_FALSE(saveNotes(doc_, file_, QString()));
    EXPECT_FALSE(doc_.tree().itemForPath(file_)->has(keys::Notes));
    EXPECT_EQ(listingDifferences(before, packageListing(db_)), QString());
    EXPECT_FALSE(saveNotes(doc_, "Bank/Gone.txt", "text"));
}

TEST_F(Notes, NothingIsWrittenInADatabaseOpenForReading)
{
    doc_.closeDatabase();
    doc_.close();
    const auto before = packageListing(db_);
    MyDocument reader(ui_);
    OpenOptions options;
    options.forReading = true;
    ASSERT_TRUE(reader.openDatabase(db_, options).ok());
    EXPECT_FALSE(saveNotes(reader, file_, "Paid"));
    EXPECT_EQ(notesOf(reader, file_), QString());
    EXPECT_EQ(listingDifferences(before, packageListing(db_)), QString());
}

class EncryptedNotes : public Fixtures {};

// Notes and a folder's filing strings are the owner's words: in an encrypted database they
// reach the package only enciphered, and come back with the password.
TEST_F(EncryptedNotes, ReachThePackageOnlyEnciphered)
{
    const QString pkg = copyOf("Encrypted.fvdb");
    const QString password = manifest_.value("Encrypted.fvdb").toObject().value("password").toString();
    const QByteArray secret = "Account 4411-SECRET";
    {
        FakeUi ui;
        ui.passwords = {password};
        MyDocument doc(ui);
        ASSERT_TRUE(doc.openDatabase(pkg).ok());
        ASSERT_TRUE(saveNotes(doc, "Bank/Letter.pdf", QString::fromUtf8(secret)));
        ASSERT_TRUE(setFolderFilingText(doc, "Bank", filingkeys::CategoryMatch, QString::fromUtf8(secret) + " bank"));
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
    EXPECT_EQ(notesOf(doc, "Bank/Letter.pdf"), QString::fromUtf8(secret));
}

} // namespace
