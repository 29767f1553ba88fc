#pragma once
// Text shown read-only, selectable and copyable. A long text goes in slice after slice
// between turns of the event loop, so the window answers while a large file fills in.

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTimer>

namespace folivo::gui {

class TextView : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TextView(QWidget* parent = nullptr);

    // Replaces what is shown; the text goes in over the next turns of the event loop.
    void showText(QString text);
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

    QString text_;
    qsizetype at_ = 0;
    qsizetype slice_ = 64 * 1024;
    qint64 longest_ = 0;
    QTimer timer_;
};

} // namespace folivo::gui
