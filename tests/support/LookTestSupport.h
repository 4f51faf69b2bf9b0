#pragma once

#include <QApplication>
#include <QColor>
#include <QDir>
#include <QImage>
#include <QPalette>
#include <QString>
#include <QWidget>

// What the screenshot tests (tst_*_look_xvfb) share.
namespace TestSupport {

// Light text on dark grey, as a desktop's dark theme sets it.
inline QPalette darkPalette() {
    QPalette p(QColor(0x38, 0x38, 0x3c), QColor(0x2b, 0x2b, 0x2e));
    p.setColor(QPalette::Base, QColor(0x23, 0x23, 0x26));
    return p;
}

// Writes `image` as <name>.png into $VESPERLINE_SCREENSHOT_DIR when that is
// set (scripts/screenshot sets it), for a person to look at.
inline void keepScreenshot(const QImage& image, const QString& name) {
    const QString dir = qEnvironmentVariable("VESPERLINE_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    QDir().mkpath(dir);
    image.save(dir + "/" + name + ".png");
}

// The window as drawn now, kept as above.
inline QImage shootWindow(QWidget& window, const QString& name) {
    QApplication::processEvents();
    const QImage image = window.grab().toImage();
    keepScreenshot(image, name);
    return image;
}

} // namespace TestSupport
