#pragma once
// The reminder of a folder, on the folder page of the attributes area: how often, on which
// day (and month), and what to do. Every change is stored at once on the folder, with its
// next due date; typing in the day or month field is stored when the field is left.

#include "reminders/reminder.h"

#include <QWidget>

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace folivo {
class KTPrefs;
class MyDocument;
}

namespace folivo::gui {

class ReminderPage : public QWidget {
    Q_OBJECT
public:
    // `prefs` says how dates are shown; none: month first.
    ReminderPage(MyDocument& doc, const KTPrefs* prefs, QWidget* parent = nullptr);

    // Shows the reminder of the folder at `path` (none: an empty page); editable only when
    // the database can change.
    void showFolder(const QString& path, bool editable);
    QString folderPath() const { return folder_; }

    // Reads the controls and stores what they say.
    void apply();

    QComboBox* whenMenu() const { return when_; }
    QComboBox* dayField() const { return day_; }
    QComboBox* monthField() const { return month_; }
    QLabel* prompt() const { return prompt_; }
    QLabel* nextDue() const { return next_; }
    QRadioButton* downloadChoice() const { return download_; }
    QRadioButton* scanInChoice() const { return scanIn_; }
    QRadioButton* otherChoice() const { return other_; }
    QLineEdit* customText() const { return custom_; }

signals:
    // The folder's reminder was stored.
    void reminderChanged(const QString& folderPath);

private:
    void load();
    void showKind();
    ReminderDefinition fromControls() const;

    MyDocument& doc_;
    const KTPrefs* prefs_;
    QString folder_;
    bool editable_ = false;
    bool loading_ = false;
    ReminderDefinition loaded_;
    QString loadedMonthText_;

    QComboBox* when_;
    QLabel* prompt_;
    QLabel* monthLabel_;
    QComboBox* day_;
    QComboBox* month_;
    QButtonGroup* what_;
    QRadioButton* download_;
    QRadioButton* scanIn_;
    QRadioButton* other_;
    QLineEdit* custom_;
    QLabel* next_;
    QLabel* none_;
    QWidget* controls_;
};

} // namespace folivo::gui
