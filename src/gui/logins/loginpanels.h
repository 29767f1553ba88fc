#pragma once
// The two small panels of auto-login: the password in plain view for a few seconds (for
// a site whose password the person types or pastes), and the warning that typing is under
// way. Both float above every window and never take the keyboard: whatever they show, the
// keys typed go on to the browser in front.

#include <QObject>
#include <QPointer>
#include <QString>

class QLabel;
class QTimer;
#include <QWidget>

namespace folivo::gui {

class LoginPanels : public QObject {
    Q_OBJECT
public:
    explicit LoginPanels(QObject* parent = nullptr);
    ~LoginPanels() override;

    // Shows the password for `millis`, then hides it; an empty password shows nothing.
    void showPassword(const QString& password, int millis);
    void hidePassword();
    void showWarning();
    void hideWarning();
    // A short note in the warning's place (why typing stopped), gone after `millis`.
    void showNotice(const QString& text, int millis = 5000);

    QWidget* passwordPanel() const { return password_; }
    QWidget* warningPanel() const { return warning_; }
    QString passwordShown() const;
    QString warningText() const;

private:
    QWidget* makePanel(const QString& name, QLabel** label);
    void place(QWidget* panel, int fromTop);

    QPointer<QWidget> password_;
    QPointer<QWidget> warning_;
    QLabel* passwordLabel_ = nullptr;
    QLabel* warningLabel_ = nullptr;
    QTimer* passwordTimer_;
    QTimer* noticeTimer_;
};

} // namespace folivo::gui
