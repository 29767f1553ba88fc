// folivo-cli debuginfo: the text for a support request, with a database's item when named.

#include "runcli.h"
#include "support/fakeui.h"
#include "support/testsecrets.h"
#include "support/testsupport.h"

#include "debuginfo/messages.h"
#include "folivo-config.h"
#include "logins/loginrecord.h"
#include "store/dboperation.h"
#include "store/indexitem.h"
#include "store/mydocument.h"

#include <QFile>
#include <gtest/gtest.h>

using folivo::test::ProcessResult;

namespace folivo {
namespace {

class CliDebugInfo : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A stand-in for coredumpctl: the machine's own journal is never read in tests.
        const QString fake = scratch_.file("coredumpctl");
        ASSERT_TRUE(test::writeAll(fake, "#!/bin/sh\n"
                                         "case \"$*\" in\n"
                                         "  *list*) echo '[{\"pid\":77,\"exe\":\"/usr/bin/folivo\"}]' ;;\n"
                                         "  *info*) printf 'PID: 77 (folivo)\\nStack trace of thread 77:\\n#0 boom\\n' ;;\n"
                                         "esac\n"));
        QFile::setPermissions(fake, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        saved_ = qgetenv("FOLIVO_COREDUMPCTL");
        qputenv("FOLIVO_COREDUMPCTL", fake.toLocal8Bit());

        test::FakeUi ui;
        MyDocument doc(ui);
        ASSERT_TRUE(doc.createDatabase(db_).ok());
        ASSERT_EQ(doc.recordNewCategory("Bank", nullptr, -1).status, OperationResult::Status::Done);
        IndexItem* bank = doc.tree().itemForPath("Bank");
        bank->setValue(loginkeys::URL, plist::Value(QStringLiteral("https://bank.example/")));
        bank->setValue(loginkeys::UserID, plist::Value(test::secrets::UserID));
        bank->setValue(loginkeys::Password, plist::Value(test::secrets::Password));
        ASSERT_TRUE(doc.writeAttributesFileForItem(bank));
        doc.changed();
        doc.saveChanges(false);
        doc.closeDatabase();
    }
    void TearDown() override
    {
        if (saved_.isNull())
            qunsetenv("FOLIVO_COREDUMPCTL");
        else
            qputenv("FOLIVO_COREDUMPCTL", saved_);
    }

    test::Scratch scratch_;
    QString db_ = scratch_.file("Bank.fvdb");
    QByteArray saved_;
};

TEST_F(CliDebugInfo, WithoutADatabaseItHasEverySectionButTheItem)
{
    const ProcessResult r = test::runCli({"debuginfo"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString out = QString::fromUtf8(r.out);
    EXPECT_TRUE(out.startsWith(debuginfo::msg::Intro.arg(QStringLiteral(FOLIVO_VERSION_STRING))));
    qsizetype at = 0;
    for (const QString& header : {debuginfo::msg::PreferencesHeader, debuginfo::msg::NotificationsHeader,
                                  debuginfo::msg::LogEntriesHeader, debuginfo::msg::CrashReportHeader}) {
        const qsizetype found = out.indexOf(header, at);
        EXPECT_GE(found, at) << header.toStdString();
        at = std::max(at, found);
    }
    EXPECT_FALSE(out.contains(debuginfo::msg::SelectedItemHeader));
    EXPECT_TRUE(out.contains("Stack trace of thread 77:\n#0 boom\n"));
}

TEST_F(CliDebugInfo, TheNamedLoginFolderShowsItsSecretsByLengthOnly)
{
    const ProcessResult r = test::runCli({"debuginfo", db_, "/Bank/"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString out = QString::fromUtf8(r.out);
    EXPECT_TRUE(out.contains(debuginfo::msg::SelectedItemHeader));
    EXPECT_TRUE(out.contains("https://bank.example/"));
    EXPECT_TRUE(out.contains(QStringLiteral("(%1 characters)").arg(test::secrets::Password.size())));
    EXPECT_TRUE(!out.contains(test::secrets::Password));
    EXPECT_TRUE(!out.contains(test::secrets::UserID));
}

TEST_F(CliDebugInfo, Usage)
{
    struct Case {
        QStringList args;
        int exitCode;
    };
    for (const Case& c : std::vector<Case>{{{"debuginfo", "only-one"}, 2},
                                            {{"debuginfo", "a", "b", "c"}, 2},
                                            {{"debuginfo", "DB", "/Missing"}, 1}}) {
        QStringList args = c.args;
        if (args.value(1) == "DB")
            args[1] = db_;
        SCOPED_TRACE(args.join(' ').toStdString());
        EXPECT_EQ(test::runCli(args).exitCode, c.exitCode);
    }
}

} // namespace
} // namespace folivo
