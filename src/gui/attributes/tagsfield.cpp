#include "tagsfield.h"

#include "tagsmessages.h"
#include "widgets/flowlayout.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStringListModel>
#include <QToolButton>

namespace folivo::gui {

TagsField::TagsField(QWidget* parent)
    : QWidget(parent),
      flow_(new FlowLayout(this)),
      editor_(new QLineEdit(this)),
      completer_(new QCompleter(this)),
      completions_(new QStringListModel(this))
{
    setObjectName(QStringLiteral("tagsField"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    editor_->setObjectName(QStringLiteral("tagsEditor"));
    editor_->setPlaceholderText(tagmsg::TypeATag);
    editor_->setFrame(false);
    editor_->setMinimumWidth(80);
    editor_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    editor_->installEventFilter(this);
    completer_->setModel(completions_);
    completer_->setCaseSensitivity(Qt::CaseInsensitive);
    completer_->setCompletionMode(QCompleter::PopupCompletion);
    completer_->setFilterMode(Qt::MatchStartsWith);
    editor_->setCompleter(completer_);
    // Choosing a completion is committing it.
    connect(completer_, qOverload<const QString&>(&QCompleter::activated), this, [this](const QString& text) {
        editor_->setText(text);
        commitTyped();
    });
    connect(editor_, &QLineEdit::returnPressed, this, &TagsField::commitTyped);
    connect(editor_, &QLineEdit::textEdited, this, [this](const QString& text) {
        // A comma ends a tag, as in the token fields people know.
        if (text.contains(QLatin1Char(','))) {
            const QStringList parts = text.split(QLatin1Char(','));
            for (int i = 0; i + 1 < parts.size(); ++i) {
                editor_->setText(parts[i]);
                commitTyped();
            }
            editor_->setText(parts.last());
        }
    });
    flow_->addWidget(editor_);
}

void TagsField::setTags(const QStringList& tags)
{
    editor_->clear();
    if (tags == tags_)
        return;
    tags_ = tags;
    rebuildChips();
}

void TagsField::setCompletions(const QStringList& tags)
{
    if (completions_->stringList() != tags)
        completions_->setStringList(tags);
}

void TagsField::setEditable(bool editable)
{
    if (editable == editable_)
        return;
    editable_ = editable;
    editor_->setVisible(editable);
    if (!editable)
        editor_->clear();
    for (QToolButton* chip : chips_)
        chip->setEnabled(editable);
}

void TagsField::commitTyped()
{
    const QString tag = editor_->text().trimmed();
    editor_->clear();
    if (!editable_ || tag.isEmpty() || tags_.contains(tag))
        return;
    tags_ << tag;
    QToolButton* chip = makeChip(tag);
    flow_->insertWidget(int(chips_.size()), chip);
    chips_ << chip;
    changed();
}

void TagsField::removeTag(int index)
{
    if (!editable_ || index < 0 || index >= tags_.size())
        return;
    tags_.removeAt(index);
    rebuildChips();
    editor_->setFocus();
    changed();
}

QToolButton* TagsField::chip(int index) const
{
    return index >= 0 && index < chips_.size() ? chips_.at(index) : nullptr;
}

int TagsField::heightForWidth(int width) const
{
    return flow_->heightForWidth(width);
}

QSize TagsField::sizeHint() const
{
    return QSize(200, heightForWidth(std::max(width(), 200)));
}

bool TagsField::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == editor_) {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            const bool popupOpen = completer_->popup() && completer_->popup()->isVisible();
            if (key->key() == Qt::Key_Backspace && editor_->text().isEmpty() && !tags_.isEmpty()) {
                removeTag(int(tags_.size()) - 1);
                return true;
            }
            if (key->key() == Qt::Key_Escape && !popupOpen && !editor_->text().isEmpty()) {
                editor_->clear();
                return true;
            }
        } else if (event->type() == QEvent::FocusIn) {
            emit completionsWanted();
        } else if (event->type() == QEvent::FocusOut) {
            // Leaving the field keeps what was typed, unless the completion list took the focus.
            if (!(completer_->popup() && completer_->popup()->isVisible()))
                commitTyped();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TagsField::rebuildChips()
{
    for (QToolButton* chip : chips_) {
        flow_->removeWidget(chip);
        chip->deleteLater();
    }
    chips_.clear();
    for (int i = 0; i < tags_.size(); ++i) {
        QToolButton* chip = makeChip(tags_.at(i));
        flow_->insertWidget(i, chip);
        chips_ << chip;
    }
    updateGeometry();
}

QToolButton* TagsField::makeChip(const QString& tag)
{
    auto* chip = new QToolButton(this);
    chip->setObjectName(QStringLiteral("tagChip"));
    chip->setText(tag + QStringLiteral("  ×"));
    chip->setToolTip(tagmsg::RemoveTag.arg(tag));
    chip->setAccessibleName(tag);
    chip->setAutoRaise(false);
    chip->setFocusPolicy(Qt::NoFocus);
    chip->setEnabled(editable_);
    chip->setStyleSheet(QStringLiteral("QToolButton#tagChip { border: 1px solid palette(mid); border-radius: 9px;"
                                       " padding: 1px 7px; background: palette(alternate-base); }"));
    connect(chip, &QToolButton::clicked, this, [this, chip] { removeTag(int(chips_.indexOf(chip))); });
    return chip;
}

void TagsField::changed()
{
    updateGeometry();
    emit tagsCommitted(tags_);
}

} // namespace folivo::gui
