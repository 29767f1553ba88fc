// How fast the viewer shows what is selected: a 300-page PDF, a 24-megapixel JPEG and a
// 10 MB text file, each from selecting its item in the window to its first page painted,
// beside anchors measured in the same run on the same files:
//   PDF    pdftoppm -f 1 -l 1 -r 96 (the first page rendered by another PDF renderer,
//          process start included);
//   image  a plain QImageReader decode of the same JPEG;
//   text   none: the longest stretch the event loop was kept from running while the text
//          view filled in (selection to the last slice), against the 100 ms limit.
// Memory of the image view: the growth of the resident size while the image is shown,
// against the size of the decoded image.
//
//   viewer_bench [--repeat R] [--dir D] [--keep]
//
// Exit status 0 whether or not the targets are met; 1 when something broke.

#include "content/contentarea.h"
#include "mainwindow.h"
#include "viewer/imageview.h"
#include "viewer/pdfview.h"
#include "viewer/textview.h"
#include "viewer/viewerpage.h"

#include "prefs/ktprefs.h"
#include "store/mydocument.h"
#include "util/fs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace folivo;
using folivo::gui::MainWindow;
using folivo::gui::ViewerPage;

namespace {

constexpr char kBenchName[] = "viewer_bench";

#include "benchcommon.inc"
#include "benchprocess.inc"

void usage()
{
    std::fprintf(stderr, "usage: viewer_bench [--repeat R] [--dir D] [--keep]\n");
    std::exit(2);
}

void makePdf(const QString& path, int pages)
{
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(300);
    QPainter p(&writer);
    QFont font("Helvetica");
    font.setPointSize(10);
    p.setFont(font);
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            writer.newPage();
        p.drawText(100, 150, QStringLiteral("Statement page %1 of %2").arg(page + 1).arg(pages));
        for (int line = 0; line < 60; ++line)
            p.drawText(100, 260 + line * 50,
                       QStringLiteral("%1  Transaction %2 at a shop in town ........ %3.%4")
                           .arg(line + 1, 2)
                           .arg(page * 60 + line)
                           .arg((line * 37) % 900)
                           .arg(line % 100, 2, 10, QChar('0')));
        p.drawRect(90, 3200, 2200, 200);
    }
}

void makeJpeg(const QString& path)
{
    // 6000 x 4000: a scan-like page with some texture, so that the decoder has real work.
    QImage image(6000, 4000, QImage::Format_RGB32);
    auto* rng = QRandomGenerator::global();
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int v = 200 + int(rng->bounded(40)) - ((x / 40 + y / 60) % 7 == 0 ? 150 : 0);
            line[x] = qRgb(std::clamp(v, 0, 255), std::clamp(v - 5, 0, 255), std::clamp(v - 10, 0, 255));
        }
    }
    QImageWriter writer(path, "jpeg");
    writer.setQuality(85);
    if (!writer.write(image))
        die("cannot write the JPEG");
}

void makeText(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        die("cannot write the text file");
    QByteArray chunk;
    int n = 0;
    while (f.size() < 10 * 1000 * 1000) {
        chunk.clear();
        for (int i = 0; i < 1000; ++i, ++n)
            chunk += "Line " + QByteArray::number(n) + ": the quick brown fox jumps over the lazy dog, 12.34 EUR\n";
        f.write(chunk);
    }
}

// The longest time between two turns of the event loop while it lives.
class LoopWatch {
public:
    LoopWatch()
    {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.nsecsElapsed();
            longest_ = std::max(longest_, now - last_);
            last_ = now;
        });
        clock_.start();
        timer_.start();
    }
    double longestMs() const { return double(longest_) / 1e6; }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
};

