// The preferences dialog: what it shows comes from the store, OK puts every setting back
// (and nothing else), Cancel changes nothing, and the backup folder buttons never remove
// anything or accept a folder inside a database.

#include "gui/guitest.h"

#include "filing/filingrules.h"
#include "preferences/preferencesdialog.h"
#include "preferences/preferencesmessages.h"
#include "prefs/ktprefs.h"
#include "folivo-config.h"
#if FOLIVO_WITH_HELP
#include "kthelp.h"
#endif

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QSettings>
#include <QThread>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::gui;
using folivo::test::folderSnapshot;
using folivo::test::Scratch;
using folivo::test::writeAll;

namespace {

const QString kId = QStringLiteral("org.folivo.PreferencesDialogTest");

class PreferencesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        oldConfig_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch_.file("config")));
        prefs_ = std::make_unique<KTPrefs>(kId);
    }
    void TearDown() override { qputenv("XDG_CONFIG_HOME", oldConfig_); }

    // A dialog whose file dialogs and alerts are answered by the test.
    std::unique_ptr<PreferencesDialog> dialog()
    {
        auto d = std::make_unique<PreferencesDialog>(*prefs_);
        d->dialogs.chooseFolder = [this](QWidget*, const QString& title, const QString& accept, const QString&) {
            chooserTitles << title + " | " + accept;
            return chosen;
        };
        d->dialogs.newFolderPath = [this](QWidget*, const QString& title, const QString& proposed) {
            chooserTitles << title + " | " + proposed;
            return chosen;
        };
        d->dialogs.ask = [this](QWidget*, const Prompt& p) {
            asked << p;
            return 0;
        };
        return d;
    }
    // What the file holds now, read by a fresh store.
    plist::Dict onDisk() const { return KTPrefs(kId).prefsMutableDictionary(); }
    QStringList alertTitles() const
    {
        QStringList t;
        for (const Prompt& p : asked)
            t << p.title;
        return t;
    }

    Scratch scratch_;
    QByteArray oldConfig_;
    std::unique_ptr<KTPrefs> prefs_;
    std::optional<QString> chosen; // what the next file dialog answers
    QStringList chooserTitles;
    QList<Prompt> asked;
};

QStringList titlesOf(const plist::Value* v)
{
    QStringList out;
    if (v && v->isArray())
        for (const plist::Value& e : v->array())
            out << (e.isString() ? e.string() : QStringLiteral("<not a string>"));
    return out;
}

const QStringList kDefaultOrder{filingrule::SelectedReminder, filingrule::BrowserSelection, filingrule::FilenameMatch,
                                filingrule::TextMatch};

