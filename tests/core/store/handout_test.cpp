// Files handed to other programs (a drag out of the window) and how they are found again
// when a file manager has thrown them into the desktop's Trash.

#include "store/mydocument.h"
#include "support/packagefixtures.h"
#include "util/trash.h"

#include <QDir>
#include <QFile>
#include <QUrl>

#include <sys/stat.h>

using namespace folivo;
using namespace folivo::test;

namespace {

class HandOut : public Fixtures {
protected:
    std::unique_ptr<MyDocument> open(const QString& name, const QStringList& passwords = {})
    {
        ui_.passwords = passwords;
        auto doc = std::make_unique<MyDocument>(ui_);
        EXPECT_TRUE(doc->openDatabase(copyOf(name)).ok());
        return doc;
    }
    static unsigned modeOf(const QString& path)
    {
        struct stat st {};
        ::stat(QFile::encodeName(path).constData(), &st);
        return st.st_mode & 07777;
    }
};

// Whatever the other program does with the copy, the package is not touched: the copy is
// apart from it, in the database's private folder, read-only, and gone with its holder.
TEST_F(HandOut, CopiesAreApartFromThePackageInBothKindsOfDatabase)
{
    struct Case {
        const char* name;
        QStringList passwords;
        QString item;
        QByteArray content;
    };
    const QList<Case> cases = {
        {"Household.fvdb", {}, "Unfiled/Note.txt", {}},
        {"Encrypted.fvdb", {QStringLiteral("pässwörd")}, "Unfiled/Block32.txt", "thirty-two bytes, two AES blocks"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto doc = open(c.name, c.passwords);
        const auto before = folderSnapshot(doc->dbPath());
        QString path;
        {
            QString error;
            std::optional<PlainCopy> copy = doc->copyForHandingOut(c.item, &error);
            ASSERT_TRUE(copy && copy->valid()) << error.toStdString();
            path = copy->path();
            EXPECT_FALSE(path.startsWith(doc->dbPath() + '/')) << path.toStdString();
            EXPECT_TRUE(path.startsWith(doc->tempDir() + '/')) << path.toStdString();
            QByteArray stored;
            ASSERT_TRUE(doc->readItemContent(c.item, {}, [&](const char* p, qsizetype n) {
                stored.append(p, n);
                return true;
            }));
            if (!c.content.isEmpty())
                EXPECT_EQ(stored, c.content);
            EXPECT_EQ(readAll(path), stored);
            EXPECT_EQ(modeOf(path), 0400u);
            // A file manager moves it away (to the Trash, say): the stored file stays.
            ASSERT_TRUE(QFile::rename(path, scratch_.file(QString("moved away from ") + c.name)));
        }
        EXPECT_FALSE(QFileInfo::exists(QFileInfo(path).path())) << "the holder goes with the copy";
        EXPECT_EQ(folderSnapshot(doc->dbPath()), before);
    }
}

TEST_F(HandOut, AFolderItemIsCopiedWhole)
{
    auto doc = open("Household.fvdb");
    const QString bundle = scratch_.file("in/Report.rtfd");
    ASSERT_TRUE(QDir().mkpath(bundle + "/img"));
    ASSERT_TRUE(writeAll(bundle + "/TXT.rtf", "{\\rtf1 report}"));
    ASSERT_TRUE(writeAll(bundle + "/img/pic.png", "png"));
    const OperationResult r = doc->recordImport(bundle, std::nullopt, "Unfiled", -1, std::nullopt, std::nullopt);
    ASSERT_TRUE(r.ok()) << r.message.toStdString();
    std::optional<PlainCopy> copy = doc->copyForHandingOut(r.resultPath);
    ASSERT_TRUE(copy && copy->valid());
    EXPECT_TRUE(copy->isPrivate());
    EXPECT_FALSE(copy->path().startsWith(doc->dbPath() + '/'));
    EXPECT_EQ(folderSnapshot(copy->path()), folderSnapshot(bundle));
}

class Trash : public ::testing::Test {
protected:
    void SetUp() override
    {
        data_ = std::make_unique<ScopedEnv>("XDG_DATA_HOME", QFile::encodeName(scratch_.file("data")));
        QDir().mkpath(scratch_.file("data/Trash/files"));
        QDir().mkpath(scratch_.file("data/Trash/info"));
    }
    // Moves `path` into the home Trash as a file manager does, under `name`.
    void throwAway(const QString& path, const QString& name, const QByteArray& recordPath)
    {
        ASSERT_TRUE(writeAll(scratch_.file("data/Trash/info/" + name + ".trashinfo"),
                             "[Trash Info]\nPath=" + recordPath + "\nDeletionDate=2024-05-15T10:00:00\n"));
        ASSERT_TRUE(QFile::rename(path, scratch_.file("data/Trash/files/" + name)));
    }
    Scratch scratch_;
    std::unique_ptr<ScopedEnv> data_;
};

TEST_F(Trash, AFileIsFoundByTheRecordOfWhereItWas)
{
    const QDateTime since = QDateTime::currentDateTime();
    QDir().mkpath(scratch_.file("out-1"));
    const QString letter = scratch_.file("out-1/Tom's café letter.pdf");
    const QString other = scratch_.file("out-1/other.pdf");
    ASSERT_TRUE(writeAll(letter, "letter"));
    ASSERT_TRUE(writeAll(other, "other"));
    EXPECT_FALSE(trash::trashedFrom(letter, since)) << "still where it was";
    // Its name was taken in the Trash: it lies under another one, found by its record.
    ASSERT_TRUE(writeAll(scratch_.file("data/Trash/files/Tom's café letter.pdf"), "older"));
    throwAway(letter, "Tom's café letter.2.pdf", QUrl::toPercentEncoding(letter, "/"));
    const auto found = trash::trashedFrom(letter, since);
    ASSERT_TRUE(found);
    EXPECT_EQ(readAll(*found), QByteArray("letter"));
    // Gone elsewhere, not to a Trash; and a record from before the drag is not this file's.
    ASSERT_TRUE(QFile::rename(other, scratch_.file("other elsewhere.pdf")));
    EXPECT_FALSE(trash::trashedFrom(other, since));
    ASSERT_TRUE(writeAll(scratch_.file("data/Trash/info/other.pdf.trashinfo"), "[Trash Info]\nPath=" + other.toUtf8() + "\n"));
    ASSERT_TRUE(writeAll(scratch_.file("data/Trash/files/other.pdf"), "someone else's"));
    EXPECT_TRUE(trash::trashedFrom(other, since));
    EXPECT_FALSE(trash::trashedFrom(other, QDateTime::currentDateTime().addSecs(60)));

    EXPECT_TRUE(trash::removeTrashed(letter, since));
    EXPECT_FALSE(QFileInfo::exists(*found));
    EXPECT_FALSE(QFileInfo::exists(scratch_.file("data/Trash/info/Tom's café letter.2.pdf.trashinfo")));
    EXPECT_EQ(readAll(scratch_.file("data/Trash/files/Tom's café letter.pdf")), QByteArray("older"));
}

} // namespace
