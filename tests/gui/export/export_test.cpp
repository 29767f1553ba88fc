// Export and mail in a window with fake desktop services: the menu rows run on the
// selection, a PDF name that the dialog did not ask about is asked about again, a failed item
// is listed in "Export Failed", and mailed files arrive as distinct plain attachments, shown
// in the file manager when no mail program starts.

#include "gui/guitest.h"

#include "app/appcontroller.h"
#include "browser/browserpane.h"
#include "export/exportcommands.h"
#include "mainwindow.h"

#include "platform/fake/fakeplatform.h"
#include "prefs/ktprefs.h"
#include "prefs/prefkeys.h"
#include "store/mydocument.h"
#include "support/testsupport.h"

#include <QAbstractButton>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::gui;
using folivo::test::ModalResponder;
using folivo::test::readAll;

namespace {

const QByteArray Pdf = "%PDF-1.4\n% statement\n";

class ExportWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        previousConfig_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", scratch_.file("config").toLocal8Bit());
        prefs_ = std::make_unique<KTPrefs>(QStringLiteral("org.folivo.ExportTest"));
        prefs_->setBool(false, prefkeys::NotifyOpenIndexCheck);
        controller_ = std::make_unique<AppController>(prefs_.get(), fake_.platform());
        window_ = controller_->createDatabase(scratch_.file("Home.fvdb"));
        ASSERT_NE(window_, nullptr);
        MyDocument& doc = window_->document();
        ASSERT_TRUE(doc.recordImport("Statement.pdf", Pdf, "Unfiled", -1, {}, {}).ok());
        ASSERT_TRUE(doc.recordRename("Unfiled/Statement.pdf", "Unfiled/Statement").ok());
        ASSERT_TRUE(doc.recordNewCategory("Bank", nullptr, -1).ok());
        ASSERT_TRUE(doc.recordImport("Statement.pdf", Pdf + "bank", "Bank", -1, {}, {}).ok());
        ASSERT_TRUE(doc.recordImport("fees.txt", QByteArray("fees"), "Bank", -1, {}, {}).ok());
        out_ = scratch_.file("out");
        ASSERT_TRUE(QDir().mkpath(out_));
        commands()->chooseDestination = [this](const QString& proposed, bool) {
            proposals_ << QFileInfo(proposed).fileName();
            return chosen_.isEmpty() ? QString() : out_ + "/" + chosen_;
        };
        settle();
    }
    void TearDown() override
    {
        controller_.reset();
        prefs_.reset();
        qputenv("XDG_CONFIG_HOME", previousConfig_);
    }
    static void settle()
    {
        for (int i = 0; i < 6; ++i)
            QCoreApplication::processEvents();
    }
    ExportCommands* commands() const { return static_cast<ExportCommands*>(window_->module("export")); }
    void select(const QStringList& paths)
    {
        window_->browser().selectItems(paths);
        settle();
    }
    platform::FakeDesktop& desktop() { return fake_.desktop(); }

    QByteArray previousConfig_;
    test::Scratch scratch_;
    platform::FakePlatform fake_;
    std::unique_ptr<KTPrefs> prefs_;
    std::unique_ptr<AppController> controller_;
    MainWindow* window_ = nullptr;
    QString out_;
    QString chosen_;
    QStringList proposals_;
};

} // namespace

TEST_F(ExportWindow, OnePdfIsAskedAboutAgainUnderItsFixedName)
{
    ASSERT_TRUE(test::writeAll(out_ + "/Statement.pdf", "older"));
    select({"Unfiled/Statement"});
    chosen_ = "Statement";
    {
        // Cancel keeps what is there.
        ModalResponder cancel([](QMessageBox* box) { box->buttons().constFirst()->click(); });
        commands()->exportSelection();
        ASSERT_EQ(cancel.seen().size(), 1);
        EXPECT_TRUE(cancel.seen()[0].text.contains("Statement.pdf&quot; already exists")) << qPrintable(cancel.seen()[0].text);
        EXPECT_EQ(readAll(out_ + "/Statement.pdf"), "older");
    }
    ModalResponder replace([](QMessageBox* box) {
        for (QAbstractButton* b : box->buttons())
            if (b->text() == "Replace")
                b->click();
    });
    commands()->exportSelection();
    EXPECT_EQ(readAll(out_ + "/Statement.pdf"), Pdf);
    EXPECT_EQ(proposals_, (QStringList{"Statement", "Statement"}));
    EXPECT_FALSE(QFileInfo::exists(out_ + "/Statement"));
}

TEST_F(ExportWindow, SeveralItemsGoIntoANewFolderAndFailuresAreListed)
{
    ASSERT_TRUE(QFile::remove(window_->document().dbPath() + "/Bank/fees.txt"));
    select({"Unfiled/Statement", "Bank"});
    chosen_ = "Exported";
    ModalResponder ok([](QMessageBox* box) { box->accept(); });
    commands()->exportSelection();
    ASSERT_EQ(proposals_.size(), 1);
    EXPECT_TRUE(proposals_[0].startsWith("Exported ")) << qPrintable(proposals_[0]);
    EXPECT_FALSE(proposals_[0].contains('/'));
    EXPECT_EQ(readAll(out_ + "/Exported/Statement.pdf"), Pdf);
    EXPECT_EQ(readAll(out_ + "/Exported/Bank/Statement.pdf"), Pdf + "bank");
    ASSERT_EQ(ok.seen().size(), 1);
    EXPECT_EQ(ok.seen()[0].title, "Export Failed");
    EXPECT_TRUE(ok.seen()[0].text.contains("Bank/fees.txt: ")) << qPrintable(ok.seen()[0].text);
}

TEST_F(ExportWindow, MailAttachesDistinctPlainCopiesAndFallsBackToTheFileManager)
{
    select({"Unfiled/Statement", "Bank"});
    commands()->sendWithMail();
    ASSERT_EQ(desktop().mails.size(), 1);
    const QStringList attached = desktop().mails[0].attachments;
    ASSERT_EQ(attached.size(), 3);
    EXPECT_EQ(QFileInfo(attached[0]).fileName(), "Statement.pdf");
    EXPECT_EQ(QFileInfo(attached[1]).fileName(), "Statement.pdf");
    EXPECT_NE(attached[0], attached[1]);
    EXPECT_EQ(readAll(attached[1]), Pdf + "bank");
    EXPECT_FALSE(attached[0].startsWith(window_->document().dbPath()));

    desktop().succeed = false;
    ModalResponder ok([](QMessageBox* box) { box->accept(); });
    commands()->sendWithMail();
    ASSERT_EQ(ok.seen().size(), 1);
    EXPECT_TRUE(ok.seen()[0].text.contains("No mail program")) << qPrintable(ok.seen()[0].text);
    EXPECT_EQ(desktop().revealed.size(), 3);
    // The first mail's files are still there for the mail program that reads them late.
    for (const QString& a : attached)
        EXPECT_TRUE(QFileInfo::exists(a)) << qPrintable(a);
}
