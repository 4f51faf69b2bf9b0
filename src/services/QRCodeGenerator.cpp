#include "services/QRCodeGenerator.h"

#include <memory>
#include <qrencode.h>

namespace QRCodeGenerator {

namespace {

constexpr int pixelsPerModule = 10;

} // namespace

std::optional<QImage> image(const QString& text, int size) {
    const QByteArray bytes = text.toUtf8();
    if (bytes.isEmpty() || size <= 0)
        return std::nullopt;
    // Byte mode over the exact bytes: a string-mode encoder would stop at a
    // NUL and give a code that reads as something shorter.
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeData(int(bytes.size()), reinterpret_cast<const unsigned char*>(bytes.data()),
                          0, QR_ECLEVEL_M),
        &QRcode_free);
    if (!code)
        return std::nullopt;
    const int width = code->width;
    QImage modules(width, width, QImage::Format_Grayscale8);
    for (int y = 0; y < width; ++y) {
        uchar* line = modules.scanLine(y);
        // Bit 0 of each byte is the module's colour; the others say how the
        // encoder placed it.
        for (int x = 0; x < width; ++x)
            line[x] = (code->data[y * width + x] & 1) ? 0 : 255;
    }
    QImage scaled = modules.scaled(width * pixelsPerModule, width * pixelsPerModule,
                                   Qt::IgnoreAspectRatio, Qt::FastTransformation);
    scaled.setDevicePixelRatio(qreal(scaled.width()) / size);
    return scaled;
}

} // namespace QRCodeGenerator
