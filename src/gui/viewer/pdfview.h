#pragma once
// A PDF document shown page under page, zoomed and rotated. Only the pages in sight are
// rendered, and rendered pages are kept in a cache of bounded size, so a document of any
// length costs what a few pages cost.

#include <QAbstractScrollArea>
#include <QCache>
#include <QImage>
#include <QRectF>
#include <QPointer>
#include <vector>

#include <QPdfDocument>

class QPainter;

namespace folivo::gui {

class PdfView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit PdfView(QWidget* parent = nullptr);

    // The document shown (not owned); nullptr shows nothing.
    void setDocument(QPdfDocument* document);
    QPdfDocument* document() const { return document_; }
    // Rotation in degrees counter-clockwise, a multiple of 90.
    void setDisplay(double scale, double rotation);
    double scale() const { return scale_; }
    double rotation() const { return rotation_; }
    void scrollToTop();
    QPoint scrollPosition() const;
    void setScrollPosition(QPoint at);
    QSize contentSize() const { return content_; }
    // The rectangle of a page in the content, at the current scale and rotation.
    QRect pageRect(int page) const;
    // Marks places on pages (a search's matches): rectangles in page points, origin at the
    // top left of the unturned page. Setting another document drops them.
    struct Mark {
        int page = 0;
        QRectF rect;
    };
    void setMarks(std::vector<Mark> marks);
    const std::vector<Mark>& marks() const { return marks_; }
    // Where a mark stands in the content, at the current scale and rotation.
    QRect markRect(const Mark& mark) const;
    // How many pages were rendered since the document was set (for tests and benchmarks).
    int pagesRendered() const { return rendered_; }

signals:
    // The first page was painted after a document was set.
    void firstPagePainted();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void layoutPages();
    void updateScrollBars();
    QImage pageImage(int page, QSize size);
    void paintMarks(QPainter& p, int page, QPoint offset);

    QPointer<QPdfDocument> document_;
    double scale_ = 1.0;
    double rotation_ = 0.0;
    std::vector<QRect> pages_; // in content coordinates
    std::vector<Mark> marks_;
    QSize content_;
    QCache<int, QImage> cache_; // cost: bytes
    int rendered_ = 0;
    bool firstPainted_ = false;
};

} // namespace folivo::gui
