#include "views/Symbols.h"

#include <QFile>
#include <QHash>
#include <QPainter>

namespace Symbols {

namespace {

const QHash<QString, QString>& themeNames() {
    static const QHash<QString, QString> names{
        {QStringLiteral("checkmark.circle.fill"), QStringLiteral("emblem-ok")},
        {QStringLiteral("xmark.octagon.fill"), QStringLiteral("dialog-error")},
        {QStringLiteral("exclamationmark.triangle.fill"), QStringLiteral("dialog-warning")},
        {QStringLiteral("arrow.down.circle.fill"), QStringLiteral("go-down")},
        // The sidebar's tabs: symbolic (single-colour) icons, tinted like the
        // bundled ones when drawn.
        {QStringLiteral("gauge.with.dots.needle.67percent"),
         QStringLiteral("power-profile-performance-symbolic")},
        {QStringLiteral("ipad.and.iphone"), QStringLiteral("computer-apple-ipad-symbolic")},
        {QStringLiteral("bookmark.fill"), QStringLiteral("bookmark-new-symbolic")},
        {QStringLiteral("list.bullet.rectangle.portrait.fill"),
         QStringLiteral("view-list-bullet-symbolic")},
        {QStringLiteral("paintpalette.fill"),
         QStringLiteral("preferences-desktop-appearance-symbolic")},
        {QStringLiteral("slider.horizontal.3"), QStringLiteral("preferences-other-symbolic")},
        {QStringLiteral("arrow.triangle.2.circlepath"),
         QStringLiteral("emblem-synchronizing-symbolic")},
        {QStringLiteral("gearshape.fill"), QStringLiteral("emblem-system-symbolic")},
        // List editing: add, reorder, edit, delete.
        {QStringLiteral("plus"), QStringLiteral("list-add-symbolic")},
        {QStringLiteral("chevron.up"), QStringLiteral("go-up-symbolic")},
        {QStringLiteral("chevron.down"), QStringLiteral("go-down-symbolic")},
        {QStringLiteral("pencil"), QStringLiteral("document-edit-symbolic")},
        {QStringLiteral("trash"), QStringLiteral("user-trash-symbolic")},
        {QStringLiteral("photo"), QStringLiteral("image-x-generic-symbolic")},
        {QStringLiteral("photo.badge.plus"), QStringLiteral("insert-image-symbolic")},
    };
    return names;
}

// Without a desktop theme Qt uses bare hicolor, which holds application
// icons, not these; looking each one up there only costs start-up time.
bool desktopHasIconTheme() {
    static const bool hasTheme = QIcon::themeName() != QIcon::fallbackThemeName();
    return hasTheme;
}

} // namespace

QIcon icon(const QString& symbol) {
    const QString bundled = QStringLiteral(":/icons/%1.svg").arg(symbol);
    const QIcon fallback = QFile::exists(bundled) ? QIcon(bundled) : QIcon();
    const QString themeName = themeNames().value(symbol);
    if (themeName.isEmpty() || !desktopHasIconTheme())
        return fallback;
    return QIcon::fromTheme(themeName, fallback);
}

QPixmap tinted(const QIcon& icon, int size, const QColor& ink, qreal ratio) {
    QPixmap pixmap = icon.pixmap(QSize(size, size), ratio);
    if (pixmap.isNull())
        return pixmap;
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(pixmap.rect(), ink);
    return pixmap;
}

} // namespace Symbols
