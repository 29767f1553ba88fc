#include "viewer/viewerpage.h"

#include "viewer/enhance.h"
#include "viewer/imageview.h"
#include "viewer/movieview.h"
#include "viewer/pdfview.h"
#include "viewer/textview.h"
#include "viewer/viewermessages.h"

#include "crypto/storedforms.h"
#include "find/filetext.h"
#include "store/indexitem.h"
#include "store/mydocument.h"

#include <QBuffer>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QImageReader>
#include <QLabel>
#include <QPdfDocument>
#include <QPdfSearchModel>
#include <QPdfSelection>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

namespace folivo::gui {

namespace {

// An encrypted database's file is read into memory up to this size; a larger one is read
// from the database's private plain copy.
constexpr qsizetype MaxInMemoryBytes = 256 * 1024 * 1024;
// Pages of a PDF are sharpened at this resolution.
constexpr double EnhanceDpi = 150.0;
// A bundle of rich text keeps its text here.
const QString BundleText = QStringLiteral("TXT.rtf");

bool isRtfName(const QString& name)
{
    return QFileInfo(name).suffix().compare(QLatin1String("rtf"), Qt::CaseInsensitive) == 0;
}

bool isRtfdName(const QString& name)
{
    return QFileInfo(name).suffix().compare(QLatin1String("rtfd"), Qt::CaseInsensitive) == 0;
}

qint64 sizeOnDisk(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isDir())
        return info.size();
    qint64 total = 0;
    QDirIterator it(path, QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        total += it.fileInfo().size();
    }
    return total;
}

// At most `max` bytes of a regular file; `more` tells whether the file goes on.
QByteArray readStart(const QString& path, qint64 max, bool* more)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = f.read(max + 1);
    *more = bytes.size() > max;
    if (*more)
        bytes.truncate(max);
    return bytes;
}

} // namespace

// Where the shown file's bytes are: a plain file on disk (the item itself in a plain
// database, the private copy in an encrypted one) or the bytes in memory.
struct ViewerPage::Source {
    QString name;        // the item's file name, which decides by extension
    QString file;        // a plain file to read; empty when the bytes are in memory
    QByteArray bytes;    // the plain content, when in memory
    bool bundle = false; // a folder item: its rich text is in memory or under `file`
    qint64 size = 0;
    std::optional<PlainCopy> copy; // the private plain copy `file` is, if any
};