TEST_F(PreferencesTest, ShowsTheStoreAndOkWritesEveryKeyBackWithItsTypeLeavingOtherKeysAlone)
{
    const QString backups = scratch_.file("Backups");
    ASSERT_TRUE(QDir().mkpath(backups));
    const QStringList reversed{filingrule::TextMatch, filingrule::FilenameMatch, filingrule::BrowserSelection,
                               filingrule::SelectedReminder};
    plist::Array stored;
    for (const QString& t : reversed)
        stored.push_back(t);
    prefs_->setInteger(1, prefkeys::DoubleClickMeaning);
    prefs_->setBool(false, prefkeys::ConfirmDelete);
    prefs_->setBool(true, prefkeys::HistoryRestore);
    prefs_->setBool(true, prefkeys::EuropeanDates);
    prefs_->setBool(true, prefkeys::BackupDatabase);
    prefs_->setInteger(2, prefkeys::BackupInterval);
    prefs_->setInteger(6, prefkeys::BackupKeep);
    prefs_->setObject(plist::Value(backups), prefkeys::BackupFolderPath);
    prefs_->setBool(true, prefkeys::ImportLog);
    prefs_->setBool(true, prefkeys::MaintainLastImport);
    prefs_->setObject(plist::Value(stored), prefkeys::AutofilePriorities);
    prefs_->setInteger(3, prefkeys::MatchType);
    prefs_->setBool(true, prefkeys::IgnoreCase);
    prefs_->setBool(true, prefkeys::IgnoreDateAtBeginning);
    // Keys of pages that are not in this dialog.
    const plist::Dict later{{"fvBrowserEnableJava", false},
                            {"customUserAgentString", "Agent/1"},
                            {"maxFutureReminders", 7},
                            {"Last DB File", "/somewhere/Home.fvdb"}};
    for (const auto& [key, value] : later)
        prefs_->setObject(value, key);
    ASSERT_TRUE(prefs_->synchronize());

    auto d = dialog();
    EXPECT_EQ(d->doubleClickMenu()->currentIndex(), 1);
    EXPECT_FALSE(d->confirmDeleteSwitch()->isChecked());
    EXPECT_TRUE(d->historyRestoreSwitch()->isChecked());
    EXPECT_TRUE(d->europeanDatesSwitch()->isChecked());
    EXPECT_TRUE(d->backupSwitch()->isChecked());
    EXPECT_EQ(d->backupIntervalMenu()->currentData().toInt(), 2);
    EXPECT_EQ(d->backupIntervalMenu()->currentText(), QStringLiteral("At every 3rd close with changes"));
    EXPECT_EQ(d->backupKeepMenu()->currentText(), QStringLiteral("7 copies"));
    EXPECT_EQ(d->backupFolderField()->text(), backups);
    EXPECT_TRUE(d->removeBackupFolderButton()->isEnabled());
    EXPECT_TRUE(d->backupFolderError()->isHidden()) << "a usable folder shows no error";
    EXPECT_TRUE(d->importLogSwitch()->isChecked());
    EXPECT_TRUE(d->maintainLastImportSwitch()->isChecked());
    EXPECT_EQ(d->priorities(), reversed);
    EXPECT_EQ(d->matchTypeMenu()->currentIndex(), 3);
    EXPECT_TRUE(d->ignoreCaseSwitch()->isChecked());
    EXPECT_TRUE(d->ignoreDateSwitch()->isChecked());

    // Every control changed, then OK.
    d->doubleClickMenu()->setCurrentIndex(0);
    d->confirmDeleteSwitch()->setChecked(true);
    d->historyRestoreSwitch()->setChecked(false);
    d->europeanDatesSwitch()->setChecked(false);
    d->backupSwitch()->setChecked(false);
    d->backupIntervalMenu()->setCurrentIndex(0);
    d->backupKeepMenu()->setCurrentIndex(9);
    d->removeBackupFolderButton()->click();
    d->importLogSwitch()->setChecked(false);
    d->maintainLastImportSwitch()->setChecked(false);
    d->priorityMenus()[0]->setCurrentIndex(0); // "Selected Reminder" first; it was last
    d->matchTypeMenu()->setCurrentIndex(1);
    d->ignoreCaseSwitch()->setChecked(false);
    d->ignoreDateSwitch()->setChecked(false);
    QSignalSpy changed(d.get(), &PreferencesDialog::preferencesChanged);
    d->accept();
    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_TRUE(asked.isEmpty());

    const plist::Dict disk = onDisk();
    auto at = [&](const QString& key) { return disk.find(key) ? *disk.find(key) : plist::Value(); };
    EXPECT_EQ(at(prefkeys::DoubleClickMeaning), plist::Value(0));
    EXPECT_EQ(at(prefkeys::ConfirmDelete), plist::Value(true));
    EXPECT_EQ(at(prefkeys::HistoryRestore), plist::Value(false));
    EXPECT_EQ(at(prefkeys::EuropeanDates), plist::Value(false));
    EXPECT_EQ(at(prefkeys::BackupDatabase), plist::Value(false));
    EXPECT_EQ(at(prefkeys::BackupInterval), plist::Value(0));
    EXPECT_EQ(at(prefkeys::BackupKeep), plist::Value(9));
    EXPECT_EQ(at(prefkeys::BackupFolderPath), plist::Value(QString()));
    EXPECT_EQ(at(prefkeys::ImportLog), plist::Value(false));
    EXPECT_EQ(at(prefkeys::MaintainLastImport), plist::Value(false));
    EXPECT_EQ(titlesOf(disk.find(prefkeys::AutofilePriorities)),
              (QStringList{filingrule::SelectedReminder, filingrule::FilenameMatch, filingrule::BrowserSelection,
                           filingrule::TextMatch}));
    EXPECT_EQ(at(prefkeys::MatchType), plist::Value(1));
    EXPECT_EQ(at(prefkeys::IgnoreCase), plist::Value(false));
    EXPECT_EQ(at(prefkeys::IgnoreDateAtBeginning), plist::Value(false));
    EXPECT_FALSE(disk.find(prefkeys::UserSetMaintainLastImport)) << "set only when the switch was clicked";
    for (const auto& [key, value] : later) {
        ASSERT_TRUE(disk.find(key)) << key.toStdString();
        EXPECT_EQ(*disk.find(key), value) << key.toStdString();
    }
    // The filing rules read back what was written.
    const FilingPreferences filing = FilingPreferences::from(prefs_.get());
    EXPECT_EQ(filing.priorities.first(), filingrule::SelectedReminder);
    EXPECT_EQ(filing.matchType, 1);
}

