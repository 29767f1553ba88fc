#pragma once
// Text shown read-only, selectable and copyable. A long text goes in slice after slice
// between turns of the event loop, so the window answers while a large file fills in.

#include "find/filetext.h"

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
    // The longest slice so far, in milliseconds (for benchmarks).
    qint64 longestSliceMs() const { return longest_; }

signals:
    void filled();

private:
    void fillSlice();
    void insertPiece(QTextCursor& cursor, qsizetype end);

    QString text_;
    std::vector<RtfRun> runs_;
    size_t run_ = 0; // the run `at_` is in
    qsizetype at_ = 0;
    qint64 longest_ = 0;
    QTimer timer_;
};

} // namespace folivo::gui
