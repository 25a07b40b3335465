#pragma once

#include <QRect>
#include <QSize>

// Every position and size is written in twips, as the layouts give them: 1440 twips are an inch.
// They become pixels at the screen's logical resolution, so controls grow with larger fonts; at
// 96 dots per inch 15 twips are one pixel.
namespace ui {

// The primary screen's logical dots per inch; 96 without a screen.
double twipsDpi();

// Whole pixels, cut towards zero: at 96 dpi exactly twips / 15.
constexpr int twipsToPixels(int twips, double dpi) {
    return static_cast<int>(twips * dpi / 1440.0);
}

int tw(int twips);
QRect twRect(int left, int top, int width, int height);
QSize twSize(int width, int height);

} // namespace ui
