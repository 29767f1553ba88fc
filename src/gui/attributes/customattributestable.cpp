#include "customattributestable.h"

#include "attributesmessages.h"
#include "commandmodule.h"

#include "attributes/customattributes.h"
#include "store/indexitem.h"
#include "store/mydocument.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QValidator>

#include <algorithm>

namespace folivo::gui {

namespace {

// Refuses text that begins no name; an empty field is fine (it deletes the row).
class NameValidator : public QValidator {
public:
    NameValidator(QStringList names, QObject* parent) : QValidator(parent), names_(std::move(names)) {}
    State validate(QString& input, int&) const override
    {
        if (input.isEmpty())
            return Acceptable;
        const auto completed = completeAttributeName(names_, input);
        if (!completed)
            return Invalid;
        return *completed == input ? Acceptable : Intermediate;
    }
    void fixup(QString& input) const override
    {
        if (const auto completed = completeAttributeName(names_, input))
            input = *completed;
    }

private:
    QStringList names_;
};

// The name column's editor: a combo box of the database's names whose field completes what
// is typed to the first name it begins, the completed part selected so typing goes on.
class NameDelegate : public QStyledItemDelegate {
public:
    NameDelegate(std::function<QStringList()> names, QObject* parent)
        : QStyledItemDelegate(parent), names_(std::move(names))
    {
    }
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        auto* box = new QComboBox(parent);
        box->setObjectName(QStringLiteral("attributeNameEditor"));
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        const QStringList names = names_();
        box->addItems(names);
        box->setCompleter(nullptr);
        QLineEdit* line = box->lineEdit();
        line->setValidator(new NameValidator(names, line));
        auto typed = std::make_shared<int>(0);
        QObject::connect(line, &QLineEdit::textEdited, line, [line, names, typed](const QString& text) {
            // Only while the text grows: a deletion must stay possible.
            const bool grew = text.size() > *typed;
            *typed = int(text.size());
            if (!grew || text.isEmpty())
                return;
            const auto completed = completeAttributeName(names, text);
            if (!completed || *completed == text)
                return;
            const int at = line->cursorPosition();
            line->setText(*completed);
            line->setSelection(int(completed->size()), at - int(completed->size()));
        });
        return box;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        auto* box = static_cast<QComboBox*>(editor);
        box->setEditText(index.data(Qt::EditRole).toString());
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        auto* box = static_cast<QComboBox*>(editor);
        QString text = box->currentText();
        if (!text.isEmpty()) {
            const auto completed = completeAttributeName(names_(), text);
            text = completed ? *completed : index.data(Qt::EditRole).toString();
        }
        model->setData(index, text, Qt::EditRole);
    }

private:
    std::function<QStringList()> names_;
};

} // namespace

CustomAttributesTable::CustomAttributesTable(WindowContext& window, QWidget* parent)
    : QWidget(parent),
      window_(window),
      table_(new QTableWidget(0, 2, this)),
      add_(new QPushButton(attrmsg::AddAttribute, this)),
      delete_(new QPushButton(attrmsg::DeleteAttribute, this))
{
    setObjectName(QStringLiteral("customAttributesTable"));
    table_->setObjectName(QStringLiteral("customAttributesGrid"));
    table_->setHorizontalHeaderLabels({attrmsg::AttributeNameColumn, attrmsg::AttributeValueColumn});
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->verticalHeader()->hide();
    // A line of text per row: the table sits in a small area.
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 8);
    // At least two rows show without scrolling.
    table_->setMinimumHeight(table_->horizontalHeader()->sizeHint().height()
                             + 2 * table_->verticalHeader()->defaultSectionSize() + 2 * table_->frameWidth());
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setItemDelegateForColumn(NameColumn, new NameDelegate([this] { return names(); }, table_));
    table_->setToolTip(attrmsg::CustomAttributesToolTip);
    add_->setObjectName(QStringLiteral("customAttributesAdd"));
    delete_->setObjectName(QStringLiteral("customAttributesDelete"));

    auto* remove = new QAction(this);
    remove->setShortcuts({QKeySequence::Delete, QKeySequence(Qt::Key_Backspace)});
    remove->setShortcutContext(Qt::WidgetShortcut);
    table_->addAction(remove);
    connect(remove, &QAction::triggered, this, &CustomAttributesTable::deleteSelectedRows);

    // The buttons beside the table: the area is short and the table wants its height.
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(add_);
    buttons->addWidget(delete_);
    buttons->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(table_, 1);
    layout->addLayout(buttons);

    connect(add_, &QPushButton::clicked, this, &CustomAttributesTable::addRow);
    connect(delete_, &QPushButton::clicked, this, &CustomAttributesTable::deleteSelectedRows);
    connect(table_, &QTableWidget::itemChanged, this, &CustomAttributesTable::cellChanged);
    connect(table_, &QTableWidget::itemSelectionChanged, this, &CustomAttributesTable::updateButtons);
    showItem({}, false);
}

