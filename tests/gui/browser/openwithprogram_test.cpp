// Opening a file with its program from the window: a double-click (when the preference says
// so) asks the desktop to open the file's plain copy, the deciphered one for an encrypted
// database, and tells the person when that cannot be done.

#include "gui/encryptedfixture.h"
#include "gui/guitest.h"

#include "mainwindow.h"
#include "database/passwordsheet.h"
#include "browser/treemodel.h"

#include "platform/fake/fakeplatform.h"
#include "prefs/ktprefs.h"
#include "prefs/launchdefaults.h"
#include "prefs/prefkeys.h"
#include "util/fs.h"
#include "util/tempfolder.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::gui;

namespace {

class OpenWithProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        config_.emplace("XDG_CONFIG_HOME", QFile::encodeName(scratch_.file("config")));
        prefs_ = std::make_unique<KTPrefs>(QStringLiteral("org.folivo.OpenWithProgramTest"));
        applyLaunchDefaults(*prefs_);
        prefs_->setBool(true, QStringLiteral("NotifyOpenIndexCheck"));
        prefs_->setInteger(1, prefkeys::DoubleClickMeaning); // a double-click opens the file
    }
    void TearDown() override
    {
        if (window_)
            window_->close();
        window_.reset();
    }
    void makeWindow()
    {
        window_ = std::make_unique<MainWindow>(nullptr, prefs_.get(), &platform_.platform());
        window_->setAttribute(Qt::WA_DeleteOnClose, false);
    }
    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }
    void doubleClick(const QString& path)
    {
        const QModelIndex index = window_->model()->indexForItem(window_->document().tree().itemForPath(path));
        ASSERT_TRUE(index.isValid()) << qPrintable(path);
        QTreeView* view = window_->treeView();
        view->scrollTo(index);
        const QPoint at = view->visualRect(index).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
        settle();
    }

    test::Scratch scratch_;
    std::optional<test::ScopedEnv> config_;
    std::unique_ptr<KTPrefs> prefs_;
    platform::FakePlatform platform_;
    std::unique_ptr<MainWindow> window_;
};

} // namespace

TEST_F(OpenWithProgram, ADoubleClickAsksTheDesktopToOpenTheStoredFile)
{
    makeWindow();
    const QString pkg = scratch_.file("Home.fvdb");
    ASSERT_TRUE(window_->createDatabase(pkg).ok());
    window_->show();
    ASSERT_EQ(window_->document().recordNewCategory("Bank", nullptr, -1).status, OperationResult::Status::Done);
    const QString outside = scratch_.file("desk/May statement.pdf");
    QDir().mkpath(QFileInfo(outside).path());
    ASSERT_TRUE(test::writeAll(outside, "%PDF-1.4\nMay\n"));
    ASSERT_TRUE(window_->importPaths({outside}, "Bank", 0, true).ran);
    settle();
    ASSERT_TRUE(window_->document().tree().itemForPath("Bank/May statement.pdf"));

    doubleClick("Bank/May statement.pdf");
    ASSERT_EQ(platform_.desktop().openedFiles.size(), 1);
    const QString opened = platform_.desktop().openedFiles.front();
    EXPECT_EQ(QFileInfo(opened).canonicalFilePath(), QFileInfo(pkg + "/Bank/May statement.pdf").canonicalFilePath());
    EXPECT_EQ(test::readAll(opened), "%PDF-1.4\nMay\n");

    // A folder is named on a double-click, not opened; with the preference to name items,
    // neither is a file.
    doubleClick("Bank");
    prefs_->setInteger(0, prefkeys::DoubleClickMeaning);
    window_->preferencesChanged();
    doubleClick("Bank/May statement.pdf");
    EXPECT_EQ(platform_.desktop().openedFiles.size(), 1);
}

TEST_F(OpenWithProgram, AFileNoProgramTookIsReported)
{
    makeWindow();
    ASSERT_TRUE(window_->createDatabase(scratch_.file("Home.fvdb")).ok());
    window_->show();
    const QString outside = scratch_.file("desk/Letter.txt");
    QDir().mkpath(QFileInfo(outside).path());
    ASSERT_TRUE(test::writeAll(outside, "Dear Sir"));
    ASSERT_TRUE(window_->importPaths({outside}, "Unfiled", 0, true).ran);
    settle();

    platform_.desktop().succeed = false;
    test::ModalResponder responder([](QMessageBox* box) { box->accept(); });
    doubleClick("Unfiled/Letter.txt");
    EXPECT_EQ(platform_.desktop().openedFiles.size(), 1);
    ASSERT_EQ(responder.seen().size(), 1);
    EXPECT_TRUE(responder.seen().front().text.contains(QString("\"Letter.txt\" could not be opened.").toHtmlEscaped()))
        << qPrintable(responder.seen().front().text);
}

TEST_F(OpenWithProgram, AnEncryptedDatabaseOpensTheDecipheredCopyOutsideThePackage)
{
    const QString fixtures = test::fixturesDir();
    ASSERT_FALSE(fixtures.isEmpty());
    const QString pkg = scratch_.file("Encrypted.fvdb");
    ASSERT_TRUE(fs::copyTree(fixtures + "/Encrypted.fvdb", pkg));
    test::PasswordSheetTyper typer(test::fixturePassword("Encrypted.fvdb"));
    makeWindow();
    ASSERT_TRUE(window_->openDatabase(pkg).ok());
    window_->show();
    settle();

    doubleClick("Notes/Tom's café.txt");
    ASSERT_EQ(platform_.desktop().openedFiles.size(), 1);
    const QString opened = QFileInfo(platform_.desktop().openedFiles.front()).canonicalFilePath();
    EXPECT_EQ(test::readAll(opened), QString("Tom's café: crème brûlée, 4,50 €\n").toUtf8());
    EXPECT_FALSE(opened.startsWith(QFileInfo(pkg).canonicalFilePath() + "/")) << qPrintable(opened);
    EXPECT_TRUE(opened.startsWith(QFileInfo(privateTempBase()).canonicalFilePath() + "/")) << qPrintable(opened);
}
