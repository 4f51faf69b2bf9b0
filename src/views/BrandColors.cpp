#include "views/BrandColors.h"

namespace BrandColors {

const QColor& gold() {
    static const QColor color = QColor::fromRgbF(0.85f, 0.72f, 0.22f, 1.0f);
    return color;
}

} // namespace BrandColors
