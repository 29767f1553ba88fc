#pragma once
// A report: one line per member of a smart folder that has a date and at least one value,
// with up to four computed columns, each one custom attribute or two joined by an operator.
// The computation is pure: the members, how their attributes and dates are read, and the
// moment it runs are handed in, so the window, the command line, benchmarks and tests all
// get the same lines.

#include "attributes/customattributes.h"
#include "reports/reportcriteria.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringView>
#include <array>
#include <functional>
#include <optional>

namespace folivo {

class IndexItem;
class MyDocument;

struct ReportCell {
    QString text;
    bool number = false; // a computed number (never prefixed against formulas), else text
    bool operator==(const ReportCell&) const = default;
};

struct ReportLine {
    QDateTime date;
    std::array<ReportCell, ReportCriteria::LineCount> values;
};

struct Report {
    ReportCriteria criteria;
    QList<ReportLine> lines; // by date, lines of the same date in the members' order
    // One per value line: attribute 1, the operator's title and attribute 2; empty for a
    // line not in use.
    std::array<QString, ReportCriteria::LineCount> titles;

    // There is something to show: a complete line and at least one file.
    bool available() const { return criteria.hasCompleteLine() && !lines.isEmpty(); }
};

struct ReportSources {
    // The moment the report is made; the date window ends with its day.
    QDateTime now;
    // The date of a member's line; none leaves the member out.
    std::function<std::optional<QDateTime>(const IndexItem&)> dateOf;
    // The member's attribute entries; by default its "CustomAttributes".
    std::function<QList<AttributeEntry>(const IndexItem&)> attributesOf;
};

Report produceReportLinesAndHeaders(const ReportCriteria& criteria, const QList<const IndexItem*>& members,
                                    const ReportSources& sources);

// The title of a value column.
QString reportColumnTitle(const ReportValueLine& line);

// A value the way a report reads it: the leading number (white space before it skipped,
// the same under every locale), and whether the whole value is that number (else it is text).
struct ReportNumber {
    double value = 0.0;
    bool isText = false;
};
ReportNumber readReportNumber(QStringView text);
// A number with `places` decimals, under every locale "12.50"; the infinite value of a
// division by zero reads "inf" ("-inf"), no number at all "nan".
QString formatReportNumber(double value, int places);

// The date column's text for `format` (month names from `locale`).
QString reportDateText(const QDateTime& date, ReportDateFormat format, bool european,
                       const QLocale& locale = QLocale());

// The date of a file's report line: its "EndDate", else the modification time of its stored
// file (plain, then each enciphered form); none when it has neither.
std::optional<QDateTime> dateForReportSmartFile(const MyDocument& doc, const IndexItem& item);
// Sources reading the database's files at `now`.
ReportSources documentReportSources(const MyDocument& doc, const QDateTime& now);

} // namespace folivo
