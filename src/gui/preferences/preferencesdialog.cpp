#include "preferencesdialog.h"

#include "app/help.h"
#include "app/helpanchors.h"

#include "filing/filingrules.h"
#include "preferences/loginpreferences.h"
#include "preferences/preferencesmessages.h"
#include "prefs/ktprefs.h"
#include "store/mydocument.h"
#include "widgets/widgetmessages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace folivo::gui {

namespace {

// Entries of the two backup menus; a stored value beyond them gets an entry of its own, so
// that opening and accepting the dialog never changes it.
constexpr int IntervalEntries = 10;
constexpr int KeepEntries = 10;

const QStringList& ruleTitles()
{
    static const QStringList titles{filingrule::SelectedReminder, filingrule::BrowserSelection,
                                    filingrule::FilenameMatch, filingrule::TextMatch};
    return titles;
}

QString ordinal(int n)
{
    const int lastTwo = n % 100;
    const char* suffix = "th";
    if (lastTwo < 11 || lastTwo > 13) {
        switch (n % 10) {
        case 1: suffix = "st"; break;
        case 2: suffix = "nd"; break;
        case 3: suffix = "rd"; break;
        default: break;
        }
    }
    return QString::number(n) + QLatin1String(suffix);
}

// "BackupInterval" is how many closes with changes go by without a backup.
QString intervalTitle(int value)
{
    return value == 0 ? PreferencesDialog::tr("At every close with changes")
                      : PreferencesDialog::tr("At every %1 close with changes").arg(ordinal(value + 1));
}

// "BackupKeep" is one less than the number of copies kept.
QString keepTitle(int value)
{
    return value == 0 ? PreferencesDialog::tr("1 copy") : PreferencesDialog::tr("%1 copies").arg(value + 1);
}

// Selects the entry whose value is `value`, adding one when the menu has none.
void selectValue(QComboBox* menu, int value, const std::function<QString(int)>& title)
{
    int at = menu->findData(value);
    if (at < 0) {
        menu->addItem(title(value), value);
        at = menu->count() - 1;
    }
    menu->setCurrentIndex(at);
}

// Makes a line look like an error; QPalette has no role for it.
void markAsError(QLabel* label)
{
    QPalette palette = label->palette();
    const bool dark = palette.color(QPalette::Window).lightness() < 128;
    palette.setColor(QPalette::WindowText, dark ? QColor(0xff, 0x7b, 0x63) : QColor(0xc0, 0x1c, 0x28));
    label->setPalette(palette);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    QSizePolicy keepRoom = label->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    label->setSizePolicy(keepRoom);
}

} // namespace

PreferencesDialog::PreferencesDialog(KTPrefs& prefs, QWidget* parent)
    : QDialog(parent), prefs_(prefs), tabs_(new QTabWidget(this))
{
    setWindowTitle(tr("Preferences"));
    // The backups page is the second one: databases that need a backup folder open it.
    tabs_->addTab(makeGeneralPage(), tr("General"));
    tabs_->addTab(makeBackupPage(), tr("Backups"));
    tabs_->addTab(makeDatesPage(), tr("Dates"));
    tabs_->addTab(makeImportPage(), tr("Import"));
    tabs_->addTab(makeFilingPage(), tr("Filing"));
    tabs_->addTab(makeRemindersPage(), tr("Reminders"));
    logins_ = new LoginPreferencesPage;
    tabs_->addTab(logins_, tr("Logins"));

    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    buttons->button(QDialogButtonBox::Help)->setObjectName(QStringLiteral("preferencesHelp"));
    connect(buttons, &QDialogButtonBox::helpRequested, this, [] { gotoHelpAnchor(helpanchors::Preferences); });
    connect(buttons, &QDialogButtonBox::accepted, this, &PreferencesDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PreferencesDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);

    fillFromStore();
}

QWidget* PreferencesDialog::makeGeneralPage()
{
    auto* page = new QWidget;
    doubleClick_ = new QComboBox(page);
    // "DoubleClickMeaning" 0 starts editing the name; anything else opens the file.
    doubleClick_->addItem(tr("Edits its name"));
    doubleClick_->addItem(tr("Opens the file"));
    confirmDelete_ = new QCheckBox(tr("Ask before deleting"), page);
    historyRestore_ = new QCheckBox(tr("Restore the browsing history when a database opens"), page);
    auto* form = new QFormLayout(page);
    form->addRow(tr("Double-clicking an item:"), doubleClick_);
    form->addRow(confirmDelete_);
    form->addRow(historyRestore_);
    return page;
}

