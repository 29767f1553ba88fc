#pragma once
// The texts of reports, verbatim.

#include <QString>
#include <QStringList>

namespace folivo::reportmsg {

// The path line: the file a report is written to, or why there is none.
inline const QString CsvName = QStringLiteral("%1.csv");
inline const QString NoReport = QStringLiteral("No Report Available for Selected Smart Folder");
// The title over the report table: the folder's name and "Report".
inline const QString Title = QStringLiteral("%1 %2");
inline const QString Report = QStringLiteral("Report");

// The title of the date column, in the table and the first field of the CSV header.
inline const QString DateColumn = QStringLiteral("Date");
// What stands between the two attribute names of a column title, by operator (none, add,
// subtract, multiply, divide), and the operator menu's entries.
inline const QStringList OperatorTitles = {QString(), QStringLiteral(" + "), QStringLiteral(" - "),
                                           QStringLiteral(" × "), QStringLiteral(" ÷ ")};
inline const QStringList OperatorMenu = {QStringLiteral("none"), QStringLiteral("+"), QStringLiteral("-"),
                                         QStringLiteral("×"), QStringLiteral("÷")};
inline const QStringList DatesMenu = {QStringLiteral("All Dates"), QStringLiteral("Last 365 Days"),
                                      QStringLiteral("Last 730 Days")};
inline const QStringList DateFormatMenu = {QStringLiteral("Month Year"), QStringLiteral("Full Date"),
                                           QStringLiteral("Year")};
inline const QString Warning =
    QStringLiteral("Name an attribute in at least one line, for files of this smart folder that carry it.");

inline const QString WritingAttributesStep = QStringLiteral("Writing attributes file of");

// Exporting.
inline const QString ExportTitle = QStringLiteral("Export Report");
inline const QString LoadingFolder = QStringLiteral("Loading Smart Folder \"%1\" ...");
inline const QString LoadStopped =
    QStringLiteral("The smart folder \"%1\" was not loaded completely, so its report was not exported.");
inline const QString NothingToExport = QStringLiteral("The smart folder \"%1\" has no report to export.");
inline const QString ExportFailed = QStringLiteral("The report could not be written to \"%1\": %2");

} // namespace folivo::reportmsg
