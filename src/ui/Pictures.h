#pragma once

#include <QImage>

namespace ui {

// A background picture of the given size in pixels, drawn by the program itself; the seed
// varies the hues from one window to another. At a scale the same picture is drawn larger. It
// fills the top-left corner of an image of at least canvas pixels, whose rest takes the
// picture's own edge colour: one image, painted once.
QImage backgroundPicture(QSize size, int seed, qreal scale = 1.0, QSize canvas = {});

} // namespace ui