QStringList CustomAttributesTable::names() const
{
    MyDocument& doc = window_.document();
    return doc.dbOpen() ? doc.customAttributeNames() : QStringList();
}

void CustomAttributesTable::showItem(const QString& path, bool editable)
{
    path_ = path;
    editable_ = editable;
    reload();
}

void CustomAttributesTable::reload()
{
    loading_ = true;
    MyDocument& doc = window_.document();
    const IndexItem* item = path_.isEmpty() || !doc.dbOpen() ? nullptr : doc.tree().itemForPath(path_);
    const QList<AttributeEntry> entries = item ? customAttributesOf(*item) : QList<AttributeEntry>{};
    const bool changeable = item && editable_ && doc.canChange() && canCarryCustomAttributes(*item);
    table_->clearSelection();
    table_->setRowCount(int(entries.size()));
    for (int row = 0; row < entries.size(); ++row) {
        for (int column : {NameColumn, ValueColumn}) {
            auto* cell = new QTableWidgetItem(column == NameColumn ? entries[row].name : entries[row].value);
            Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
            if (changeable)
                flags |= Qt::ItemIsEditable;
            cell->setFlags(flags);
            table_->setItem(row, column, cell);
        }
    }
    // Rows can be chosen only while attributes can be added.
    const bool canAdd = changeable && !names().isEmpty();
    table_->setSelectionMode(canAdd ? QAbstractItemView::ExtendedSelection : QAbstractItemView::NoSelection);
    table_->setEditTriggers(changeable ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                                             | QAbstractItemView::AnyKeyPressed
                                       : QAbstractItemView::NoEditTriggers);
    add_->setEnabled(canAdd);
    loading_ = false;
    updateButtons();
}

void CustomAttributesTable::updateButtons()
{
    delete_->setEnabled(add_->isEnabled() && !table_->selectionModel()->selectedRows().isEmpty());
}

void CustomAttributesTable::cellChanged(QTableWidgetItem* item)
{
    if (loading_)
        return;
    const int row = item->row();
    const int column = item->column();
    const QString text = item->text();
    // The table is rebuilt after the edit is stored; not while its editor is still closing.
    QPointer<CustomAttributesTable> self(this);
    QTimer::singleShot(0, this, [self, row, column, text] {
        if (!self)
            return;
        if (column == NameColumn)
            self->commitName(row, text);
        else
            self->commitValue(row, text);
    });
}

void CustomAttributesTable::commitName(int row, const QString& name)
{
    QList<int> selected;
    for (const QModelIndex& i : table_->selectionModel()->selectedRows())
        selected << i.row();
    setCustomAttributeName(window_.document(), path_, row, name, selected);
    reload();
}

void CustomAttributesTable::commitValue(int row, const QString& value)
{
    setCustomAttributeValue(window_.document(), path_, row, value);
    reload();
}

void CustomAttributesTable::addRow()
{
    if (!add_->isEnabled())
        return;
    const int row = addCustomAttributeRow(window_.document(), path_);
    reload();
    if (row < 0 || row >= table_->rowCount())
        return;
    table_->selectRow(row);
    table_->setCurrentCell(row, NameColumn);
    table_->setFocus();
    table_->editItem(table_->item(row, NameColumn));
}

void CustomAttributesTable::deleteSelectedRows()
{
    if (!add_->isEnabled())
        return;
    QList<int> rows;
    for (const QModelIndex& i : table_->selectionModel()->selectedRows())
        rows << i.row();
    if (rows.isEmpty())
        return;
    // An editor still open would store into a row that is gone: it closes unstored.
    loading_ = true;
    table_->setCurrentIndex(QModelIndex());
    loading_ = false;
    deleteCustomAttributeRows(window_.document(), path_, rows);
    reload();
}

} // namespace folivo::gui
