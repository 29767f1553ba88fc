// The text cache: a search of contents reads each file once, a changed file again; a damaged
// cache is rebuilt; an encrypted database's text stays in memory; a file that gives no text
// is not parsed twice.

#include "filing/importpipeline.h"
#include "find/searchtext.h"
#include "find/textcache.h"
#include "store/dboperation.h"
#include "store/indexitem.h"
#include "store/keys.h"
#include "store/mydocument.h"
#include "support/fakeui.h"
#include "support/minipdf.h"
#include "support/packagefixtures.h"
#include "support/testsupport.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace folivo {
namespace {

using Status = OperationResult::Status;

class TextCacheTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(doc_.createDatabase(db_).ok());
        ASSERT_EQ(doc_.recordNewCategory("Bank", nullptr, -1).status, Status::Done);
        pdf_ = store("Statement.pdf", test::makeTextPdf({"ACME Bank", "Roof repair paid 1200.00"}));
        rtf_ = store("Letter.rtf", "{\\rtf1\\ansi Dear insurer, the {\\b roof} leaks.}");
        txt_ = store("Note.txt", "a note about the garden");
    }
    QString store(const QString& name, const QByteArray& data)
    {
        const OperationResult r = doc_.recordImport(name, data, "Bank", -1, {}, {});
        EXPECT_EQ(r.status, Status::Done) << name.toStdString();
        return r.resultPath;
    }
    // How many files a search of every file reads, and which contain `word`.
    std::pair<qint64, QStringList> search(MyDocument& doc, const QString& word, const QStringList& paths)
    {
        const qint64 before = TextCache::filesRead();
        QStringList found;
        for (const QString& p : paths)
            if (doc.textCache().mayContain(p, word, true))
                if (const auto text = searchTextOfItem(doc, p); text && text->contains(word, Qt::CaseInsensitive))
                    found << p;
        return {TextCache::filesRead() - before, found};
    }

    test::Scratch scratch_;
    QString db_ = scratch_.file("Cache.fvdb");
    test::FakeUi ui_;
    MyDocument doc_{ui_};
    QString pdf_, rtf_, txt_;
};

TEST_F(TextCacheTest, ASecondSearchReadsNoFileAndAChangedFileIsReadAgain)
{
    const QStringList all{pdf_, rtf_, txt_};
    auto [reads, found] = search(doc_, "roof", all);
    EXPECT_EQ(reads, 3);
    EXPECT_EQ(found, QStringList({pdf_, rtf_}));
    EXPECT_TRUE(QFileInfo::exists(db_ + "/" + pkg::TextCache));
    std::tie(reads, found) = search(doc_, "ROOF", all);
    EXPECT_EQ(reads, 0) << "the cache answers";
    EXPECT_EQ(found, QStringList({pdf_, rtf_}));
    std::tie(reads, found) = search(doc_, "garden", all);
    EXPECT_EQ(reads, 0);
    EXPECT_EQ(found, QStringList({txt_}));
    EXPECT_FALSE(doc_.textCache().mayContain(pdf_, "garden", true)) << "the index knows it is not there";

    // The file changes under the cache: its size and time no longer match, so it is read.
    ASSERT_TRUE(test::writeAll(db_ + "/" + txt_, "now the note is about the roof, and longer"));
    std::tie(reads, found) = search(doc_, "roof", all);
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(found, QStringList({pdf_, rtf_, txt_}));

    // A reopened database still has the rows.
    doc_.closeDatabase();
    test::FakeUi ui;
    MyDocument again(ui);
    ASSERT_TRUE(again.openDatabase(db_).ok());
    std::tie(reads, found) = search(again, "roof", all);
    EXPECT_EQ(reads, 0);
    EXPECT_EQ(found.size(), 3);
}

