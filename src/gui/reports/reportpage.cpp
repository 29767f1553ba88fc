#include "reportpage.h"

#include "reports/messages.h"
#include "store/indexitem.h"
#include "store/mydocument.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

namespace folivo::gui {

namespace {
// The decimal places the menu offers.
constexpr int kMenuPlaces = 6;
} // namespace

ReportPage::ReportPage(MyDocument& doc, QWidget* parent)
    : QWidget(parent),
      doc_(doc),
      dates_(new QComboBox(this)),
      precision_(new QComboBox(this)),
      format_(new QComboBox(this)),
      warning_(new QLabel(reportmsg::Warning, this))
{
    setObjectName(QStringLiteral("reportPage"));
    auto* grid = new QGridLayout;
    for (int i = 0; i < ReportCriteria::LineCount; ++i) {
        Line& l = lines_[std::size_t(i)];
        l.attribute1 = new QComboBox(this);
        l.attribute1->setObjectName(QStringLiteral("reportAttribute1_%1").arg(i + 1));
        l.op = new QComboBox(this);
        l.op->setObjectName(QStringLiteral("reportOperator_%1").arg(i + 1));
        l.op->addItems(reportmsg::OperatorMenu);
        l.attribute2 = new QComboBox(this);
        l.attribute2->setObjectName(QStringLiteral("reportAttribute2_%1").arg(i + 1));
        grid->addWidget(new QLabel(tr("Column %1").arg(i + 1), this), i, 0);
        grid->addWidget(l.attribute1, i, 1);
        grid->addWidget(l.op, i, 2);
        grid->addWidget(l.attribute2, i, 3);
        grid->setColumnStretch(1, 1);
        grid->setColumnStretch(3, 1);
        connect(l.attribute1, &QComboBox::currentIndexChanged, this, [this] { controlChanged(); });
        connect(l.attribute2, &QComboBox::currentIndexChanged, this, [this] { controlChanged(); });
        connect(l.op, &QComboBox::currentIndexChanged, this, [this, i] { operatorChanged(i, true); });
    }
    dates_->setObjectName(QStringLiteral("reportDisplayDates"));
    dates_->addItems(reportmsg::DatesMenu);
    precision_->setObjectName(QStringLiteral("reportDisplayPrecision"));
    for (int p = 0; p <= kMenuPlaces; ++p)
        precision_->addItem(tr("%n decimal place(s)", nullptr, p), p);
    format_->setObjectName(QStringLiteral("reportDisplayDateFormat"));
    format_->addItems(reportmsg::DateFormatMenu);
    for (QComboBox* box : {dates_, precision_, format_})
        connect(box, &QComboBox::currentIndexChanged, this, [this] { controlChanged(); });

    auto* display = new QHBoxLayout;
    display->addWidget(dates_);
    display->addWidget(precision_);
    display->addWidget(format_);
    display->addStretch(1);

    warning_->setObjectName(QStringLiteral("reportWarning"));
    warning_->setWordWrap(true);
    warning_->setStyleSheet(QStringLiteral("color: #b00020;"));
    warning_->setVisible(false);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(display);
    layout->addWidget(warning_);
    layout->addStretch(1);
}

void ReportPage::fillNames(QComboBox* box, const QString& current)
{
    box->clear();
    box->addItem(QString());
    box->addItems(doc_.customAttributeNames());
    // A name the list no longer has (the definition came from elsewhere) still shows.
    if (!current.isEmpty() && box->findText(current, Qt::MatchFixedString | Qt::MatchCaseSensitive) < 0)
        box->addItem(current);
    box->setCurrentIndex(std::max(0, box->findText(current, Qt::MatchFixedString | Qt::MatchCaseSensitive)));
}

void ReportPage::showFolder(const QString& path, bool editable)
{
    folder_ = path;
    editable_ = editable;
    const IndexItem* folder = path.isEmpty() ? nullptr : doc_.tree().itemForPath(path);
    const ReportCriteria c = folder ? reportCriteriaOf(*folder) : ReportCriteria{};
    loading_ = true;
    for (int i = 0; i < ReportCriteria::LineCount; ++i) {
        const Line& l = lines_[std::size_t(i)];
        const ReportValueLine& v = c.values[std::size_t(i)];
        fillNames(l.attribute1, v.attribute1);
        fillNames(l.attribute2, v.op == ReportOperator::None ? QString() : v.attribute2);
        l.op->setCurrentIndex(int(v.op));
        operatorChanged(i, false);
    }
    dates_->setCurrentIndex(int(c.dates));
    precision_->setCurrentIndex(std::min(c.precision, kMenuPlaces));
    if (c.precision > kMenuPlaces) {
        precision_->addItem(tr("%n decimal place(s)", nullptr, c.precision), c.precision);
        precision_->setCurrentIndex(precision_->count() - 1);
    }
    format_->setCurrentIndex(int(c.dateFormat));
    // The controls change what is shown in a database that cannot change too; they are
    // stored only where it can.
    setEnabled(folder != nullptr);
    loading_ = false;
}

ReportCriteria ReportPage::criteria() const
{
    ReportCriteria c;
    for (int i = 0; i < ReportCriteria::LineCount; ++i) {
        const Line& l = lines_[std::size_t(i)];
        ReportValueLine& v = c.values[std::size_t(i)];
        v.attribute1 = l.attribute1->currentText();
        v.op = ReportOperator(std::clamp(l.op->currentIndex(), 0, 4));
        v.attribute2 = v.op == ReportOperator::None ? QString() : l.attribute2->currentText();
    }
    c.dates = ReportDates(std::clamp(dates_->currentIndex(), 0, 2));
    c.precision = std::clamp(precision_->currentData().toInt(), 0, ReportCriteria::MaxPrecision);
    c.dateFormat = ReportDateFormat(std::clamp(format_->currentIndex(), 0, 2));
    return c;
}

void ReportPage::setWarningShown(bool shown)
{
    warning_->setVisible(shown);
}

void ReportPage::operatorChanged(int line, bool focus)
{
    const Line& l = lines_[std::size_t(line)];
    const bool none = l.op->currentIndex() <= 0;
    if (none) {
        // No operator: the second name is emptied and the line computed at once.
        const bool was = loading_;
        loading_ = true;
        l.attribute2->setCurrentIndex(0);
        loading_ = was;
        l.attribute2->setEnabled(false);
        controlChanged();
        return;
    }
    l.attribute2->setEnabled(true);
    if (focus && !loading_)
        l.attribute2->setFocus();
    // An operator alone computes nothing new until its second name is chosen.
    if (!l.attribute2->currentText().isEmpty())
        controlChanged();
}

void ReportPage::controlChanged()
{
    if (loading_ || folder_.isEmpty())
        return;
    if (editable_)
        storeReportCriteria(doc_, folder_, criteria());
    emit criteriaChanged(folder_);
}

} // namespace folivo::gui
