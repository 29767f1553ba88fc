#include "customattributesdialog.h"

#include "attributesmessages.h"
#include "commandmodule.h"
#include "database/qtdocumentui.h"

#include "attributes/customattributes.h"
#include "attributes/messages.h"
#include "prefs/ktprefs.h"
#include "store/mydocument.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace folivo::gui {

CustomAttributesDialog::CustomAttributesDialog(WindowContext& window, QWidget* parent)
    : QDialog(parent),
      window_(window),
      names_(window.document().customAttributeNames()),
      table_(new QTableWidget(0, 1, this)),
      new_(new QPushButton(attrmsg::NewAttributeName, this)),
      delete_(new QPushButton(attrmsg::DeleteAttributeName, this)),
      error_(new QLabel(this))
{
    setObjectName(QStringLiteral("customAttributesDialog"));
    setWindowTitle(attributesmsg::CustomAttributesTitle);
    table_->setObjectName(QStringLiteral("customAttributeNames"));
    table_->setHorizontalHeaderLabels({attrmsg::AttributeNameColumn});
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->verticalHeader()->hide();
    // A line of text per row: the table sits in a small area.
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 8);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                            | QAbstractItemView::AnyKeyPressed);
    new_->setObjectName(QStringLiteral("newAttributeName"));
    delete_->setObjectName(QStringLiteral("deleteAttributeName"));
    new_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    error_->setObjectName(QStringLiteral("nameErrorMsg"));
    error_->setStyleSheet(QStringLiteral("color: #b00020;"));
    error_->setWordWrap(true);
    error_->hide();

    auto* remove = new QAction(this);
    remove->setShortcuts({QKeySequence::Delete, QKeySequence(Qt::Key_Backspace)});
    remove->setShortcutContext(Qt::WidgetShortcut);
    table_->addAction(remove);
    connect(remove, &QAction::triggered, this, &CustomAttributesDialog::deleteSelectedAttributeNames);

    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(new_);
    buttons->addWidget(delete_);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(error_);
    layout->addWidget(table_, 1);
    layout->addLayout(buttons);
    resize(320, 360);

    connect(new_, &QPushButton::clicked, this, &CustomAttributesDialog::newAttributeName);
    connect(delete_, &QPushButton::clicked, this, &CustomAttributesDialog::deleteSelectedAttributeNames);
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(table_, &QTableWidget::itemChanged, this, &CustomAttributesDialog::cellChanged);
    connect(table_, &QTableWidget::itemSelectionChanged, this,
            [this] { delete_->setEnabled(!table_->selectionModel()->selectedRows().isEmpty()); });
    reload(-1);
}

void CustomAttributesDialog::run(WindowContext& window)
{
    CustomAttributesDialog dialog(window, window.window());
    dialog.setWindowModality(Qt::WindowModal);
    MyDocument::BusyScope busy(window.document());
    dialog.exec();
}

void CustomAttributesDialog::reload(int selectRow)
{
    loading_ = true;
    table_->setRowCount(int(names_.size()));
    for (int row = 0; row < names_.size(); ++row)
        table_->setItem(row, 0, new QTableWidgetItem(names_.at(row)));
    table_->clearSelection();
    if (selectRow >= 0 && selectRow < table_->rowCount()) {
        table_->selectRow(selectRow);
        table_->scrollToItem(table_->item(selectRow, 0));
    }
    delete_->setEnabled(!table_->selectionModel()->selectedRows().isEmpty());
    loading_ = false;
}

void CustomAttributesDialog::showError(const QString& text)
{
    error_->setText(text);
    error_->setVisible(!text.isEmpty());
}

void CustomAttributesDialog::newAttributeName()
{
    names_ << QString();
    const int row = int(names_.size()) - 1;
    reload(row);
    table_->setCurrentCell(row, 0);
    table_->setFocus();
    table_->editItem(table_->item(row, 0));
}

void CustomAttributesDialog::cellChanged(QTableWidgetItem* item)
{
    if (loading_)
        return;
    const int row = item->row();
    const QString text = item->text();
    // Closing: the row being typed is stored before the list is.
    if (closing_) {
        editRow(row, text);
        return;
    }
    // The table is rebuilt once its editor has closed.
    QPointer<CustomAttributesDialog> self(this);
    QTimer::singleShot(0, this, [self, row, text] {
        if (self)
            self->editRow(row, text);
    });
}

void CustomAttributesDialog::editRow(int row, const QString& text)
{
    MyDocument& doc = window_.document();
    const NameEdit edit = editAttributeNameRow(names_, row, text);
    showError(edit.error);
    switch (edit.action) {
    case NameEdit::Action::None:
        reload(edit.row);
        return;
    case NameEdit::Action::Inserted:
        store();
        reload(edit.row);
        return;
    case NameEdit::Action::Renamed:
        customAttributeRename(doc, edit.from, edit.to, window_.preferences());
        store();
        reload(edit.row);
        return;
    case NameEdit::Action::DeleteRow: {
        QList<int> rows;
        for (const QModelIndex& i : table_->selectionModel()->selectedRows())
            rows << i.row();
        if (!rows.contains(row))
            rows << row;
        deleteRows(rows);
        return;
    }
    }
}

void CustomAttributesDialog::deleteSelectedAttributeNames()
{
    QList<int> rows;
    for (const QModelIndex& i : table_->selectionModel()->selectedRows())
        rows << i.row();
    deleteRows(rows);
}

void CustomAttributesDialog::deleteRows(QList<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    MyDocument& doc = window_.document();
    bool changed = false;
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        if (*it < 0 || *it >= names_.size())
            continue;
        const QString name = names_.at(*it);
        if (!name.isEmpty() && customAttributeNameInUse(doc, name)) {
            // Asked over the editor, not over the window behind it.
            const Prompt question = deleteAttributeNameQuestion(name);
            QMessageBox box(this);
            box.setWindowModality(Qt::WindowModal);
            const QList<QAbstractButton*> buttons = setUpQuestion(box, question);
            box.exec();
            if (answerOf(box, buttons) != question.buttonFor(YesAnswer))
                continue;
        }
        if (!name.isEmpty())
            customAttributeNameDelete(doc, name, window_.preferences());
        names_.removeAt(*it);
        changed = true;
    }
    if (changed)
        store();
    reload(-1);
}

void CustomAttributesDialog::store()
{
    MyDocument& doc = window_.document();
    if (!doc.canChange())
        return;
    QStringList kept = names_;
    deleteBlankAttributeNames(kept);
    doc.customAttributes().setNames(doc, kept);
    // Written at once: the attributes files already carry what was renamed or deleted.
    if (doc.customAttributes().changed(doc))
        doc.customAttributes().write(doc);
}

void CustomAttributesDialog::done(int result)
{
    // A row still being typed is stored first; a row left empty goes.
    closing_ = true;
    // Leaving the cell commits what its editor holds.
    table_->setCurrentIndex(QModelIndex());
    deleteBlankAttributeNames(names_);
    store();
    QDialog::done(result);
}

} // namespace folivo::gui