TEST_F(PreferencesTest, TheReminderSettingsAreShownAndWrittenTogether)
{
    {
        auto d = dialog();
        EXPECT_EQ(d->maxFutureRemindersField()->value(), 5) << "never set: 5, off, reveal the folder";
        EXPECT_FALSE(d->reminderNotificationsSwitch()->isChecked());
        EXPECT_EQ(d->reminderHandlingMenu()->currentIndex(), 1);
        EXPECT_FALSE(d->reminderHandlingMenu()->isEnabled());
        d->reminderNotificationsSwitch()->setChecked(true);
        EXPECT_TRUE(d->reminderHandlingMenu()->isEnabled());
        d->reminderHandlingMenu()->setCurrentIndex(2);
        d->maxFutureRemindersField()->setValue(12);
        d->accept();
    }
    const plist::Dict disk = onDisk();
    auto at = [&](const QString& key) { return disk.find(key) ? *disk.find(key) : plist::Value(); };
    EXPECT_EQ(at(prefkeys::MaxFutureReminders), plist::Value(12));
    EXPECT_EQ(at(prefkeys::UserNotificationsForReminders), plist::Value(true));
    EXPECT_EQ(at(prefkeys::UserNotificationsForRemindersHandling), plist::Value(2));

    prefs_->setInteger(2, prefkeys::MaxFutureReminders);
    auto d = dialog();
    EXPECT_EQ(d->maxFutureRemindersField()->value(), 5) << "fewer than 5 rows is shown as 5";
    EXPECT_TRUE(d->reminderNotificationsSwitch()->isChecked());
    EXPECT_EQ(d->reminderHandlingMenu()->currentIndex(), 2);
}

TEST_F(PreferencesTest, CancelWritesNothing)
{
    prefs_->setBool(true, prefkeys::EuropeanDates);
    ASSERT_TRUE(prefs_->synchronize());
    const QByteArray file = test::readAll(prefs_->prefsPath());
    const plist::Dict memory = prefs_->prefsMutableDictionary();

    auto d = dialog();
    QSignalSpy changed(d.get(), &PreferencesDialog::preferencesChanged);
    d->europeanDatesSwitch()->setChecked(false);
    d->matchTypeMenu()->setCurrentIndex(2);
    d->maintainLastImportSwitch()->click();
    d->priorityMenus()[3]->setCurrentIndex(0);
    d->reject();
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(prefs_->prefsMutableDictionary(), memory);
    EXPECT_EQ(test::readAll(prefs_->prefsPath()), file);
}

TEST_F(PreferencesTest, MenusShowOddStoredValuesWithoutChangingThem)
{
    // Values outside the menus: the backup menus keep them exactly, the others as the
    // code that reads them understands them.
    prefs_->setInteger(40, prefkeys::BackupInterval);
    prefs_->setInteger(30, prefkeys::BackupKeep);
    prefs_->setInteger(7, prefkeys::DoubleClickMeaning); // anything but 0 opens
    prefs_->setInteger(9, prefkeys::MatchType);          // read as 3
    auto d = dialog();
    EXPECT_EQ(d->backupIntervalMenu()->currentText(), QStringLiteral("At every 41st close with changes"));
    EXPECT_EQ(d->backupKeepMenu()->currentText(), QStringLiteral("31 copies"));
    EXPECT_EQ(d->doubleClickMenu()->currentIndex(), 1);
    EXPECT_EQ(d->matchTypeMenu()->currentIndex(), 3);
    d->accept();
    EXPECT_EQ(prefs_->integerForKey(prefkeys::BackupInterval), 40);
    EXPECT_EQ(prefs_->integerForKey(prefkeys::BackupKeep), 30);

    // Nothing stored: the defaults the backups and the filing rules use.
    prefs_ = std::make_unique<KTPrefs>(QStringLiteral("org.folivo.PreferencesDialogTest.Empty"));
    auto fresh = dialog();
    EXPECT_EQ(fresh->backupKeepMenu()->currentText(), QStringLiteral("5 copies"));
    EXPECT_EQ(fresh->priorities(), kDefaultOrder);
}

