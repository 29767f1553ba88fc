#include "finddialog.h"

#include "findmessages.h"

#include "filing/filingrules.h"
#include "find/messages.h"
#include "find/smartfoldername.h"
#include "store/tree.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace folivo::gui {

using namespace findbits;

const std::vector<std::pair<QString, int>>& FindConditionRow::menuEntries()
{
    static const std::vector<std::pair<QString, int>> entries{
        {findmsg::NameContains, LegacyNameContains},
        {findmsg::NameContainsIgnoringCase, LegacyNameContainsIgnoringCase},
        {findmsg::NameBeginsWith, Name | BeginsWith | IgnoreCase},
        {findmsg::NameEndsWith, Name | EndsWith | IgnoreCase},
        {findmsg::NameIs, Name | Is | IgnoreCase},
        {findmsg::PathContains, Path | Contains | IgnoreCase},
        {findmsg::NotesContain, Notes | Contains | IgnoreCase},
        {findmsg::ContentsContain, Contents | Contains | IgnoreCase},
        {findmsg::TagContains, Tags | IgnoreCase},
        {findmsg::DatesContain, LegacyDateInRange},
        {findmsg::StartsOnOrAfter, ItemDates | OnOrAfter},
        {findmsg::EndsOnOrBefore, ItemDates | OnOrBefore},
        {findmsg::DatesBetween, ItemDates | Between},
        {findmsg::ModifiedOn, FileDate | Is},
        {findmsg::ModifiedOnOrAfter, FileDate | OnOrAfter},
        {findmsg::ModifiedOnOrBefore, FileDate | OnOrBefore},
        {findmsg::ModifiedBetween, FileDate | Between},
        {findmsg::CustomAttribute, Custom},
    };
    return entries;
}

FindConditionRow::FindConditionRow(const QStringList& attributeNames, QWidget* parent) : QWidget(parent)
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* line = new QHBoxLayout;
    outer->addLayout(line);
    menu_ = new QComboBox(this);
    menu_->setObjectName(QStringLiteral("conditionMenu"));
    for (const auto& [title, tag] : menuEntries())
        menu_->addItem(title, tag);
    text_ = new QLineEdit(this);
    date_ = new QLineEdit(this);
    from_ = new QLineEdit(this);
    toLabel_ = new QLabel(findmsg::To, this);
    to_ = new QLineEdit(this);
    add_ = new QToolButton(this);
    add_->setText(QStringLiteral("+"));
    remove_ = new QToolButton(this);
    remove_->setText(QStringLiteral("−"));
    line->addWidget(menu_);
    line->addWidget(text_, 1);
    line->addWidget(date_, 1);
    line->addWidget(from_, 1);
    line->addWidget(toLabel_);
    line->addWidget(to_, 1);
    line->addWidget(add_);
    line->addWidget(remove_);

    customLine_ = new QWidget(this);
    auto* custom = new QHBoxLayout(customLine_);
    custom->setContentsMargins(24, 0, 0, 0);
    attribute_ = new QComboBox(customLine_);
    attribute_->addItems(attributeNames);
    matchType_ = new QComboBox(customLine_);
    matchType_->addItems({findmsg::MatchContains, findmsg::MatchContainsIgnoringCase, findmsg::MatchEquals,
                          findmsg::MatchGreater, findmsg::MatchLess});
    match_ = new QLineEdit(customLine_);
    custom->addWidget(new QLabel(findmsg::AttributeLead, customLine_));
    custom->addWidget(attribute_);
    custom->addWidget(matchType_);
    custom->addWidget(match_, 1);
    outer->addWidget(customLine_);

    // Without attribute names there is nothing a custom attribute row could name.
    const int customIndex = menu_->findData(Custom);
    if (attributeNames.isEmpty() && customIndex >= 0)
        menu_->setItemData(customIndex, 0, Qt::UserRole - 1);

    connect(menu_, &QComboBox::currentIndexChanged, this, [this] {
        kindChanged();
        if (loading_)
            return;
        // A new kind starts empty, its first field ready for typing.
        attribute_->setCurrentIndex(0);
        matchType_->setCurrentIndex(0);
        match_->clear();
        base_ = FindCondition{};
        const ConditionKind k = conditionKindForTag(tag());
        (k == ConditionKind::CustomAttribute ? match_ : k == ConditionKind::Text ? text_ : k == ConditionKind::DateRange ? from_ : date_)
            ->setFocus();
        emit edited();
    });
    connect(add_, &QToolButton::clicked, this, [this] { emit addRequested(this); });
    connect(remove_, &QToolButton::clicked, this, [this] { emit removeRequested(this); });
    for (QLineEdit* field : {text_, date_, from_, to_, match_})
        connect(field, &QLineEdit::textEdited, this, &FindConditionRow::edited);
    kindChanged();
}

