#include "loginpanels.h"

#include "loginmessages.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace folivo::gui {

LoginPanels::LoginPanels(QObject* parent)
    : QObject(parent), passwordTimer_(new QTimer(this)), noticeTimer_(new QTimer(this))
{
    passwordTimer_->setSingleShot(true);
    noticeTimer_->setSingleShot(true);
    connect(passwordTimer_, &QTimer::timeout, this, &LoginPanels::hidePassword);
    connect(noticeTimer_, &QTimer::timeout, this, &LoginPanels::hideWarning);
}

LoginPanels::~LoginPanels()
{
    // Top-level widgets without a parent: they go with the panels.
    delete password_;
    delete warning_;
}

QWidget* LoginPanels::makePanel(const QString& name, QLabel** label)
{
    // A tool window without a frame, above the others, that the window manager never gives
    // the keyboard to: showing it must not pull the focus away from the browser.
    auto* panel = new QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                           Qt::WindowDoesNotAcceptFocus);
    panel->setObjectName(name);
    panel->setAttribute(Qt::WA_ShowWithoutActivating);
    panel->setFocusPolicy(Qt::NoFocus);
    auto* layout = new QHBoxLayout(panel);
    *label = new QLabel(panel);
    (*label)->setTextInteractionFlags(Qt::NoTextInteraction);
    (*label)->setMargin(8);
    QFont font = (*label)->font();
    font.setPointSizeF(font.pointSizeF() * 1.3);
    (*label)->setFont(font);
    layout->addWidget(*label);
    panel->setStyleSheet(QStringLiteral("background: palette(tooltip-base); color: palette(tooltip-text);"));
    return panel;
}

void LoginPanels::place(QWidget* panel, int fromTop)
{
    panel->adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        panel->move(area.center().x() - panel->width() / 2, area.top() + fromTop);
    }
}

void LoginPanels::showPassword(const QString& password, int millis)
{
    if (password.isEmpty())
        return;
    if (!password_)
        password_ = makePanel(QStringLiteral("floatingPasswordPanel"), &passwordLabel_);
    passwordLabel_->setText(password);
    place(password_, 120);
    password_->show(); // never activateWindow(): the browser keeps the keyboard
    passwordTimer_->start(std::max(0, millis));
}

void LoginPanels::hidePassword()
{
    passwordTimer_->stop();
    if (password_) {
        password_->hide();
        // The password stays in no widget longer than it is shown.
        passwordLabel_->clear();
    }
}

void LoginPanels::showWarning()
{
    noticeTimer_->stop();
    if (!warning_)
        warning_ = makePanel(QStringLiteral("floatingWarningPanel"), &warningLabel_);
    warningLabel_->setText(loginmsg::TypingWarning);
    place(warning_, 40);
    warning_->show();
}

void LoginPanels::hideWarning()
{
    noticeTimer_->stop();
    if (warning_)
        warning_->hide();
}

void LoginPanels::showNotice(const QString& text, int millis)
{
    showWarning();
    warningLabel_->setText(text);
    place(warning_, 40);
    noticeTimer_->start(std::max(0, millis));
}

QString LoginPanels::passwordShown() const
{
    return password_ && password_->isVisible() ? passwordLabel_->text() : QString();
}

QString LoginPanels::warningText() const
{
    return warning_ && warning_->isVisible() ? warningLabel_->text() : QString();
}

} // namespace folivo::gui
