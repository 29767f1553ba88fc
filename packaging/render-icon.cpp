// Renders the application's SVG icon as the PNG sizes of the hicolor icon theme, for desktops
// and software centres that do not scale SVG icons:
//   folivo-render-icon ICON.svg OUTDIR SIZE...   writes OUTDIR/<size>x<size>/apps/folivo.png

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: folivo-render-icon ICON.svg OUTDIR SIZE...\n");
        return 2;
    }
    // No display is needed to paint into an image.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    if (!svg.isValid()) {
        std::fprintf(stderr, "folivo-render-icon: %s is not a valid SVG file\n", argv[1]);
        return 1;
    }
    const QString out = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        const int size = QByteArray(argv[i]).toInt();
        if (size <= 0 || size > 1024) {
            std::fprintf(stderr, "folivo-render-icon: %s is not a size\n", argv[i]);
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        svg.render(&painter);
        painter.end();
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(out).arg(size);
        if (!QDir().mkpath(dir) || !image.save(dir + QStringLiteral("/folivo.png"))) {
            std::fprintf(stderr, "folivo-render-icon: cannot write %s/folivo.png\n", qPrintable(dir));
            return 1;
        }
    }
    return 0;
}
