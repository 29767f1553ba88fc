#include "loginrunner.h"

#include "loginpanels.h"

#include "platform/typing.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QTimer>
#include <cmath>

// Quiet unless asked for ("folivo.logins.*=true").
Q_LOGGING_CATEGORY(lcLoginRunner, "folivo.logins.runner", QtWarningMsg)

namespace folivo::gui {

namespace {

using Kind = LoginStep::Kind;

// How often and how long a hot-key sequence waits for the person to let go of the keys,
// and an automatic one for Folivo's browser window to come to the front.
constexpr int ModifierPollMs = 50;
constexpr int ModifierPolls = 60; // three seconds
constexpr int OwnBrowserPollMs = 1000;
constexpr int OwnBrowserPolls = 60; // a minute
// Before a paste, the page gets a moment to take the keyboard; after it, the backend says
// within a few seconds whether the text was fetched, and this is only the net below that.
constexpr int BeforePasteMs = 1000;
constexpr int PasteGiveUpMs = 15000;

bool typesKeys(Kind kind)
{
    return kind == Kind::Tab || kind == Kind::Return || kind == Kind::Text;
}

} // namespace

const char* LoginRunner::kindName(LoginStep::Kind kind)
{
    switch (kind) {
    case Kind::Tab: return "Tab";
    case Kind::Return: return "Return";
    case Kind::Text: return "Text";
    case Kind::Wait: return "Wait";
    case Kind::WaitForPage: return "WaitForPage";
    case Kind::ShowWarning: return "ShowWarning";
    case Kind::HideWarning: return "HideWarning";
    case Kind::ShowPassword: return "ShowPassword";
    case Kind::SetBrowserState: return "SetBrowserState";
    case Kind::WaitForOwnBrowser: return "WaitForOwnBrowser";
    case Kind::ShowBrowserWarning: return "ShowBrowserWarning";
    case Kind::ClearBrowserWarning: return "ClearBrowserWarning";
    }
    return "?";
}

LoginRunner::LoginRunner(platform::Typing* typing, LoginPanels* panels, QObject* parent)
    : QObject(parent), typing_(typing), panels_(panels), timer_(new QTimer(this))
{
    timer_->setSingleShot(true);
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_, &QTimer::timeout, this, [this] {
        auto then = std::move(pending_);
        pending_ = nullptr;
        if (then)
            then();
    });
    ownWindowActive = [] {
        return QApplication::activeWindow() != nullptr || QGuiApplication::applicationState() == Qt::ApplicationActive;
    };
}

LoginRunner::~LoginRunner()
{
    if (running_ && begun_ && typing())
        typing()->endSequence();
}

platform::Typing* LoginRunner::typing() const
{
    if (run_.target)
        return targetObject_ ? run_.target->typing() : nullptr;
    return typing_;
}

bool LoginRunner::start(LoginRun run)
{
    if (running_)
        return false;
    run_ = std::move(run);
    index_ = 0;
    begun_ = false;
    haveWindow_ = false;
    window_ = 0;
    characters_.clear();
    character_ = 0;
    waits.clear();
    stepLog.clear();
    running_ = true;
    targetObject_ = run_.target ? run_.target->targetObject() : nullptr;
    const quint64 generation = ++generation_;
    // Only this sequence may end by a late word about its target.
    const auto targetGone = [this, generation] {
        QTimer::singleShot(0, this, [this, generation] {
            if (generation == generation_)
                finish(Outcome::TargetGone);
        });
    };
    if (targetObject_)
        // Its timers die with it; so does the sequence.
        targetConnection_ = connect(targetObject_, &QObject::destroyed, this, targetGone);
    if (run_.target && !targetObject_) {
        targetGone();
        return true;
    }
    qCDebug(lcLoginRunner) << "sequence of" << run_.steps.size() << "steps" << (run_.hotKey ? "(hot key)" : "");
    if (run_.hotKey && !run_.target)
        waitForModifiers(0);
    else
        after(WaitKind::Step, 0, [this] { next(); });
    return true;
}

void LoginRunner::stop()
{
    if (running_)
        finish(Outcome::Stopped);
}

void LoginRunner::waitForModifiers(int polls)
{
    platform::Typing* t = typing();
    if (t && t->modifiersHeld()) {
        if (polls >= ModifierPolls) {
            finish(Outcome::ModifiersHeld);
            return;
        }
        after(WaitKind::Modifiers, ModifierPollMs * 1000, [this, polls] { waitForModifiers(polls + 1); });
        return;
    }
    // The window the person had in front when they pressed the keys is the one typed into.
    if (t) {
        window_ = t->activeWindow();
        haveWindow_ = true;
    }
    next();
}

void LoginRunner::after(WaitKind kind, qint64 micros, std::function<void()> then)
{
    if (micros > 0 || kind != WaitKind::Step)
        waits.append({kind, micros});
    pending_ = std::move(then);
    const double ms = std::max(0.0, double(micros) / 1000.0 * timeScale);
    timer_->start(int(std::lround(ms)));
}

bool LoginRunner::mayType()
{
    platform::Typing* t = typing();
    if (!t) {
        finish(Outcome::TargetGone);
        return false;
    }
    if (run_.target)
        return true; // Folivo's own page takes the keys wherever the focus is
    if (!run_.hotKey && ownWindowActive && ownWindowActive()) {
        finish(Outcome::OwnWindowInFront);
        return false;
    }
    const quint64 now = t->activeWindow();
    if (!haveWindow_) {
        window_ = now;
        haveWindow_ = true;
    } else if (window_ != 0 && now != window_) {
        finish(Outcome::WindowChanged);
        return false;
    }
    if (!begun_) {
        t->beginSequence();
        begun_ = true;
    }
    return true;
}

