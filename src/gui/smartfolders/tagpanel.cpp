#include "tagpanel.h"

#include "buttonselectview.h"

#include "attributes/tagpanelrules.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace folivo::gui {

TagPanel::TagPanel(std::unique_ptr<TagPanelSession> session, QWidget* parent)
    : QDialog(parent), session_(std::move(session))
{
    setWindowTitle(session_->message());
    setWindowModality(Qt::WindowModal);
    auto* layout = new QVBoxLayout(this);
    message_ = new QLabel(session_->message(), this);
    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("tagPanelName"));
    error_ = new QLabel(this);
    error_->setObjectName(QStringLiteral("tagPanelNameError"));
    error_->setStyleSheet(QStringLiteral("color: #c00000;"));
    error_->setWordWrap(true);
    error_->hide();
    view_ = new ButtonSelectView;
    scroll_ = new QScrollArea(this);
    scroll_->setWidget(view_);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setFrameShape(QFrame::NoFrame);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    box_ = box;
    layout->addWidget(message_);
    layout->addWidget(name_);
    layout->addWidget(error_);
    layout->addWidget(scroll_, 1);
    layout->addWidget(box);
    connect(box, &QDialogButtonBox::accepted, this, &TagPanel::accept);
    connect(box, &QDialogButtonBox::rejected, this, &TagPanel::reject);
    // Only the person's own typing counts as naming the folder, not a proposed name.
    connect(name_, &QLineEdit::textEdited, this, [this](const QString& text) {
        session_->nameTyped(text);
        error_->hide();
    });
    connect(view_, &ButtonSelectView::titleToggled, this, &TagPanel::toggle);
    connect(view_, &ButtonSelectView::heightChanged, this, &TagPanel::fitHeight);
    resize(420, 200);
    showSession();
    fitHeight(view_->heightForWidth(400));
}

// The session is not touched here: the document may already be gone when the window's
// children go. Whoever opened the panel cancels it when the window closes.
TagPanel::~TagPanel() = default;

void TagPanel::showSession()
{
    name_->setText(session_->nameField());
    view_->setTitles(session_->titles(), session_->selected());
}

void TagPanel::toggle(const QString& title)
{
    if (session_->finished())
        return;
    session_->toggle(title);
    showSession();
    emit folderChanged(session_->folderPath());
}

void TagPanel::setMaximumPanelHeight(int height)
{
    maxHeight_ = height;
    fitHeight(view_->heightForWidth(view_->width()));
}

void TagPanel::fitHeight(int viewHeight)
{
    // The panel is as tall as its buttons need, up to the window's height; beyond that
    // they scroll.
    const QMargins m = layout()->contentsMargins();
    int chrome = m.top() + m.bottom() + 4 * layout()->spacing() + message_->sizeHint().height()
                 + name_->sizeHint().height() + box_->sizeHint().height();
    if (!error_->isHidden())
        chrome += error_->sizeHint().height();
    int wanted = std::max(chrome + viewHeight + 4, 140);
    if (maxHeight_ > 0)
        wanted = std::min(wanted, maxHeight_);
    if (wanted != height())
        resize(width(), wanted);
}

void TagPanel::accept()
{
    if (!session_->ok()) {
        error_->setText(session_->nameError());
        error_->show();
        name_->setFocus();
        return;
    }
    QDialog::accept();
}

void TagPanel::reject()
{
    session_->cancel();
    QDialog::reject();
}

} // namespace folivo::gui
