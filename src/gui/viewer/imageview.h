#pragma once
// An image shown zoomed and rotated. The image is kept once, at its own size: zoom and
// rotation are a transform applied while painting, so no bitmap of the zoomed size is
// ever made, and only the part in sight is drawn.

#include <QAbstractScrollArea>
#include <QImage>
#include <QTransform>

namespace folivo::gui {

class ImageView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit ImageView(QWidget* parent = nullptr);

    void setImage(QImage image);
    const QImage& image() const { return image_; }
    // Rotation in degrees counter-clockwise, a multiple of 90.
    void setDisplay(double scale, double rotation);
    double scale() const { return scale_; }
    double rotation() const { return rotation_; }
    // Scrolls to the corner that holds the image's top-left corner.
    void scrollToImageOrigin();
    QPoint scrollPosition() const;
    void setScrollPosition(QPoint at);
    QSize contentSize() const { return content_; }
    // Image to content coordinates.
    QTransform imageToContent() const { return transform_; }

signals:
    void firstPainted();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void relayout();

    QImage image_;
    double scale_ = 1.0;
    double rotation_ = 0.0;
    QTransform transform_;
    QSize content_;
    bool painted_ = false;
};

} // namespace folivo::gui
