#pragma once
// Runs the steps of a login (planned in the core) on timers: nothing here sleeps, so the
// window keeps drawing and a paste can hand its text over while the sequence waits. One
// sequence at a time. Text is typed one code point at a time with the typing speed's pause
// before each, a paste continues once the window in front has fetched the text, and the
// waits for a page are timers.
//
// A sequence that types on its own (after Go To) types only into the browser it opened:
// before each key it stops when Folivo itself is in front or when another window has come
// to the front since its first key. One started by a hot key types into the window the
// person had in front when they pressed it, and stops when that changes.
//
// The runner says what it does by the kind of step only: no text it types ever reaches
// a log.

#include "logins/loginplanner.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QTimer;

namespace folivo::platform {
class Typing;
}

namespace folivo::gui {

class LoginPanels;

// Folivo's own browser window as a sequence's target: its page takes the keys, and the
// steps that only it knows (its auto-login state, its warning line, the wait until it is in
// front) go to it. The window implements this; while a sequence types into it, the
// sequence's waits end with the window.
class LoginBrowserTarget {
public:
    virtual ~LoginBrowserTarget() = default;
    // The window itself: when it is destroyed, the sequence stops.
    virtual QObject* targetObject() = 0;
    // The keys into its page.
    virtual platform::Typing* typing() = 0;
    // One of Folivo's browser windows has the keyboard.
    virtual bool inFront() const = 0;
    virtual void setAutoLoginState(int state) = 0;
    virtual void showAutoLoginWarning() = 0;
    virtual void clearAutoLoginWarning() = 0;
};

struct LoginRun {
    std::vector<LoginStep> steps;
    // Started by a hot key (the person chose the window) rather than typing on its own.
    bool hotKey = false;
    int characterDelayMicros = 0; // the pause before each typed character
    // Folivo's own browser, or none: the person's browser, through the desktop's typing.
    LoginBrowserTarget* target = nullptr;
};

class LoginRunner : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        Done,
        OwnWindowInFront, // an automatic sequence found Folivo in front of the browser
        WindowChanged,    // the window that takes the keys is not the one it started with
        ModifiersHeld,    // the hot key's modifiers were still held after a few seconds
        NoBrowserWindow,  // Folivo's browser window did not come to the front (or there is none)
        TargetGone,       // Folivo's browser window closed during the sequence
        Stopped,          // stop() was called
    };
    // What a wait was for, in the log of waits the tests read.
    enum class WaitKind { Character, Step, BeforePaste, Paste, Modifiers, OwnBrowser };
    struct Wait {
        WaitKind kind;
        qint64 micros;
    };

    explicit LoginRunner(platform::Typing* typing, LoginPanels* panels = nullptr, QObject* parent = nullptr);
    ~LoginRunner() override;

    // Starts the sequence; false (and nothing happens) while another one runs.
    bool start(LoginRun run);
    bool running() const { return running_; }
    void stop();

    // How long the timers really wait, as a share of the planned time (tests: 0).
    double timeScale = 1.0;
    // Whether one of Folivo's own windows is active; by default asked of the application.
    std::function<bool()> ownWindowActive;
    // Every wait planned, in order, with its planned length (not scaled).
    QList<Wait> waits;
    // The kinds of the steps run, in order (what the log says).
    QStringList stepLog;

    static const char* kindName(LoginStep::Kind kind);

signals:
    void finished(folivo::gui::LoginRunner::Outcome outcome);

private:
    platform::Typing* typing() const;
    void next();
    void after(WaitKind kind, qint64 micros, std::function<void()> then);
    bool mayType();
    void typeCharacters();
    void finish(Outcome outcome);
    void waitForModifiers(int polls);
    void waitForOwnBrowser(int polls);

    platform::Typing* typing_;
    LoginPanels* panels_;
    QTimer* timer_;
    std::function<void()> pending_;
    QMetaObject::Connection pasteConnection_;
    QMetaObject::Connection targetConnection_;

    LoginRun run_;
    QPointer<QObject> targetObject_;
    std::size_t index_ = 0;
    bool running_ = false;
    bool begun_ = false;
    bool haveWindow_ = false;
    quint64 window_ = 0;
    QStringList characters_; // of the text being typed, one code point each
    int character_ = 0;
    quint64 generation_ = 0;
};

} // namespace folivo::gui
