#include "ui/Pictures.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace ui {

QImage backgroundPicture(QSize size, int seed, qreal scale, QSize canvas) {
    const QSize pixels = (QSizeF(size) * scale).toSize();
    QImage image(pixels.expandedTo(canvas), QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setClipRect(QRect(QPoint(), pixels));
    painter.setRenderHint(QPainter::Antialiasing);
    // Onto whole pixels: the last row and column, whose colour fills a larger window, are painted.
    painter.scale(qreal(pixels.width()) / size.width(), qreal(pixels.height()) / size.height());
    const int hue = (200 + 37 * seed) % 360;
    QLinearGradient sky(0, 0, size.width(), size.height());
    sky.setColorAt(0.0, QColor::fromHsl(hue, 120, 235));
    sky.setColorAt(1.0, QColor::fromHsl((hue + 40) % 360, 110, 205));
    painter.fillRect(QRect(QPoint(), size), sky);
    // A few soft controller-like rounded shapes so the picture is not a flat wash.
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 6; ++i) {
        QColor c = QColor::fromHsl((hue + 60 * i) % 360, 90, 225);
        c.setAlpha(90);
        painter.setBrush(c);
        const int w = size.width() / 4;
        const int x = (i * 97 + seed * 31) % qMax(1, size.width() - w);
        const int y = (i * 61 + seed * 17) % qMax(1, size.height() - w / 2);
        painter.drawRoundedRect(QRect(x, y, w, w / 2), w / 6, w / 6);
    }
    // The rest of a larger canvas: the picture's own bottom-right colour.
    painter.resetTransform();
    painter.setClipping(false);
    const QColor edge = image.pixelColor(pixels.width() - 1, pixels.height() - 1);
    painter.fillRect(QRect(pixels.width(), 0, image.width() - pixels.width(), image.height()), edge);
    painter.fillRect(QRect(0, pixels.height(), pixels.width(), image.height() - pixels.height()), edge);
    return image;
}

} // namespace ui
