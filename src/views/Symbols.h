#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

// Icons named like the symbol set the screens were designed with
// ("bookmark.fill", "gearshape.fill"...). Each maps to a freedesktop icon
// name, with the program's own SVG (resources/icons/<symbol>.svg) when the
// desktop's theme has none.
namespace Symbols {

QIcon icon(const QString& symbol);
// The icon as a single-colour shape in `ink`, `size` points square, drawn
// for `ratio` device pixels per point.
QPixmap tinted(const QIcon& icon, int size, const QColor& ink, qreal ratio = 2.0);

} // namespace Symbols