QWidget* PreferencesDialog::makeBackupPage()
{
    backupPage_ = new QWidget;
    auto* page = backupPage_;
    backupDatabase_ = new QCheckBox(tr("Back up databases automatically"), page);
    connect(backupDatabase_, &QCheckBox::clicked, this, &PreferencesDialog::enableBackups);

    backupInterval_ = new QComboBox(page);
    for (int i = 0; i < IntervalEntries; ++i)
        backupInterval_->addItem(intervalTitle(i), i);
    backupKeep_ = new QComboBox(page);
    for (int i = 0; i < KeepEntries; ++i)
        backupKeep_->addItem(keepTitle(i), i);

    // The path comes from the buttons only, so that every folder in it went through the checks.
    backupFolder_ = new QLineEdit(page);
    backupFolder_->setReadOnly(true);
    backupFolder_->setMinimumWidth(320);
    chooseBackup_ = new QPushButton(tr("Choose…"), page);
    createBackup_ = new QPushButton(tr("Create…"), page);
    removeBackup_ = new QPushButton(tr("Remove"), page);
    connect(chooseBackup_, &QPushButton::clicked, this, &PreferencesDialog::browseForBackupFolder);
    connect(createBackup_, &QPushButton::clicked, this, &PreferencesDialog::createBackupFolder);
    connect(removeBackup_, &QPushButton::clicked, this, &PreferencesDialog::removeBackupFolderReference);
    auto* folderButtons = new QHBoxLayout;
    folderButtons->addWidget(chooseBackup_);
    folderButtons->addWidget(createBackup_);
    folderButtons->addWidget(removeBackup_);
    folderButtons->addStretch();

    backupError_ = new QLabel(page);
    markAsError(backupError_);
    backupError_->hide();

    auto* form = new QFormLayout(page);
    form->addRow(backupDatabase_);
    form->addRow(tr("Back up:"), backupInterval_);
    form->addRow(tr("Copies to keep:"), backupKeep_);
    form->addRow(tr("Backup folder:"), backupFolder_);
    form->addRow(QString(), folderButtons);
    form->addRow(QString(), backupError_);
    return page;
}

QWidget* PreferencesDialog::makeDatesPage()
{
    auto* page = new QWidget;
    europeanDates_ = new QCheckBox(tr("European dates (day before month)"), page);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(europeanDates_);
    layout->addStretch();
    return page;
}

QWidget* PreferencesDialog::makeImportPage()
{
    auto* page = new QWidget;
    importLog_ = new QCheckBox(tr("Write an import log"), page);
    maintainLastImport_ = new QCheckBox(tr("Keep a \"Last Import\" folder with the files of the latest import"), page);
    // Once the person has decided, launch no longer resets the setting.
    connect(maintainLastImport_, &QCheckBox::clicked, this, [this] { maintainLastImportTouched_ = true; });
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(importLog_);
    layout->addWidget(maintainLastImport_);
    layout->addStretch();
    return page;
}

QWidget* PreferencesDialog::makeFilingPage()
{
    filingPage_ = new QWidget;
    auto* page = filingPage_;
    auto* form = new QFormLayout(page);
    for (int i = 0; i < ruleTitles().size(); ++i) {
        auto* menu = new QComboBox(page);
        menu->addItems(ruleTitles());
        priorities_ << menu;
        priorityShown_ << i;
        form->addRow(tr("%1 rule:").arg(ordinal(i + 1)), menu);
        connect(menu, &QComboBox::currentIndexChanged, this, [this, i](int index) { priorityChosen(i, index); });
    }
    auto* note = new QLabel(tr("Each rule has one place in the order.  Choosing a rule for a place moves the rule "
                               "that was there to the place the chosen one left."),
                            page);
    note->setWordWrap(true);
    form->addRow(note);

    matchType_ = new QComboBox(page);
    // The values of "MatchType", in order.
    matchType_->addItem(tr("Is the file name"));
    matchType_->addItem(tr("Begins with the file name"));
    matchType_->addItem(tr("Contains the file name"));
    matchType_->addItem(tr("Contains the file name as a whole word"));
    form->addRow(tr("A folder matches when its name:"), matchType_);
    ignoreCase_ = new QCheckBox(tr("Ignore case when matching folder names"), page);
    ignoreDate_ = new QCheckBox(tr("Do not read a date at the beginning of a file name"), page);
    form->addRow(ignoreCase_);
    form->addRow(ignoreDate_);
    return page;
}

