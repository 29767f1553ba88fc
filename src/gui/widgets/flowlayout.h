#pragma once
// A layout that places its widgets in rows, left to right, starting a new row when the
// width is used up: the chips of the tags field. Its height follows its width, so the
// widget holding it grows and shrinks with what it shows.

#include <QLayout>
#include <QList>

namespace folivo::gui {

class FlowLayout : public QLayout {
public:
    explicit FlowLayout(QWidget* parent = nullptr, int spacing = 4);
    ~FlowLayout() override;

    void addItem(QLayoutItem* item) override;
    // Puts `widget` at `index` among the items (the end when out of range).
    void insertWidget(int index, QWidget* widget);
    int count() const override { return int(items_.size()); }
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

private:
    int arrange(const QRect& rect, bool apply) const;
    QList<QLayoutItem*> items_;
    int gap_;
};

} // namespace folivo::gui
