#include "reminders/reminder.h"

#include "filing/ktdate.h"

namespace folivo {

namespace {

const QStringList& longMonths()
{
    return DateTables::shared().longMonths;
}

QString stringOf(const plist::Value* v)
{
    return v && v->isString() ? v->string() : QString();
}

int smallInt(const plist::Value* v)
{
    return v ? int(std::clamp<std::int64_t>(v->toInt(0), -1, 1000)) : 0;
}

} // namespace

ReminderDefinition ReminderDefinition::from(const plist::Dict& stored)
{
    ReminderDefinition r;
    r.when = smallInt(stored.find(reminderkeys::When));
    r.day = stringOf(stored.find(reminderkeys::Day));
    if (const plist::Value* month = stored.find(reminderkeys::Month))
        r.month = *month;
    r.textType = smallInt(stored.find(reminderkeys::TextType));
    r.text = stringOf(stored.find(reminderkeys::Text));
    for (const auto& [key, value] : stored)
        if (key != reminderkeys::When && key != reminderkeys::Day && key != reminderkeys::Month
            && key != reminderkeys::TextType && key != reminderkeys::Text)
            r.unknown.set(key, value);
    return r;
}

plist::Dict ReminderDefinition::toDict() const
{
    plist::Dict d;
    d.set(reminderkeys::When, std::int64_t(when));
    d.set(reminderkeys::Day, day);
    d.set(reminderkeys::Month, month);
    d.set(reminderkeys::TextType, std::int64_t(textType));
    d.set(reminderkeys::Text, text);
    for (const auto& [key, value] : unknown)
        d.set(key, value);
    return d;
}

std::optional<int> ReminderDefinition::monthIndex() const
{
    if (!month.isInteger() && !month.isUnsigned() && !month.isReal() && !month.isBool())
        return std::nullopt;
    if (month.isUnsigned() && month.unsignedValue() > 11)
        return std::nullopt;
    const std::int64_t m = month.toInt(-1);
    if (m < 0 || m > 11)
        return std::nullopt;
    return int(m);
}

int reminderDay(const QString& dayText)
{
    // The leading decimal number, as a C reader of integers takes it: white space, a sign,
    // digits. Very long numbers are simply large.
    qsizetype i = 0;
    while (i < dayText.size() && dayText[i].isSpace())
        ++i;
    bool negative = false;
    if (i < dayText.size() && (dayText[i] == u'+' || dayText[i] == u'-')) {
        negative = dayText[i] == u'-';
        ++i;
    }
    qint64 value = 0;
    bool digits = false;
    for (; i < dayText.size() && dayText[i] >= u'0' && dayText[i] <= u'9'; ++i) {
        digits = true;
        value = std::min<qint64>(value * 10 + (dayText[i].unicode() - u'0'), 1000);
    }
    if (!digits)
        return 1;
    return int(std::clamp<qint64>(negative ? -value : value, 1, 31));
}

std::optional<QDate> nextReminderDate(const ReminderDefinition& definition, QDate today)
{
    if (definition.when < 1 || !today.isValid())
        return std::nullopt;
    const int y = today.year();
    const int m = today.month();
    const int dayNow = today.day();
    const int d = reminderDay(definition.day);
    int year = y;
    int month = m;
    switch (definition.when) {
    case 1:
        month = dayNow < d ? m : m + 1;
        break;
    case 2: // January, March, ... November
        if (m % 2 == 1 && dayNow < d)
            month = m;
        else
            month = m % 2 == 1 ? m + 2 : m + 1;
        break;
    case 3: // February, April, ... December
        if (m % 2 == 0 && dayNow < d)
            month = m;
        else
            month = m % 2 == 0 ? m + 2 : m + 1;
        break;
    case 4: // January, April, July, October
        if ((m - 1) % 3 == 0 && dayNow < d)
            month = m;
        else
            month = ((m - 1) / 3 + 1) * 3 + 1;
        break;
    default: {
        // A stored month that names no month gives no date rather than one made up.
        const std::optional<int> index = definition.monthIndex();
        if (!index)
            return std::nullopt;
        month = *index + 1;
        if (m > month || (m == month && dayNow > d))
            year = y + 1;
        break;
    }
    }
    // Month 13 is January of the next year; April 31 is May 1.
    return KTDate::dayWithYearMonthDay(year, month, d);
}

std::optional<QDate> advancedReminderDate(const ReminderDefinition& definition, QDate today)
{
    std::optional<QDate> next = nextReminderDate(definition, today);
    if (next && *next <= today)
        next = nextReminderDate(definition, today.addDays(1));
    return next;
}

QString reminderWhat(const ReminderDefinition& definition)
{
    switch (definition.textType) {
    case 0:
        return QStringLiteral("Download");
    case 1:
        return QStringLiteral("Scan In");
    default:
        return definition.text;
    }
}

QString reminderRowText(QDate due, const QString& folderPath, const ReminderDefinition& definition, bool european)
{
    return QStringLiteral("%1 - %2: %3")
        .arg(displayDate(KTDate::atMidnight(due), european), folderPath, reminderWhat(definition));
}

QString reminderPrompt(int when)
{
    switch (when) {
    case 1:
        return QStringLiteral("On the following day of the month:");
    case 2:
    case 3:
        return QStringLiteral("On the following day of those months:");
    case 4:
        return QStringLiteral("On the following day of the quarter:");
    default:
        return when >= 5 ? QStringLiteral("On the following day of the year:") : QString();
    }
}

QStringList reminderDayChoices()
{
    QStringList out;
    for (int i = 1; i <= 31; ++i)
        out << QString::number(i);
    return out;
}

bool reminderDayTextAcceptable(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    qsizetype start = i;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    if (i >= text.size() || text[i] < u'0' || text[i] > u'9')
        return true; // no leading number: the first day
    bool ok = false;
    qsizetype end = i;
    while (end < text.size() && text[end] >= u'0' && text[end] <= u'9')
        ++end;
    const qint64 value = text.mid(start, end - start).toLongLong(&ok);
    return ok && value >= 1 && value <= 31;
}

QStringList reminderMonthChoices()
{
    return longMonths();
}

std::optional<MonthCompletion> completeReminderMonth(const QString& typed)
{
    const QStringList& months = longMonths();
    if (months.isEmpty())
        return std::nullopt;
    if (typed.isEmpty())
        return MonthCompletion{months.first(), 0};
    for (const QString& name : months)
        if (name.startsWith(typed, Qt::CaseInsensitive))
            return MonthCompletion{name, int(typed.size())};
    return std::nullopt;
}

int reminderMonthIndexOf(const QString& text)
{
    const QStringList& months = longMonths();
    for (int i = 0; i < months.size(); ++i)
        if (months[i].startsWith(text))
            return i;
    return 12;
}

} // namespace folivo
