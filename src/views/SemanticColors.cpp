#include "views/SemanticColors.h"

namespace SemanticColors {

namespace {

QColor mix(const QColor& a, const QColor& b, qreal amountOfB) {
    const QColor x = a.toRgb();
    const QColor y = b.toRgb();
    return QColor::fromRgbF(float(x.redF() + (y.redF() - x.redF()) * amountOfB),
                            float(x.greenF() + (y.greenF() - x.greenF()) * amountOfB),
                            float(x.blueF() + (y.blueF() - x.blueF()) * amountOfB));
}

} // namespace

bool isDark(const QPalette& palette) {
    return palette.color(QPalette::Window).lightnessF() <
           palette.color(QPalette::WindowText).lightnessF();
}

QColor secondaryLabel(const QPalette& palette, QPalette::ColorRole background) {
    // Opaque rather than translucent, so that text drawn twice (an outline, a
    // focus frame) does not come out darker.
    return mix(palette.color(QPalette::WindowText), palette.color(background), 0.42);
}

QColor separator(const QPalette& palette) {
    return mix(palette.color(QPalette::Window), palette.color(QPalette::WindowText), 0.16);
}

QColor tone(Tone tone, const QPalette& palette) {
    const bool dark = isDark(palette);
    switch (tone) {
    case Tone::secondary:
        return secondaryLabel(palette);
    case Tone::green:
        return dark ? QColor(0x3f, 0xc4, 0x5f) : QColor(0x2b, 0x9a, 0x47);
    case Tone::orange:
        return dark ? QColor(0xf5, 0x9e, 0x3b) : QColor(0xe0, 0x7b, 0x12);
    case Tone::yellow:
        return dark ? QColor(0xf2, 0xcf, 0x3a) : QColor(0xc9, 0xa1, 0x08);
    case Tone::red:
        return dark ? QColor(0xf2, 0x5c, 0x54) : QColor(0xd1, 0x34, 0x2b);
    }
    return palette.color(QPalette::WindowText);
}

} // namespace SemanticColors
