#pragma once

#include <QApplication>
#include <QColor>
#include <QDir>
#include <QImage>
#include <QPalette>
#include <QRect>
#include <QString>
#include <QWidget>
#include <cstdlib>

// What the screenshot tests (tst_*_look_xvfb) share: a dark theme as a
// desktop sets it, colour comparisons on grabbed images, and the PNGs for a
// person to look at.
namespace TestSupport {

// Light text on dark grey.
inline QPalette darkPalette() {
    QPalette p(QColor(0x38, 0x38, 0x3c), QColor(0x2b, 0x2b, 0x2e));
    p.setColor(QPalette::Base, QColor(0x23, 0x23, 0x26));
    return p;
}

inline bool near(const QColor& a, const QColor& b, int tolerance = 3) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// How many pixels of a rectangle are (`same`) or are not near a colour.
inline int pixelsNear(const QImage& image, const QRect& rect, const QColor& colour, int tolerance,
                      bool same) {
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (near(image.pixelColor(x, y), colour, tolerance) == same)
                ++count;
    return count;
}

// Writes `image` as <name>.png into $VESPERLINE_SCREENSHOT_DIR when that is
// set (scripts/screenshot sets it).
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
