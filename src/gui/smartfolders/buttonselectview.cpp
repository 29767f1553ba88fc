#include "buttonselectview.h"

#include "attributes/tagpanelrules.h"

#include <QFontMetrics>
#include <QPushButton>
#include <QResizeEvent>

namespace folivo::gui {

namespace {

QFont buttonFont()
{
    QFont f;
    f.setPointSize(12);
    return f;
}

} // namespace

ButtonSelectView::ButtonSelectView(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
}

void ButtonSelectView::setTitles(const QStringList& titles, const QStringList& selected)
{
    // The buttons are made again: the panel calls this once a toggle, after the toggle's
    // own click has returned.
    for (QPushButton* b : buttons_) {
        b->hide();
        b->deleteLater();
    }
    buttons_.clear();
    const QFont font = buttonFont();
    for (const QString& title : titles) {
        auto* b = new QPushButton(title, this);
        b->setFont(font);
        b->setCheckable(true);
        b->setChecked(selected.contains(title));
        b->setFocusPolicy(Qt::TabFocus);
        b->setAccessibleName(title);
        connect(b, &QPushButton::clicked, this, [this, title] { emit titleToggled(title); });
        b->show();
        buttons_.push_back(b);
    }
    place();
    updateGeometry();
}

QStringList ButtonSelectView::titles() const
{
    QStringList out;
    for (const QPushButton* b : buttons_)
        out << b->text();
    return out;
}

QStringList ButtonSelectView::selectedTitles() const
{
    QStringList out;
    for (const QPushButton* b : buttons_)
        if (b->isChecked())
            out << b->text();
    return out;
}

QPushButton* ButtonSelectView::buttonFor(const QString& title) const
{
    for (QPushButton* b : buttons_)
        if (b->text() == title)
            return b;
    return nullptr;
}

QList<int> ButtonSelectView::textWidths() const
{
    const QFontMetrics metrics(buttonFont());
    QList<int> widths;
    for (const QPushButton* b : buttons_)
        widths << metrics.horizontalAdvance(b->text());
    return widths;
}

int ButtonSelectView::heightForWidth(int width) const
{
    return layoutSelectButtons(textWidths(), width).height;
}

QSize ButtonSelectView::sizeHint() const
{
    const int w = std::max(width(), 360);
    return {w, heightForWidth(w)};
}

QSize ButtonSelectView::minimumSizeHint() const
{
    return {120, heightForWidth(std::max(width(), 120))};
}

void ButtonSelectView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    place();
}

void ButtonSelectView::place()
{
    const SelectButtonLayout layout = layoutSelectButtons(textWidths(), width());
    for (std::size_t i = 0; i < buttons_.size(); ++i)
        buttons_[i]->setGeometry(layout.frames[int(i)]);
    if (layout.height != lastHeight_) {
        lastHeight_ = layout.height;
        setMinimumHeight(layout.height);
        emit heightChanged(layout.height);
    }
}

} // namespace folivo::gui
