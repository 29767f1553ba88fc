#pragma once
// Text shown read-only, selectable and copyable. A long text goes in slice after slice
// between turns of the event loop, so the window answers while a large file fills in.

#include "find/filetext.h"
#include "find/highlight.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTimer>
#include <vector>

namespace folivo::gui {

class TextView : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TextView(QWidget* parent = nullptr);

    // Replaces what is shown; the text goes in over the next turns of the event loop, in
    // the formatting of `runs` (none: the view's own).
    void showText(QString text, std::vector<RtfRun> runs = {});
    void clearText();
    bool filling() const { return at_ < text_.size(); }
    // The whole text being shown, also the part not yet filled in.
    const QString& text() const { return text_; }
    // Marks the ranges of the text (a search's matches) all at once, the text cursor on the
    // first; ranges in a part not filled in yet are marked when it is. Showing another text
    // drops them.
    void setMarks(std::vector<TextRange> ranges);
    const std::vector<TextRange>& marks() const { return marks_; }
    // The ranges marked in the view so far.
    int marksShown() const { return int(extraSelections().size()); }
    // The longest slice so far, in milliseconds (for benchmarks).
    qint64 longestSliceMs() const { return longest_; }

signals:
    void filled();

private:
    void fillSlice();
    void insertPiece(QTextCursor& cursor, qsizetype end);
    void applyMarks();

    QString text_;
    std::vector<RtfRun> runs_;
    std::vector<TextRange> marks_;
    bool marksApplied_ = false;
    size_t run_ = 0; // the run `at_` is in
    qsizetype at_ = 0;
    qint64 longest_ = 0;
    QTimer timer_;
};

} // namespace folivo::gui
