#include "reports/report.h"

#include "filing/ktdate.h"
#include "reports/messages.h"
#include "store/dboperation.h"
#include "store/indexitem.h"
#include "store/keys.h"
#include "store/mydocument.h"

#include <QFileInfo>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace folivo {

namespace {

const AttributeEntry* firstNamed(const QList<AttributeEntry>& entries, const QString& name)
{
    for (const AttributeEntry& e : entries)
        if (e.name == name)
            return &e;
    return nullptr;
}

double apply(ReportOperator op, double a, double b)
{
    switch (op) {
    case ReportOperator::None: return a;
    case ReportOperator::Add: return a + b;
    case ReportOperator::Subtract: return a - b;
    case ReportOperator::Multiply: return a * b;
    case ReportOperator::Divide: return a / b;
    }
    return a;
}

// One value of a file's line; `data` says whether it counts towards keeping the line.
ReportCell valueFor(const ReportValueLine& line, const QList<AttributeEntry>& entries, int places, bool& data)
{
    // A line that cannot be computed (no first name, or an operator without its second
    // name) is not in use: it never makes a line of its own, also not over an entry whose
    // name is still empty.
    if (!line.complete())
        return {};
    const AttributeEntry* first = firstNamed(entries, line.attribute1);
    if (!first)
        return {};
    const ReportNumber n1 = readReportNumber(first->value);
    if (line.op == ReportOperator::None) {
        data = true;
        if (n1.isText)
            return {first->value, false};
        return {formatReportNumber(n1.value, places), true};
    }
    const AttributeEntry* second = firstNamed(entries, line.attribute2);
    if (!second)
        return {};
    const ReportNumber n2 = readReportNumber(second->value);
    if (n1.isText || n2.isText)
        return {};
    data = true;
    return {formatReportNumber(apply(line.op, n1.value, n2.value), places), true};
}

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

} // namespace

ReportNumber readReportNumber(QStringView text)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && text[i].isSpace())
        ++i;
    std::string s;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-')
            s.push_back('-');
        ++i;
    }
    bool digits = false;
    while (i < n && isDigit(text[i])) {
        s.push_back(char(text[i++].unicode()));
        digits = true;
    }
    if (i < n && text[i] == u'.' && (digits || (i + 1 < n && isDigit(text[i + 1])))) {
        s.push_back('.');
        ++i;
        while (i < n && isDigit(text[i])) {
            s.push_back(char(text[i++].unicode()));
            digits = true;
        }
    }
    ReportNumber r;
    if (digits) {
        if (i < n && (text[i] == u'e' || text[i] == u'E')) {
            qsizetype j = i + 1;
            std::string exp = "e";
            if (j < n && (text[j] == u'+' || text[j] == u'-'))
                exp.push_back(char(text[j++].unicode()));
            if (j < n && isDigit(text[j])) {
                while (j < n && isDigit(text[j]))
                    exp.push_back(char(text[j++].unicode()));
                s += exp;
                i = j;
            }
        }
        double v = 0.0;
        const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
        (void)end;
        if (ec == std::errc::result_out_of_range) {
            // Too large reads as infinite, too small as zero, as a scanner of numbers does:
            // the magnitude is the count of digits before the point (leading zeros aside)
            // plus the exponent.
            const auto e = s.find('e');
            const std::string mantissa = s.substr(0, e);
            const auto point = mantissa.find('.');
            const std::string whole = mantissa.substr(0, point);
            const auto firstDigit = whole.find_first_not_of("-0");
            long magnitude = firstDigit == std::string::npos ? 0 : long(whole.size() - firstDigit);
            if (e != std::string::npos)
                magnitude += std::clamp(std::strtol(s.c_str() + e + 1, nullptr, 10), -100000L, 100000L);
            v = magnitude > 0 ? HUGE_VAL : 0.0;
            if (s.front() == '-')
                v = -v;
        }
        r.value = v;
    } else {
        i = 0; // nothing was read: only white space is a whole value
    }
    while (i < n && text[i].isSpace())
        ++i;
    r.isText = i < n;
    return r;
}

QString formatReportNumber(double value, int places)
{
    if (std::isnan(value))
        return QStringLiteral("nan");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-inf") : QStringLiteral("inf");
    places = std::clamp(places, 0, ReportCriteria::MaxPrecision);
    // Large enough for the largest double in fixed notation with the most places.
    char buffer[400];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, places);
    if (ec != std::errc())
        return QStringLiteral("nan");
    QString text = QString::fromLatin1(buffer, end - buffer);
    // A value that rounds to zero shows no sign: "-0.00" is no amount anyone has.
    if (text.startsWith(u'-') && std::all_of(text.cbegin() + 1, text.cend(), [](QChar c) {
            return c == u'0' || c == u'.';
        }))
        text.remove(0, 1);
    return text;
}

