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
    marks_.clear();
    marksApplied_ = false;
    setExtraSelections({});
    run_ = 0;
    at_ = 0;
    clear();
}

void TextView::setMarks(std::vector<TextRange> ranges)
{
    marks_.clear();
    for (const TextRange& r : ranges)
        if (r.length > 0 && r.start >= 0 && r.end() <= text_.size())
            marks_.push_back(r);
    marksApplied_ = false;
    setExtraSelections({});
    applyMarks();
}

void TextView::applyMarks()
{
    // Marks go in once the whole text is in: a selection made on a part would have to be
    // made again with every slice.
    if (marksApplied_ || filling() || marks_.empty())
        return;
    marksApplied_ = true;
    QTextCharFormat format;
    format.setBackground(palette().color(QPalette::Highlight));
    format.setForeground(palette().color(QPalette::HighlightedText));
    QList<QTextEdit::ExtraSelection> selections;
    selections.reserve(qsizetype(marks_.size()));
    for (const TextRange& r : marks_) {
        QTextEdit::ExtraSelection s;
        s.cursor = QTextCursor(document());
        s.cursor.setPosition(int(r.start));
        s.cursor.setPosition(int(r.end()), QTextCursor::KeepAnchor);
        s.format = format;
        selections << s;
    }
    setExtraSelections(selections);
    // The first match selected and in sight.
    QTextCursor first(document());
    first.setPosition(int(marks_.front().start));
    first.setPosition(int(marks_.front().end()), QTextCursor::KeepAnchor);
    setTextCursor(first);
    ensureCursorVisible();
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
        applyMarks();
        emit filled();
    }
}

} // namespace folivo::gui
