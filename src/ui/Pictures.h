#pragma once

#include <QPixmap>

namespace ui {

// A background picture of the given size in pixels, drawn by the program itself; the seed
// varies the hues from one window to another.
QPixmap backgroundPicture(QSize size, int seed);

} // namespace ui
