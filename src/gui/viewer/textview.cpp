#include "viewer/textview.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

namespace folivo::gui {

namespace {

// A slice should take about this long; slices grow or shrink toward it.
constexpr qint64 SliceTargetMs = 15;

} // namespace

TextView::TextView(QWidget* parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setUndoRedoEnabled(false);
    timer_.setInterval(0);
    connect(&timer_, &QTimer::timeout, this, &TextView::fillSlice);
}

void TextView::clearText()
{
    timer_.stop();
    text_.clear();
    at_ = 0;
    clear();
}

void TextView::showText(QString text)
{
    clearText();
    text_ = std::move(text);
    longest_ = 0;
    fillSlice();
}

void TextView::fillSlice()
{
    if (at_ >= text_.size()) {
        timer_.stop();
        return;
    }
    QElapsedTimer clock;
    clock.start();
    qsizetype end = std::min(text_.size(), at_ + slice_);
    // End a slice at a line break where there is one near, and never inside a surrogate pair.
    if (end < text_.size()) {
        const qsizetype lineEnd = text_.lastIndexOf(u'\n', end - 1);
        if (lineEnd >= at_ + slice_ / 2)
            end = lineEnd + 1;
        else if (text_.at(end - 1).isHighSurrogate())
            --end;
    }
    const bool first = at_ == 0;
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QStringView(text_).sliced(at_, end - at_).toString());
    at_ = end;
    if (first) {
        // The view shows the beginning however much follows.
        moveCursor(QTextCursor::Start);
        verticalScrollBar()->setValue(0);
    }
    const qint64 took = clock.elapsed();
    longest_ = std::max(longest_, took);
    if (took < SliceTargetMs / 2 && slice_ < 4 * 1024 * 1024)
        slice_ *= 2;
    else if (took > SliceTargetMs && slice_ > 4096)
        slice_ /= 2;
    if (at_ < text_.size()) {
        if (!timer_.isActive())
            timer_.start();
    } else {
        timer_.stop();
        emit filled();
    }
}

} // namespace folivo::gui