QWidget* PreferencesDialog::makeRemindersPage()
{
    auto* page = new QWidget;
    reminderNotifications_ = new QCheckBox(tr("Show reminders as desktop notifications when they fall due"), page);
    reminderNotifications_->setObjectName(QStringLiteral("reminderNotifications"));
    reminderHandling_ = new QComboBox(page);
    reminderHandling_->setObjectName(QStringLiteral("reminderHandling"));
    // "userNotificationsForRemindersHandling": 0 only refreshes, 1 reveals, 2 also opens the website.
    reminderHandling_->addItem(tr("Brings the reminders up to date"));
    reminderHandling_->addItem(tr("Reveals the folder"));
    reminderHandling_->addItem(tr("Reveals the folder and opens its website"));
    maxFutureReminders_ = new QSpinBox(page);
    maxFutureReminders_->setObjectName(QStringLiteral("maxFutureReminders"));
    maxFutureReminders_->setRange(5, 100);
    auto* form = new QFormLayout(page);
    form->addRow(reminderNotifications_);
    form->addRow(tr("Clicking a notification:"), reminderHandling_);
    form->addRow(tr("Rows of the list of all reminders:"), maxFutureReminders_);
    connect(reminderNotifications_, &QCheckBox::toggled, reminderHandling_, &QWidget::setEnabled);
    return page;
}

void PreferencesDialog::fillFromStore()
{
    doubleClick_->setCurrentIndex(prefs_.integerForKey(prefkeys::DoubleClickMeaning) != 0 ? 1 : 0);
    confirmDelete_->setChecked(prefs_.boolForKey(prefkeys::ConfirmDelete));
    historyRestore_->setChecked(prefs_.boolForKey(prefkeys::HistoryRestore));
    europeanDates_->setChecked(prefs_.boolForKey(prefkeys::EuropeanDates));

    backupDatabase_->setChecked(prefs_.boolForKey(prefkeys::BackupDatabase));
    // Read the way the backups read them: absent "BackupKeep" keeps five copies.
    const BackupSettings backup = BackupSettings::from(&prefs_);
    selectValue(backupInterval_, backup.interval, intervalTitle);
    selectValue(backupKeep_, backup.keep, keepTitle);
    backupFolder_->setText(backup.folder);
    showBackupFolderState();

    importLog_->setChecked(prefs_.boolForKey(prefkeys::ImportLog));
    maintainLastImport_->setChecked(prefs_.boolForKey(prefkeys::MaintainLastImport));

    // Each rule once, in the stored order; rules the stored list lacks (an older or damaged
    // list) follow in their usual order.
    QStringList order;
    if (const plist::Value* v = prefs_.objectForKey(prefkeys::AutofilePriorities); v && v->isArray())
        for (const plist::Value& entry : v->array())
            if (entry.isString() && ruleTitles().contains(entry.string()) && !order.contains(entry.string()))
                order << entry.string();
    for (const QString& title : ruleTitles())
        if (!order.contains(title))
            order << title;
    for (int i = 0; i < priorities_.size(); ++i) {
        const QSignalBlocker quiet(priorities_[i]);
        priorities_[i]->setCurrentIndex(int(ruleTitles().indexOf(order[i])));
        priorityShown_[i] = priorities_[i]->currentIndex();
    }

    // The filing rules hold the type to 0-3 the same way.
    matchType_->setCurrentIndex(int(std::clamp<qint64>(prefs_.integerForKey(prefkeys::MatchType), 0, 3)));
    ignoreCase_->setChecked(prefs_.boolForKey(prefkeys::IgnoreCase));
    ignoreDate_->setChecked(prefs_.boolForKey(prefkeys::IgnoreDateAtBeginning));

    // The three reminder settings are written together; before the first time: 5, off, reveal.
    if (prefs_.objectForKey(prefkeys::MaxFutureReminders)) {
        maxFutureReminders_->setValue(int(std::clamp<qint64>(prefs_.integerForKey(prefkeys::MaxFutureReminders), 5, 100)));
        reminderNotifications_->setChecked(prefs_.boolForKey(prefkeys::UserNotificationsForReminders));
        reminderHandling_->setCurrentIndex(
            int(std::clamp<qint64>(prefs_.integerForKey(prefkeys::UserNotificationsForRemindersHandling), 0, 2)));
    } else {
        maxFutureReminders_->setValue(5);
        reminderNotifications_->setChecked(false);
        reminderHandling_->setCurrentIndex(1);
    }
    reminderHandling_->setEnabled(reminderNotifications_->isChecked());
    logins_->fillFrom(prefs_);
}

