#pragma once
// Long work in a database window: while it runs, the window takes no input and every menu
// command is disabled, and the person can stop it — by holding Control, pressing Escape,
// or clicking Stop on the status panel shown over the window.

#include <QPointer>
#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;

namespace folivo::gui {

// The panel over the window: what is going on, "Hold CONTROL to stop." and a Stop button.
class BusyPanel : public QWidget {
    Q_OBJECT
public:
    explicit BusyPanel(QWidget* window);
    void setMessage(const QString& text);
    QString message() const;
    QPushButton* stopButton() const { return stop_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();
    QLabel* text_;
    QPushButton* stop_;
};

class BusyMode {
public:
    // Enters busy mode over `window` (input blocked, commands disabled) with `message`.
    BusyMode(QWidget* window, const QString& message);
    ~BusyMode();
    BusyMode(const BusyMode&) = delete;
    BusyMode& operator=(const BusyMode&) = delete;

    void setMessage(const QString& text);
    // Lets the window paint and the Stop controls work, then answers whether the person
    // asked to stop. Call it between slices of the work.
    bool stopRequested();
    void requestStop() { stop_ = true; }
    BusyPanel* panel() const { return panel_; }

    // While any busy mode is on, every command of the application is disabled.
    static bool userInteractionDisabled();
    // How Control is read; tests replace it (an offscreen platform has no keyboard).
    static bool (*controlHeld)();

private:
    class InputBlocker;
    QPointer<QWidget> window_;
    QPointer<BusyPanel> panel_;
    InputBlocker* blocker_ = nullptr;
    bool stop_ = false;
};

} // namespace folivo::gui
