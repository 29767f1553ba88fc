#include "reports/reportcriteria.h"

#include "reports/messages.h"
#include "store/indexitem.h"
#include "store/mydocument.h"

#include <algorithm>

namespace folivo {

namespace {

QString stringIn(const plist::Dict& d, const QString& key)
{
    const plist::Value* v = d.find(key);
    return v && v->isString() ? v->string() : QString();
}

std::int64_t intIn(const plist::Dict& d, const QString& key, std::int64_t fallback)
{
    const plist::Value* v = d.find(key);
    return v && v->isNumber() ? v->toInt(fallback) : fallback;
}

} // namespace

bool ReportCriteria::hasCompleteLine() const
{
    return std::any_of(values.begin(), values.end(), [](const ReportValueLine& l) { return l.complete(); });
}

ReportCriteria ReportCriteria::fromValue(const plist::Value* stored)
{
    ReportCriteria c;
    if (!stored || !stored->isDict())
        return c;
    const plist::Dict& d = stored->dict();
    if (const plist::Value* lines = d.find(reportkeys::Values); lines && lines->isArray()) {
        // Four lines are stored; a record from elsewhere may hold more, which are no columns.
        const plist::Array& a = lines->array();
        for (std::size_t i = 0; i < a.size() && i < std::size_t(LineCount); ++i) {
            if (!a[i].isDict())
                continue;
            const plist::Dict& line = a[i].dict();
            ReportValueLine& l = c.values[i];
            l.attribute1 = stringIn(line, reportkeys::Attribute1);
            l.attribute2 = stringIn(line, reportkeys::Attribute2);
            const std::int64_t op = intIn(line, reportkeys::Operator, 0);
            l.op = op >= 1 && op <= 4 ? ReportOperator(op) : ReportOperator::None;
        }
    }
    const std::int64_t dates = intIn(d, reportkeys::DisplayDates, 0);
    c.dates = dates >= 0 && dates <= 2 ? ReportDates(dates) : ReportDates::All;
    c.precision = int(std::clamp<std::int64_t>(intIn(d, reportkeys::Precision, 2), 0, MaxPrecision));
    const std::int64_t format = intIn(d, reportkeys::DateFormat, 0);
    c.dateFormat = format >= 0 && format <= 2 ? ReportDateFormat(format) : ReportDateFormat::MonthYear;
    return c;
}

plist::Dict ReportCriteria::toDict(plist::Dict base) const
{
    plist::Array lines;
    const plist::Value* old = base.find(reportkeys::Values);
    for (int i = 0; i < LineCount; ++i) {
        plist::Dict line;
        if (old && old->isArray() && std::size_t(i) < old->array().size() && old->array()[i].isDict())
            line = old->array()[i].dict();
        const ReportValueLine& l = values[std::size_t(i)];
        line.set(reportkeys::Attribute1, l.attribute1);
        line.set(reportkeys::Operator, std::int64_t(l.op));
        line.set(reportkeys::Attribute2, l.op == ReportOperator::None ? QString() : l.attribute2);
        lines.push_back(std::move(line));
    }
    base.set(reportkeys::Values, std::move(lines));
    base.set(reportkeys::DisplayDates, std::int64_t(dates));
    base.set(reportkeys::Precision, std::int64_t(precision));
    base.set(reportkeys::DateFormat, std::int64_t(dateFormat));
    return base;
}

ReportCriteria reportCriteriaOf(const IndexItem& folder)
{
    return ReportCriteria::fromValue(folder.value(reportkeys::ReportCriteria));
}

bool storeReportCriteria(MyDocument& doc, const QString& folderPath, const ReportCriteria& criteria)
{
    if (!doc.canChange())
        return false;
    IndexItem* folder = doc.tree().itemForPath(folderPath);
    if (!folder || !folder->isSmartFolder())
        return false;
    const plist::Value* stored = folder->value(reportkeys::ReportCriteria);
    if (stored && stored->isDict() && ReportCriteria::fromValue(stored) == criteria)
        return false;
    plist::Dict base = stored && stored->isDict() ? stored->dict() : plist::Dict();
    folder->setValue(reportkeys::ReportCriteria, criteria.toDict(std::move(base)));
    if (!doc.writeAttributesFileForItem(folder)) {
        doc.diskError(reportmsg::WritingAttributesStep, folder->path());
        return false;
    }
    doc.changed();
    return true;
}

} // namespace folivo
