#include "autotagdialog.h"

#include "tagsmessages.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace folivo::gui {

AutoTagDialog::AutoTagDialog(const AutoTagSettings& settings, QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      prefixes_(settings.prefixes),
      table_(new QTableWidget(0, 1, this)),
      add_(new QPushButton(tagmsg::AddPrefix, this)),
      delete_(new QPushButton(tagmsg::DeletePrefix, this)),
      separator_(new QComboBox(this)),
      error_(new QLabel(this))
{
    setObjectName(QStringLiteral("autoTaggingDialog"));
    setWindowTitle(tagmsg::DialogTitle);
    setWindowModality(Qt::WindowModal);

    auto* explanation = new QLabel(tagmsg::DialogExplanation, this);
    explanation->setWordWrap(true);
    error_->setObjectName(QStringLiteral("autoTaggingPrefixErrorMsg"));
    error_->setWordWrap(true);
    error_->setStyleSheet(QStringLiteral("color: #b00020;"));
    error_->hide();

    table_->setObjectName(QStringLiteral("autoTaggingPrefixTable"));
    table_->setHorizontalHeaderLabels({tagmsg::PrefixColumn});
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->verticalHeader()->hide();
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                            | QAbstractItemView::AnyKeyPressed);

    add_->setObjectName(QStringLiteral("autoTaggingAddButton"));
    delete_->setObjectName(QStringLiteral("autoTaggingDeleteButton"));
    delete_->setShortcut(QKeySequence::Delete);
    separator_->setObjectName(QStringLiteral("autoTaggingSeparatorPopup"));
    separator_->addItems({tagmsg::Comma, tagmsg::Semicolon, tagmsg::Space});
    separator_->setCurrentIndex(std::clamp(settings.separator, 0, 2));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add_);
    buttons->addWidget(delete_);
    buttons->addStretch(1);
    auto* sepLabel = new QLabel(tagmsg::Separator, this);
    sepLabel->setBuddy(separator_);
    buttons->addWidget(sepLabel);
    buttons->addWidget(separator_);

    auto* done = new QDialogButtonBox(this);
    QPushButton* doneButton = done->addButton(tagmsg::Done, QDialogButtonBox::AcceptRole);
    doneButton->setObjectName(QStringLiteral("autoTaggingDoneButton"));
    doneButton->setAutoDefault(false);
    done->addButton(QDialogButtonBox::Cancel);
    connect(done, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(done, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addWidget(error_);
    layout->addWidget(table_, 1);
    layout->addLayout(buttons);
    layout->addWidget(done);
    resize(420, 360);

    connect(add_, &QPushButton::clicked, this, &AutoTagDialog::addPrefix);
    connect(delete_, &QPushButton::clicked, this, &AutoTagDialog::deleteSelected);
    connect(table_, &QTableWidget::itemChanged, this, &AutoTagDialog::edited);
    connect(table_, &QTableWidget::itemSelectionChanged, this,
            [this] { delete_->setEnabled(!selectedRows().isEmpty()); });
    reload();
}

AutoTagSettings AutoTagDialog::settings() const
{
    AutoTagSettings out = settings_;
    out.prefixes.clear();
    for (const QString& p : prefixes_)
        if (!p.isEmpty() && !out.prefixes.contains(p))
            out.prefixes << p;
    out.separator = separator_->currentIndex();
    return out;
}

void AutoTagDialog::addPrefix()
{
    showError({});
    const int row = addPrefixRow(prefixes_);
    reload();
    table_->setCurrentCell(row, 0);
    table_->editItem(table_->item(row, 0));
}

void AutoTagDialog::deleteSelected()
{
    showError({});
    deletePrefixRows(prefixes_, selectedRows());
    reload();
}

void AutoTagDialog::reload()
{
    loading_ = true;
    table_->clearSelection();
    table_->setRowCount(int(prefixes_.size()));
    for (int i = 0; i < prefixes_.size(); ++i) {
        auto* item = new QTableWidgetItem(prefixes_.at(i));
        table_->setItem(i, 0, item);
    }
    delete_->setEnabled(false);
    loading_ = false;
}

void AutoTagDialog::edited(QTableWidgetItem* item)
{
    if (loading_ || !item)
        return;
    const PrefixEdit result = editPrefixRow(prefixes_, item->row(), item->text(), selectedRows());
    showError(result.error);
    // The table is rebuilt after the edit has finished: the item belongs to the editor still.
    QTimer::singleShot(0, this, [this] { reload(); });
}

QList<int> AutoTagDialog::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows())
        rows << index.row();
    return rows;
}

void AutoTagDialog::showError(const QString& text)
{
    error_->setText(text);
    error_->setVisible(!text.isEmpty());
}

} // namespace folivo::gui
