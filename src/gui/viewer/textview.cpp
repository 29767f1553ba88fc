#include "viewer/textview.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>

namespace folivo::gui {

namespace {

// Text goes in pieces of about this many characters, as many as fit in this many
// milliseconds per turn of the event loop.
constexpr qsizetype PieceChars = 16 * 1024;
constexpr qint64 SliceMs = 10;

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
    runs_.clear();
    run_ = 0;
    at_ = 0;
    clear();
}

void TextView::showText(QString text, std::vector<RtfRun> runs)
{
    clearText();
    text_ = std::move(text);
    runs_ = std::move(runs);
    run_ = 0;
    longest_ = 0;
    fillSlice();
}

void TextView::insertPiece(QTextCursor& cursor, qsizetype end)
{
    if (runs_.empty()) {
        cursor.insertText(QStringView(text_).sliced(at_, end - at_).toString());
        at_ = end;
        return;
    }
    // Run by run, each in its own character format.
    while (at_ < end) {
        while (run_ + 1 < runs_.size() && runs_[run_ + 1].start <= at_)
            ++run_;
        const qsizetype runEnd = run_ + 1 < runs_.size() ? std::min(end, runs_[run_ + 1].start) : end;
        const RtfFormat& f = runs_[run_].format;
        QTextCharFormat format;
        format.setFontWeight(f.bold ? QFont::Bold : QFont::Normal);
        format.setFontItalic(f.italic);
        format.setFontUnderline(f.underline);
        format.setFontPointSize(f.halfPoints / 2.0);
        cursor.insertText(QStringView(text_).sliced(at_, runEnd - at_).toString(), format);
        at_ = runEnd;
    }
}

void TextView::fillSlice()
{
    if (at_ >= text_.size()) {
        timer_.stop();
        return;
    }
    QElapsedTimer clock;
    clock.start();
    const bool first = at_ == 0;
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    // Pieces go in until this turn of the event loop has had its share of time.
    do {
        qsizetype end = std::min(text_.size(), at_ + PieceChars);
        // A piece ends at a line break where there is one near, and never inside a
        // surrogate pair.
        if (end < text_.size()) {
            const qsizetype lineEnd = text_.lastIndexOf(u'\n', end - 1);
            if (lineEnd >= at_ + PieceChars / 2)
                end = lineEnd + 1;
            else if (text_.at(end - 1).isHighSurrogate())
                --end;
        }
        insertPiece(cursor, end);
    } while (at_ < text_.size() && clock.elapsed() < SliceMs);
    if (first) {
        // The view shows the beginning however much follows.
        moveCursor(QTextCursor::Start);
        verticalScrollBar()->setValue(0);
    }
    longest_ = std::max(longest_, clock.elapsed());
    if (at_ < text_.size()) {
        if (!timer_.isActive())
            timer_.start();
    } else {
        timer_.stop();
        emit filled();
    }
}

} // namespace folivo::gui
