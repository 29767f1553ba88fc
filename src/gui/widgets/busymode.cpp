#include "busymode.h"

#include <QApplication>
#include <QMessageBox>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace folivo::gui {

namespace {

int g_busyCount = 0;

bool queryControl()
{
    return QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier;
}

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::ContextMenu:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}

} // namespace

bool (*BusyMode::controlHeld)() = &queryControl;

// Swallows input meant for the busy window (and its dialogs), except the Stop button's;
// Escape anywhere in it asks to stop.
class BusyMode::InputBlocker : public QObject {
public:
    InputBlocker(BusyMode& owner) : owner_(owner) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!isUserInput(event->type()) || !watched->isWidgetType())
            return false;
        auto* widget = static_cast<QWidget*>(watched);
        QWidget* top = widget->window();
        QWidget* busyWindow = owner_.window_ ? owner_.window_->window() : nullptr;
        // Other windows of the application go on working; their commands are disabled.
        if (!busyWindow || (top != busyWindow && top->parentWidget() == nullptr))
            return false;
        // A question or alert the work itself puts up (an import that failed) must be
        // answerable, or the work waits on it for ever.
        if (top == QApplication::activeModalWidget() && qobject_cast<QMessageBox*>(top))
            return false;
        // The Stop buttons (on the panel, on a progress sheet) are the one way in.
        if (widget->objectName() == QLatin1String("stopButton") && event->type() != QEvent::Close)
            return false;
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
            owner_.stop_ = true;
        if (event->type() == QEvent::Close)
            event->ignore();
        return true;
    }

private:
    BusyMode& owner_;
};

BusyPanel::BusyPanel(QWidget* window) : QWidget(window)
{
    setObjectName(QStringLiteral("busyPanel"));
    setAutoFillBackground(true);
    setAttribute(Qt::WA_StyledBackground, true);
    setStyleSheet(QStringLiteral("#busyPanel { background: palette(tool-tip-base); border: 1px solid palette(mid); "
                                 "border-radius: 6px; }"));
    text_ = new QLabel(this);
    text_->setWordWrap(true);
    auto* hint = new QLabel(tr("Hold CONTROL to stop."), this);
    QFont small = hint->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    hint->setFont(small);
    stop_ = new QPushButton(tr("Stop"), this);
    stop_->setObjectName(QStringLiteral("stopButton"));
    auto* texts = new QVBoxLayout;
    texts->addWidget(text_);
    texts->addWidget(hint);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(texts, 1);
    layout->addWidget(stop_, 0, Qt::AlignVCenter);
    window->installEventFilter(this);
    place();
}

void BusyPanel::setMessage(const QString& text)
{
    text_->setText(text);
    place();
}

QString BusyPanel::message() const
{
    return text_->text();
}

void BusyPanel::place()
{
    QWidget* w = parentWidget();
    if (!w)
        return;
    const int width = std::min(420, std::max(200, w->width() - 40));
    resize(width, sizeHint().height());
    move((w->width() - width) / 2, std::max(8, w->height() / 3 - height() / 2));
    raise();
}

bool BusyPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        place();
    return QWidget::eventFilter(watched, event);
}

BusyMode::BusyMode(QWidget* window, const QString& message) : window_(window)
{
    ++g_busyCount;
    if (window_) {
        panel_ = new BusyPanel(window_);
        panel_->setMessage(message);
        QObject::connect(panel_->stopButton(), &QPushButton::clicked, panel_, [this] { stop_ = true; });
        panel_->show();
    }
    blocker_ = new InputBlocker(*this);
    qApp->installEventFilter(blocker_);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

BusyMode::~BusyMode()
{
    qApp->removeEventFilter(blocker_);
    delete blocker_;
    delete panel_.data();
    --g_busyCount;
}

void BusyMode::setMessage(const QString& text)
{
    if (panel_)
        panel_->setMessage(text);
}

bool BusyMode::stopRequested()
{
    // Input is filtered, so processing it here only lets the Stop controls through.
    QCoreApplication::processEvents();
    if (controlHeld && controlHeld())
        stop_ = true;
    return stop_;
}

bool BusyMode::userInteractionDisabled()
{
    return g_busyCount > 0;
}

} // namespace folivo::gui
