#include "ui/Pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace ui {

QPixmap backgroundPicture(QSize size, int seed, qreal scale) {
    QPixmap pixmap((QSizeF(size) * scale).toSize());
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    // Onto whole pixels: the last row and column, whose colour fills a larger window, are painted.
    painter.scale(qreal(pixmap.width()) / size.width(), qreal(pixmap.height()) / size.height());
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
    return pixmap;
}

} // namespace ui
