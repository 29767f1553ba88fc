// The import folder settings of a database: only a folder that passes the checks reaches
// the settings, creating a folder never removes anything, turning the switch on warns
// first, and OK saves the settings into the package while Cancel changes nothing.

#include "filing/messages.h"
#include "gui/guitest.h"

#include "filing/importfolder.h"
#include "import/importfoldersheet.h"
#include "plist/keyedarchive.h"
#include "store/keys.h"
#include "store/mydocument.h"
#include "support/fakeui.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::gui;
using folivo::test::FakeUi;
using folivo::test::folderSnapshot;
using folivo::test::Scratch;
using folivo::test::writeAll;

namespace {

class ImportFolderSheetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dbPath_ = scratch_.file("dbs/Home.fvdb");
        ASSERT_TRUE(QDir().mkpath(scratch_.file("dbs")));
        ASSERT_TRUE(doc_.createDatabase(dbPath_).ok());
        ASSERT_TRUE(QDir().mkpath(scratch_.file("Empty")));
        ASSERT_TRUE(QDir().mkpath(scratch_.file("Full")));
        ASSERT_TRUE(writeAll(scratch_.file("Full/statement.pdf"), "%PDF"));
    }

    std::unique_ptr<ImportFolderSheet> sheet()
    {
        auto s = std::make_unique<ImportFolderSheet>(doc_, nullptr);
        s->dialogs.chooseFolder = [this](QWidget*, const QString& title, const QString& accept, const QString&) {
            dialogTitles << title + " | " + accept;
            return chosen;
        };
        s->dialogs.newFolderPath = [this](QWidget*, const QString& title, const QString& proposed) {
            dialogTitles << title + " | " + proposed;
            return chosen;
        };
        s->dialogs.ask = [this](QWidget*, const Prompt& p) {
            asked << p;
            return answer;
        };
        return s;
    }
    // The settings as the package holds them now.
    DatabaseSettings onDisk() const
    {
        return DatabaseSettings::fromAttributesState(plist::readKeyedArchiveFile(dbPath_ + '/' + pkg::AttributesState),
                                                     nullptr);
    }

    Scratch scratch_;
    FakeUi ui_;
    MyDocument doc_{ui_};
    QString dbPath_;
    std::optional<QString> chosen; // what the next file dialog answers
    int answer = 0;                // the button the next alert answers
    QStringList dialogTitles;
    QList<Prompt> asked;
};

TEST_F(ImportFolderSheetTest, OnlyAFolderThatPassesTheChecksCanBeChosen)
{
    struct Case {
        QString path;
        ImportFolderProblem problem;
    };
    const QList<Case> cases = {
        {scratch_.file("Empty"), ImportFolderProblem::None},
        {scratch_.file("Full"), ImportFolderProblem::NotEmpty},
        {scratch_.file("missing"), ImportFolderProblem::Missing},
        {scratch_.file("Full/statement.pdf"), ImportFolderProblem::NotAFolder},
        {dbPath_, ImportFolderProblem::InsidePackage},
        {dbPath_ + "/Unfiled", ImportFolderProblem::InsidePackage},
        {scratch_.file("dbs"), ImportFolderProblem::HoldsPackage},
        {QDir::homePath(), ImportFolderProblem::HomeFolder},
        {QStringLiteral("/"), ImportFolderProblem::RootFolder},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        asked.clear();
        auto s = sheet();
        s->enabledSwitch()->setChecked(true);
        chosen = c.path;
        s->chooseButton()->click();
        if (c.problem == ImportFolderProblem::None) {
            EXPECT_TRUE(asked.isEmpty());
            EXPECT_EQ(s->pathField()->text(), c.path);
            EXPECT_TRUE(s->enabledSwitch()->isChecked());
        } else {
            ASSERT_EQ(asked.size(), 1);
            EXPECT_EQ(asked[0].title, QStringLiteral("Import Folder Error"));
            EXPECT_EQ(asked[0].text, importFolderProblemMessage(c.problem, c.path));
            EXPECT_TRUE(s->pathField()->text().isEmpty());
            EXPECT_FALSE(s->enabledSwitch()->isChecked()) << "the switch goes off with a refused folder";
        }
    }
    EXPECT_EQ(dialogTitles.value(0), QStringLiteral("Choose Import Folder | Set As Import Folder"));
    EXPECT_EQ(importFolderProblemMessage(ImportFolderProblem::NotEmpty, {}), importfoldermsg::MustBeEmpty);
}

