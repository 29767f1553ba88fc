#pragma once
// The texts of the reminder page and of the list of reminders.

#include <QString>
#include <QStringList>

namespace folivo::gui::remindermsg {

inline const QString RemindMe = QStringLiteral("Remind me:");
inline const QStringList WhenChoices = {
    QStringLiteral("Never"),          QStringLiteral("Every month"),   QStringLiteral("Every odd-numbered month"),
    QStringLiteral("Every even-numbered month"), QStringLiteral("Every quarter"), QStringLiteral("Every year")};
inline const QString Day = QStringLiteral("Day:");
inline const QString Month = QStringLiteral("Month:");
inline const QString To = QStringLiteral("To:");
inline const QString Download = QStringLiteral("Download");
inline const QString ScanIn = QStringLiteral("Scan In");
inline const QString Other = QStringLiteral("Other:");
inline const QString NextDue = QStringLiteral("Next due: %1");
inline const QString NoFolder = QStringLiteral("Select a folder to give it a reminder.");

inline const QString DueTitle = QStringLiteral("Reminders due");
inline const QString AllTitle = QStringLiteral("All reminders");
inline const QString ShowAll = QStringLiteral("Show All");
inline const QString ShowDue = QStringLiteral("Show Due");
inline const QString DoneColumn = QStringLiteral("Done");
inline const QString ReminderColumn = QStringLiteral("Reminder");
inline const QString TickToolTip = QStringLiteral("Tick when done: the reminder moves to its next date.");

} // namespace folivo::gui::remindermsg