QString reportColumnTitle(const ReportValueLine& line)
{
    const int op = int(line.op);
    const QString opTitle = op >= 0 && op < reportmsg::OperatorTitles.size() ? reportmsg::OperatorTitles[op] : QString();
    return line.attribute1 + opTitle + (line.op == ReportOperator::None ? QString() : line.attribute2);
}

Report produceReportLinesAndHeaders(const ReportCriteria& criteria, const QList<const IndexItem*>& members,
                                    const ReportSources& sources)
{
    Report report;
    report.criteria = criteria;
    for (int i = 0; i < ReportCriteria::LineCount; ++i)
        report.titles[std::size_t(i)] = reportColumnTitle(criteria.values[std::size_t(i)]);
    if (!criteria.hasCompleteLine())
        return report;

    // The window is one of days: a file dated 365 days before today is within the last
    // 365 days whatever the time of day, and a file dated after today never is.
    const QDate today = sources.now.toLocalTime().date();
    std::optional<QDate> first;
    if (criteria.dates == ReportDates::LastYear)
        first = today.addDays(-365);
    else if (criteria.dates == ReportDates::LastTwoYears)
        first = today.addDays(-730);

    const int places = std::clamp(criteria.precision, 0, ReportCriteria::MaxPrecision);
    // Each line's instant, read once: comparing local date-times converts them every time.
    std::vector<std::pair<qint64, qsizetype>> order;
    order.reserve(std::size_t(members.size()));
    QList<ReportLine> lines;
    lines.reserve(members.size());
    for (const IndexItem* member : members) {
        if (!member)
            continue;
        const std::optional<QDateTime> date = sources.dateOf ? sources.dateOf(*member) : std::nullopt;
        // A file without any date has no place among dated lines.
        if (!date || !date->isValid())
            continue;
        const QDate day = date->toLocalTime().date();
        if (day > today || (first && day < *first))
            continue;
        const QList<AttributeEntry> entries = sources.attributesOf ? sources.attributesOf(*member)
                                                                   : customAttributesOf(*member);
        ReportLine line;
        line.date = *date;
        bool data = false;
        for (int i = 0; i < ReportCriteria::LineCount; ++i)
            line.values[std::size_t(i)] = valueFor(criteria.values[std::size_t(i)], entries, places, data);
        if (data) {
            order.emplace_back(line.date.toMSecsSinceEpoch(), lines.size());
            lines.push_back(std::move(line));
        }
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    report.lines.reserve(lines.size());
    for (const auto& [key, index] : order)
        report.lines.push_back(std::move(lines[index]));
    return report;
}

QString reportDateText(const QDateTime& date, ReportDateFormat format, bool european, const QLocale& locale)
{
    const QDateTime local = date.toLocalTime();
    switch (format) {
    case ReportDateFormat::MonthYear: return locale.toString(local, QStringLiteral("MMM yyyy"));
    case ReportDateFormat::LongYear: return local.toString(DateFormats::forEuropean(european).displayFormat);
    case ReportDateFormat::Year: return local.toString(QStringLiteral("yyyy"));
    }
    return {};
}

std::optional<QDateTime> dateForReportSmartFile(const MyDocument& doc, const IndexItem& item)
{
    if (const plist::Value* end = item.value(keys::EndDate); end && end->isDate())
        return fromPlistDate(end->date());
    const QString abs = doc.absolutePath(item.path());
    if (abs.isEmpty())
        return std::nullopt;
    for (const QString& suffix : {QString(), QStringLiteral(".") + pkg::EncFile, QStringLiteral(".") + pkg::EncZip,
                                  QStringLiteral(".") + pkg::EncZipR}) {
        const QFileInfo info(abs + suffix);
        if (info.exists() && !info.isSymLink()) {
            const QDateTime modified = info.lastModified();
            if (modified.isValid())
                return modified;
        }
    }
    return std::nullopt;
}

ReportSources documentReportSources(const MyDocument& doc, const QDateTime& now)
{
    ReportSources s;
    s.now = now;
    s.dateOf = [&doc](const IndexItem& item) { return dateForReportSmartFile(doc, item); };
    return s;
}

} // namespace folivo
