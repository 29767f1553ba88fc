// An item's notes: stored only when they differ, in the item's own attributes file.

#include "attributes/notes.h"
#include "store/dboperation.h"
#include "store/indexitem.h"
#include "store/keys.h"
#include "store/mydocument.h"
#include "support/fakeui.h"
#include "support/testsupport.h"

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

} // namespace
