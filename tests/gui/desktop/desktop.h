#pragma once
// Helpers for the tests that run on a real desktop (a virtual X server with a window
// manager, see on_desktop.sh): xdotool types, clicks and drags where a person would, and the
// test watches what comes up on the screen.

#include "gui/guitest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QTime>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>

namespace folivo::test::desktop {

// Whether the program runs on an X server (the tests make no sense offscreen).
inline bool onDesktop()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

// Lets the program run for `ms`, answering the X server meanwhile.
inline void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

inline bool waitUntil(const std::function<bool()>& done, int ms = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        wait(10);
    }
    return true;
}

inline QString windowId(const QWidget* w)
{
    return QString::number(w->window()->winId());
}

inline QStringList at(const QPoint& global)
{
    // Without --sync: it waits for ever when the pointer is there already. The X server
    // takes the events in order, so what follows happens at the new place.
    return {QStringLiteral("mousemove"), QString::number(global.x()), QString::number(global.y())};
}

// Every message box the program shows while it lives, by what it said, in order. It answers
// nothing itself: the test does, as a person would.
class BoxLog {
public:
    BoxLog()
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] { look(); });
        timer_.start(5);
    }
    const QList<SeenBox>& seen() const { return seen_; }
    int count(const QString& title) const
    {
        int n = 0;
        for (const SeenBox& s : seen_)
            n += s.title == title;
        return n;
    }
    QStringList titles() const
    {
        QStringList out;
        for (const SeenBox& s : seen_)
            out << s.title;
        return out;
    }
    // The box up now, if any.
    QMessageBox* showing() const
    {
        for (const QPointer<QMessageBox>& b : visible_)
            if (b && b->isVisible())
                return b;
        return nullptr;
    }

private:
    void look()
    {
        visible_.removeIf([](const QPointer<QMessageBox>& b) { return !b || !b->isVisible(); });
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box || !box->isVisible() || visible_.contains(box))
                continue;
            visible_ << box;
            SeenBox s;
            s.title = box->windowTitle();
            s.text = box->text() + box->informativeText();
            for (QAbstractButton* b : box->buttons())
                s.buttons << b->text();
            seen_ << s;
        }
    }
    QTimer timer_;
    QList<QPointer<QMessageBox>> visible_;
    QList<SeenBox> seen_;
};

