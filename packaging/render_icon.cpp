// Build tool: renders the application's SVG icon into square PNG files of the given sizes.
//   render_icon INPUT.svg SIZE:OUTPUT.png [SIZE:OUTPUT.png ...]
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s INPUT.svg SIZE:OUTPUT.png...\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "%s: cannot read the SVG image %s\n", argv[0], argv[1]);
        return 1;
    }
    for (int i = 2; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        const qsizetype colon = arg.indexOf(QLatin1Char(':'));
        bool ok = false;
        const int size = colon > 0 ? arg.left(colon).toInt(&ok) : 0;
        if (!ok || size < 1 || size > 4096 || colon + 1 == arg.size()) {
            std::fprintf(stderr, "%s: expected SIZE:OUTPUT.png, got %s\n", argv[0], argv[i]);
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, size, size));
        painter.end();
        const QString output = arg.mid(colon + 1);
        if (!image.convertToFormat(QImage::Format_ARGB32).save(output, "PNG")) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], qPrintable(output));
            return 1;
        }
    }
    return 0;
}
