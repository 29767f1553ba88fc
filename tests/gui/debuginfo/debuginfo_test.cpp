// Sending the debugging information from the Help menu: by the mail program, by web mail
// (the clipboard), or not at all; the selected login folder's secrets never go along.

#include "gui/guitest.h"
#include "support/testsecrets.h"

#include "debuginfo/debuginfocommands.h"
#include "mainwindow.h"

#include "debuginfo/messages.h"
#include "folivo-config.h"
#include "logins/loginrecord.h"
#include "platform/fake/fakedesktop.h"
#include "platform/fake/fakeplatform.h"
#include "prefs/ktprefs.h"
#include "prefs/launchdefaults.h"
#include "store/dboperation.h"
#include "store/indexitem.h"
#include "store/mydocument.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QUrlQuery>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::gui;
namespace msg = folivo::debuginfo::msg;

namespace {

class DebugInfoWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        config_.emplace("XDG_CONFIG_HOME", QFile::encodeName(scratch_.file("config")));
        prefs_ = std::make_unique<KTPrefs>(QStringLiteral("org.folivo.DebugInfoTest"));
        applyLaunchDefaults(*prefs_);
        window_ = std::make_unique<MainWindow>(nullptr, prefs_.get(), &platform_.platform());
        window_->setAttribute(Qt::WA_DeleteOnClose, false);
        ASSERT_TRUE(window_->createDatabase(scratch_.file("Help.fvdb")).ok());
        MyDocument& doc = window_->document();
        ASSERT_EQ(doc.recordNewCategory("Bank", nullptr, -1).status, OperationResult::Status::Done);
        IndexItem* bank = doc.tree().itemForPath("Bank");
        bank->setValue(loginkeys::UserID, plist::Value(test::secrets::UserID));
        bank->setValue(loginkeys::Password, plist::Value(test::secrets::Password));
        ASSERT_TRUE(window_->selectPath("Bank"));
        module_ = qobject_cast<DebugInfoCommands*>(window_->module(QStringLiteral("debuginfo")));
        ASSERT_NE(module_, nullptr);
        QGuiApplication::clipboard()->setText(QStringLiteral("what was there"));
    }
    void TearDown() override
    {
        if (window_)
            window_->close();
        window_.reset();
    }
    platform::FakeDesktop& desktop() { return platform_.desktop(); }

    // Runs the command, pressing `choice` in the sheet and OK in any alert after it.
    QList<test::SeenBox> choose(const QString& choice)
    {
        test::ModalResponder responder([choice](QMessageBox* box) {
            for (QAbstractButton* b : box->buttons())
                if (b->text() == choice) {
                    b->click();
                    return;
                }
            box->accept();
        });
        module_->emailTheAuthor();
        return responder.seen();
    }

    test::Scratch scratch_;
    std::optional<test::ScopedEnv> config_;
    // The machine's journal is never read in tests.
    test::ScopedEnv coredumps_{"FOLIVO_COREDUMPCTL", "/nonexistent/coredumpctl"};
    std::unique_ptr<KTPrefs> prefs_;
    platform::FakePlatform platform_;
    std::unique_ptr<MainWindow> window_;
    DebugInfoCommands* module_ = nullptr;
};

} // namespace

TEST_F(DebugInfoWindow, CancelSendsNothingAndLeavesTheClipboard)
{
    const QList<test::SeenBox> seen = choose(msg::Cancel);
    ASSERT_EQ(seen.size(), 1);
    EXPECT_EQ(seen[0].title, msg::SheetTitle);
    EXPECT_EQ(seen[0].buttons, (QStringList{msg::MailProgram, msg::WebMail, msg::Cancel}));
    EXPECT_TRUE(seen[0].text.contains(msg::SupportAddress));
    EXPECT_TRUE(desktop().openedUrls.isEmpty());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("what was there"));
}

TEST_F(DebugInfoWindow, MailProgramGetsTheWholeTextWithoutTheSecrets)
{
    const QList<test::SeenBox> seen = choose(msg::MailProgram);
    EXPECT_EQ(seen.size(), 1) << "no alert after the mail program took it";
    ASSERT_EQ(desktop().openedUrls.size(), 1);
    const QUrl url = desktop().openedUrls.first();
    EXPECT_EQ(url.scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(url.path(), msg::SupportAddress);
    const QUrlQuery query(url);
    EXPECT_EQ(query.queryItemValue("subject", QUrl::FullyDecoded), msg::MailSubject);
    const QString body = query.queryItemValue("body", QUrl::FullyDecoded);
    EXPECT_TRUE(body.startsWith(QStringLiteral("\n\n") + msg::Intro.arg(QStringLiteral(FOLIVO_VERSION_STRING))));
    EXPECT_TRUE(body.contains(msg::SelectedItemHeader));
    EXPECT_TRUE(body.contains(QStringLiteral("(%1 characters)").arg(test::secrets::Password.size())));
    EXPECT_TRUE(!body.contains(test::secrets::Password));
    EXPECT_TRUE(!body.contains(test::secrets::UserID));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("what was there")) << "the whole text fit";
}

TEST_F(DebugInfoWindow, WebMailAndAFailedMailProgramPutTheTextOnTheClipboard)
{
    for (const QString& choice : {msg::WebMail, msg::MailProgram}) {
        SCOPED_TRACE(choice.toStdString());
        desktop().succeed = false; // no mail program: the clipboard way is taken instead
        QGuiApplication::clipboard()->setText(QStringLiteral("what was there"));
        const QList<test::SeenBox> seen = choose(choice);
        ASSERT_EQ(seen.size(), 2);
        EXPECT_EQ(seen[1].title, msg::SheetTitle);
        EXPECT_TRUE(seen[1].text.contains(msg::OnClipboard.arg(msg::SupportAddress)));
        const QString text = QGuiApplication::clipboard()->text();
        EXPECT_TRUE(text.startsWith(msg::Intro.arg(QStringLiteral(FOLIVO_VERSION_STRING))));
        EXPECT_TRUE(!text.contains(test::secrets::Password));
    }
}