TEST_F(TextCacheTest, RenamedAndDeletedItemsLeaveNoRowsAndImportsFillTheCache)
{
    ASSERT_EQ(search(doc_, "roof", {pdf_}).first, 1);
    ASSERT_EQ(doc_.recordRename(pdf_, "Bank/Renamed.pdf").status, Status::Done);
    EXPECT_EQ(search(doc_, "roof", {"Bank/Renamed.pdf"}).first, 1) << "read again under its new name";
    ASSERT_EQ(doc_.recordDelete("Bank/Renamed.pdf").status, Status::Done);
    EXPECT_EQ(doc_.textCache().rowCount(), 0);

    // An import keeps the text the filing rules read.
    const QString source = scratch_.file("in/Policy.txt");
    QDir().mkpath(QFileInfo(source).path());
    ASSERT_TRUE(test::writeAll(source, "home insurance policy"));
    ImportPipeline pipeline(doc_, nullptr);
    ImportRequest request;
    request.paths = {source};
    const ImportOutcome out = pipeline.doImport(request);
    ASSERT_EQ(out.itemsToSelect.size(), 1);
    const auto [reads, found] = search(doc_, "policy", out.itemsToSelect);
    EXPECT_EQ(reads, 0);
    EXPECT_EQ(found, out.itemsToSelect);
}

TEST_F(TextCacheTest, ADamagedCacheIsRebuiltAndAFileWithoutTextIsNotParsedTwice)
{
    const QString hostile = store("Broken.pdf", "%PDF-1.4\n1 0 obj << /Type /Catalog >>\nthis is not a PDF at all");
    EXPECT_EQ(search(doc_, "roof", {hostile}).first, 1);
    EXPECT_EQ(search(doc_, "roof", {hostile}).first, 0) << "kept as having no text";
    doc_.closeDatabase();

    ASSERT_TRUE(test::writeAll(db_ + "/" + pkg::TextCache, QByteArray(4096, 'x')));
    QFile::remove(db_ + "/" + pkg::TextCache + "-wal");
    test::FakeUi ui;
    MyDocument again(ui);
    ASSERT_TRUE(again.openDatabase(db_).ok());
    const auto [reads, found] = search(again, "roof", {pdf_, rtf_});
    EXPECT_EQ(reads, 2) << "a damaged cache is thrown away, never trusted";
    EXPECT_EQ(found, QStringList({pdf_, rtf_}));
    EXPECT_TRUE(again.textCache().onDisk());
    EXPECT_EQ(search(again, "roof", {pdf_, rtf_}).first, 0);
}

class EncryptedTextCache : public test::Fixtures {};

TEST_F(EncryptedTextCache, TheTextStaysInMemoryAndASecondSearchReadsNothing)
{
    const QString pkg = copyOf("Encrypted.fvdb");
    const QString password = manifest_.value("Encrypted.fvdb").toObject().value("password").toString();
    const QByteArray secret = "ZEBRACROSSING-7781";
    {
        test::FakeUi ui;
        ui.passwords = {password};
        MyDocument doc(ui);
        ASSERT_TRUE(doc.openDatabase(pkg).ok());
        const QString file =
            doc.recordImport("Secret.pdf", test::makeTextPdf({QString::fromLatin1(secret)}), "Bank", -1, {}, {}).resultPath;
        ASSERT_FALSE(file.isEmpty());
        qint64 before = TextCache::filesRead();
        ASSERT_TRUE(searchTextOfItem(doc, file)->contains(QString::fromLatin1(secret)));
        EXPECT_EQ(TextCache::filesRead() - before, 1);
        before = TextCache::filesRead();
        ASSERT_TRUE(searchTextOfItem(doc, file)->contains(QString::fromLatin1(secret)));
        EXPECT_EQ(TextCache::filesRead() - before, 0);
        EXPECT_FALSE(doc.textCache().onDisk());
        doc.closeDatabase();
    }
    EXPECT_FALSE(QFileInfo::exists(pkg + "/" + pkg::TextCache));
    QDirIterator it(pkg, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString f = it.next();
        EXPECT_FALSE(test::readAll(f).contains(secret)) << f.toStdString();
    }
}

} // namespace
} // namespace folivo
