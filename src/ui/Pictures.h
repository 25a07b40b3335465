#pragma once

#include <QPixmap>

namespace ui {

// A background picture of the given size in pixels, drawn by the program itself; the seed
// varies the hues from one window to another. At a scale the same picture is drawn larger.
QPixmap backgroundPicture(QSize size, int seed, qreal scale = 1.0);

} // namespace ui
