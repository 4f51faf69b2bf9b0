#pragma once

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPalette>
#include <QWidget>

// For the look tests (tst_*_look_xvfb), which render screens on a real X
// display for a person to review.
namespace TestSupport {

// Light text on dark grey, as a desktop's dark theme sets it.
inline QPalette darkPalette() {
    QPalette p(QColor(0x38, 0x38, 0x3c), QColor(0x2b, 0x2b, 0x2e));
    p.setColor(QPalette::Base, QColor(0x23, 0x23, 0x26));
    return p;
}

// The window as drawn now; also written as <name>.png into
// $VESPERLINE_SCREENSHOT_DIR when that is set (scripts/screenshot sets it).
inline QImage shootWindow(QWidget& window, const QString& name) {
    QApplication::processEvents();
    const QImage image = window.grab().toImage();
    const QString outputDir = qEnvironmentVariable("VESPERLINE_SCREENSHOT_DIR");
    if (!outputDir.isEmpty()) {
        QDir().mkpath(outputDir);
        image.save(outputDir + "/" + name + ".png");
    }
    return image;
}

} // namespace TestSupport
