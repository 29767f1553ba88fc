#pragma once
// A report as comma-separated values that spreadsheets read as they are meant (RFC 4180):
// every field quoted with quotes doubled, CRLF between records, one field for every column
// kept in both the header and every row, in one order. Numbers are written the same under
// every locale, dates with their offset from UTC, and text that a spreadsheet would run as
// a formula is kept as text.

#include "reports/report.h"
#include "util/result.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace folivo {

// Column 0 is the date, columns 1 to 4 the value lines; the table's own order.
QList<int> defaultReportColumnOrder();
// The title of a column of the table (0: the date).
QString reportTableTitle(const Report& report, int column);
// The columns that go into the CSV, in `order`: the date and every value column whose
// title is neither "" nor " "; a column named twice or outside 0-4 is left out.
QList<int> keptReportColumns(const Report& report, const QList<int>& order);

// The date of a line: "2024-03-31 00:00:00 +0200", in the time zone the date is given in.
QString csvDateText(const QDateTime& date);
// One field, quoted; a text beginning with "=", "+", "-", "@", a tab or a carriage return
// gets an apostrophe before it.
QString csvField(const QString& text, bool number);

QByteArray reportCsv(const Report& report, const QList<int>& order = defaultReportColumnOrder());
// Writes the CSV to `path` (absolute), atomically.
Result<void> exportReportToFile(const Report& report, const QString& path,
                                const QList<int>& order = defaultReportColumnOrder());

} // namespace folivo
