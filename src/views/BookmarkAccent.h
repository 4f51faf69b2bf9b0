#pragma once

#include <QColor>
#include <QString>
#include <optional>

// The accent colours a bookmark can carry, as the tablet's buttons show
// them. Anything that is not exactly one of the allowed names (see
// BookmarkEdits::allowedColors) looks like "default".
namespace BookmarkAccent {

// "Gray", "Gold", "Blue"...
QString label(const std::optional<QString>& color);
QColor swatch(const std::optional<QString>& color);

} // namespace BookmarkAccent
