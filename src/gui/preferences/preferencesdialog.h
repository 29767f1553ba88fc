#pragma once
// The application's preferences: every control shows its key of the preference store when
// the dialog opens, and OK writes them all back and saves the store; Cancel changes
// nothing. Keys of features without a page here are never touched.

#include "widgets/folderchooser.h"

#include "prefs/prefkeys.h"

#include <QDialog>
#include <QKeyCombination>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class QCheckBox;
class QComboBox;
class QSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace folivo {
class KTPrefs;
}

namespace folivo::gui {

class LoginPreferencesPage;

class PreferencesDialog : public QDialog {
    Q_OBJECT
public:
    explicit PreferencesDialog(KTPrefs& prefs, QWidget* parent = nullptr);

    // Shows the page of the backup settings (used when a database asks for a backup folder).
    void showBackupPage();

    // The file dialogs and alerts the dialog uses; tests replace them.
    FolderDialogs dialogs = FolderDialogs::standard();

    // OK: writes every key of the pages and saves the store; stays open, with the reason
    // on the page concerned, when a setting cannot be accepted.
    void accept() override;

    // The controls, for the menu commands that open a page and for tests.
    QTabWidget* tabs() const { return tabs_; }
    QWidget* backupPage() const { return backupPage_; }
    QComboBox* doubleClickMenu() const { return doubleClick_; }
    QCheckBox* confirmDeleteSwitch() const { return confirmDelete_; }
    QCheckBox* historyRestoreSwitch() const { return historyRestore_; }
    QCheckBox* europeanDatesSwitch() const { return europeanDates_; }
    QCheckBox* backupSwitch() const { return backupDatabase_; }
    QComboBox* backupIntervalMenu() const { return backupInterval_; }
    QComboBox* backupKeepMenu() const { return backupKeep_; }
    QLineEdit* backupFolderField() const { return backupFolder_; }
    QPushButton* chooseBackupFolderButton() const { return chooseBackup_; }
    QPushButton* createBackupFolderButton() const { return createBackup_; }
    QPushButton* removeBackupFolderButton() const { return removeBackup_; }
    QLabel* backupFolderError() const { return backupError_; }
    QCheckBox* importLogSwitch() const { return importLog_; }
    QCheckBox* maintainLastImportSwitch() const { return maintainLastImport_; }
    const QList<QComboBox*>& priorityMenus() const { return priorities_; }
    QComboBox* matchTypeMenu() const { return matchType_; }
    QCheckBox* ignoreCaseSwitch() const { return ignoreCase_; }
    QCheckBox* ignoreDateSwitch() const { return ignoreDate_; }
    QCheckBox* reminderNotificationsSwitch() const { return reminderNotifications_; }
    QComboBox* reminderHandlingMenu() const { return reminderHandling_; }
    QSpinBox* maxFutureRemindersField() const { return maxFutureReminders_; }

    LoginPreferencesPage* loginsPage() const { return logins_; }
    // How the logins page learns which hot keys another program holds.
    void setHotKeyCheck(std::function<bool(QKeyCombination)> available);

    // The rule titles the priority menus show, first to last.
    QStringList priorities() const;

    // The buttons of the backup page.
    void browseForBackupFolder();
    void createBackupFolder();
    void removeBackupFolderReference();

signals:
    // OK was pressed and the store holds the new settings: windows show them now.
    void preferencesChanged();

private:
    QWidget* makeGeneralPage();
    QWidget* makeBackupPage();
    QWidget* makeDatesPage();
    QWidget* makeImportPage();
    QWidget* makeFilingPage();
    QWidget* makeRemindersPage();
    void fillFromStore();
    void enableBackups(bool on);
    void priorityChosen(int menu, int index);
    void showBackupFolderState();
    // The problem with the backup folder now in the field, as a sentence; empty when
    // it can be used or none is set.
    QString backupFolderMessage() const;

    KTPrefs& prefs_;
    QTabWidget* tabs_;
    QWidget* backupPage_ = nullptr;
    QWidget* filingPage_ = nullptr;
    QComboBox* doubleClick_ = nullptr;
    QCheckBox* confirmDelete_ = nullptr;
    QCheckBox* historyRestore_ = nullptr;
    QCheckBox* europeanDates_ = nullptr;
    QCheckBox* backupDatabase_ = nullptr;
    QComboBox* backupInterval_ = nullptr;
    QComboBox* backupKeep_ = nullptr;
    QLineEdit* backupFolder_ = nullptr;
    QPushButton* chooseBackup_ = nullptr;
    QPushButton* createBackup_ = nullptr;
    QPushButton* removeBackup_ = nullptr;
    QLabel* backupError_ = nullptr;
    QCheckBox* importLog_ = nullptr;
    QCheckBox* maintainLastImport_ = nullptr;
    bool maintainLastImportTouched_ = false;
    QList<QComboBox*> priorities_;
    QList<int> priorityShown_; // the index each priority menu showed before the last choice
    QComboBox* matchType_ = nullptr;
    QCheckBox* ignoreCase_ = nullptr;
    QCheckBox* ignoreDate_ = nullptr;
    QCheckBox* reminderNotifications_ = nullptr;
    QComboBox* reminderHandling_ = nullptr;
    QSpinBox* maxFutureReminders_ = nullptr;
    LoginPreferencesPage* logins_ = nullptr;
};

} // namespace folivo::gui