ViewerPage::ViewerPage(MyDocument& doc, QWidget* parent)
    : QWidget(parent),
      doc_(doc),
      stack_(new QStackedWidget(this)),
      blank_(new QWidget(stack_)),
      notice_(new QLabel(stack_)),
      pdfView_(new PdfView(stack_)),
      imageView_(new ImageView(stack_)),
      textView_(new TextView(stack_)),
      movieView_(new MovieView(stack_)),
      pdf_(new QPdfDocument(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(stack_);
    notice_->setAlignment(Qt::AlignCenter);
    notice_->setWordWrap(true);
    notice_->setText(QStringLiteral("<p><b>%1</b></p><p>%2</p>")
                         .arg(viewermsg::Unsupported.toHtmlEscaped(), viewermsg::UnsupportedDetail.toHtmlEscaped()));
    for (QWidget* w :
         {blank_, static_cast<QWidget*>(notice_), static_cast<QWidget*>(pdfView_), static_cast<QWidget*>(imageView_),
          static_cast<QWidget*>(textView_), static_cast<QWidget*>(movieView_)})
        stack_->addWidget(w);
    connect(textView_, &QPlainTextEdit::copyAvailable, this, &ViewerPage::textSelectionChanged);
    connect(movieView_, &MovieView::playable, this, [this] {
        mode_ = Mode::Movie;
        showPage(movieView_);
        emit shownChanged();
        emit stateChanged();
    });
    connect(movieView_, &MovieView::failed, this, [this] {
        if (mode_ == Mode::Waiting)
            present(true);
    });
}

ViewerPage::~ViewerPage()
{
    ++generation_;
    movieView_->stop();
    pdfView_->setDocument(nullptr);
    pdf_->close();
}

void ViewerPage::showPage(QWidget* page)
{
    stack_->setCurrentWidget(page);
}

void ViewerPage::resetState()
{
    ++generation_;
    movieView_->stop();
    textView_->clearText();
    pdfView_->setDocument(nullptr);
    pdf_->close();
    pdfBuffer_.reset();
    imageView_->setImage({});
    image_ = {};
    textForm_ = 0;
    pdfText_.reset();
    searches_.clear();
    source_.reset();
    mode_ = Mode::None;
    isPdf_ = false;
    imageFailed_ = false;
    enhanced_ = false;
    imageFactor_ = 1.0;
    pdfAsText_ = false;
    settings_ = {};
    pathLine_.clear();
}

void ViewerPage::clearShown()
{
    const bool had = !shown_.isEmpty() || mode_ != Mode::None;
    resetState();
    shown_.clear();
    showPage(blank_);
    if (had) {
        emit shownChanged();
        emit stateChanged();
    }
}

bool ViewerPage::loadSource(const QString& path)
{
    auto source = std::make_unique<Source>();
    source->name = QFileInfo(path).fileName();
    if (!doc_.dbEncrypted()) {
        source->file = doc_.absolutePath(path);
        if (source->file.isEmpty())
            return false;
        source->bundle = QFileInfo(source->file).isDir();
        source->size = sizeOnDisk(source->file);
        source_ = std::move(source);
        return true;
    }
    // Encrypted: the plain bytes go into memory only. A bundle gives its rich text.
    source->bundle = isRtfdName(path);
    bool tooLarge = false;
    QByteArray bytes;
    const bool read =
        doc_.readItemContent(path, source->bundle ? BundleText : QString(), [&](const char* data, qsizetype n) {
            if (bytes.size() + n > MaxInMemoryBytes) {
                tooLarge = true;
                return false;
            }
            bytes.append(data, n);
            return true;
        });
    if (read && !tooLarge) {
        source->bytes = std::move(bytes);
        source->size = source->bytes.size();
        source_ = std::move(source);
        return true;
    }
    if (!tooLarge && !source->bundle)
        return false;
    // Too large for memory: the private plain copy, outside the package.
    std::optional<PlainCopy> copy = doc_.plainCopyForReading(path);
    if (!copy || !copy->valid())
        return false;
    source->file = copy->path();
    source->bundle = QFileInfo(source->file).isDir();
    source->size = sizeOnDisk(source->file);
    source->copy = std::move(copy);
    source_ = std::move(source);
    return true;
}

void ViewerPage::showItem(const QString& path)
{
    resetState();
    shown_ = path;
    if (path != markPath_) {
        markPath_.clear();
        needles_.clear();
    }
    showPage(blank_);
    if (!loadSource(path)) {
        mode_ = Mode::Unsupported;
        showPage(notice_);
        emit shownChanged();
        emit stateChanged();
        return;
    }
    pathLine_ = pathLineFor(path, source_->size);
    emit pathLineReady(pathLine_);
    present(false);
}

void ViewerPage::present(bool movieFailed)
{
    if (!source_)
        return;
    PresentationProbes probes;
    probes.opensAsPdf = [this] { return probePdf(); };
    probes.opensAsImage = [this] { return probeImage(); };
    probes.readsAsText = [this] { return probeText(); };
    ViewerExtensions lists = ViewerExtensions::builtIn();
    if (!moviesEnabled_)
        lists.movies.clear();
    const Presentation p = choosePresentation(source_->name, lists, probes, movieFailed);
    if (p == Presentation::Movie) {
        // A movie in an encrypted database is played from the private plain copy.
        if (source_->file.isEmpty()) {
            std::optional<PlainCopy> copy = doc_.plainCopyForReading(shown_);
            if (copy && copy->valid()) {
                source_->file = copy->path();
                source_->copy = std::move(copy);
            }
        }
        if (source_->file.isEmpty()) {
            present(true);
            return;
        }
        mode_ = Mode::Waiting;
        movieView_->tryFile(QUrl::fromLocalFile(source_->file));
        return;
    }
    showPresentation(p);
}

bool ViewerPage::probePdf()
{
    // The PDF reader looks for its header near the start; anything else is not tried.
    QByteArray head;
    if (source_->bundle)
        return false;
    if (source_->file.isEmpty()) {
        head = source_->bytes.first(std::min<qsizetype>(source_->bytes.size(), 1024));
    } else {
        bool more = false;
        head = readStart(source_->file, 1024, &more);
    }
    if (!head.contains("%PDF"))
        return false;
    if (source_->file.isEmpty()) {
        pdfBuffer_ = std::make_unique<QBuffer>();
        pdfBuffer_->setData(source_->bytes);
        pdfBuffer_->open(QIODevice::ReadOnly);
        pdf_->load(pdfBuffer_.get());
    } else {
        pdf_->load(source_->file);
    }
    return pdf_->status() == QPdfDocument::Status::Ready && pdf_->pageCount() > 0;
}

namespace {

// The image of a file or of bytes, decoded by its content, not its name; the reader's own
// allocation limit stays in force.
QImage readImage(const QString& file, const QByteArray& bytes)
{
    QBuffer buffer;
    std::unique_ptr<QImageReader> reader;
    if (file.isEmpty()) {
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        reader = std::make_unique<QImageReader>(&buffer);
    } else {
        reader = std::make_unique<QImageReader>(file);
    }
    reader->setDecideFormatFromContent(true);
    reader->setAutoTransform(true);
    return reader->read();
}

// Whether the start of a file or of bytes reads as an image. Only the start is given to the
// image readers: some of them read all they are given to decide, which on a large text
// file would keep the window waiting.
bool startReadsAsImage(const QString& file, const QByteArray& bytes)
{
    constexpr qint64 HeaderBytes = 256 * 1024;
    QByteArray head;
    if (file.isEmpty()) {
        head = bytes.first(std::min<qsizetype>(bytes.size(), HeaderBytes));
    } else {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            return false;
        head = f.read(HeaderBytes);
    }
    QBuffer buffer(&head);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    return reader.canRead() && reader.size().isValid();
}

} // namespace

bool ViewerPage::probeImage()
{
    if (source_->bundle || imageFailed_)
        return false;
    // Only the header here: the decoding itself runs away from the window (a large photo
    // takes a good part of a second), and a file that then fails to decode goes on to the
    // later attempts.
    return startReadsAsImage(source_->file, source_->bytes);
}

void ViewerPage::decodeImage()
{
    auto* watcher = new QFutureWatcher<QImage>(this);
    connect(watcher, &QFutureWatcher<QImage>::finished, this, [this, watcher, g = generation_] {
        watcher->deleteLater();
        if (g != generation_)
            return;
        QImage image = watcher->result();
        if (image.isNull()) {
            imageFailed_ = true;
            present(true);
            return;
        }
        image_ = std::move(image);
        const IndexItem* item = doc_.tree().itemForPath(shown_);
        mode_ = Mode::Image;
        settings_ = item ? displaySettingsOf(*item) : DisplaySettings{};
        imageView_->setImage(image_);
        imageView_->setDisplay(settings_.scale, settings_.rotation);
        showPage(imageView_);
        imageView_->scrollToImageOrigin();
        QTimer::singleShot(0, this, [this, g] {
            if (g == generation_)
                imageView_->scrollToImageOrigin();
        });
        emit shownChanged();
        emit stateChanged();
    });
    watcher->setFuture(
        QtConcurrent::run([file = source_->file, bytes = source_->bytes] { return readImage(file, bytes); }));
}

namespace {

enum class TextForm { None, Rtf, Plain };

// The text to show of a file or of bytes in memory, in full (up to what is shown).
RichText readText(const QString& file, const QByteArray& bytes, const QString& name, TextForm form)
{
    QByteArray read;
    bool more = false;
    if (file.isEmpty())
        read = bytes;
    else
        read = readStart(file, MaxShownTextBytes, &more);
    if (form == TextForm::Rtf)
        return richTextFromRtf(read);
    RichText text;
    if (std::optional<ShownText> shown = plainTextForDisplay(name, read, more))
        text.text = std::move(shown->text);
    return text;
}

} // namespace

bool ViewerPage::probeText()
{
    // Only the start decides; the whole text is read and decoded away from the window.
    QByteArray head;
    bool more = false;
    const QString file = source_->bundle ? source_->file + QLatin1Char('/') + BundleText : source_->file;
    if (source_->file.isEmpty())
        head = source_->bytes.first(std::min<qsizetype>(source_->bytes.size(), TextSniffBytes));
    else
        head = readStart(file, TextSniffBytes, &more);
    if (source_->bundle || isRtfName(source_->name) || head.startsWith("{\\rtf")) {
        if (head.isEmpty() && source_->bundle)
            return false;
        textForm_ = int(TextForm::Rtf);
        return true;
    }
    if (!readsAsPlainText(source_->name, head))
        return false;
    textForm_ = int(TextForm::Plain);
    return true;
}

void ViewerPage::loadText()
{
    auto* watcher = new QFutureWatcher<RichText>(this);
    connect(watcher, &QFutureWatcher<RichText>::finished, this, [this, watcher, g = generation_] {
        watcher->deleteLater();
        if (g != generation_)
            return;
        RichText text = watcher->result();
        mode_ = Mode::Text;
        showPage(textView_);
        textView_->showText(std::move(text.text), std::move(text.runs));
        applyMarks();
        emit shownChanged();
        emit stateChanged();
    });
    const QString file =
        source_->bundle && !source_->file.isEmpty() ? source_->file + QLatin1Char('/') + BundleText : source_->file;
    watcher->setFuture(QtConcurrent::run([file, bytes = source_->bytes, name = source_->name,
                                          form = TextForm(textForm_)] { return readText(file, bytes, name, form); }));
}

void ViewerPage::showPresentation(Presentation p)
{
    const IndexItem* item = doc_.tree().itemForPath(shown_);
    switch (p) {
    case Presentation::Pdf:
        mode_ = Mode::Pdf;
        isPdf_ = true;
        settings_ = item ? displaySettingsOf(*item) : DisplaySettings{};
        pdfView_->setDocument(pdf_);
        pdfView_->setDisplay(settings_.scale, settings_.rotation);
        showPage(pdfView_);
        // After the page has its size: the top of the first page.
        QTimer::singleShot(0, this, [this, g = generation_] {
            if (g == generation_)
                pdfView_->scrollToTop();
        });
        pdfView_->scrollToTop();
        applyMarks();
        break;
    case Presentation::Image:
        // Shown once decoded; until then the page stays blank.
        mode_ = Mode::Waiting;
        decodeImage();
        return;
    case Presentation::Text:
        // Shown once read; until then the page stays blank.
        mode_ = Mode::Waiting;
        loadText();
        return;
    case Presentation::Movie:
    case Presentation::Unsupported:
        mode_ = Mode::Unsupported;
        showPage(notice_);
        break;
    }
    emit shownChanged();
    emit stateChanged();
}

void ViewerPage::redisplay(std::optional<QPointF> keepCorner)
{
    const bool onImage = stack_->currentWidget() == imageView_;
    if (onImage) {
        imageView_->setDisplay(settings_.scale * imageFactor_, settings_.rotation);
        if (keepCorner)
            imageView_->setScrollPosition(keepCorner->toPoint());
        else
            imageView_->scrollToImageOrigin();
    } else if (stack_->currentWidget() == pdfView_) {
        const QPoint before = pdfView_->scrollPosition();
        const QSize oldSize = pdfView_->contentSize();
        pdfView_->setDisplay(settings_.scale, settings_.rotation);
        if (keepCorner) {
            pdfView_->setScrollPosition(keepCorner->toPoint());
        } else if (oldSize.height() > 0) {
            // A turn keeps the place in the document.
            const double at = double(before.y()) / oldSize.height();
            pdfView_->setScrollPosition({0, int(at * pdfView_->contentSize().height())});
        }
    }
}

void ViewerPage::step(DisplayStep step)
{
    if (!canZoom())
        return;
    const DisplaySettings before = settings_;
    settings_ = applyStep(settings_, step);
    if (!enhanced_)
        storeDisplaySettings(doc_, shown_, settings_, step);
    std::optional<QPointF> corner;
    if ((step == DisplayStep::ZoomIn || step == DisplayStep::ZoomOut) && before.scale > 0) {
        const bool onImage = stack_->currentWidget() == imageView_;
        const QPoint at = onImage ? imageView_->scrollPosition() : pdfView_->scrollPosition();
        corner = scrollAfterZoom(QPointF(at), double(settings_.scale) / double(before.scale));
    }
    redisplay(corner);
    emit stateChanged();
}

QByteArray ViewerPage::pdfBytes() const
{
    if (!source_)
        return {};
    if (source_->file.isEmpty())
        return source_->bytes;
    bool more = false;
    const QByteArray bytes = readStart(source_->file, TextLimits{}.maxFileBytes, &more);
    return more ? QByteArray() : bytes;
}

void ViewerPage::setEnhanced(bool on)
{
    if (on == enhanced_ || !source_)
        return;
    if (on && (pdfAsText_ || !(mode_ == Mode::Pdf || mode_ == Mode::Image))) {
        emit stateChanged();
        return;
    }
    const IndexItem* item = doc_.tree().itemForPath(shown_);
    if (!on) {
        enhanced_ = false;
        imageFactor_ = 1.0;
        ++generation_;
        // Back to the file as it is, with the item's own zoom and rotation.
        settings_ = item ? displaySettingsOf(*item) : DisplaySettings{};
        if (mode_ == Mode::Pdf) {
            imageView_->setImage({});
            showPage(pdfView_);
            pdfView_->setDisplay(settings_.scale, settings_.rotation);
        } else {
            imageView_->setImage(image_);
            imageView_->setDisplay(settings_.scale, settings_.rotation);
            imageView_->scrollToImageOrigin();
        }
        emit stateChanged();
        return;
    }
    QImage picture;
    if (mode_ == Mode::Pdf) {
        const QSizeF points = pdf_->pagePointSize(0);
        const QSize size((points * (EnhanceDpi / 72.0)).toSize());
        picture = pdf_->render(0, size);
    } else {
        picture = image_;
    }
    if (picture.isNull()) {
        emit stateChanged();
        return;
    }
    enhanced_ = true;
    settings_ = item ? displaySettingsOf(*item) : DisplaySettings{};
    const quint64 generation = ++generation_;
    auto* watcher = new QFutureWatcher<QImage>(this);
    connect(watcher, &QFutureWatcher<QImage>::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        if (generation != generation_ || !enhanced_)
            return;
        imageView_->setImage(watcher->result());
        // A sharpened page is a picture at a finer resolution: shown at the page's size.
        imageFactor_ = mode_ == Mode::Pdf ? logicalDpiY() / EnhanceDpi : 1.0;
        imageView_->setDisplay(settings_.scale * imageFactor_, settings_.rotation);
        showPage(imageView_);
        imageView_->scrollToImageOrigin();
        emit enhanceReady();
    });
    watcher->setFuture(QtConcurrent::run([picture] { return unsharpMask(picture, 3.0, 4.0); }));
    emit stateChanged();
}