TEST_F(PreferencesTest, UserSetMaintainLastImportOnlyWhenTheSwitchWasClicked)
{
    struct Case {
        int clicks;
        bool wantUserSet;
        bool wantMaintain;
    };
    for (const Case c : {Case{0, false, false}, Case{1, true, true}, Case{2, true, false}}) {
        SCOPED_TRACE(c.clicks);
        prefs_->removeObjectForKey(prefkeys::UserSetMaintainLastImport);
        prefs_->setBool(false, prefkeys::MaintainLastImport);
        auto d = dialog();
        for (int i = 0; i < c.clicks; ++i)
            d->maintainLastImportSwitch()->click();
        d->accept();
        const plist::Value* userSet = prefs_->objectForKey(prefkeys::UserSetMaintainLastImport);
        EXPECT_EQ(userSet != nullptr, c.wantUserSet);
        if (userSet) {
            EXPECT_EQ(*userSet, plist::Value(true));
        }
        EXPECT_EQ(prefs_->boolForKey(prefkeys::MaintainLastImport), c.wantMaintain);
    }
}

TEST_F(PreferencesTest, PriorityMenusAlwaysHoldEachRuleOnce)
{
    // A damaged list: a rule twice, an unknown one, one missing.
    prefs_->setObject(plist::Value(plist::Array{filingrule::TextMatch, filingrule::TextMatch, "Bogus"}),
                      prefkeys::AutofilePriorities);
    auto d = dialog();
    EXPECT_EQ(d->priorities(), (QStringList{filingrule::TextMatch, filingrule::SelectedReminder,
                                            filingrule::BrowserSelection, filingrule::FilenameMatch}));

    // Choosing the rule another menu shows swaps the two.
    d->priorityMenus()[0]->setCurrentIndex(d->priorityMenus()[0]->findText(filingrule::FilenameMatch));
    EXPECT_EQ(d->priorities(), (QStringList{filingrule::FilenameMatch, filingrule::SelectedReminder,
                                            filingrule::BrowserSelection, filingrule::TextMatch}));

    // Every choice in every menu, one after another: never a rule twice.
    for (int menu = 0; menu < 4; ++menu) {
        for (int rule = 0; rule < 4; ++rule) {
            d->priorityMenus()[menu]->setCurrentIndex(rule);
            QStringList shown = d->priorities();
            EXPECT_EQ(d->priorityMenus()[menu]->currentIndex(), rule);
            shown.sort();
            QStringList all = kDefaultOrder;
            all.sort();
            ASSERT_EQ(shown, all) << "menu " << menu << " rule " << rule;
        }
    }
    const QStringList last = d->priorities();
    d->accept();
    EXPECT_EQ(titlesOf(prefs_->objectForKey(prefkeys::AutofilePriorities)), last);
}

