#pragma once
// Helpers for driving modal dialogs and finding the fixture packages.

#include "support/testsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <memory>
#include <ostream>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace folivo::test {

// The folder the fixture packages were generated into, once per run; empty on failure.
inline QString fixturesDir()
{
    static std::unique_ptr<Scratch> scratch;
    static bool made = false;
    if (!scratch) {
        scratch = std::make_unique<Scratch>();
        made = makeFixtures(scratch->path());
    }
    return made ? scratch->path() : QString();
}

// What a modal message box showed.
struct SeenBox {
    QString title;
    QString text;
    QStringList buttons; // in the order they were added
    QString defaultButton;
    QString escapeButton;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool windowModal = false;
};

// Answers every modal message box that appears while it lives with `act`, recording what
// each showed. A box still up a few seconds after `act` had it is rejected, so that a
// test fails instead of hanging.
class ModalResponder {
public:
    using Action = std::function<void(QMessageBox*)>;
    explicit ModalResponder(Action act) : act_(std::move(act))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start(10);
    }
    const QList<SeenBox>& seen() const { return seen_; }

private:
    void poll()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        if (box == last_) {
            if (shownFor_.elapsed() > 5000)
                box->reject(); // `act` did not answer it
            return;
        }
        last_ = box;
        shownFor_.start();
        SeenBox s;
        s.title = box->windowTitle();
        s.text = box->text() + box->informativeText();
        for (QAbstractButton* b : box->buttons())
            s.buttons << b->text();
        s.defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
        s.escapeButton = box->escapeButton() ? box->escapeButton()->text() : QString();
        s.icon = box->icon();
        s.windowModal = box->windowModality() == Qt::WindowModal;
        seen_ << s;
        act_(box);
    }

    Action act_;
    QTimer timer_;
    QElapsedTimer shownFor_;
    QPointer<QMessageBox> last_; // a later box may reuse the address of a gone one
    QList<SeenBox> seen_;
};

// Drives the modal dialogs of type D that come up while it lives: every few milliseconds
// the next step runs on the dialog then up, with events handled in between, so that a
// test can type, press a button, look at the result and go on in the same dialog. A dialog still up a few seconds after
// the last step is rejected, so that a test fails instead of hanging.
template <class D>
class ModalScript {
public:
    using Step = std::function<void(D*)>;
    explicit ModalScript(QList<Step> steps) : steps_(std::move(steps))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start(10);
        idle_.start();
    }
    qsizetype stepsRun() const { return next_; }

private:
    void poll()
    {
        auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        if (next_ < steps_.size()) {
            const Step step = steps_[next_++];
            step(dialog);
            idle_.restart();
        } else if (idle_.elapsed() > 5000) {
            dialog->reject(); // the script ran out while the dialog stayed up
        }
    }

    QList<Step> steps_;
    qsizetype next_ = 0;
    QTimer timer_;
    QElapsedTimer idle_;
};

} // namespace folivo::test
