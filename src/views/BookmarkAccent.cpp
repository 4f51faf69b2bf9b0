#include "views/BookmarkAccent.h"

#include "models/BookmarkEdits.h"

#include <array>

namespace BookmarkAccent {

namespace {

struct Accent {
    const char* label;
    float red, green, blue;
};

// In the order of BookmarkEdits::allowedColors().
constexpr std::array<Accent, 8> accents{{
    {"Gray", 0.12f, 0.16f, 0.23f},
    {"Gold", 0.52f, 0.30f, 0.05f},
    {"Blue", 0.12f, 0.25f, 0.69f},
    {"Green", 0.09f, 0.40f, 0.20f},
    {"Red", 0.62f, 0.07f, 0.22f},
    {"Purple", 0.42f, 0.13f, 0.66f},
    {"Orange", 0.60f, 0.20f, 0.07f},
    {"Teal", 0.07f, 0.37f, 0.35f},
}};

const Accent& accent(const std::optional<QString>& color) {
    const qsizetype index = color ? BookmarkEdits::allowedColors().indexOf(*color) : -1;
    return accents[size_t(qMax<qsizetype>(index, 0))];
}

} // namespace

QString label(const std::optional<QString>& color) {
    return QString::fromLatin1(accent(color).label);
}

QColor swatch(const std::optional<QString>& color) {
    const Accent& row = accent(color);
    return QColor::fromRgbF(row.red, row.green, row.blue, 1.0f);
}

} // namespace BookmarkAccent
