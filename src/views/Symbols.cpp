#include "views/Symbols.h"

#include <QFile>
#include <QHash>

namespace Symbols {

namespace {

const QHash<QString, QString>& themeNames() {
    static const QHash<QString, QString> names{
        {QStringLiteral("checkmark.circle.fill"), QStringLiteral("emblem-ok")},
        {QStringLiteral("xmark.octagon.fill"), QStringLiteral("dialog-error")},
    };
    return names;
}

} // namespace

QIcon icon(const QString& symbol) {
    const QString bundled = QStringLiteral(":/icons/%1.svg").arg(symbol);
    const QIcon fallback = QFile::exists(bundled) ? QIcon(bundled) : QIcon();
    const QString themeName = themeNames().value(symbol);
    return themeName.isEmpty() ? fallback : QIcon::fromTheme(themeName, fallback);
}

} // namespace Symbols