int FindConditionRow::tag() const
{
    return menu_->currentData().toInt();
}

void FindConditionRow::setTag(int tag)
{
    int index = menu_->findData(tag);
    if (index < 0) {
        // A condition this menu does not offer keeps its tag in an entry of its own.
        menu_->addItem(findmsg::StoredCondition, tag);
        index = menu_->count() - 1;
    }
    menu_->setCurrentIndex(index);
    kindChanged();
}

void FindConditionRow::load(const FindCondition& c)
{
    loading_ = true;
    setTag(c.tag);
    base_ = c;
    text_->setText(c.name.value_or(QString()));
    date_->setText(c.date.value_or(QString()));
    from_->setText(c.fromDate.value_or(QString()));
    to_->setText(c.toDate.value_or(QString()));
    const int a = attribute_->findText(c.customAttribute.value_or(QString()));
    attribute_->setCurrentIndex(a >= 0 ? a : 0);
    const std::int64_t type = c.customMatchType.value_or(0);
    matchType_->setCurrentIndex(type >= 0 && type <= 4 ? int(type) : 0);
    match_->setText(c.customMatch.value_or(QString()));
    loading_ = false;
}

void FindConditionRow::kindChanged()
{
    const ConditionKind k = conditionKindForTag(tag());
    text_->setVisible(k == ConditionKind::Text);
    date_->setVisible(k == ConditionKind::SingleDate);
    from_->setVisible(k == ConditionKind::DateRange);
    toLabel_->setVisible(k == ConditionKind::DateRange);
    to_->setVisible(k == ConditionKind::DateRange);
    customLine_->setVisible(k == ConditionKind::CustomAttribute);
}