void ViewerPage::setPdfAsText(bool on)
{
    if (!isPdf_ || on == pdfAsText_)
        return;
    if (on) {
        setEnhanced(false);
        pdfAsText_ = true;
        if (!pdfText_) {
            const std::optional<QString> text = textOfPdfData(pdfBytes());
            pdfText_ = text.value_or(QString());
        }
        showPage(textView_);
        textView_->showText(*pdfText_);
    } else {
        pdfAsText_ = false;
        textView_->clearText();
        showPage(pdfView_);
    }
    applyMarks();
    emit shownChanged();
    emit stateChanged();
}

QString ViewerPage::selectedText() const
{
    if (stack_->currentWidget() != textView_)
        return {};
    QString text = textView_->textCursor().selectedText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    text.replace(QChar::LineSeparator, u'\n');
    return text;
}

QString ViewerPage::fullText() const
{
    if (mode_ == Mode::Text)
        return textView_->text();
    if (isPdf_) {
        if (!pdfText_)
            pdfText_ = textOfPdfData(pdfBytes()).value_or(QString());
        return *pdfText_;
    }
    return {};
}

void ViewerPage::markContents(const QString& path, std::vector<ContentsNeedle> needles)
{
    markPath_ = path;
    needles_ = std::move(needles);
    if (path == shown_)
        applyMarks();
}