void LoginRunner::next()
{
    if (!running_)
        return;
    if (index_ >= run_.steps.size()) {
        finish(Outcome::Done);
        return;
    }
    const LoginStep& step = run_.steps[index_++];
    stepLog << QString::fromLatin1(kindName(step.kind));
    qCDebug(lcLoginRunner) << "step" << kindName(step.kind);
    if (typesKeys(step.kind) && !(step.kind == Kind::Text && step.paste) && !mayType())
        return;
    switch (step.kind) {
    case Kind::Tab:
        for (int i = 0; i < step.count; ++i)
            typing()->pressKey(QKeyCombination(Qt::Key_Tab));
        next();
        return;
    case Kind::Return:
        typing()->pressKey(QKeyCombination(Qt::Key_Return));
        next();
        return;
    case Kind::Text:
        if (step.text.isEmpty()) {
            next();
            return;
        }
        if (step.paste) {
            after(WaitKind::BeforePaste, BeforePasteMs * 1000, [this, text = step.text] {
                if (!mayType())
                    return;
                pasteConnection_ = connect(typing(), &platform::Typing::pasteFinished, this, [this](bool) {
                    disconnect(pasteConnection_);
                    timer_->stop();
                    pending_ = nullptr;
                    next();
                });
                // Not scaled: the backend's own answer comes first.
                waits.append({WaitKind::Paste, qint64(PasteGiveUpMs) * 1000});
                pending_ = [this] {
                    disconnect(pasteConnection_);
                    next();
                };
                timer_->start(PasteGiveUpMs);
                typing()->pasteText(text);
            });
            return;
        }
        characters_.clear();
        for (qsizetype i = 0; i < step.text.size();) {
            const qsizetype n = step.text.at(i).isHighSurrogate() && i + 1 < step.text.size() ? 2 : 1;
            characters_ << step.text.mid(i, n);
            i += n;
        }
        character_ = 0;
        typeCharacters();
        return;
    case Kind::Wait:
    case Kind::WaitForPage:
        after(WaitKind::Step, qint64(step.millis) * 1000, [this] { next(); });
        return;
    case Kind::ShowWarning:
        if (panels_ && !run_.target)
            panels_->showWarning();
        next();
        return;
    case Kind::HideWarning:
        if (panels_)
            panels_->hideWarning();
        next();
        return;
    case Kind::ShowPassword:
        if (panels_)
            panels_->showPassword(step.text, int(std::lround(step.millis * timeScale)));
        next();
        return;
    case Kind::SetBrowserState:
        if (run_.target && targetObject_)
            run_.target->setAutoLoginState(step.count);
        next();
        return;
    case Kind::ShowBrowserWarning:
        if (run_.target && targetObject_)
            run_.target->showAutoLoginWarning();
        next();
        return;
    case Kind::ClearBrowserWarning:
        if (run_.target && targetObject_)
            run_.target->clearAutoLoginWarning();
        next();
        return;
    case Kind::WaitForOwnBrowser:
        waitForOwnBrowser(0);
        return;
    }
}

void LoginRunner::waitForOwnBrowser(int polls)
{
    if (!run_.target || !targetObject_) {
        // Only Folivo's browser window knows when it is in front; without one there is
        // nothing to wait for and nowhere to type.
        finish(Outcome::NoBrowserWindow);
        return;
    }
    if (run_.target->inFront()) {
        next();
        return;
    }
    if (polls >= OwnBrowserPolls) {
        finish(Outcome::NoBrowserWindow);
        return;
    }
    after(WaitKind::OwnBrowser, OwnBrowserPollMs * 1000, [this, polls] { waitForOwnBrowser(polls + 1); });
}

void LoginRunner::typeCharacters()
{
    if (!running_)
        return;
    if (character_ >= characters_.size()) {
        characters_.clear();
        next();
        return;
    }
    if (run_.characterDelayMicros <= 0) {
        if (!mayType())
            return;
        // No pause: the rest goes in one call, back to back.
        typing()->typeText(characters_.mid(character_).join(QString()));
        character_ = int(characters_.size());
        typeCharacters();
        return;
    }
    after(WaitKind::Character, run_.characterDelayMicros, [this] {
        if (!mayType())
            return;
        typing()->typeText(characters_.at(character_++));
        typeCharacters();
    });
}

void LoginRunner::finish(Outcome outcome)
{
    if (!running_)
        return;
    running_ = false;
    timer_->stop();
    pending_ = nullptr;
    disconnect(pasteConnection_);
    disconnect(targetConnection_);
    if (begun_) {
        if (platform::Typing* t = typing())
            t->endSequence();
        begun_ = false;
    }
    if (panels_)
        panels_->hideWarning();
    if (run_.target && targetObject_ && outcome != Outcome::Done)
        run_.target->clearAutoLoginWarning();
    // Nothing of the login stays behind once it is typed.
    characters_.clear();
    run_.steps.clear();
    run_.target = nullptr;
    targetObject_ = nullptr;
    qCDebug(lcLoginRunner) << "sequence ended" << int(outcome);
    emit finished(outcome);
}

} // namespace folivo::gui