FindDialog::FindDialog(const QStringList& attributeNames, bool european, QWidget* parent)
    : QDialog(parent), attributeNames_(attributeNames), european_(european)
{
    setWindowTitle(findmsg::DialogTitle);
    setWindowModality(Qt::WindowModal);
    auto* layout = new QVBoxLayout(this);
    auto* head = new QHBoxLayout;
    all_ = new QComboBox(this);
    all_->addItems({findmsg::AllConditions, findmsg::AnyCondition});
    head->addWidget(new QLabel(findmsg::MatchLead, this));
    head->addWidget(all_);
    head->addWidget(new QLabel(findmsg::MatchTail, this));
    head->addStretch(1);
    layout->addLayout(head);
    rowsLayout_ = new QVBoxLayout;
    layout->addLayout(rowsLayout_);
    warning_ = new QLabel(this);
    warning_->setObjectName(QStringLiteral("findWarning"));
    warning_->setStyleSheet(QStringLiteral("color: #b00000"));
    warning_->hide();
    layout->addWidget(warning_);
    auto* tail = new QHBoxLayout;
    type_ = new QComboBox(this);
    // Only what runs here is offered.
    type_->addItem(findmsg::FindForward, int(FindType::FindForward));
    type_->addItem(findmsg::FindBackward, int(FindType::FindBackward));
    type_->addItem(findmsg::SelectAll, int(FindType::SelectAll));
    type_->addItem(findmsg::MakeSmartFolder, int(FindType::SmartFolder));
    expand_ = new QCheckBox(findmsg::ExpandFound, this);
    connect(type_, &QComboBox::currentIndexChanged, this, [this] { typeChanged(); });
    typeLead_ = new QLabel(findmsg::TypeLead, this);
    tail->addWidget(typeLead_);
    tail->addWidget(type_);
    tail->addWidget(expand_);
    tail->addStretch(1);
    layout->addLayout(tail);
    // The name of the smart folder the search is kept as.
    smartArea_ = new QWidget(this);
    smartArea_->setObjectName(QStringLiteral("smartFolderArea"));
    auto* smart = new QVBoxLayout(smartArea_);
    smart->setContentsMargins(0, 0, 0, 0);
    editMessage_ = new QLabel(findmsg::EditSmartFolder, smartArea_);
    smart->addWidget(editMessage_);
    auto* nameLine = new QHBoxLayout;
    nameLine->addWidget(new QLabel(findmsg::SmartFolderNameLead, smartArea_));
    smartName_ = new QLineEdit(smartArea_);
    smartName_->setObjectName(QStringLiteral("smartFolderName"));
    nameLine->addWidget(smartName_, 1);
    smart->addLayout(nameLine);
    connect(smartName_, &QLineEdit::textEdited, this, [this] { warning_->hide(); });
    smartArea_->hide();
    layout->addWidget(smartArea_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setText(findmsg::FindButton);
    connect(buttons, &QDialogButtonBox::accepted, this, &FindDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &FindDialog::reject);
    layout->addWidget(buttons);
    resize(640, sizeHint().height());

    alert = [](QWidget* parent, const QString& text) {
        QMessageBox box(QMessageBox::Warning, findmsg::DialogTitle, text, QMessageBox::Ok, parent);
        box.setWindowModality(Qt::WindowModal);
        box.exec();
    };
}

void FindDialog::setup(const FindCriteria& criteria, const QString& beingEdited)
{
    base_ = criteria;
    beingEdited_ = beingEdited;
    const bool editing = !beingEdited.isEmpty();
    ok_->setText(editing ? findmsg::SaveButton : findmsg::FindButton);
    typeLead_->setVisible(!editing);
    type_->setVisible(!editing);
    editMessage_->setVisible(editing);
    // The name proposed is free, unless it is the edited folder's own.
    QString name = editing ? beingEdited : criteria.smartFolderName;
    if (!editing && !name.isEmpty() && tree_)
        name = tree_->uniqueSmartFolderNameFor(name);
    smartName_->setText(name);
    all_->setCurrentIndex(criteria.all ? 0 : 1);
    expand_->setChecked(criteria.expand);
    const int type = type_->findData(int(editing ? std::int64_t(FindType::SmartFolder) : criteria.type));
    type_->setCurrentIndex(type >= 0 ? type : type_->findData(int(FindType::SelectAll)));
    typeChanged();
    while (!rows_.empty()) {
        delete rows_.back();
        rows_.pop_back();
    }
    if (criteria.conditions.empty()) {
        addRow(nullptr);
    } else {
        for (const FindCondition& c : criteria.conditions)
            addRow(rows_.empty() ? nullptr : rows_.back())->load(c);
    }
    relinkRows();
    rows_.front()->setFocus();
}

void FindDialog::typeChanged()
{
    const int t = type_->currentData().toInt();
    // The expand switch belongs to the finding types, the name to the smart folder.
    expand_->setVisible(t == int(FindType::FindForward) || t == int(FindType::FindBackward));
    const bool smart = t == int(FindType::SmartFolder);
    smartArea_->setVisible(smart);
    if (smart && smartName_->text().isEmpty())
        smartName_->setText(tree_ ? tree_->uniqueSmartFolderNameFor(findmsg::SmartFolderDefaultName)
                                  : findmsg::SmartFolderDefaultName);
    if (smart && isVisible())
        smartName_->setFocus();
    warning_->hide();
}

FindConditionRow* FindDialog::addRow(FindConditionRow* after)
{
    auto* row = new FindConditionRow(attributeNames_, this);
    const auto at = after ? std::find(rows_.begin(), rows_.end(), after) + 1 : rows_.end();
    const int index = int(at - rows_.begin());
    rows_.insert(at, row);
    rowsLayout_->insertWidget(index, row);
    connect(row, &FindConditionRow::addRequested, this, [this](FindConditionRow* r) {
        FindConditionRow* added = addRow(r);
        added->textField()->setFocus();
    });
    connect(row, &FindConditionRow::removeRequested, this, &FindDialog::removeRow);
    connect(row, &FindConditionRow::edited, this, [this] { warning_->hide(); });
    relinkRows();
    return row;
}

void FindDialog::removeRow(FindConditionRow* row)
{
    if (rows_.size() <= 1)
        return;
    rows_.erase(std::remove(rows_.begin(), rows_.end(), row), rows_.end());
    row->deleteLater();
    row->hide();
    relinkRows();
}

void FindDialog::relinkRows()
{
    // The last row cannot be removed; the keyboard goes from row to row in their order.
    for (FindConditionRow* r : rows_)
        r->removeButton()->setEnabled(rows_.size() > 1);
    QWidget* previous = all_;
    for (FindConditionRow* r : rows_) {
        for (QWidget* w : std::initializer_list<QWidget*>{r->menu(), r->textField(), r->dateField(), r->fromField(),
                                                          r->toField(), r->attributeMenu(), r->matchTypeMenu(),
                                                          r->matchField(), r->addButton(), r->removeButton()}) {
            setTabOrder(previous, w);
            previous = w;
        }
    }
    setTabOrder(previous, type_);
}

QString FindDialog::warning() const
{
    return warning_->text();
}

bool FindDialog::warningShown() const
{
    return !warning_->isHidden();
}

void FindDialog::showWarning(const QString& text)
{
    warning_->setText(text);
    warning_->show();
}

std::optional<FindCriteria> FindDialog::criteriaFromDialog()
{
    FindCriteria out = base_;
    out.conditions.clear();
    for (FindConditionRow* row : rows_) {
        FindCondition c = row->base();
        c.tag = row->tag();
        switch (c.kind()) {
        case ConditionKind::CustomAttribute: {
            const QString match = row->matchField()->text();
            const QString attribute = row->attributeMenu()->currentText();
            if (match.isEmpty()) {
                showWarning(folivo::findmsg::MissingMatchText);
                row->matchField()->setFocus();
                return std::nullopt;
            }
            if (attribute.isEmpty()) {
                showWarning(folivo::findmsg::MissingAttribute);
                row->attributeMenu()->setFocus();
                return std::nullopt;
            }
            c.customMatch = match;
            c.customAttribute = attribute;
            c.customMatchType = row->matchTypeMenu()->currentIndex();
            break;
        }
        case ConditionKind::Text:
            if (row->textField()->text().isEmpty()) {
                showWarning(folivo::findmsg::MissingMatchText);
                row->textField()->setFocus();
                return std::nullopt;
            }
            c.name = row->textField()->text();
            break;
        case ConditionKind::DateRange:
        case ConditionKind::SingleDate: {
            const bool range = c.kind() == ConditionKind::DateRange;
            QLineEdit* first = range ? row->fromField() : row->dateField();
            const DateCheck check = checkDatesFrom(first->text().trimmed(),
                                                   range ? std::optional<QString>(row->toField()->text().trimmed())
                                                         : std::nullopt,
                                                   true, european_);
            if (check.fromText)
                first->setText(*check.fromText);
            if (range && check.toText)
                row->toField()->setText(*check.toText);
            QString problem = check.ok ? QString() : check.warning;
            // Both ends of a range are needed: a range with one end matches nothing.
            if (problem.isEmpty() && (!check.start || (range && !check.end)))
                problem = findmsg::MissingDate;
            if (!problem.isEmpty()) {
                showWarning(problem);
                first->setFocus();
                return std::nullopt;
            }
            if (range) {
                c.fromDate = conditionDateString(*check.start, european_);
                c.toDate = conditionDateString(*check.end, european_);
            } else {
                c.date = conditionDateString(*check.start, european_);
            }
            break;
        }
        }
        out.conditions.push_back(std::move(c));
    }
    out.all = all_->currentIndex() == 0;
    out.expand = expand_->isChecked();
    // A record kept with a type this dialog does not offer keeps it.
    if (type_->findData(int(base_.type)) >= 0 || base_.type < 0 || base_.type > 3)
        out.type = type_->currentData().toInt();
    if (type_->currentData().toInt() == int(FindType::SmartFolder)) {
        const QString name = smartName_->text();
        std::optional<QString> problem;
        if (tree_)
            problem = smartFolderNameProblem(name, *tree_, beingEdited_);
        else if (name.isEmpty())
            problem = folivo::findmsg::MissingSmartFolderName;
        if (problem) {
            showWarning(*problem);
            smartName_->setFocus();
            return std::nullopt;
        }
        out.smartFolderName = name.normalized(QString::NormalizationForm_C);
    }
    warning_->hide();
    return out;
}

int FindDialog::exec()
{
    warnedOnce_ = false;
    return QDialog::exec();
}

void FindDialog::accept()
{
    std::optional<FindCriteria> criteria = criteriaFromDialog();
    if (!criteria)
        return;
    if (!criteria->conditions.empty() && criteria->conditions.front().has(Contents)
        && criteria->conditions.front().kind() == ConditionKind::Text && !warnedOnce_) {
        warnedOnce_ = true;
        const int type = type_->currentData().toInt(); // what runs now
        alert(this, type == 3   ? findmsg::ContentsWarningSmartFolder
                    : type == 2 ? findmsg::ContentsWarningSelectAll
                                : findmsg::ContentsWarningFind);
        return;
    }
    accepted_ = *criteria;
    QDialog::accept();
}

} // namespace folivo::gui
