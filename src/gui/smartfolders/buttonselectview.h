#pragma once
// A view of toggle buttons, one a title, selected ones first: the tags and date tags a tag
// smart folder can require. The buttons flow left to right and wrap; the view's height
// follows its width, and a change of it is told so that the panel holding it can grow.

#include <QStringList>
#include <QWidget>
#include <vector>

class QPushButton;

namespace folivo::gui {

class ButtonSelectView : public QWidget {
    Q_OBJECT
public:
    explicit ButtonSelectView(QWidget* parent = nullptr);

    // Shows `titles` (selected first, as the panel orders them) with `selected` pressed.
    void setTitles(const QStringList& titles, const QStringList& selected);
    QStringList titles() const;
    QStringList selectedTitles() const;
    // The button of `title`, for tests; nullptr when it is not shown.
    QPushButton* buttonFor(const QString& title) const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // A button was pressed: the title toggled.
    void titleToggled(const QString& title);
    void heightChanged(int height);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void place();
    QList<int> textWidths() const;

    std::vector<QPushButton*> buttons_;
    int lastHeight_ = 0;
};

} // namespace folivo::gui
