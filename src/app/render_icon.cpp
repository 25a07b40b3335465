// A build tool: renders the program's SVG icon into one PNG per size, for the window icon the
// program carries (render_icon ICON.svg FOLDER 16 32 ...). The program then draws no SVG, and
// loads no SVG code, before its first window is on the screen.
#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <cstdio>

int main(int argc, char *argv[]) {
    const QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 4) {
        std::fputs("usage: render_icon ICON.svg FOLDER SIZE...\n", stderr);
        return 2;
    }
    for (qsizetype i = 3; i < arguments.size(); ++i) {
        const int size = arguments[i].toInt();
        QImageReader reader(arguments[1]);
        reader.setScaledSize(QSize(size, size));
        const QImage image = reader.read();
        const QString target = QStringLiteral("%1/%2.png").arg(arguments[2]).arg(size);
        if (image.isNull() || !image.save(target)) {
            std::fprintf(stderr, "render_icon: %s: %s\n", qPrintable(target), qPrintable(reader.errorString()));
            return 1;
        }
    }
    return 0;
}