TEST_F(ImportFolderSheetTest, CreatingAFolderNeverRemovesAnything)
{
    struct Case {
        QString path;
        bool accepted;
    };
    const Case cases[] = {
        {scratch_.file("Drop/Box"), true},    // made, with the folder above it
        {scratch_.file("Empty"), true},       // taken as it is
        {scratch_.file("Full"), false},       // its files stay
        {scratch_.file("Full/statement.pdf"), false},
        {dbPath_ + "/Drop", false},           // nothing made inside the database
        {dbPath_ + "/Unfiled/Deeper/Drop", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        asked.clear();
        const auto before = folderSnapshot(scratch_.path());
        auto s = sheet();
        chosen = c.path;
        s->createButton()->click();
        if (c.accepted) {
            EXPECT_TRUE(asked.isEmpty());
            EXPECT_EQ(s->pathField()->text(), c.path);
            EXPECT_TRUE(QFileInfo(c.path).isDir());
        } else {
            ASSERT_EQ(asked.size(), 1);
            EXPECT_EQ(asked[0].title, QStringLiteral("Import Folder Error"));
            EXPECT_TRUE(s->pathField()->text().isEmpty());
            EXPECT_EQ(folderSnapshot(scratch_.path()), before) << "nothing removed, nothing made";
        }
    }
    EXPECT_EQ(dialogTitles.value(0),
              "Create Import Folder | " + QDir::home().filePath(QStringLiteral("Folivo Import Folder")));
}

TEST_F(ImportFolderSheetTest, TurningTheSwitchOnWarnsAndThenAsksForAFolder)
{
    auto s = sheet();
    // "Cancel" on the warning: off, and no folder asked for.
    answer = 1;
    s->enabledSwitch()->click();
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0].title, importfoldermsg::WarningTitle);
    EXPECT_EQ(asked[0].text, importfoldermsg::WarningText);
    EXPECT_EQ(asked[0].buttons, (QStringList{"OK", "Cancel"}));
    EXPECT_FALSE(s->enabledSwitch()->isChecked());
    EXPECT_TRUE(dialogTitles.isEmpty());

    // "OK" with no folder set: the chooser; cancelling it turns the switch off again.
    answer = 0;
    chosen.reset();
    s->enabledSwitch()->click();
    EXPECT_EQ(dialogTitles.size(), 1);
    EXPECT_FALSE(s->enabledSwitch()->isChecked());

    // With a folder chosen it stays on.
    chosen = scratch_.file("Empty");
    s->enabledSwitch()->click();
    EXPECT_TRUE(s->enabledSwitch()->isChecked());
    EXPECT_EQ(s->pathField()->text(), scratch_.file("Empty"));

    // Off and on again over a folder that is there: the warning, but no chooser.
    s->enabledSwitch()->click();
    s->enabledSwitch()->click();
    EXPECT_EQ(dialogTitles.size(), 2);
    EXPECT_TRUE(s->enabledSwitch()->isChecked());
}

TEST_F(ImportFolderSheetTest, OkSavesTheSettingsIntoThePackageAndCancelChangesNothing)
{
    const DatabaseSettings before = onDisk();
    {
        auto s = sheet();
        s->enabledSwitch()->setChecked(true);
        chosen = scratch_.file("Empty");
        s->chooseButton()->click();
        s->reject();
    }
    EXPECT_FALSE(doc_.settings().importFolderEnabled);
    EXPECT_TRUE(doc_.settings().importFolderPath.isEmpty());
    EXPECT_EQ(onDisk().importFolderPath, before.importFolderPath);

    auto s = sheet();
    s->enabledSwitch()->setChecked(true);
    s->chooseButton()->click();
    s->accept();
    EXPECT_EQ(s->result(), QDialog::Accepted);
    for (const DatabaseSettings& settings : {doc_.settings(), onDisk()}) {
        EXPECT_TRUE(settings.importFolderEnabled);
        EXPECT_EQ(settings.importFolderPath, scratch_.file("Empty"));
        EXPECT_EQ(settings.importFolderSetFor, dbPath_);
    }

    // The folder set now may fill up: it is still the import folder.
    ASSERT_TRUE(writeAll(scratch_.file("Empty/waiting.txt"), "to import"));
    auto again = sheet();
    EXPECT_TRUE(again->errorLine()->isHidden());
    again->accept();
    EXPECT_EQ(again->result(), QDialog::Accepted);

    // Off: stored as it is, without a check.
    auto off = sheet();
    off->enabledSwitch()->click();
    off->accept();
    EXPECT_FALSE(onDisk().importFolderEnabled);
    EXPECT_EQ(onDisk().importFolderPath, scratch_.file("Empty"));
}

TEST_F(ImportFolderSheetTest, OkRefusesAFolderThatBecameUnusable)
{
    // Chosen while empty, filled before OK.
    {
        auto s = sheet();
        s->enabledSwitch()->setChecked(true);
        chosen = scratch_.file("Empty");
        s->chooseButton()->click();
        ASSERT_TRUE(writeAll(scratch_.file("Empty/late.txt"), "late"));
        s->accept();
        EXPECT_NE(s->result(), QDialog::Accepted);
        EXPECT_FALSE(s->errorLine()->isHidden());
        EXPECT_EQ(s->errorLine()->text(), importfoldermsg::MustBeEmpty);
        EXPECT_FALSE(doc_.settings().importFolderEnabled);
    }

    // A folder set earlier that has gone: the sheet says so when it opens, and OK with the
    // switch on stays until another folder is set or the switch is off.
    doc_.settings().importFolderEnabled = true;
    doc_.settings().importFolderPath = scratch_.file("gone");
    auto s = sheet();
    EXPECT_FALSE(s->errorLine()->isHidden());
    EXPECT_EQ(s->errorLine()->text(), importFolderProblemMessage(ImportFolderProblem::Missing, scratch_.file("gone")));
    s->accept();
    EXPECT_NE(s->result(), QDialog::Accepted);
    chosen = scratch_.file("Drop");
    s->createButton()->click();
    EXPECT_TRUE(s->errorLine()->isHidden());
    s->accept();
    EXPECT_EQ(s->result(), QDialog::Accepted);
    EXPECT_EQ(onDisk().importFolderPath, scratch_.file("Drop"));
}

} // namespace
