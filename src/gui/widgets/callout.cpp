#include "callout.h"

#include <algorithm>

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QTreeView>
#include <QVBoxLayout>

namespace folivo::gui {

namespace {
// Short messages in a small callout, longer ones wrap in a wider one.
constexpr int kShortMessage = 19;
} // namespace

Callout::Callout(const QString& message, QWidget* parent)
    : QFrame(parent, Qt::Popup | Qt::FramelessWindowHint), label_(new QLabel(message, this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setFrameShape(QFrame::Box);
    setFrameShadow(QFrame::Plain);
    setLineWidth(1);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::ToolTipBase);
    setForegroundRole(QPalette::ToolTipText);
    label_->setForegroundRole(QPalette::ToolTipText);
    label_->setTextFormat(Qt::PlainText);
    label_->setWordWrap(message.size() >= kShortMessage);
    if (label_->wordWrap())
        label_->setFixedWidth(320);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 8, 10, 8);
    layout->addWidget(label_);
    setFocusPolicy(Qt::StrongFocus);
}

QString Callout::message() const
{
    return label_->text();
}

void Callout::showBeside(const QRect& globalRect)
{
    adjustSize();
    QPoint at(globalRect.right() + 4, globalRect.center().y() - height() / 2);
    QScreen* screen = QGuiApplication::screenAt(globalRect.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect avail = screen->availableGeometry();
        if (at.x() + width() > avail.right())
            at.setX(std::max(avail.left(), globalRect.left() + 16 - width() / 2));
        at.setX(std::clamp(at.x(), avail.left(), std::max(avail.left(), avail.right() - width())));
        at.setY(std::clamp(at.y(), avail.top(), std::max(avail.top(), avail.bottom() - height())));
    }
    move(at);
    show();
    raise();
    activateWindow();
    setFocus(Qt::PopupFocusReason);
}

void Callout::mousePressEvent(QMouseEvent* event)
{
    // A click anywhere, inside or outside (a popup sees both), dismisses it.
    event->accept();
    close();
}

void Callout::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    close();
}

void Callout::hideEvent(QHideEvent* event)
{
    QFrame::hideEvent(event);
    if (!done_) {
        done_ = true;
        emit dismissed();
    }
}

Callout* showCallout(QTreeView* view, const QModelIndex& index, const QString& message)
{
    if (!view)
        return nullptr;
    for (Callout* previous : view->findChildren<Callout*>(Qt::FindDirectChildrenOnly))
        if (previous->isVisible())
            previous->close();
    QRect rect = index.isValid() ? view->visualRect(index) : QRect();
    if (rect.isEmpty())
        rect = QRect(0, 0, view->viewport()->width() / 2, 0);
    else
        rect.setWidth(std::min(rect.width(), view->viewport()->width()));
    const QRect global(view->viewport()->mapToGlobal(rect.topLeft()), rect.size());
    auto* callout = new Callout(message, view);
    callout->showBeside(global);
    return callout;
}

} // namespace folivo::gui
