#include "viewer/imageview.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <cmath>

namespace folivo::gui {

ImageView::ImageView(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
}

void ImageView::setImage(QImage image)
{
    image_ = std::move(image);
    painted_ = false;
    relayout();
}

void ImageView::setDisplay(double scale, double rotation)
{
    scale_ = scale;
    rotation_ = rotation;
    relayout();
}

void ImageView::relayout()
{
    // Counter-clockwise on the screen is a negative angle in Qt's downward y.
    QTransform t;
    t.rotate(-rotation_);
    t.scale(scale_, scale_);
    const QRectF bounds = t.mapRect(QRectF(image_.rect()));
    const QSize shown(int(std::ceil(bounds.width())), int(std::ceil(bounds.height())));
    // The view is at least as large as what it shows through; a smaller image sits in the middle.
    const QSize view = viewport()->size();
    content_ = shown.expandedTo(view);
    const QPointF margin((content_.width() - bounds.width()) / 2, (content_.height() - bounds.height()) / 2);
    transform_ = t * QTransform::fromTranslate(margin.x() - bounds.left(), margin.y() - bounds.top());
    horizontalScrollBar()->setRange(0, std::max(0, content_.width() - view.width()));
    horizontalScrollBar()->setPageStep(view.width());
    verticalScrollBar()->setRange(0, std::max(0, content_.height() - view.height()));
    verticalScrollBar()->setPageStep(view.height());
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setSingleStep(20);
    viewport()->update();
}

void ImageView::scrollToImageOrigin()
{
    // The image's top-left corner lands in one of the content's corners (the origin when
    // upright, the bottom-left after a left turn, ...): scroll to that corner.
    const QPointF corner = transform_.map(QPointF(0, 0));
    const bool right = corner.x() > content_.width() / 2.0;
    const bool bottom = corner.y() > content_.height() / 2.0;
    setScrollPosition({right ? horizontalScrollBar()->maximum() : 0, bottom ? verticalScrollBar()->maximum() : 0});
}

QPoint ImageView::scrollPosition() const
{
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

void ImageView::setScrollPosition(QPoint at)
{
    horizontalScrollBar()->setValue(at.x());
    verticalScrollBar()->setValue(at.y());
}

void ImageView::paintEvent(QPaintEvent* event)
{
    QPainter p(viewport());
    p.fillRect(event->rect(), palette().color(QPalette::Dark));
    if (image_.isNull())
        return;
    p.setClipRect(event->rect());
    const QPoint offset = scrollPosition();
    p.setTransform(transform_ * QTransform::fromTranslate(-offset.x(), -offset.y()));
    // Smooth scaling only where it shows: at 1:1 it is a plain copy of the pixels in sight.
    if (scale_ != 1.0)
        p.setRenderHint(QPainter::SmoothPixmapTransform, scale_ < 4.0);
    // Only the part of the image in sight goes through the transform.
    const QRectF needed = p.transform().inverted().mapRect(QRectF(event->rect())).adjusted(-2, -2, 2, 2);
    const QRect source = needed.toAlignedRect().intersected(image_.rect());
    if (!source.isEmpty())
        p.drawImage(source.topLeft(), image_, source);
    if (!painted_) {
        painted_ = true;
        emit firstPainted();
    }
}

void ImageView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    relayout();
}

void ImageView::scrollContentsBy(int, int)
{
    viewport()->update();
}

} // namespace folivo::gui
