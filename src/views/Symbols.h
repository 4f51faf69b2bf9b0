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
// The symbol as a single-colour shape in `ink`, `size` points square, drawn
// for screens of up to twice the density.
QPixmap tinted(const QString& symbol, int size, const QColor& ink);

} // namespace Symbols
