#pragma once
// The report definition a smart folder keeps under "ReportCriteria": four value lines (one
// attribute, or two joined by an operator), which files by date, the number of decimal
// places and the format of the date column. Read leniently from whatever the record holds
// and written back over it, so that keys another edition adds survive.

#include "plist/value.h"

#include <QString>
#include <array>

namespace folivo {

class IndexItem;
class MyDocument;

namespace reportkeys {
inline const QString ReportCriteria = QStringLiteral("ReportCriteria");
inline const QString Values = QStringLiteral("values");
inline const QString DisplayDates = QStringLiteral("reportDisplayDates");
inline const QString Precision = QStringLiteral("reportDisplayPrecision");
inline const QString DateFormat = QStringLiteral("reportDisplayDateFormat");
inline const QString Attribute1 = QStringLiteral("attribute1");
inline const QString Operator = QStringLiteral("operator");
inline const QString Attribute2 = QStringLiteral("attribute2");
} // namespace reportkeys

enum class ReportOperator { None = 0, Add = 1, Subtract = 2, Multiply = 3, Divide = 4 };

struct ReportValueLine {
    QString attribute1;
    ReportOperator op = ReportOperator::None;
    QString attribute2; // empty when the operator is none

    // Names its first attribute and, with an operator, its second.
    bool complete() const
    {
        return !attribute1.isEmpty() && (op == ReportOperator::None || !attribute2.isEmpty());
    }
    bool operator==(const ReportValueLine&) const = default;
};

// Which files a report lists, by their date.
enum class ReportDates { All = 0, LastYear = 1, LastTwoYears = 2 };
// The format of the date column: "MMM yyyy", the long-year date format, "yyyy".
enum class ReportDateFormat { MonthYear = 0, LongYear = 1, Year = 2 };

struct ReportCriteria {
    static constexpr int LineCount = 4;
    static constexpr int MaxPrecision = 15;

    std::array<ReportValueLine, LineCount> values;
    ReportDates dates = ReportDates::All;
    int precision = 2;
    ReportDateFormat dateFormat = ReportDateFormat::MonthYear;

    // At least one line can be computed: without one there is no report.
    bool hasCompleteLine() const;
    bool operator==(const ReportCriteria&) const = default;

    // A stored record; what is missing or of the wrong type takes the default, numbers out
    // of range are brought into it (an unknown operator counts as none).
    static ReportCriteria fromValue(const plist::Value* stored);
    // Written over `base` (the record as stored), so that keys this version does not know stay.
    plist::Dict toDict(plist::Dict base = {}) const;
};

// The folder's definition, or the defaults when it has none.
ReportCriteria reportCriteriaOf(const IndexItem& folder);

// Stores `criteria` on the smart folder at `folderPath` when they differ from what it keeps:
// the folder's attributes file is written and the database marked changed. False when
// nothing was stored (the same definition, no such smart folder, a database that cannot
// change, or a disk error, which is reported).
bool storeReportCriteria(MyDocument& doc, const QString& folderPath, const ReportCriteria& criteria);

} // namespace folivo
