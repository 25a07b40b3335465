#include "ui/QrCode.h"

#include <qrencode.h>

#include <memory>

namespace ui {

namespace {

constexpr int kQuietZone = 4;

} // namespace

QImage qrCode(const QString &text) {
    const QByteArray utf8 = text.toUtf8();
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString(utf8.constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1), &QRcode_free);
    if (!code) {
        return {};
    }
    const int width = code->width;
    const int side = width + 2 * kQuietZone;
    QImage image(side, side, QImage::Format_Mono);
    image.setColor(0, qRgb(255, 255, 255));
    image.setColor(1, qRgb(0, 0, 0));
    image.fill(0);
    for (int y = 0; y < width; ++y) {
        for (int x = 0; x < width; ++x) {
            // The low bit of each module is whether it is dark.
            if (code->data[y * width + x] & 1) {
                image.setPixel(x + kQuietZone, y + kQuietZone, 1);
            }
        }
    }
    return image;
}

} // namespace ui
