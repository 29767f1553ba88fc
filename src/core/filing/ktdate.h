#pragma once
// Dates: the calendar helpers (every date is a day at local midnight), the one date parser
// that reads what people type, what file names carry and what follows a phrase in a
// document, and the vocabulary tables that drive it. The tables live in one resource of the
// program (":/folivo/datetables.json") so that the parser and the date folders read the same
// words.

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace folivo {

class KTDate {
public:
    struct Components {
        int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    };
    // The same calendar day at 00:00:00 local time.
    static QDateTime dateWithTimeRemovedFrom(const QDateTime& date);
    static Components dateComponentsForDate(const QDateTime& date);
    static QDateTime dateWithComponents(const Components& c);
    static int yearFromDate(const QDateTime& date);
    static int monthFromDate(const QDateTime& date);
    static int dayFromDate(const QDateTime& date);
    // That day at local midnight; values out of range roll over as a calendar does (month 13
    // is January of the next year, April 31 is May 1, day 0 is the last day of the month before).
    static QDateTime dateWithYearMonthDay(int year, int month, int day);
    static QDate dayWithYearMonthDay(int year, int month, int day);
    // A day at local midnight.
    static QDateTime atMidnight(QDate day);
};

// The vocabulary tables. Scan formats use "%d" (optionally with a width, "%4d"), "%n" and
// literal characters; white space in a format matches any run of white space, none included.
struct DateTables {
    struct MonthFormat {
        QString format;
        int month = 0; // 1…12: the month the format's literal month name stands for
    };
    QStringList shortFormats;            // "KTShortDateFormats": month, day, year
    QList<MonthFormat> longFormats;      // "KTLongDateFormats": day, year
    QStringList shortFormatsNoYear;      // "KTShortDateFormatsNoYear": month, day
    QList<MonthFormat> longFormatsNoYear; // "KTLongDateFormatsNoYear": day
    QStringList months;                  // "KTMonths": twelve date-folder names
    QStringList longMonths;              // "KTLongMonths": indexed by month number
    QList<int> monthButtonSort;          // "KTMonthButtonSort"

    // The tables of the program's resource, read once.
    static const DateTables& shared();
    // Tables from the JSON form of the resource; empty tables when it does not decode.
    static DateTables fromJson(const QByteArray& json);
};

// Reads a date at the start of `text` (leading white space skipped and not counted). Answers
// the count of characters the date took, or 0 when no valid date was read. The out values may
// change even when the answer is 0. `today` gives the year of dates written without one.
int parseDate(QStringView text, int& month, int& day, int& year, bool european, bool allowTrailing,
              const DateTables& tables = DateTables::shared(), QDate today = QDate::currentDate());
// True when the day built from the three numbers is that same day again (no February 30,
// no month 13).
bool dateValid(int month, int day, int year);
// Whether a date read out of running text may begin at `at`: never straight after a digit,
// so that the "9/02/2024" inside "29/02/2024", or the "5/06/2024" inside "Ref: 115/06/2024",
// is not taken for a date. White space at `at` is skipped by the parser, so the date then
// begins after it and may.
bool dateMayStartAt(QStringView text, qsizetype at);

// The display and log formats, month first or day first ("EuropeanDates").
struct DateFormats {
    QString logFormat;            // import log names and lines
    QString displayFormat;        // every date field and "Date Found: " label
    QString findDateErrorMessage; // the find dialog's date error text
    static DateFormats forEuropean(bool european);
};
QString displayDate(const QDateTime& date, bool european);

} // namespace folivo
