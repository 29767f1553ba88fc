// The match context of an open database: a stored file's text and the day its stored form
// (plain or enciphered) was last changed, in plain and encrypted databases.

#include "find/documentmatch.h"
#include "find/selectall.h"
#include "store/mydocument.h"
#include "support/packagefixtures.h"
#include "support/testsupport.h"

#include <QFile>

#include <gtest/gtest.h>
#include <utime.h>

using namespace folivo;
using namespace folivo::findbits;

namespace {

class DocumentMatch : public folivo::test::Fixtures {
protected:
    std::unique_ptr<MyDocument> open(const QString& name)
    {
        ui_.passwords = {manifest_.value(name).toObject().value("password").toString()};
        auto doc = std::make_unique<MyDocument>(ui_);
        const OpenResult r = doc->openDatabase(copyOf(name));
        EXPECT_TRUE(r.ok()) << r.message.toStdString();
        return doc;
    }
};

FindCondition condition(int tag, const QString& needle)
{
    FindCondition c;
    c.tag = tag;
    c.name = needle;
    return c;
}

} // namespace

TEST_F(DocumentMatch, TextAndModificationDayOfStoredFiles)
{
    for (const char* name : {"Household.fvdb", "Encrypted.fvdb"}) {
        SCOPED_TRACE(name);
        auto doc = open(name);
        ASSERT_TRUE(doc->dbOpen());
        ASSERT_TRUE(folivo::test::writeAll(scratch_.file("memo.txt"), "Pay the gardener on Friday"));
        const OperationResult r = doc->recordImport(scratch_.file("memo.txt"), std::nullopt, "Unfiled", -1, {}, {});
        ASSERT_TRUE(r.ok()) << r.message.toStdString();
        const IndexItem* memo = doc->tree().itemForPath(r.resultPath);
        ASSERT_TRUE(memo);

        // The stored form, whichever it is, changed on 10 March 2024 at 15:00 local time.
        const std::optional<QString> stored = doc->pathOrEncryptedPath(r.resultPath);
        ASSERT_TRUE(stored);
        const QDateTime when(QDate(2024, 3, 10), QTime(15, 0));
        utimbuf times{time_t(when.toSecsSinceEpoch()), time_t(when.toSecsSinceEpoch())};
        ASSERT_EQ(utime(doc->absolutePath(*stored).toLocal8Bit().constData(), &times), 0);

        DocumentMatchContext context(*doc, false);
        EXPECT_EQ(context.fileText(*memo), QString("Pay the gardener on Friday"));
        EXPECT_EQ(context.fileModificationDay(*memo), QDate(2024, 3, 10));
        const IndexItem* unfiled = doc->tree().itemForPath("Unfiled");
        EXPECT_FALSE(context.fileText(*unfiled));
        EXPECT_FALSE(context.fileModificationDay(*unfiled));

        FindCriteria f;
        f.conditions = {condition(Contents | Contains | IgnoreCase, "GARDENER")};
        EXPECT_EQ(selectAllMatching(doc->tree(), f, context), QStringList{r.resultPath});
        FindCondition on;
        on.tag = FileDate | Is;
        on.date = "3/10/2024";
        f.conditions = {on};
        EXPECT_EQ(selectAllMatching(doc->tree(), f, context), QStringList{r.resultPath});
    }
}