TEST_F(PreferencesTest, CreatingABackupFolderNeverRemovesAnything)
{
    const QString full = scratch_.file("Full");
    ASSERT_TRUE(QDir().mkpath(full + "/sub"));
    ASSERT_TRUE(writeAll(full + "/a.txt", "keep me"));
    ASSERT_TRUE(writeAll(full + "/sub/b.txt", "and me"));
    const QString emptyOne = scratch_.file("Empty");
    ASSERT_TRUE(QDir().mkpath(emptyOne));
    ASSERT_TRUE(writeAll(emptyOne + "/.hidden", "a dot file does not count"));
    const QString aFile = scratch_.file("a file");
    ASSERT_TRUE(writeAll(aFile, "plain"));

    struct Case {
        QString path;
        bool accepted;
    };
    const Case cases[] = {
        {scratch_.file("New/Nested/Backups"), true}, // made, with the folders above it
        {emptyOne, true},                            // taken as it is
        {full, false},
        {aFile, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        asked.clear();
        prefs_->removeObjectForKey(prefkeys::BackupFolderPath);
        const auto before = folderSnapshot(scratch_.path());
        auto d = dialog();
        chosen = c.path;
        d->createBackupFolderButton()->click();
        if (c.accepted) {
            EXPECT_TRUE(asked.isEmpty());
            EXPECT_EQ(d->backupFolderField()->text(), c.path);
            EXPECT_TRUE(QFileInfo(c.path).isDir());
            EXPECT_TRUE(d->removeBackupFolderButton()->isEnabled());
            for (auto it = before.begin(); it != before.end(); ++it)
                EXPECT_EQ(folderSnapshot(scratch_.path()).value(it.key()), it.value()) << it.key().toStdString();
        } else {
            EXPECT_EQ(alertTitles(), QStringList{QStringLiteral("Backup Folder Error")});
            EXPECT_TRUE(asked.value(0).text.contains(c.path));
            EXPECT_TRUE(d->backupFolderField()->text().isEmpty());
            EXPECT_EQ(folderSnapshot(scratch_.path()), before) << "nothing removed, nothing made";
        }
    }
    EXPECT_EQ(chooserTitles.value(0),
              "Create Backup Folder | " + QDir::home().filePath(QStringLiteral("Folivo Backup Folder")));
}

TEST_F(PreferencesTest, BackupFolderInsideAnyDatabaseIsRefused)
{
    // Not the database the person has open: any package, at any depth.
    const QString package = scratch_.file("Home.fvdb");
    ASSERT_TRUE(QDir().mkpath(package + "/Taxes/2024"));
    const QString usable = scratch_.file("Backups");
    ASSERT_TRUE(QDir().mkpath(usable));
    prefs_->setObject(plist::Value(usable), prefkeys::BackupFolderPath);
    const auto packageBefore = folderSnapshot(package);

    struct Case {
        const char* how; // "choose" or "create"
        QString path;
    };
    const Case cases[] = {
        {"choose", package},
        {"choose", package + "/Taxes/2024"},
        {"create", package + "/Backups"},
        {"create", package + "/Taxes/2024/New/Deeper"},
        {"create", scratch_.file("Backups.fvdb")}, // a new folder named like a database
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        asked.clear();
        auto d = dialog();
        chosen = c.path;
        if (QLatin1String(c.how) == QLatin1String("choose"))
            d->chooseBackupFolderButton()->click();
        else
            d->createBackupFolderButton()->click();
        EXPECT_EQ(alertTitles(), QStringList{QStringLiteral("Backup Folder Error")});
        EXPECT_EQ(d->backupFolderField()->text(), usable) << "the folder set before stays";
        EXPECT_FALSE(QFileInfo::exists(scratch_.file("Backups.fvdb")));
    }
    EXPECT_EQ(folderSnapshot(package), packageBefore) << "nothing was made inside the database";
    EXPECT_EQ(chooserTitles.value(0), QStringLiteral("Choose Backup Folder | Set As Backup Folder"));

    // A folder inside a database stored before such folders were refused: the page says so
    // and OK stays until the folder is changed or removed.
    prefs_->setObject(plist::Value(package + "/Taxes"), prefkeys::BackupFolderPath);
    auto d = dialog();
    EXPECT_FALSE(d->backupFolderError()->isHidden());
    EXPECT_EQ(d->backupFolderError()->text(), prefsmsg::BackupFolderInPackage);
    d->tabs()->setCurrentIndex(0);
    d->accept();
    EXPECT_NE(d->result(), QDialog::Accepted);
    EXPECT_EQ(d->tabs()->currentWidget(), d->backupPage());
    EXPECT_EQ(prefs_->objectForKey(prefkeys::BackupFolderPath)->string(), package + "/Taxes");
    d->removeBackupFolderButton()->click();
    EXPECT_TRUE(d->backupFolderError()->isHidden());
    EXPECT_FALSE(d->removeBackupFolderButton()->isEnabled());
    d->accept();
    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(prefs_->objectForKey(prefkeys::BackupFolderPath)->string(), QString());
}

TEST_F(PreferencesTest, TurningBackupsOnWithoutAUsableFolderAsksForOne)
{
    // A folder that has gone: the page shows the error line.
    prefs_->setObject(plist::Value(scratch_.file("gone")), prefkeys::BackupFolderPath);
    auto d = dialog();
    EXPECT_FALSE(d->backupFolderError()->isHidden());
    EXPECT_EQ(d->backupFolderError()->text(), prefsmsg::BackupFolderUnusable);

    // Cancelled: backups stay off.
    chosen.reset();
    d->backupSwitch()->click();
    EXPECT_EQ(chooserTitles.size(), 1);
    EXPECT_FALSE(d->backupSwitch()->isChecked());

    // A folder chosen: on, and the error line goes.
    const QString backups = scratch_.file("Backups");
    ASSERT_TRUE(QDir().mkpath(backups));
    chosen = backups;
    d->backupSwitch()->click();
    EXPECT_TRUE(d->backupSwitch()->isChecked());
    EXPECT_EQ(d->backupFolderField()->text(), backups);
    EXPECT_TRUE(d->backupFolderError()->isHidden());

    // With a usable folder, turning backups on asks nothing.
    d->backupSwitch()->click();
    d->backupSwitch()->click();
    EXPECT_EQ(chooserTitles.size(), 2);
}

TEST_F(PreferencesTest, TheBackupPageCanBeOpenedDirectly)
{
    auto d = dialog();
    d->showBackupPage();
    EXPECT_EQ(d->tabs()->currentWidget(), d->backupPage());
    EXPECT_EQ(d->tabs()->currentIndex(), 1);
}

TEST_F(PreferencesTest, APreferenceFileThatCannotBeWrittenIsReported)
{
    // The configuration folder is a file, so the store cannot make its folder.
    ASSERT_TRUE(writeAll(scratch_.file("not a folder"), "x"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch_.file("not a folder")));
    prefs_ = std::make_unique<KTPrefs>(kId);
    auto d = dialog();
    QSignalSpy changed(d.get(), &PreferencesDialog::preferencesChanged);
    d->europeanDatesSwitch()->setChecked(true);
    d->accept();
    EXPECT_EQ(alertTitles(), QStringList{prefsmsg::NotSavedTitle});
    EXPECT_TRUE(prefs_->boolForKey(prefkeys::EuropeanDates)) << "the setting holds for this run";
    EXPECT_EQ(changed.count(), 1);
}

} // namespace

