#include "reportview.h"

#include "reports/messages.h"
#include "reports/reportcsv.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

namespace folivo::gui {

void ReportModel::setReport(Report report, bool european)
{
    beginResetModel();
    report_ = std::move(report);
    european_ = european;
    endResetModel();
}

int ReportModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(report_.lines.size());
}

int ReportModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ReportCriteria::LineCount + 1;
}

QVariant ReportModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= report_.lines.size())
        return {};
    const ReportLine& line = report_.lines[index.row()];
    const int column = index.column();
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        if (column == 0)
            return reportDateText(line.date, report_.criteria.dateFormat, european_);
        return line.values[std::size_t(column - 1)].text;
    }
    if (role == Qt::TextAlignmentRole && column > 0 && line.values[std::size_t(column - 1)].number)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant ReportModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return reportTableTitle(report_, section);
}

ReportView::ReportView(QWidget* parent)
    : QWidget(parent), title_(new QLabel(this)), table_(new QTableView(this)), model_(new ReportModel(this))
{
    setObjectName(QStringLiteral("reportView"));
    title_->setObjectName(QStringLiteral("reportTitle"));
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    table_->setObjectName(QStringLiteral("reportTable"));
    table_->setModel(model_);
    table_->horizontalHeader()->setSectionsMovable(true);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->verticalHeader()->setVisible(false);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setAlternatingRowColors(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(title_);
    layout->addWidget(table_, 1);
}

void ReportView::showReport(const QString& name, Report report, bool european)
{
    name_ = name;
    title_->setText(reportmsg::Title.arg(name, reportmsg::Report));
    model_->setReport(std::move(report), european);
    const QList<int> kept = keptReportColumns(model_->report(), defaultReportColumnOrder());
    for (int c = 0; c <= ReportCriteria::LineCount; ++c)
        table_->setColumnHidden(c, !kept.contains(c));
    table_->resizeColumnsToContents();
}

void ReportView::clear()
{
    name_.clear();
    title_->clear();
    model_->setReport({}, false);
}

QList<int> ReportView::displayedOrder() const
{
    QList<int> order;
    const QHeaderView* header = table_->horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual)
        order << header->logicalIndex(visual);
    return order;
}

} // namespace folivo::gui
