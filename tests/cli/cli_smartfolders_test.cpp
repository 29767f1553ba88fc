// folivo-cli smart-folders: every smart folder loaded to its end and counted, as lines or
// JSON, without changing the database it reads.

#include "runcli.h"
#include "support/fakeui.h"
#include "support/testsupport.h"

#include "attributes/tags.h"
#include "smartfolders/smartfolders.h"
#include "store/mydocument.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace folivo;
using folivo::test::ProcessResult;
using folivo::test::Scratch;
using folivo::test::runCli;

namespace {

TEST(CliSmartFolders, EachFolderLoadedAndCounted)
{
    Scratch scratch;
    const QString db = scratch.file("Home.fvdb");
    {
        folivo::test::FakeUi ui;
        MyDocument doc(ui);
        ASSERT_TRUE(doc.createDatabase(db).ok());
        QStringList paths;
        for (const char* name : {"gas bill.txt", "power bill.txt", "letter.txt"}) {
            const OperationResult r = doc.recordImport(name, QByteArray("text"), "Unfiled", -1, {}, {});
            ASSERT_TRUE(r.ok());
            paths << r.resultPath;
        }
        ASSERT_TRUE(setTags(doc, paths[2], {"family"}));
        FindCondition c;
        c.tag = findbits::Name | findbits::Contains;
        c.name = "bill";
        FindCriteria criteria;
        criteria.conditions = {c};
        criteria.type = 3;
        criteria.smartFolderName = "Bills";
        ASSERT_TRUE(doc.smartFolders().createConditionFolder(criteria));
        ASSERT_TRUE(doc.smartFolders().createTagFolder({"family"}, "Family"));
        ASSERT_TRUE(doc.smartFolders().createSelectedItemsFolder(
            {doc.tree().itemForPath(paths[0]), doc.tree().itemForPath("Unfiled")}));
        doc.closeDatabase();
    }
    const auto before = folivo::test::packageListing(db);

    const ProcessResult r = runCli({"smart-folders", db});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(QString::fromUtf8(r.out), "Bills\tconditions\t2\nFamily\ttags\t1\nSelected Files\tselected items\t3\n");

    const ProcessResult j = runCli({"smart-folders", db, "--json"});
    ASSERT_EQ(j.exitCode, 0) << j.err.constData();
    const QJsonArray array = QJsonDocument::fromJson(j.out).array();
    ASSERT_EQ(array.size(), 3);
    EXPECT_EQ(array[0].toObject().value("type").toInt(), 0);
    EXPECT_EQ(array[2].toObject().value("type").toInt(), 2);
    EXPECT_EQ(array[2].toObject().value("kind").toString(), "selected items");
    EXPECT_EQ(array[2].toObject().value("members").toInt(), 3);
    EXPECT_FALSE(array[2].toObject().value("lastImport").toBool());

    EXPECT_EQ(folivo::test::listingDifferences(before, folivo::test::packageListing(db)), QString());
}

} // namespace
