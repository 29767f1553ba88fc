#pragma once
// The content area's page for the selected file: it chooses how to show the file (a movie,
// a PDF, an image, text, or the notice that it cannot be shown), shows it with the item's
// zoom and rotation, and carries out the viewer's commands. In an encrypted database the
// file is read into memory (a movie, which a player must read from a file, from the
// database's private plain copy): nothing plain is written into the package.

#include "content/shownfile.h"

#include "viewer/displaysettings.h"
#include "viewer/presentation.h"

#include <QByteArray>
#include <QImage>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>

class QBuffer;
class QLabel;
class QPdfDocument;
class QPdfSearchModel;
class QStackedWidget;

namespace folivo {
class MyDocument;
class PlainCopy;
} // namespace folivo

namespace folivo::gui {

class ImageView;
class MovieView;
class PdfView;
class TextView;

class ViewerPage : public QWidget, public ShownFile {
    Q_OBJECT
public:
    static inline const QString PageName = QStringLiteral("viewer");

    explicit ViewerPage(MyDocument& doc, QWidget* parent = nullptr);
    ~ViewerPage() override;

    enum class Mode { None, Waiting, Movie, Unsupported, Pdf, Image, Text };

    // Shows the stored file at `path` (its check on disk passed); any other file shown
    // before goes, and with it enhance mode and the PDF-as-text switch.
    void showItem(const QString& path);
    // Shows nothing.
    void clearShown();

    Mode mode() const { return mode_; }
    // The file is a PDF, shown as pages or as its text.
    bool showsPdfFile() const { return isPdf_; }
    // Zoom, rotation and enhance apply: a PDF shown as pages, or an image.
    bool canZoom() const { return (mode_ == Mode::Pdf || mode_ == Mode::Image) && !pdfAsText_; }
    bool enhanced() const { return enhanced_; }
    bool pdfAsText() const { return pdfAsText_; }
    DisplaySettings displaySettings() const { return settings_; }
    QString pathLine() const { return pathLine_; }

    // A zoom or rotation step: shown at once, and stored in the item unless enhance mode
    // is on.
    void step(DisplayStep step);
    // Enhance mode; the sharpened picture is computed away from the window and comes a
    // moment later (enhanceReady()).
    void setEnhanced(bool on);
    void setPdfAsText(bool on);

    // The views, for the commands and for tests.
    PdfView* pdfView() const { return pdfView_; }
    ImageView* imageView() const { return imageView_; }
    TextView* textView() const { return textView_; }
    MovieView* movieView() const { return movieView_; }

    // Whether movie and sound files are tried in a player at all (a window without a
    // multimedia backend, or a test, turns it off).
    void setMoviesEnabled(bool on) { moviesEnabled_ = on; }

    // ShownFile.
    QString shownItemPath() const override { return shown_; }
    bool showsTextOrPdf() const override { return mode_ == Mode::Text || isPdf_; }
    QString selectedText() const override;
    QString fullText() const override;
    void markContents(const QString& path, std::vector<ContentsNeedle> needles) override;
    // The needles the shown file is marked by (none: no marks).
    const std::vector<ContentsNeedle>& contentsMarks() const { return needles_; }

signals:
    // What is shown changed (another file, or another presentation of it).
    void shownChanged();
    // The state the commands follow changed (enhance, PDF as text, zoom).
    void stateChanged();
    // The path line for the file shown, with its size.
    void pathLineReady(const QString& line);
    // The selection in the text shown changed.
    void textSelectionChanged(bool hasSelection);
    // The sharpened picture is shown.
    void enhanceReady();

private:
    struct Source;
    bool loadSource(const QString& path);
    void present(bool movieFailed);
    void showPresentation(Presentation p);
    bool probePdf();
    bool probeImage();
    bool probeText();
    void decodeImage();
    void loadText();
    void redisplay(std::optional<QPointF> keepCorner = {});
    void showPage(QWidget* page);
    void resetState();
    // Marks the needles in what is shown now: the text, or the PDF's pages.
    void applyMarks();
    void collectPdfMarks();
    QByteArray pdfBytes() const;

    MyDocument& doc_;
    QStackedWidget* stack_;
    QWidget* blank_;
    QLabel* notice_;
    PdfView* pdfView_;
    ImageView* imageView_;
    TextView* textView_;
    MovieView* movieView_;

    QString shown_;
    std::unique_ptr<Source> source_;
    Mode mode_ = Mode::None;
    bool isPdf_ = false;
    bool imageFailed_ = false; // its header said image, its decoding failed
    bool enhanced_ = false;
    bool pdfAsText_ = false;
    bool moviesEnabled_ = true;
    quint64 generation_ = 0; // of the file shown; late answers for an older one are dropped
    DisplaySettings settings_;
    double imageFactor_ = 1.0; // image pixels per shown pixel at scale 1 (a sharpened PDF page is finer)
    QString pathLine_;

    QPdfDocument* pdf_;
    std::unique_ptr<QBuffer> pdfBuffer_;
    QImage image_;                           // the image as read, kept while it is shown
    int textForm_ = 0;                       // how the text probe found the text is to be read
    mutable std::optional<QString> pdfText_; // the PDF's text once read
    QString markPath_;                        // the file the needles are for
    std::vector<ContentsNeedle> needles_;
    // One search of the PDF for each needle, in the needles' order.
    std::vector<std::unique_ptr<QPdfSearchModel>> searches_;
};

} // namespace folivo::gui
