#pragma once
// The report of a smart folder in place of the viewer: its title over a table of one line
// per file, the date first and then the value columns. Columns can be moved; the CSV follows
// the order they are shown in.

#include "reports/report.h"

#include <QAbstractTableModel>
#include <QWidget>

class QLabel;
class QTableView;

namespace folivo::gui {

class ReportModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void setReport(Report report, bool european);
    const Report& report() const { return report_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    Report report_;
    bool european_ = false;
};

class ReportView : public QWidget {
    Q_OBJECT
public:
    static inline const QString PageName = QStringLiteral("report");

    explicit ReportView(QWidget* parent = nullptr);
    // Shows `report` of the folder `name`; columns without a title are hidden.
    void showReport(const QString& name, Report report, bool european);
    void clear();
    const Report& report() const { return model_->report(); }
    QString folderName() const { return name_; }
    // The columns as they are shown, left to right (hidden ones included).
    QList<int> displayedOrder() const;

    QTableView* table() const { return table_; }
    QLabel* title() const { return title_; }

private:
    QString name_;
    QLabel* title_;
    QTableView* table_;
    ReportModel* model_;
};

} // namespace folivo::gui
