#pragma once

#include <QRect>
#include <QSize>

// Every position and size is written in twips, as the layouts give them: 15 twips are one
// pixel at 96 dots per inch.
namespace ui {

constexpr int kTwipsPerPixel = 15;

constexpr int tw(int twips) {
    return twips / kTwipsPerPixel;
}
constexpr QRect twRect(int left, int top, int width, int height) {
    return QRect(tw(left), tw(top), tw(width), tw(height));
}
constexpr QSize twSize(int width, int height) {
    return QSize(tw(width), tw(height));
}

} // namespace ui
