// The import folder on a real desktop: the window is activated by the window manager each
// time one of its own alerts or sheets closes, and the person answers with the mouse.
// Whatever the folder holds, each thing is said once, and nothing is imported twice.

#include "gui/desktop/desktop.h"

#include "mainwindow.h"

#include "prefs/ktprefs.h"
#include "prefs/launchdefaults.h"
#include "store/keys.h"

#include <QDir>
#include <QFileInfo>

using namespace folivo;
using namespace folivo::gui;
using namespace folivo::test::desktop;

namespace {

const QString NotFound = QStringLiteral("Import Folder Not Found");
const QString IntoThisCopy = QStringLiteral("Import Into This Copy?");
const QString Skipped = QStringLiteral("While importing, a FOLDER or FOLIVO DATABASE was skipped.");

class DesktopImportFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(onDesktop()) << "runs on an X server with a window manager (on_desktop.sh)";
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch_.file("config")));
        prefs_ = std::make_unique<KTPrefs>(QStringLiteral("org.folivo.FolivoDesktopTest"));
        applyLaunchDefaults(*prefs_);
        prefs_->setBool(true, QStringLiteral("NotifyOpenIndexCheck"));
        elsewhere_.setWindowTitle(QStringLiteral("Another program"));
        elsewhere_.setGeometry(700, 100, 300, 200);
        elsewhere_.show();
        box_ = scratch_.file("box");
        QDir().mkpath(box_);
    }
    void TearDown() override
    {
        if (window_)
            window_->close();
        window_.reset();
    }
    // A database whose import folder is `folder`, set up in this package (or another).
    void createWithImportFolder(const QString& folder, const QString& setFor = {})
    {
        window_ = std::make_unique<MainWindow>(nullptr, prefs_.get());
        window_->setAttribute(Qt::WA_DeleteOnClose, false);
        window_->setGeometry(60, 60, 900, 600);
        // The files have long stopped changing: a short look is enough.
        window_->drainWait = [](int) { wait(50); };
        ASSERT_TRUE(window_->createDatabase(scratch_.file("Home.fvdb")).ok());
        DatabaseSettings& s = window_->document().settings();
        s.importFolderEnabled = true;
        s.importFolderPath = folder;
        s.importFolderSetFor = setFor.isEmpty() ? window_->databasePath() : setFor;
    }
    // The window appears and comes to the front.
    void bringForward()
    {
        window_->show();
        person_.activate(window_.get());
    }
    // The person goes to another program and comes back to the database window.
    void goAwayAndBack()
    {
        person_.activate(&elsewhere_).pause(200).activate(window_.get());
    }
    QStringList children(const QString& path) const
    {
        QStringList out;
        const IndexTree& tree = window_->document().tree();
        for (const auto& item : tree.childrenOf(tree.itemForPath(path)))
            out << item->name();
        return out;
    }

    test::Scratch scratch_;
    std::unique_ptr<KTPrefs> prefs_;
    std::unique_ptr<MainWindow> window_;
    QWidget elsewhere_;
    QString box_;
    test::desktop::Person person_;
};

TEST_F(DesktopImportFolder, AMissingFolderIsReportedOnceUntilTheSettingChanges)
{
    createWithImportFolder(scratch_.file("gone"));
    BoxLog boxes;
    bringForward();
    person_.answer(boxes, NotFound, QStringLiteral("OK"));
    // The window comes forward again as the alert goes: that is no reason to say it again.
    person_.pause(2000).then("looks", [&] { EXPECT_EQ(boxes.titles(), QStringList({NotFound})); });
    goAwayAndBack();
    person_.pause(1500).then("looks", [&] { EXPECT_EQ(boxes.titles(), QStringList({NotFound})) << "once a session"; });
    // Another folder, also missing: that one is news.
    person_.then("changes the setting",
                 [&] { window_->document().settings().importFolderPath = scratch_.file("also gone"); });
    goAwayAndBack();
    person_.answer(boxes, NotFound, QStringLiteral("OK")).pause(1500);
    ASSERT_TRUE(person_.run());
    EXPECT_EQ(boxes.titles(), QStringList({NotFound, NotFound}));
}

TEST_F(DesktopImportFolder, ASubFolderIsWarnedAboutOnceAndNoEmptyLogIsStored)
{
    prefs_->setBool(true, QStringLiteral("ImportLog"));
    prefs_->setBool(true, QStringLiteral("MaintainLastImport"));
    createWithImportFolder(box_);
    ASSERT_TRUE(window_->document().recordNewCategory(QStringLiteral("Import Logs"), nullptr, -1).ok());
    ASSERT_TRUE(test::writeAll(box_ + "/bill.txt", "bill"));
    QDir().mkpath(box_ + "/Old scans");
    BoxLog boxes;
    bringForward();
    person_.answer(boxes, Skipped, QStringLiteral("OK")).pause(2000);
    goAwayAndBack();
    person_.pause(1500);
    ASSERT_TRUE(person_.run());
    EXPECT_EQ(boxes.titles(), QStringList({Skipped}));
    EXPECT_EQ(children("Unfiled"), QStringList({"bill.txt"}));
    EXPECT_EQ(children("Import Logs").size(), 1) << children("Import Logs").join(", ").toStdString();
    // "Last Import" still holds the bill: rounds that found nothing new did not empty it.
    const IndexItem* last = window_->document().tree().itemForPath(QStringLiteral("Last Import"));
    ASSERT_TRUE(last);
    const plist::Value* smart = last->value(keys::SmartFolder);
    ASSERT_TRUE(smart && smart->isDict() && smart->dict().find(QStringLiteral("Conditions")));
    EXPECT_EQ(smart->dict().find(QStringLiteral("Conditions"))->array().size(), 1u);
    EXPECT_TRUE(QFileInfo(box_ + "/Old scans").isDir());

    // A new file is imported when the person comes back; the folder was warned about.
    ASSERT_TRUE(test::writeAll(box_ + "/letter.txt", "letter"));
    goAwayAndBack();
    person_.when("the letter is in", [&] { return children("Unfiled").size() == 2; }).pause(1500);
    ASSERT_TRUE(person_.run());
    EXPECT_EQ(boxes.titles(), QStringList({Skipped}));
    EXPECT_EQ(children("Import Logs").size(), 2);
}

TEST_F(DesktopImportFolder, DontImportIntoACopyIsNotAskedAgain)
{
    createWithImportFolder(box_, scratch_.file("Original.fvdb"));
    ASSERT_TRUE(test::writeAll(box_ + "/bill.txt", "bill"));
    BoxLog boxes;
    bringForward();
    person_.answer(boxes, IntoThisCopy, QStringLiteral("Don't Import")).pause(2000);
    goAwayAndBack();
    person_.pause(1500);
    ASSERT_TRUE(person_.run());
    EXPECT_EQ(boxes.titles(), QStringList({IntoThisCopy}));
    EXPECT_TRUE(QFileInfo::exists(box_ + "/bill.txt"));
    EXPECT_TRUE(children("Unfiled").isEmpty()) << "nothing goes into the copy";
}

} // namespace