#if FOLIVO_WITH_HELP
// The dialog's Help button opens the book at the preferences, in the viewer built with the
// program; the viewer goes again when the program ends.
TEST_F(PreferencesTest, HelpButtonOpensThePreferencesInTheHelpViewer)
{
    const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");
    const QString runtime = scratch_.file("runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));

    auto d = dialog();
    auto* help = d->findChild<QPushButton*>(QStringLiteral("preferencesHelp"));
    ASSERT_NE(help, nullptr);
    help->click();
    QSettings settings(KTHelp::settingsFilePath(), QSettings::IniFormat);
    EXPECT_TRUE(KTHelp::settingsFilePath().startsWith(scratch_.file("config")));
    EXPECT_EQ(settings.value(KTHelp::AnchorKey).toString(), "Preferences");
    EXPECT_EQ(settings.value(KTHelp::HelpFolderPathKey).toString(), QStringLiteral(FOLIVO_SOURCE_DIR "/help"));

    QElapsedTimer t;
    t.start();
    QByteArray answer;
    while (!KTHelp::sendRequest(KTHelp::StatusRequest, &answer) && t.elapsed() < 20000)
        QThread::msleep(50);
    EXPECT_TRUE(answer.endsWith("/help/preferences.html\tPreferences")) << answer.toStdString();
    KTHelp::sharedHelp().terminate();
    t.restart();
    while (KTHelp::sendRequest(KTHelp::StatusRequest) && t.elapsed() < 20000)
        QThread::msleep(50);
    EXPECT_FALSE(KTHelp::sendRequest(KTHelp::StatusRequest)) << "the viewer showing our book stayed";
    qputenv("XDG_RUNTIME_DIR", oldRuntime);
}
#endif
