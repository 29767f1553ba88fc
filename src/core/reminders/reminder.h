#pragma once
// A folder's recurring reminder ("download the statement on the 5th of every month"): its
// stored definition, the rule that gives its next due date, and the texts and fields the
// reminder page and the due list show. Today is always passed in.

#include "plist/value.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>

namespace folivo {

namespace reminderkeys {
inline const QString When = QStringLiteral("when");
inline const QString Day = QStringLiteral("day");
inline const QString Month = QStringLiteral("month");
inline const QString TextType = QStringLiteral("textType");
inline const QString Text = QStringLiteral("text");
} // namespace reminderkeys

enum class ReminderWhen { None = 0, Monthly = 1, OddMonths = 2, EvenMonths = 3, Quarterly = 4, Yearly = 5 };
enum class ReminderText { Download = 0, ScanIn = 1, Custom = 2 };

struct ReminderDefinition {
    int when = 0;        // ReminderWhen; a stored value above 5 counts as yearly
    QString day;         // as typed
    // 0-11 for January-December; anything else (the macOS edition stores its "not found"
    // index, the largest integer) is kept exactly as stored.
    plist::Value month = std::int64_t(0);
    int textType = 0;    // ReminderText
    QString text;        // the custom text, kept whatever the text type
    plist::Dict unknown; // keys this program does not know, written back as they were

    static ReminderDefinition from(const plist::Dict& stored);
    plist::Dict toDict() const;
    // The month when the stored value names one.
    std::optional<int> monthIndex() const;
    friend bool operator==(const ReminderDefinition& a, const ReminderDefinition& b)
    {
        return a.when == b.when && a.day == b.day && a.month == b.month && a.textType == b.textType
               && a.text == b.text && a.unknown == b.unknown;
    }
};

// The day a day text stands for: its leading decimal number, clamped to 1-31; a text with no
// leading number stands for the 1st (it never rolls back into the month before).
int reminderDay(const QString& dayText);

// The next due day on or after `today`'s turn: monthly moves on when today is the day, a
// yearly reminder whose day is today is due today. None for "when" 0 and for a yearly
// reminder whose stored month is no month (nothing is made up for it).
std::optional<QDate> nextReminderDate(const ReminderDefinition& definition, QDate today);
// The date a ticked reminder moves to: the next date, but never today or earlier, so that a
// yearly reminder ticked on its day moves to next year instead of staying due.
std::optional<QDate> advancedReminderDate(const ReminderDefinition& definition, QDate today);

// "Download", "Scan In" or the custom text.
QString reminderWhat(const ReminderDefinition& definition);
// A row of the due list: "<date> - <folder path>: <what>".
QString reminderRowText(QDate due, const QString& folderPath, const ReminderDefinition& definition, bool european);
// The line above the day field for a "when" choice; empty for none.
QString reminderPrompt(int when);

// The day field: "1" to "31" are offered; typed text is accepted while its leading number
// lies in 1-31, or when it has none.
QStringList reminderDayChoices();
bool reminderDayTextAcceptable(const QString& text);

// The month field offers the twelve long month names.
QStringList reminderMonthChoices();
// Completion while typing: the first month name that begins with `typed` (ignoring case),
// with the completed rest selected from `selectionStart`; an empty field completes to the
// first month. Nothing when no month begins so (the text is refused).
struct MonthCompletion {
    QString text;
    int selectionStart = 0;
};
std::optional<MonthCompletion> completeReminderMonth(const QString& typed);
// The index of the first month name `text` is a prefix of (case-sensitive); 12 for none.
int reminderMonthIndexOf(const QString& text);

} // namespace folivo
