#include "reminderpage.h"

#include "remindersmessages.h"

#include "filing/ktdate.h"
#include "filing/filingrules.h"
#include "reminders/reminders.h"
#include "store/indexitem.h"
#include "store/mydocument.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QCompleter>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QValidator>
#include <QVBoxLayout>

namespace folivo::gui {

namespace {

class DayValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        return reminderDayTextAcceptable(input) ? Acceptable : Invalid;
    }
};

// Text that begins no month name is refused; the completer fills in the rest.
class MonthValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        return completeReminderMonth(input) ? Acceptable : Invalid;
    }
};

} // namespace

ReminderPage::ReminderPage(MyDocument& doc, const KTPrefs* prefs, QWidget* parent)
    : QWidget(parent),
      doc_(doc),
      prefs_(prefs),
      when_(new QComboBox(this)),
      prompt_(new QLabel(this)),
      monthLabel_(new QLabel(remindermsg::Month, this)),
      day_(new QComboBox(this)),
      month_(new QComboBox(this)),
      what_(new QButtonGroup(this)),
      download_(new QRadioButton(remindermsg::Download, this)),
      scanIn_(new QRadioButton(remindermsg::ScanIn, this)),
      other_(new QRadioButton(remindermsg::Other, this)),
      custom_(new QLineEdit(this)),
      next_(new QLabel(this)),
      none_(new QLabel(remindermsg::NoFolder, this)),
      controls_(new QWidget(this))
{
    setObjectName(QStringLiteral("reminderPage"));
    when_->setObjectName(QStringLiteral("reminderWhen"));
    when_->addItems(remindermsg::WhenChoices);
    prompt_->setObjectName(QStringLiteral("reminderPrompt"));
    day_->setObjectName(QStringLiteral("reminderDay"));
    day_->setEditable(true);
    day_->addItems(reminderDayChoices());
    day_->setValidator(new DayValidator(day_));
    day_->setInsertPolicy(QComboBox::NoInsert);
    month_->setObjectName(QStringLiteral("reminderMonth"));
    month_->setEditable(true);
    month_->addItems(reminderMonthChoices());
    month_->setValidator(new MonthValidator(month_));
    month_->setInsertPolicy(QComboBox::NoInsert);
    month_->completer()->setCompletionMode(QCompleter::InlineCompletion);
    month_->completer()->setCaseSensitivity(Qt::CaseInsensitive);
    what_->addButton(download_, 0);
    what_->addButton(scanIn_, 1);
    what_->addButton(other_, 2);
    custom_->setObjectName(QStringLiteral("reminderText"));
    custom_->setMinimumWidth(140);
    next_->setObjectName(QStringLiteral("reminderNextDue"));
    none_->setWordWrap(true);

    auto* form = new QFormLayout(controls_);
    form->addRow(remindermsg::RemindMe, when_);
    form->addRow(prompt_);
    auto* dayRow = new QHBoxLayout;
    dayRow->addWidget(day_);
    dayRow->addWidget(monthLabel_);
    dayRow->addWidget(month_, 1);
    form->addRow(remindermsg::Day, dayRow);
    auto* whatRow = new QHBoxLayout;
    whatRow->addWidget(download_);
    whatRow->addWidget(scanIn_);
    whatRow->addWidget(other_);
    whatRow->addWidget(custom_, 1);
    form->addRow(remindermsg::To, whatRow);
    form->addRow(next_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(none_);
    layout->addWidget(controls_);
    layout->addStretch(1);

    connect(when_, &QComboBox::activated, this, [this] { apply(); });
    connect(day_, &QComboBox::activated, this, [this] { apply(); });
    connect(day_->lineEdit(), &QLineEdit::editingFinished, this, [this] { apply(); });
    connect(month_, &QComboBox::activated, this, [this] { apply(); });
    connect(month_->lineEdit(), &QLineEdit::editingFinished, this, [this] { apply(); });
    connect(what_, &QButtonGroup::idClicked, this, [this] { apply(); });
    connect(custom_, &QLineEdit::editingFinished, this, [this] { apply(); });
    showFolder({}, false);
}

void ReminderPage::showFolder(const QString& path, bool editable)
{
    folder_ = path;
    editable_ = editable;
    load();
}

void ReminderPage::load()
{
    loading_ = true;
    const IndexItem* folder = folder_.isEmpty() ? nullptr : doc_.tree().itemForPath(folder_);
    none_->setVisible(!folder);
    controls_->setVisible(folder);
    loaded_ = folder ? Reminders::definitionOf(*folder).value_or(ReminderDefinition{}) : ReminderDefinition{};
    when_->setCurrentIndex(std::clamp(loaded_.when, 0, 5));
    day_->setEditText(loaded_.day.isEmpty() ? QStringLiteral("1") : loaded_.day);
    const std::optional<int> month = loaded_.monthIndex();
    loadedMonthText_ = month ? reminderMonthChoices().value(*month) : QString();
    month_->setEditText(loadedMonthText_);
    what_->button(std::clamp(loaded_.textType, 0, 2))->setChecked(true);
    custom_->setText(loaded_.text);
    for (QWidget* w : std::initializer_list<QWidget*>{when_, day_, month_, download_, scanIn_, other_})
        w->setEnabled(editable_);
    showKind();
    loading_ = false;
}

void ReminderPage::showKind()
{
    const int when = when_->currentIndex();
    prompt_->setText(reminderPrompt(when));
    prompt_->setVisible(when > 0);
    for (QWidget* w : std::initializer_list<QWidget*>{day_, download_, scanIn_, other_, custom_})
        w->setVisible(when > 0);
    monthLabel_->setVisible(when == 5);
    month_->setVisible(when == 5);
    custom_->setEnabled(editable_ && what_->checkedId() == 2);
    const IndexItem* folder = folder_.isEmpty() ? nullptr : doc_.tree().itemForPath(folder_);
    const std::optional<QDate> due = folder ? Reminders::dueDateOf(*folder) : std::nullopt;
    const bool european = FilingPreferences::from(prefs_).europeanDates;
    next_->setText(due ? remindermsg::NextDue.arg(displayDate(KTDate::atMidnight(*due), european)) : QString());
    next_->setVisible(due.has_value());
}

ReminderDefinition ReminderPage::fromControls() const
{
    ReminderDefinition d = loaded_;
    d.when = when_->currentIndex();
    d.day = day_->currentText();
    // A stored month the field could not show stays as it was unless a month is chosen.
    const QString monthText = month_->currentText();
    if (monthText != loadedMonthText_) {
        // What was typed stands for the month it begins, whatever its case.
        const std::optional<MonthCompletion> completed = completeReminderMonth(monthText);
        d.month = std::int64_t(reminderMonthIndexOf(completed ? completed->text : monthText));
    }
    d.textType = what_->checkedId();
    d.text = custom_->text();
    return d;
}

void ReminderPage::apply()
{
    if (loading_)
        return;
    showKind();
    IndexItem* folder = folder_.isEmpty() ? nullptr : doc_.tree().itemForPath(folder_);
    if (!folder || !editable_ || !doc_.canChange())
        return;
    const ReminderDefinition d = fromControls();
    if (doc_.reminders().setDefinition(*folder, d)) {
        const QString path = folder_;
        load();
        emit reminderChanged(path);
    }
}

} // namespace folivo::gui