void ViewerPage::applyMarks()
{
    searches_.clear();
    pdfView_->setMarks({});
    if (needles_.empty() || markPath_ != shown_)
        return;
    if (mode_ == Mode::Text || pdfAsText_) {
        textView_->setMarks(contentsMatchRanges(textView_->text(), needles_));
        return;
    }
    if (mode_ != Mode::Pdf)
        return;
    // The PDF's own search finds the places on its pages, page after page between turns of
    // the event loop; the marks follow as they come.
    for (const ContentsNeedle& needle : needles_) {
        auto search = std::make_unique<QPdfSearchModel>();
        connect(search.get(), &QAbstractItemModel::rowsInserted, this, &ViewerPage::collectPdfMarks);
        connect(search.get(), &QAbstractItemModel::modelReset, this, &ViewerPage::collectPdfMarks);
        search->setDocument(pdf_);
        search->setSearchString(needle.text);
        searches_.push_back(std::move(search));
    }
    collectPdfMarks();
}

void ViewerPage::collectPdfMarks()
{
    std::vector<PdfView::Mark> marks;
    for (std::size_t n = 0; n < searches_.size() && n < needles_.size(); ++n) {
        QPdfSearchModel& search = *searches_[n];
        const ContentsNeedle& needle = needles_[n];
        const QString wanted = needle.text.normalized(QString::NormalizationForm_C);
        const int count = search.rowCount(QModelIndex());
        for (int i = 0; i < count; ++i) {
            const QPdfLink found = search.resultAtIndex(i);
            const QList<QRectF> rects = found.rectangles();
            if (!found.isValid() || rects.isEmpty())
                continue;
            // The PDF's search ignores case: a condition that does not is met only where
            // the text found is the needle letter for letter.
            if (!needle.ignoreCase) {
                QString text;
                for (const QRectF& r : rects) {
                    const double y = r.center().y();
                    text += pdf_->getSelection(found.page(), QPointF(r.left() + 0.1, y), QPointF(r.right() - 0.1, y))
                                .text();
                }
                text = text.simplified().normalized(QString::NormalizationForm_C);
                if (!text.contains(wanted, Qt::CaseSensitive))
                    continue;
            }
            for (const QRectF& r : rects)
                marks.push_back({found.page(), r});
        }
    }
    pdfView_->setMarks(std::move(marks));
}

} // namespace folivo::gui