// Runs the event loop until `done`, looking every millisecond; the loop sleeps in between,
// as it does in the program, so that it takes no processor time from the work measured.
bool waitFor(const std::function<bool()>& done, int ms = 60000)
{
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer check;
    bool ok = true;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done())
            loop.quit();
        else if (clock.elapsed() > ms) {
            ok = false;
            loop.quit();
        }
    });
    check.start(1);
    if (!done())
        loop.exec();
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    int repeat = 5;
    QString dir;
    ArgReader args(argc, argv, usage);
    while (args.next()) {
        const std::string a = args.arg();
        if (a == "--repeat")
            repeat = std::max(1, std::atoi(args.value()));
        else if (a == "--dir")
            dir = QString::fromLocal8Bit(args.value());
        else if (a == "--keep")
            g_keep = true;
        else
            usage();
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir temp(dir.isEmpty() ? QDir::tempPath() + "/viewer_bench-XXXXXX" : dir + "/viewer_bench-XXXXXX");
    if (!temp.isValid())
        die("no working folder");
    temp.setAutoRemove(false);
    g_workDir = temp.path();

    const QString desk = g_workDir + "/desk";
    QDir().mkpath(desk);
    const QString pdf = desk + "/Statements.pdf", jpeg = desk + "/Scan.jpg", text = desk + "/Log.txt";
    std::printf("Making the files in %s ...\n", qPrintable(g_workDir));
    std::fflush(stdout);
    makePdf(pdf, 300);
    makeJpeg(jpeg);
    makeText(text);
    std::printf("  PDF %.1f MB (300 pages), JPEG %.1f MB (6000 x 4000), text %.1f MB\n", QFileInfo(pdf).size() / 1e6,
                QFileInfo(jpeg).size() / 1e6, QFileInfo(text).size() / 1e6);

    qputenv("XDG_CONFIG_HOME", native(g_workDir + "/config"));
    KTPrefs prefs(QStringLiteral("org.folivo.ViewerBench"));
    prefs.setBool(true, QStringLiteral("NotifyOpenIndexCheck"));
    MainWindow window(nullptr, &prefs);
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    window.resize(1200, 800);
    if (!window.createDatabase(g_workDir + "/Bench.fvdb").ok())
        die("cannot create the database");
    window.show();
    if (!window.importPaths({pdf, jpeg, text}, "Unfiled", 0, true).ran)
        die("the import failed");
    waitFor([] { return true; });
    auto* page = qobject_cast<ViewerPage*>(window.content().page(ViewerPage::PageName));
    if (!page)
        die("no viewer page");
    const QString pdfItem = "Unfiled/Statements.pdf", jpegItem = "Unfiled/Scan.jpg", textItem = "Unfiled/Log.txt";

    std::vector<double> pdfTimes, imageTimes, textBlocks, textSlices, textTimes, pdftoppm, decode, memoryRatio;
    double decodedMb = 0;
    for (int round = 0; round < repeat; ++round) {
        // The anchors.
        {
            const auto start = Clock::now();
            const int rc = QProcess::execute("pdftoppm", {"-f", "1", "-l", "1", "-r", "96", pdf, g_workDir + "/page"});
            if (rc != 0)
                die("pdftoppm failed (is poppler-utils installed?)");
            pdftoppm.push_back(secondsSince(start));
        }
        {
            const auto start = Clock::now();
            QImageReader reader(jpeg);
            const QImage image = reader.read();
            decode.push_back(secondsSince(start));
            if (image.isNull())
                die("the JPEG does not decode");
            decodedMb = double(image.sizeInBytes()) / (1024.0 * 1024.0);
        }

        // PDF: selection to the first page painted.
        window.selectItems({"Unfiled"});
        waitFor([&] { return page->shownItemPath().isEmpty(); });
        {
            bool painted = false;
            auto c = QObject::connect(page->pdfView(), &gui::PdfView::firstPagePainted, [&] { painted = true; });
            const auto start = Clock::now();
            window.selectItems({pdfItem});
            if (!waitFor([&] { return painted; }))
                die("the PDF was never painted");
            pdfTimes.push_back(secondsSince(start));
            QObject::disconnect(c);
        }

        // Image, and the memory it takes while shown.
        window.selectItems({"Unfiled"});
        waitFor([&] { return page->shownItemPath().isEmpty(); });
        waitFor([] { return true; });
        {
            const long before = statusKb("VmRSS");
            bool painted = false;
            auto c = QObject::connect(page->imageView(), &gui::ImageView::firstPainted, [&] { painted = true; });
            const auto start = Clock::now();
            window.selectItems({jpegItem});
            if (!waitFor([&] { return painted; }))
                die("the image was never painted");
            imageTimes.push_back(secondsSince(start));
            QObject::disconnect(c);
            // Paint a zoomed and turned view too: it must not make a bitmap of that size.
            page->imageView()->setDisplay(2.0, 90);
            page->imageView()->viewport()->repaint();
            const long after = statusKb("VmRSS");
            memoryRatio.push_back(double(after - before) / 1024.0 / decodedMb);
        }

        // Text: the longest block of the event loop from selection to filled.
        window.selectItems({"Unfiled"});
        waitFor([&] { return page->shownItemPath().isEmpty(); });
        {
            LoopWatch watch;
            waitFor([] { return true; });
            const auto start = Clock::now();
            window.selectItems({textItem});
            if (!waitFor([&] {
                    return page->shownItemPath() == textItem && page->mode() == ViewerPage::Mode::Text &&
                           !page->textView()->filling();
                }))
                die("the text never filled in");
            textTimes.push_back(secondsSince(start));
            textBlocks.push_back(watch.longestMs());
            textSlices.push_back(double(page->textView()->longestSliceMs()));
        }
        std::printf("  round %d of %d done\n", round + 1, repeat);
        std::fflush(stdout);
    }

    const double pdfT = median(pdfTimes), anchorPdf = median(pdftoppm);
    const double imageT = median(imageTimes), anchorImage = median(decode);
    const double mem = median(memoryRatio), block = *std::max_element(textBlocks.begin(), textBlocks.end());
    std::printf("\nMedians of %d rounds (seconds), %s platform\n", repeat, qgetenv("QT_QPA_PLATFORM").constData());
    std::printf("  PDF, 300 pages:   selected to first page painted %8.3f   pdftoppm first page (anchor) %8.3f\n", pdfT,
                anchorPdf);
    std::printf("  JPEG, 24 MP:      selected to painted            %8.3f   QImageReader decode (anchor) %8.3f\n",
                imageT, anchorImage);
    std::printf("                    memory while shown %.1f MB for a decoded image of %.1f MB\n", mem * decodedMb,
                decodedMb);
    std::printf("  Text, 10 MB:      selected to filled in          %8.3f   longest event-loop block %.1f ms\n",
                median(textTimes), block);
    std::printf("                    longest slice of text put in %.1f ms\n",
                *std::max_element(textSlices.begin(), textSlices.end()));
    std::printf("Targets:\n");
    std::printf("  PDF <= 1.5 x pdftoppm                %6.2f x   %s\n", pdfT / anchorPdf,
                verdict(pdfT <= 1.5 * anchorPdf));
    std::printf("  image <= 1.2 x plain decode          %6.2f x   %s\n", imageT / anchorImage,
                verdict(imageT <= 1.2 * anchorImage));
    std::printf("  image view memory <= 2 x decoded     %6.2f x   %s\n", mem, verdict(mem <= 2.0));
    std::printf("  text never blocks > 100 ms           %6.1f ms  %s\n", block, verdict(block <= 100));
    window.close();
    cleanUp();
    return 0;
}