void PreferencesDialog::setHotKeyCheck(std::function<bool(QKeyCombination)> available)
{
    logins_->setHotKeyCheck(std::move(available));
}

void PreferencesDialog::showBackupPage()
{
    tabs_->setCurrentWidget(backupPage_);
}

QStringList PreferencesDialog::priorities() const
{
    QStringList out;
    for (const QComboBox* menu : priorities_)
        out << menu->currentText();
    return out;
}

void PreferencesDialog::priorityChosen(int menu, int index)
{
    if (index < 0)
        return;
    // The menu that showed the chosen rule takes the one it replaces, so the order always
    // holds every rule exactly once.
    const int before = priorityShown_[menu];
    for (int other = 0; other < priorities_.size(); ++other) {
        if (other != menu && priorities_[other]->currentIndex() == index) {
            const QSignalBlocker quiet(priorities_[other]);
            priorities_[other]->setCurrentIndex(before);
            priorityShown_[other] = before;
        }
    }
    priorityShown_[menu] = index;
}

QString PreferencesDialog::backupFolderMessage() const
{
    const QString folder = backupFolder_->text();
    switch (MyDocument::backupFolderProblem(folder, QString())) {
    case BackupFolderProblem::None:
    case BackupFolderProblem::NotSet:
        return {};
    case BackupFolderProblem::InsidePackage:
        return prefsmsg::BackupFolderInPackage;
    case BackupFolderProblem::Missing:
    case BackupFolderProblem::NotAFolder:
    case BackupFolderProblem::NotWritable:
        break;
    }
    return prefsmsg::BackupFolderUnusable;
}

void PreferencesDialog::showBackupFolderState()
{
    removeBackup_->setEnabled(!backupFolder_->text().isEmpty());
    const QString message = backupFolderMessage();
    backupError_->setText(message);
    backupError_->setVisible(!message.isEmpty());
}

void PreferencesDialog::enableBackups(bool on)
{
    if (on && MyDocument::backupFolderProblem(backupFolder_->text(), QString()) != BackupFolderProblem::None)
        browseForBackupFolder();
}

void PreferencesDialog::browseForBackupFolder()
{
    const auto chosen = dialogs.chooseFolder(this, foldermsg::ChooseTitle.arg(prefsmsg::BackupFolderName),
                                             foldermsg::SetAs.arg(prefsmsg::BackupFolderName), QDir::homePath());
    const auto refuse = [&](const QString& text) {
        dialogs.alert(this, foldermsg::ErrorTitle.arg(prefsmsg::BackupFolderName), text);
        if (!isReadableFolder(backupFolder_->text()))
            backupDatabase_->setChecked(false);
    };
    if (!chosen) {
        if (!isReadableFolder(backupFolder_->text()))
            backupDatabase_->setChecked(false);
        return;
    }
    if (MyDocument::backupFolderProblem(*chosen, QString()) == BackupFolderProblem::InsidePackage)
        return refuse(prefsmsg::BackupFolderInPackage);
    backupFolder_->setText(QDir::cleanPath(*chosen));
    showBackupFolderState();
}

