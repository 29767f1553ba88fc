// folivo-cli and custom attributes: an item's attributes (attr) and the database's names
// (attr-names), whose rename and deletion reach every item and smart folder.

#include "runcli.h"

#include "attributes/customattributes.h"
#include "prefs/ktprefs.h"
#include "prefs/prefkeys.h"
#include "store/indexitem.h"
#include "store/keys.h"
#include "store/mydocument.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

using namespace folivo;
using folivo::test::ProcessResult;
using folivo::test::runCli;
using folivo::test::Scratch;
using folivo::test::ScopedEnv;

namespace {

class CliAttr : public ::testing::Test {
protected:
    void SetUp() override
    {
        SilentUi ui;
        MyDocument doc(ui);
        ASSERT_TRUE(doc.createDatabase(db_).ok());
        ASSERT_EQ(doc.recordNewCategory("Bank", nullptr, -1).status, OperationResult::Status::Done);
        ASSERT_FALSE(doc.recordImport("Visa.txt", QByteArray("v"), "Bank", -1, {}, {}).resultPath.isEmpty());
        doc.customAttributes().setNames(doc, {"Amount"});
        ASSERT_TRUE(setCustomAttribute(doc, "Bank/Visa.txt", "Amount", "12.50"));
        plist::Dict report{{"values", plist::Array{plist::Dict{{"attribute1", "Amount"}, {"operator", 0},
                                                               {"attribute2", ""}}}}};
        IndexItem* smart = doc.tree().insert(
            nullptr,
            std::make_unique<IndexItem>(plist::Dict{{keys::Path, "Tagged"},
                                                    {keys::SmartFolder, plist::Array{plist::Value("tax")}},
                                                    {keys::SmartFolderType, 1},
                                                    {"ReportCriteria", report}},
                                        true));
        ASSERT_TRUE(doc.writeAttributesFileForItem(smart));
        ASSERT_TRUE(doc.writeAttributesFileForItem(nullptr));
        doc.closeDatabase();
    }
    QString out(const QStringList& args, int exitCode = 0)
    {
        const ProcessResult r = runCli(args);
        EXPECT_EQ(r.exitCode, exitCode) << args.join(' ').toStdString() << ": " << r.err.constData();
        return QString::fromUtf8(r.out);
    }

    Scratch scratch_;
    ScopedEnv state_{"XDG_STATE_HOME", (scratch_.path() + "/state").toLocal8Bit()};
    ScopedEnv config_{"XDG_CONFIG_HOME", (scratch_.path() + "/config").toLocal8Bit()};
    QString db_ = scratch_.file("Attr.fvdb");
};

TEST_F(CliAttr, ListReadSetAndDelete)
{
    EXPECT_EQ(out({"attr", db_, "Bank/Visa.txt"}), "Amount\t12.50\n");
    EXPECT_EQ(out({"attr", db_, "/Bank/Visa.txt", "Amount"}), "12.50\n");
    EXPECT_EQ(out({"attr", db_, "Bank/Visa.txt", "Total"}, 1), "");

    // Only a name of the database; "amount" is another name than "Amount".
    const ProcessResult unknown = runCli({"attr", db_, "Bank/Visa.txt", "amount", "3"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_TRUE(unknown.err.contains("not a custom attribute name")) << unknown.err.constData();

    out({"attr-names", db_, "--add", "Account"});
    out({"attr", db_, "Bank/Visa.txt", "Account", "Visa Gold"});
    out({"attr", db_, "Bank/Visa.txt", "Amount", "13"});
    out({"attr", db_, "Bank", "Account", "Savings"});
    EXPECT_EQ(out({"attr", db_, "Bank/Visa.txt"}), "Amount\t13\nAccount\tVisa Gold\n");
    out({"attr", db_, "Bank/Visa.txt", "--delete", "Amount"});
    EXPECT_EQ(out({"attr", db_, "Bank/Visa.txt"}), "Account\tVisa Gold\n");
    out({"attr", db_, "Bank/Visa.txt", "--delete", "Amount"}, 1);
    // Saved as the other commands save: the index and the attributes files agree.
    EXPECT_EQ(out({"--rebuild", "attr", db_, "Bank"}), "Account\tSavings\n");
    EXPECT_EQ(out({"attr", db_, "Bank"}), "Account\tSavings\n");

    out({"attr", db_, "Tagged"}, 1);
    out({"attr", db_, "Bank/Gone.txt"}, 1);
}

TEST_F(CliAttr, NamesAreAddedRenamedAndDeletedThroughTheDatabase)
{
    EXPECT_EQ(out({"attr-names", db_}), "Amount\n");
    out({"attr-names", db_, "--add", "beta"});
    out({"attr-names", db_, "--add", "Gamma"});
    EXPECT_EQ(out({"attr-names", db_}), "Amount\nbeta\nGamma\n");
    for (const char* bad : {"Tax1", "beta", ""})
        out({"attr-names", db_, "--add", bad}, 1);

    {
        KTPrefs prefs(prefkeys::ApplicationId);
        prefs.setObject(plist::Value(plist::Dict{{"Conditions", plist::Array{plist::Dict{{"Tag", 0x2000},
                                                                                          {"CustomAttribute", "Amount"}}}}}),
                        prefkeys::Find);
        ASSERT_TRUE(prefs.synchronize());
    }
    EXPECT_EQ(out({"attr-names", db_, "--rename", "Amount", "Total"}), "Renamed Amount -> Total (2 items changed)\n");
    EXPECT_EQ(out({"attr-names", db_}), "beta\nGamma\nTotal\n");
    EXPECT_EQ(out({"attr", db_, "Bank/Visa.txt"}), "Total\t12.50\n");
    EXPECT_EQ(out({"--rebuild", "attr", db_, "Bank/Visa.txt"}), "Total\t12.50\n");
    EXPECT_TRUE(out({"show", db_, "Tagged"}).contains("\"Total\""));
    {
        KTPrefs prefs(prefkeys::ApplicationId);
        const plist::Value* find = prefs.objectForKey(prefkeys::Find);
        ASSERT_TRUE(find && find->isDict());
        EXPECT_EQ(find->dict().find("Conditions")->array()[0].dict().find("CustomAttribute")->string(), "Total");
    }
    out({"attr-names", db_, "--rename", "Nope", "Other"}, 1);
    out({"attr-names", db_, "--rename", "Total", "Gamma"}, 1);

    out({"attr-names", db_, "--delete", "Total"});
    EXPECT_EQ(out({"attr", db_, "Bank/Visa.txt"}), "");
    EXPECT_EQ(out({"attr-names", db_}), "beta\nGamma\n");
}

TEST_F(CliAttr, UsageErrors)
{
    for (const QStringList& args : {QStringList{"attr", db_, "Bank/Visa.txt", "Amount", "1", "extra"},
                                    QStringList{"attr", db_, "Bank/Visa.txt", "Amount", "--delete", "Amount"},
                                    QStringList{"attr-names", db_, "--add", "A", "--delete", "B"},
                                    QStringList{"attr-names", db_, "--add", "A", "--add", "B"},
                                    QStringList{"attr-names", db_, "--rename", "A"}})
        EXPECT_EQ(runCli(args).exitCode, 2) << args.join(' ').toStdString();
}

} // namespace
