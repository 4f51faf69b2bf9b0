#pragma once

#include <QColor>

// The brand accent: an evening gold, used for selection and emphasis only.
namespace BrandColors {

const QColor& gold();

} // namespace BrandColors
