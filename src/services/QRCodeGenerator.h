#pragma once

#include <QImage>
#include <QString>
#include <optional>

// QR codes (ISO/IEC 18004) at error-correction level M, for a phone or a
// tablet camera to read a URL off the screen.
namespace QRCodeGenerator {

// `text` (as UTF-8) in black modules of 10 × 10 pixels on white, without a
// quiet zone: whoever draws it leaves a white margin around it. The device
// pixel ratio makes its nominal size `size` × `size` whatever the number of
// modules, so a long text gives smaller modules, not a larger image. Absent
// when the text cannot be encoded (empty, or too long for any QR code).
std::optional<QImage> image(const QString& text, int size);

} // namespace QRCodeGenerator
