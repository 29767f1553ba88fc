#include "viewer/pdfview.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfDocumentRenderOptions>
#include <QScrollBar>
#include <cmath>

namespace folivo::gui {

namespace {

constexpr int PageGap = 10;
// Rendered pages kept: enough for a screenful of pages at a large zoom.
constexpr int CacheBytes = 96 * 1024 * 1024;

// Quarter turns clockwise, the way PDF pages and the renderer count them.
int clockwiseQuarters(double counterClockwise)
{
    const int quarters = int(std::lround(-counterClockwise / 90.0));
    return ((quarters % 4) + 4) % 4;
}

} // namespace

PdfView::PdfView(QWidget* parent) : QAbstractScrollArea(parent), cache_(CacheBytes)
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
}

void PdfView::setDocument(QPdfDocument* document)
{
    if (document_)
        disconnect(document_, nullptr, this, nullptr);
    document_ = document;
    cache_.clear();
    rendered_ = 0;
    firstPainted_ = false;
    marks_.clear();
    if (document_)
        connect(document_, &QPdfDocument::pageCountChanged, this, [this] {
            cache_.clear();
            layoutPages();
        });
    layoutPages();
}

void PdfView::setDisplay(double scale, double rotation)
{
    if (scale == scale_ && rotation == rotation_)
        return;
    scale_ = scale;
    rotation_ = rotation;
    cache_.clear();
    layoutPages();
}

QRect PdfView::pageRect(int page) const
{
    return page >= 0 && page < int(pages_.size()) ? pages_[size_t(page)] : QRect();
}

void PdfView::layoutPages()
{
    pages_.clear();
    const int count = document_ ? document_->pageCount() : 0;
    const double pixelsPerPoint = scale_ * logicalDpiY() / 72.0;
    const bool sideways = clockwiseQuarters(rotation_) % 2 == 1;
    int width = 0;
    std::vector<QSize> sizes;
    sizes.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        QSizeF points = document_->pagePointSize(i);
        if (sideways)
            points.transpose();
        const QSize px(std::max(1, int(std::lround(points.width() * pixelsPerPoint))),
                       std::max(1, int(std::lround(points.height() * pixelsPerPoint))));
        sizes.push_back(px);
        width = std::max(width, px.width());
    }
    width += 2 * PageGap;
    int y = PageGap;
    for (const QSize& px : sizes) {
        // Pages are centred in the widest page's column.
        pages_.emplace_back(QPoint((width - px.width()) / 2, y), px);
        y += px.height() + PageGap;
    }
    content_ = count ? QSize(width, y) : QSize();
    updateScrollBars();
    viewport()->update();
}

void PdfView::updateScrollBars()
{
    const QSize view = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, content_.width() - view.width()));
    horizontalScrollBar()->setPageStep(view.width());
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setRange(0, std::max(0, content_.height() - view.height()));
    verticalScrollBar()->setPageStep(view.height());
    verticalScrollBar()->setSingleStep(20);
}

QPoint PdfView::scrollPosition() const
{
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

void PdfView::setScrollPosition(QPoint at)
{
    horizontalScrollBar()->setValue(at.x());
    verticalScrollBar()->setValue(at.y());
}

void PdfView::scrollToTop()
{
    const QRect first = pageRect(0);
    setScrollPosition({first.isValid() ? std::max(0, first.left() - PageGap) : 0, 0});
}

void PdfView::setMarks(std::vector<Mark> marks)
{
    marks_ = std::move(marks);
    std::stable_sort(marks_.begin(), marks_.end(), [](const Mark& a, const Mark& b) { return a.page < b.page; });
    viewport()->update();
}

QRect PdfView::markRect(const Mark& mark) const
{
    const QRect page = pageRect(mark.page);
    if (!page.isValid() || !document_)
        return {};
    const QSizeF points = document_->pagePointSize(mark.page);
    const double w = points.width(), h = points.height();
    // Turned the way the page is drawn (clockwise quarters), then scaled onto the page.
    const auto turn = [&](QPointF p) -> QPointF {
        switch (clockwiseQuarters(rotation_)) {
        case 1:
            return {h - p.y(), p.x()};
        case 2:
            return {w - p.x(), h - p.y()};
        case 3:
            return {p.y(), w - p.x()};
        default:
            return p;
        }
    };
    const QRectF turned = QRectF(turn(mark.rect.topLeft()), turn(mark.rect.bottomRight())).normalized();
    const bool sideways = clockwiseQuarters(rotation_) % 2 == 1;
    const double sx = page.width() / (sideways ? h : w), sy = page.height() / (sideways ? w : h);
    return QRectF(page.left() + turned.left() * sx, page.top() + turned.top() * sy, turned.width() * sx,
                  turned.height() * sy)
        .toAlignedRect();
}

QImage PdfView::pageImage(int page, QSize size)
{
    if (QImage* cached = cache_.object(page))
        return *cached;
    const qreal ratio = devicePixelRatioF();
    QPdfDocumentRenderOptions options;
    options.setRotation(QPdfDocumentRenderOptions::Rotation(clockwiseQuarters(rotation_)));
    // The size asked for is the size on the screen, already turned.
    QImage image = document_->render(page, size * ratio, options);
    ++rendered_;
    image.setDevicePixelRatio(ratio);
    const auto cost = qsizetype(image.sizeInBytes());
    cache_.insert(page, new QImage(image), int(std::min<qsizetype>(cost, CacheBytes)));
    return image;
}

void PdfView::paintEvent(QPaintEvent* event)
{
    QPainter p(viewport());
    p.fillRect(event->rect(), palette().color(QPalette::Dark));
    if (!document_ || pages_.empty())
        return;
    const QPoint offset = scrollPosition();
    const QRect visible = event->rect().translated(offset);
    // Pages are in order from the top: find the first in sight by bisection.
    auto it = std::lower_bound(pages_.begin(), pages_.end(), visible.top(),
                               [](const QRect& r, int top) { return r.bottom() < top; });
    for (; it != pages_.end() && it->top() <= visible.bottom(); ++it) {
        const int page = int(it - pages_.begin());
        const QRect at = it->translated(-offset);
        const QImage image = pageImage(page, it->size());
        // Pages are rendered transparent where nothing is printed: paper is white.
        p.fillRect(at, Qt::white);
        if (!image.isNull())
            p.drawImage(at, image);
        paintMarks(p, page, offset);
        if (page == 0 && !firstPainted_) {
            firstPainted_ = true;
            emit firstPagePainted();
        }
    }
}

void PdfView::paintMarks(QPainter& p, int page, QPoint offset)
{
    const auto first = std::lower_bound(marks_.begin(), marks_.end(), page,
                                        [](const Mark& m, int pg) { return m.page < pg; });
    QColor colour = palette().color(QPalette::Highlight);
    colour.setAlpha(96);
    for (auto it = first; it != marks_.end() && it->page == page; ++it)
        p.fillRect(markRect(*it).translated(-offset), colour);
}

void PdfView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void PdfView::scrollContentsBy(int, int)
{
    viewport()->update();
}

void PdfView::keyPressEvent(QKeyEvent* event)
{
    QScrollBar* v = verticalScrollBar();
    switch (event->key()) {
    case Qt::Key_PageDown:
        v->setValue(v->value() + std::max(1, viewport()->height() - 40));
        return;
    case Qt::Key_PageUp:
        v->setValue(v->value() - std::max(1, viewport()->height() - 40));
        return;
    case Qt::Key_Home:
        scrollToTop();
        return;
    case Qt::Key_End:
        v->setValue(v->maximum());
        return;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

} // namespace folivo::gui