// What a person does, one step after another, with xdotool at the keyboard and the mouse.
// The steps run from a timer, never from the test's own stack: an alert the program shows
// runs a loop of its own until it is answered, and the answer must come from inside that
// loop. Each step waits until it is ready (and the person's last action has finished),
// then acts without blocking; a step that is not ready in time fails the test.
class Person {
public:
    Person()
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
    }
    ~Person() { stopXdotool(); }

    // Waits until `ready` holds, then runs `act`.
    Person& when(const QString& what, std::function<bool()> ready, std::function<void()> act = {},
                 int timeoutMs = 8000)
    {
        steps_ << Step{what, std::move(ready), std::move(act), timeoutMs, -1};
        return *this;
    }
    Person& then(const QString& what, std::function<void()> act)
    {
        return when(what, [] { return true; }, std::move(act));
    }
    Person& pause(int ms)
    {
        steps_ << Step{QStringLiteral("pause"), {}, {}, ms + 5000, ms};
        return *this;
    }
    // The person brings `w`'s window to the front through the window manager.
    Person& activate(QWidget* w)
    {
        const QPointer<QWidget> guarded(w);
        then(QStringLiteral("brings a window forward"), [this, guarded] {
            // Not --sync: a dialog of the window may take the focus at once, and xdotool
            // would wait for the window itself until it gives up.
            xdo({QStringLiteral("windowactivate"), windowId(guarded)});
        });
        // The window, or a dialog of its own that came up at once and took the focus.
        return when(QStringLiteral("the window is active"), [guarded] {
            for (const QWidget* w = QApplication::activeWindow(); w && guarded; w = w->parentWidget())
                if (w == guarded)
                    return true;
            return false;
        });
    }
    // Waits for a message box in front with the keyboard, titled `title`, and clicks `button`.
    Person& answer(const BoxLog& boxes, const QString& title, const QString& button)
    {
        return when(
            QStringLiteral("\"%1\" is shown").arg(title),
            [&boxes, title] {
                QMessageBox* box = boxes.showing();
                return box && box->isActiveWindow() && box->windowTitle() == title;
            },
            [this, &boxes, button] {
                QMessageBox* box = boxes.showing();
                for (QAbstractButton* b : box->buttons())
                    if (b->text() == button) {
                        clickAt(b->mapToGlobal(b->rect().center()));
                        return;
                    }
                ADD_FAILURE() << "no button \"" << button.toStdString() << "\"";
            });
    }
    void clickAt(const QPoint& global)
    {
        xdo(at(global) + QStringList{QStringLiteral("click"), QStringLiteral("1")});
    }
    // Starts xdotool; the next step waits until it has finished.
    void xdo(const QStringList& args)
    {
        stopXdotool();
        process_ = new QProcess;
        process_->setProcessChannelMode(QProcess::ForwardedChannels);
        process_->start(QStringLiteral("xdotool"), args);
    }

    // Runs the steps; false (with the step that failed reported) when one was not ready in time.
    bool run(int ms = 60000)
    {
        next_ = 0;
        failed_ = false;
        stepClock_.start();
        timer_.start(10);
        const bool finished = waitUntil([this] { return failed_ || next_ >= steps_.size(); }, ms);
        timer_.stop();
        if (!finished)
            ADD_FAILURE() << "the person's steps did not finish; waiting at step " << next_ << ": "
                          << (next_ < steps_.size() ? steps_[next_].what.toStdString() : std::string());
        steps_.clear();
        return finished && !failed_;
    }

private:
    struct Step {
        QString what;
        std::function<bool()> ready;
        std::function<void()> act;
        int timeoutMs;
        int pauseMs;
    };
    void tick()
    {
        if (failed_) {
            // A dialog left up runs its loop above the test's: closed, so that the test ends.
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                dialog->reject();
            return;
        }
        if (next_ >= steps_.size())
            return;
        if (process_ && process_->state() != QProcess::NotRunning) {
            stepClock_.restart();
            return;
        }
        const Step step = steps_[next_];
        const bool ready = step.pauseMs >= 0 ? stepClock_.elapsed() >= step.pauseMs : step.ready();
        if (!ready) {
            if (stepClock_.elapsed() > step.timeoutMs) {
                failed_ = true;
                ADD_FAILURE() << "step " << next_ << " never became ready: " << step.what.toStdString();
            }
            return;
        }
        if (qEnvironmentVariableIsSet("FOLIVO_DESKTOP_VERBOSE"))
            std::fprintf(stderr, "  [%s] %s\n", qPrintable(QTime::currentTime().toString("ss.zzz")), qPrintable(step.what));
        ++next_;
        stepClock_.restart();
        if (step.act)
            step.act();
    }
    void stopXdotool()
    {
        if (!process_)
            return;
        if (process_->state() != QProcess::NotRunning) {
            process_->kill();
            process_->waitForFinished(2000);
        }
        delete process_;
        process_ = nullptr;
    }

    QTimer timer_;
    QList<Step> steps_;
    qsizetype next_ = 0;
    bool failed_ = false;
    QElapsedTimer stepClock_;
    QProcess* process_ = nullptr;
};

// A picture of the screen around `w` (with whatever is over it), into FOLIVO_DESKTOP_SHOTS
// when that names a folder; for looking at what a test saw.
inline void shot(QWidget* w, const QString& name)
{
    const QString dir = qEnvironmentVariable("FOLIVO_DESKTOP_SHOTS");
    if (dir.isEmpty())
        return;
    const QRect frame = w->window()->frameGeometry();
    w->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()).save(dir + '/' + name + ".png");
}

} // namespace folivo::test::desktop
