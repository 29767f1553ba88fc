#include "reminderlist.h"

#include "commandmodule.h"
#include "remindersmessages.h"

#include "filing/filingrules.h"
#include "prefs/ktprefs.h"
#include "prefs/prefkeys.h"
#include "reminders/reminders.h"
#include "store/indexitem.h"
#include "store/mydocument.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace folivo::gui {

ReminderList::ReminderList(WindowContext& window, QWidget* parent)
    : QWidget(parent),
      window_(window),
      title_(new QLabel(remindermsg::DueTitle, this)),
      toggle_(new QPushButton(remindermsg::ShowAll, this)),
      table_(new QTableWidget(0, 2, this))
{
    setObjectName(QStringLiteral("reminderList"));
    table_->setObjectName(QStringLiteral("reminderTable"));
    table_->setHorizontalHeaderLabels({remindermsg::DoneColumn, remindermsg::ReminderColumn});
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->horizontalHeader()->hide();
    table_->verticalHeader()->hide();
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setShowGrid(false);
    toggle_->setObjectName(QStringLiteral("reminderToggle"));
    toggle_->setFlat(true);

    auto* header = new QHBoxLayout;
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    header->addWidget(title_);
    header->addStretch(1);
    header->addWidget(toggle_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 0);
    layout->addLayout(header);
    layout->addWidget(table_);

    connect(toggle_, &QPushButton::clicked, this, [this] { setShowingAll(!showAll_); });
    connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (!filling_ && item->column() == 0)
            ticked(item->row(), item->checkState() == Qt::Checked);
    });
    connect(table_, &QTableWidget::itemSelectionChanged, this, &ReminderList::selectionChanged);
    connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        if (row >= 0 && row < folders_.size())
            emit folderActivated(folders_.at(row));
    });
    hide();
}

void ReminderList::setShowingAll(bool all)
{
    showAll_ = all;
    refresh();
}

int ReminderList::visibleRows() const
{
    const int rows = table_->rowCount();
    if (!showAll_ || rows < 6)
        return rows;
    const KTPrefs* prefs = window_.preferences();
    const int wanted = prefs ? int(prefs->integerForKey(prefkeys::MaxFutureReminders)) : 0;
    return std::min(rows, wanted < 6 ? 5 : wanted);
}

void ReminderList::refresh()
{
    MyDocument& doc = window_.document();
    const QString selected = window_.selectedReminder();
    filling_ = true;
    table_->clearContents();
    folders_.clear();
    const bool open = doc.dbOpen();
    Reminders& reminders = doc.reminders();
    const std::vector<IndexItem*> none;
    const std::vector<IndexItem*>& rows = !open ? none : showAll_ ? reminders.all() : reminders.current();
    const bool writable = open && doc.canChange();
    const bool european = FilingPreferences::from(window_.preferences()).europeanDates;
    table_->setRowCount(int(rows.size()));
    int selectRow = -1;
    for (int i = 0; i < int(rows.size()); ++i) {
        const IndexItem* folder = rows[std::size_t(i)];
        const std::optional<ReminderDefinition> definition = Reminders::definitionOf(*folder);
        const std::optional<QDate> due = Reminders::dueDateOf(*folder);
        auto* box = new QTableWidgetItem;
        // Only a due reminder can be ticked off.
        if (reminders.isDue(*folder)) {
            box->setFlags(writable ? Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable
                                   : Qt::ItemIsUserCheckable);
            box->setCheckState(Reminders::checkedOf(*folder) ? Qt::Checked : Qt::Unchecked);
            box->setToolTip(remindermsg::TickToolTip);
        } else {
            box->setFlags(writable ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags);
        }
        auto* text = new QTableWidgetItem(
            reminderRowText(due.value_or(QDate()), folder->path(), definition.value_or(ReminderDefinition{}), european));
        text->setFlags(writable ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::ItemIsEnabled);
        table_->setItem(i, 0, box);
        table_->setItem(i, 1, text);
        folders_ << folder->path();
        if (folder->path() == selected)
            selectRow = i;
    }
    filling_ = false;
    if (selectRow >= 0 && writable)
        table_->selectRow(selectRow);
    else
        window_.setSelectedReminder({});
    title_->setText(showAll_ ? remindermsg::AllTitle : remindermsg::DueTitle);
    toggle_->setText(showAll_ ? remindermsg::ShowDue : remindermsg::ShowAll);
    const int n = visibleRows();
    const int rowHeight = table_->verticalHeader()->defaultSectionSize();
    table_->setFixedHeight(n == 0 ? 0 : (rowHeight + 2) * n + 3);
    table_->setVisible(n > 0);
    setVisible(open && !reminders.all().empty());
}

void ReminderList::ticked(int row, bool checked)
{
    if (row < 0 || row >= folders_.size())
        return;
    MyDocument& doc = window_.document();
    if (IndexItem* folder = doc.tree().itemForPath(folders_.at(row)))
        doc.reminders().setChecked(*folder, checked);
}

void ReminderList::selectionChanged()
{
    if (filling_)
        return;
    const QList<QTableWidgetSelectionRange> ranges = table_->selectedRanges();
    const int row = ranges.isEmpty() ? -1 : ranges.first().topRow();
    window_.setSelectedReminder(row >= 0 && row < folders_.size() ? folders_.at(row) : QString());
}

} // namespace folivo::gui
