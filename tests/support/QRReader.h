#pragma once

#include <QString>

namespace TestSupport {

// What zbarimg (Debian's zbar-tools) reads off the QR code in an image
// file, as a camera would; empty when it finds none. A missing zbarimg
// fails the calling test.
QString readQRCode(const QString& imageFile);

} // namespace TestSupport