void PreferencesDialog::createBackupFolder()
{
    const auto path = dialogs.newFolderPath(this, prefsmsg::CreateBackupFolder,
                                            QDir::home().filePath(prefsmsg::BackupFolderDefaultName));
    const auto refuse = [&](const QString& text) {
        dialogs.alert(this, foldermsg::ErrorTitle.arg(prefsmsg::BackupFolderName), text);
        if (!isReadableFolder(backupFolder_->text()))
            backupDatabase_->setChecked(false);
    };
    if (!path) {
        if (!isReadableFolder(backupFolder_->text()))
            backupDatabase_->setChecked(false);
        return;
    }
    const QString folder = QDir::cleanPath(QFileInfo(*path).absoluteFilePath());
    // Nothing is made inside a database, not even a folder that is then refused.
    const QString above = nearestExistingFolder(folder);
    if (MyDocument::backupFolderProblem(above, QString()) == BackupFolderProblem::InsidePackage)
        return refuse(prefsmsg::BackupFolderInPackage);
    QString error;
    bool created = false;
    if (!prepareNewFolder(folder, &error, &created))
        return refuse(error);
    if (MyDocument::backupFolderProblem(folder, QString()) == BackupFolderProblem::InsidePackage) {
        // A new folder whose own name marks it as a database.
        if (created)
            removeEmptyFoldersUpTo(folder, above);
        return refuse(prefsmsg::BackupFolderInPackage);
    }
    backupFolder_->setText(folder);
    showBackupFolderState();
}

void PreferencesDialog::removeBackupFolderReference()
{
    backupFolder_->clear();
    showBackupFolderState();
}

void PreferencesDialog::accept()
{
    // A stored folder from before such folders were refused: backups into it would land
    // inside a database, so it must be changed or removed first.
    if (MyDocument::backupFolderProblem(backupFolder_->text(), QString()) == BackupFolderProblem::InsidePackage) {
        showBackupFolderState();
        showBackupPage();
        return;
    }
    if (!logins_->problem().isEmpty()) {
        tabs_->setCurrentWidget(logins_);
        return;
    }

    prefs_.setInteger(doubleClick_->currentIndex(), prefkeys::DoubleClickMeaning);
    prefs_.setBool(confirmDelete_->isChecked(), prefkeys::ConfirmDelete);
    prefs_.setBool(historyRestore_->isChecked(), prefkeys::HistoryRestore);
    prefs_.setBool(europeanDates_->isChecked(), prefkeys::EuropeanDates);

    prefs_.setBool(backupDatabase_->isChecked(), prefkeys::BackupDatabase);
    prefs_.setInteger(backupInterval_->currentData().toInt(), prefkeys::BackupInterval);
    prefs_.setInteger(backupKeep_->currentData().toInt(), prefkeys::BackupKeep);
    prefs_.setObject(plist::Value(backupFolder_->text()), prefkeys::BackupFolderPath);

    prefs_.setBool(importLog_->isChecked(), prefkeys::ImportLog);
    prefs_.setBool(maintainLastImport_->isChecked(), prefkeys::MaintainLastImport);
    if (maintainLastImportTouched_)
        prefs_.setBool(true, prefkeys::UserSetMaintainLastImport);

    plist::Array order;
    for (const QString& title : priorities())
        order.push_back(plist::Value(title));
    prefs_.setObject(plist::Value(std::move(order)), prefkeys::AutofilePriorities);
    prefs_.setInteger(matchType_->currentIndex(), prefkeys::MatchType);
    prefs_.setBool(ignoreCase_->isChecked(), prefkeys::IgnoreCase);
    prefs_.setBool(ignoreDate_->isChecked(), prefkeys::IgnoreDateAtBeginning);
    prefs_.setInteger(std::max(5, maxFutureReminders_->value()), prefkeys::MaxFutureReminders);
    prefs_.setBool(reminderNotifications_->isChecked(), prefkeys::UserNotificationsForReminders);
    prefs_.setInteger(reminderHandling_->currentIndex(), prefkeys::UserNotificationsForRemindersHandling);
    logins_->storeTo(prefs_);

    if (!prefs_.synchronize())
        dialogs.alert(this, prefsmsg::NotSavedTitle, prefsmsg::NotSavedText.arg(prefs_.prefsPath()));
    QDialog::accept();
    emit preferencesChanged();
}

} // namespace folivo::gui
