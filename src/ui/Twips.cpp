#include "ui/Twips.h"

#include <QGuiApplication>
#include <QScreen>

namespace ui {

double twipsDpi() {
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInch() : 96.0;
}

int tw(int twips) {
    return twipsToPixels(twips, twipsDpi());
}

QRect twRect(int left, int top, int width, int height) {
    const double dpi = twipsDpi();
    return QRect(twipsToPixels(left, dpi), twipsToPixels(top, dpi), twipsToPixels(width, dpi),
                 twipsToPixels(height, dpi));
}

QSize twSize(int width, int height) {
    const double dpi = twipsDpi();
    return QSize(twipsToPixels(width, dpi), twipsToPixels(height, dpi));
}

} // namespace ui
