#include "filing/ktdate.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QTime>
#include <algorithm>

namespace folivo {

namespace {

qint64 floorDiv(qint64 a, qint64 b)
{
    qint64 q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Calendar helpers

QDateTime KTDate::atMidnight(QDate day)
{
    // startOfDay rather than a 00:00 wall time: where a time-zone change skips midnight the day
    // still begins at its first real moment instead of giving an invalid date.
    return day.isValid() ? day.startOfDay(Qt::LocalTime) : QDateTime();
}

QDateTime KTDate::dateWithTimeRemovedFrom(const QDateTime& date)
{
    if (!date.isValid())
        return {};
    return atMidnight(date.toLocalTime().date());
}

KTDate::Components KTDate::dateComponentsForDate(const QDateTime& date)
{
    Components c;
    if (!date.isValid())
        return c;
    const QDateTime local = date.toLocalTime();
    const QDate d = local.date();
    const QTime t = local.time();
    c.year = d.year();
    c.month = d.month();
    c.day = d.day();
    c.hour = t.hour();
    c.minute = t.minute();
    c.second = t.second();
    return c;
}

QDateTime KTDate::dateWithComponents(const Components& c)
{
    QDate day = dayWithYearMonthDay(c.year, c.month, c.day);
    if (!day.isValid())
        return {};
    // Time fields roll over into neighbouring days just as month and day do.
    const qint64 secs = qint64(c.hour) * 3600 + qint64(c.minute) * 60 + qint64(c.second);
    const qint64 extraDays = floorDiv(secs, 86400);
    const qint64 rest = secs - extraDays * 86400;
    day = day.addDays(extraDays);
    if (!day.isValid())
        return {};
    QDateTime result(day, QTime::fromMSecsSinceStartOfDay(int(rest * 1000)), Qt::LocalTime);
    if (!result.isValid()) // a wall time skipped by a time-zone change
        result = day.startOfDay(Qt::LocalTime).addSecs(rest);
    return result;
}

int KTDate::yearFromDate(const QDateTime& date)
{
    return dateComponentsForDate(date).year;
}

int KTDate::monthFromDate(const QDateTime& date)
{
    return dateComponentsForDate(date).month;
}

int KTDate::dayFromDate(const QDateTime& date)
{
    return dateComponentsForDate(date).day;
}

QDate KTDate::dayWithYearMonthDay(int year, int month, int day)
{
    // Months beyond 1…12 move the year; days beyond the month's length (or below 1) move
    // through the following (or preceding) months.
    const qint64 totalMonths = qint64(year) * 12 + (qint64(month) - 1);
    const qint64 y = floorDiv(totalMonths, 12);
    const int m = int(totalMonths - y * 12) + 1;
    // The calendar has no year 0, and far-off years are of no use to anyone filing papers.
    if (y == 0 || y > 1000000 || y < -1000000)
        return {};
    const QDate first(int(y), m, 1);
    if (!first.isValid())
        return {};
    return first.addDays(qint64(day) - 1);
}

QDateTime KTDate::dateWithYearMonthDay(int year, int month, int day)
{
    return atMidnight(dayWithYearMonthDay(year, month, day));
}

// ---------------------------------------------------------------------------------------------
// Vocabulary tables

namespace {

QStringList stringList(const QJsonValue& v)
{
    QStringList out;
    for (const QJsonValue& e : v.toArray())
        if (e.isString())
            out.push_back(e.toString());
    return out;
}

QList<DateTables::MonthFormat> monthFormats(const QJsonValue& v)
{
    QList<DateTables::MonthFormat> out;
    for (const QJsonValue& e : v.toArray()) {
        const QJsonObject o = e.toObject();
        const QJsonValue format = o.value(QStringLiteral("format"));
        const int month = o.value(QStringLiteral("month")).toInt(0);
        // An entry without a usable month cannot give a date; leave it out rather than
        // let it produce month 0.
        if (!format.isString() || month < 1 || month > 12)
            continue;
        out.push_back({format.toString(), month});
    }
    return out;
}

} // namespace

DateTables DateTables::fromJson(const QByteArray& json)
{
    DateTables t;
    const QJsonDocument doc = QJsonDocument::fromJson(json);
    if (!doc.isObject())
        return t;
    const QJsonObject o = doc.object();
    t.shortFormats = stringList(o.value(QStringLiteral("KTShortDateFormats")));
    t.longFormats = monthFormats(o.value(QStringLiteral("KTLongDateFormats")));
    t.shortFormatsNoYear = stringList(o.value(QStringLiteral("KTShortDateFormatsNoYear")));
    t.longFormatsNoYear = monthFormats(o.value(QStringLiteral("KTLongDateFormatsNoYear")));
    t.months = stringList(o.value(QStringLiteral("KTMonths")));
    t.longMonths = stringList(o.value(QStringLiteral("KTLongMonths")));
    for (const QJsonValue& e : o.value(QStringLiteral("KTMonthButtonSort")).toArray())
        if (e.isDouble())
            t.monthButtonSort.push_back(e.toInt());
    return t;
}

const DateTables& DateTables::shared()
{
    static const DateTables tables = [] {
        QFile f(QStringLiteral(":/folivo/datetables.json"));
        if (!f.open(QIODevice::ReadOnly))
            return DateTables();
        return fromJson(f.readAll());
    }();
    return tables;
}

// ---------------------------------------------------------------------------------------------
// The parser

namespace {

constexpr int kMaxConversions = 3;

struct Scan {
    int values[kMaxConversions] = {0, 0, 0};
    int conversions = 0; // "%d" directives in the format
    int filled = 0;      // of those, how many read a number
    int count = -1;      // what "%n" recorded; -1 when the scan stopped before it
    bool signedNumber = false;
};

// A small scanf over characters: "%d" (optionally "%4d") skips white space and reads an
// optional sign and decimal digits, "%n" records the characters consumed so far, white space
// in the format matches any run of white space (none included), "%%" is a percent sign, and
// every other character must be the same (the text is already lower case; the format is
// lowered here so a table written with capitals still matches).
Scan scan(QStringView format, QStringView text)
{
    Scan s;
    for (qsizetype i = 0; i < format.size(); ++i)
        if (format[i] == u'%' && i + 1 < format.size()) {
            qsizetype j = i + 1;
            while (j < format.size() && format[j] >= u'0' && format[j] <= u'9')
                ++j;
            if (j < format.size() && format[j] == u'd')
                ++s.conversions;
            i = j;
        }

    qsizetype p = 0;
    const qsizetype len = text.size();
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c.isSpace()) {
            while (p < len && text[p].isSpace())
                ++p;
            continue;
        }
        if (c != u'%') {
            if (p < len && text[p] == c.toLower()) {
                ++p;
                continue;
            }
            return s;
        }
        int width = 0;
        ++i;
        while (i < format.size() && format[i] >= u'0' && format[i] <= u'9')
            width = std::min(width * 10 + (format[i++].unicode() - '0'), 1000);
        if (i >= format.size())
            return s;
        const QChar directive = format[i];
        if (directive == u'n') {
            s.count = int(p);
        } else if (directive == u'%') {
            if (p < len && text[p] == u'%')
                ++p;
            else
                return s;
        } else if (directive == u'd') {
            qsizetype q = p;
            while (q < len && text[q].isSpace())
                ++q;
            bool negative = false, sign = false;
            if (q < len && (text[q] == u'-' || text[q] == u'+')) {
                negative = text[q] == u'-';
                sign = true;
                ++q;
            }
            // Digits are ASCII only, as in any C scanner; a huge number saturates and is
            // then refused by the range checks instead of overflowing.
            qint64 value = 0;
            int digits = 0;
            while (q < len && text[q] >= u'0' && text[q] <= u'9' && (width == 0 || digits < width)) {
                value = std::min<qint64>(value * 10 + (text[q].unicode() - '0'), 1000000000);
                ++digits;
                ++q;
            }
            if (digits == 0)
                return s;
            if (s.filled < kMaxConversions)
                s.values[s.filled] = int(negative ? -value : value);
            ++s.filled;
            s.signedNumber = s.signedNumber || sign;
            p = q;
        } else {
            return s;
        }
    }
    return s;
}

// A scan counts when it read every number of its format and none had a sign (a day or a
// month is never "-3" or "+3"), and it either took the whole text or, when trailing text is
// allowed, took something and did not stop in the middle of a word ("5 mar" of "5 marching
// bands" is not 5 March).
bool accepted(const Scan& s, int expected, QStringView text, bool allowTrailing)
{
    if (s.conversions != expected || s.filled != expected || s.signedNumber || s.count < 0)
        return false;
    if (s.count == text.size())
        return true;
    if (!allowTrailing || s.count == 0)
        return false;
    return !(text[s.count - 1].isLetter() && text[s.count].isLetter());
}

int widenTwoDigitYear(int year)
{
    if (year >= 0 && year <= 99)
        return year < 74 ? 2000 + year : 1900 + year;
    return year;
}

// The last word on any date read: a four-digit year and a day that exists.
int finish(int count, int month, int day, int year)
{
    if (year < 1000 || year > 9999)
        return 0;
    return dateValid(month, day, year) ? count : 0;
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

int parseDate(QStringView text, int& month, int& day, int& year, bool european, bool allowTrailing,
              const DateTables& tables, QDate today)
{
    // Lower-case one UTF-16 unit at a time, so that every position in the lowered text is the
    // same position in the caller's text and the count answered can index it.
    QString lowered(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        lowered[i] = text[i].toLower();
    qsizetype start = 0;
    while (start < lowered.size() && lowered[start].isSpace())
        ++start;
    const QStringView rest = QStringView(lowered).mid(start);

    for (const QString& f : tables.shortFormats) {
        const Scan s = scan(f, rest);
        if (!accepted(s, 3, rest, allowTrailing))
            continue;
        if (s.values[0] >= 101) {
            // Year first (2023/5/6 or 2023-05-06): that order is unambiguous, so the
            // day-first preference does not apply to it.
            year = s.values[0];
            month = s.values[1];
            day = s.values[2];
        } else {
            month = s.values[0];
            day = s.values[1];
            year = widenTwoDigitYear(s.values[2]);
            if (european)
                std::swap(month, day);
        }
        return finish(s.count, month, day, year);
    }

    for (const DateTables::MonthFormat& f : tables.longFormats) {
        const Scan s = scan(f.format, rest);
        if (!accepted(s, 2, rest, allowTrailing))
            continue;
        month = f.month;
        day = s.values[0];
        year = s.values[1];
        if (day > 31) // "2024 march 5"
            std::swap(day, year);
        year = widenTwoDigitYear(year);
        return finish(s.count, month, day, year);
    }

    for (const QString& f : tables.shortFormatsNoYear) {
        const Scan s = scan(f, rest);
        if (!accepted(s, 2, rest, allowTrailing))
            continue;
        month = s.values[0];
        day = s.values[1];
        if (european)
            std::swap(month, day);
        year = today.year();
        return finish(s.count, month, day, year);
    }

    for (const DateTables::MonthFormat& f : tables.longFormatsNoYear) {
        const Scan s = scan(f.format, rest);
        if (!accepted(s, 1, rest, allowTrailing))
            continue;
        month = f.month;
        day = s.values[0];
        year = today.year();
        return finish(s.count, month, day, year);
    }

    // Eight digits written together, year first (20230506), as scanners and cameras name
    // files. Exactly eight: fewer, spaced-out or signed numbers, or a ninth digit, are
    // something else. Whatever follows is allowed, since such names go on with a word.
    if (rest.size() >= 8) {
        for (qsizetype i = 0; i < 8; ++i)
            if (!isAsciiDigit(rest[i]))
                return 0;
        if (rest.size() > 8 && isAsciiDigit(rest[8]))
            return 0;
        const auto number = [&](qsizetype from, qsizetype n) {
            int v = 0;
            for (qsizetype i = from; i < from + n; ++i)
                v = v * 10 + (rest[i].unicode() - '0');
            return v;
        };
        year = number(0, 4);
        month = number(4, 2);
        day = number(6, 2);
        return finish(8, month, day, year);
    }
    return 0;
}

bool dateValid(int month, int day, int year)
{
    const QDate d = KTDate::dayWithYearMonthDay(year, month, day);
    return d.isValid() && d.year() == year && d.month() == month && d.day() == day;
}

bool dateMayStartAt(QStringView text, qsizetype at)
{
    if (at <= 0 || at >= text.size())
        return true;
    return text[at].isSpace() || !isAsciiDigit(text[at - 1]);
}

// ---------------------------------------------------------------------------------------------
// Display

DateFormats DateFormats::forEuropean(bool european)
{
    DateFormats f;
    if (european) {
        f.logFormat = QStringLiteral("dd-M-yyyy h:mm AP");
        f.displayFormat = QStringLiteral("dd/M/yyyy");
        f.findDateErrorMessage = QStringLiteral("Invalid date shown in RED above; format should be DD/MM/YYYY.");
    } else {
        f.logFormat = QStringLiteral("M-dd-yyyy h:mm AP");
        f.displayFormat = QStringLiteral("M/dd/yyyy");
        f.findDateErrorMessage = QStringLiteral("Invalid date shown in RED above; format should be MM/DD/YYYY.");
    }
    return f;
}

QString displayDate(const QDateTime& date, bool european)
{
    if (!date.isValid())
        return {};
    // The C locale: the same digits and separators whatever language the desktop uses.
    return QLocale::c().toString(date.toLocalTime(), DateFormats::forEuropean(european).displayFormat);
}

} // namespace folivo
