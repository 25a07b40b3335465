#pragma once

#include <QImage>
#include <QString>

namespace ui {

// text as a QR code (error correction M), one pixel a module, black on white with the quiet
// zone of four modules a reader needs around it. A null image when text does not fit in one.
QImage qrCode(const QString &text);

} // namespace ui
