#include "reports/reportcsv.h"

#include "reports/messages.h"
#include "util/fs.h"

#include <cstdlib>

namespace folivo {

QList<int> defaultReportColumnOrder()
{
    return {0, 1, 2, 3, 4};
}

QString reportTableTitle(const Report& report, int column)
{
    if (column == 0)
        return reportmsg::DateColumn;
    if (column >= 1 && column <= ReportCriteria::LineCount)
        return report.titles[std::size_t(column - 1)];
    return {};
}

QList<int> keptReportColumns(const Report& report, const QList<int>& order)
{
    QList<int> kept;
    for (int column : order) {
        if (column < 0 || column > ReportCriteria::LineCount || kept.contains(column))
            continue;
        const QString title = reportTableTitle(report, column);
        if (title.isEmpty() || title == QLatin1String(" "))
            continue;
        kept.push_back(column);
    }
    return kept;
}

QString csvDateText(const QDateTime& date)
{
    const int offset = date.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return date.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) + (offset < 0 ? u'-' : u'+') +
           QStringLiteral("%1%2").arg(minutes / 60, 2, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString csvField(const QString& text, bool number)
{
    QString field = text;
    if (!number && !field.isEmpty()) {
        const QChar c = field.front();
        if (c == u'=' || c == u'+' || c == u'-' || c == u'@' || c == u'\t' || c == u'\r')
            field.prepend(u'\'');
    }
    field.replace(u'"', QStringLiteral("\"\""));
    return u'"' + field + u'"';
}

QByteArray reportCsv(const Report& report, const QList<int>& order)
{
    const QList<int> columns = keptReportColumns(report, order);
    QString text;
    const auto record = [&](const auto& fieldOf) {
        for (qsizetype i = 0; i < columns.size(); ++i) {
            if (i > 0)
                text += u',';
            text += fieldOf(columns[i]);
        }
        text += QStringLiteral("\r\n");
    };
    record([&](int column) { return csvField(reportTableTitle(report, column), false); });
    for (const ReportLine& line : report.lines)
        record([&](int column) {
            if (column == 0)
                return csvField(csvDateText(line.date), true);
            const ReportCell& cell = line.values[std::size_t(column - 1)];
            return csvField(cell.text, cell.number);
        });
    return text.toUtf8();
}

Result<void> exportReportToFile(const Report& report, const QString& path, const QList<int>& order)
{
    if (!fs::writeFileAtomic(path, reportCsv(report, order)))
        return Error{ErrorCode::DiskError, QStringLiteral("Writing report"), path, fs::lastError()};
    return {};
}

} // namespace folivo
