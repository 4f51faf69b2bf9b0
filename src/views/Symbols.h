#pragma once

#include <QIcon>
#include <QString>

// Icons named like the symbol set the screens were designed with
// ("bookmark.fill", "gearshape.fill"...). Each maps to a freedesktop icon
// name, with the program's own SVG (resources/icons/<symbol>.svg) when the
// desktop's theme has none.
namespace Symbols {

QIcon icon(const QString& symbol);

} // namespace Symbols
