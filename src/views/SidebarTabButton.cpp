#include "views/SidebarTabButton.h"

#include "views/BrandColors.h"
#include "views/SemanticColors.h"
#include "views/Symbols.h"

#include <QEnterEvent>
#include <QFocusEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int horizontalPadding = 12;
constexpr int verticalPadding = 9;
constexpr int iconTextGap = 10;
constexpr qreal cornerRadius = 8;

} // namespace

SidebarTabButton::SidebarTabButton(const QIcon& icon, const QString& title, QWidget* parent)
    : QAbstractButton(parent) {
    setIcon(icon);
    setText(title);
    setAccessibleName(title);
    setCheckable(true);
    setAutoExclusive(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize SidebarTabButton::sizeHint() const {
    const QFontMetrics metrics(font());
    const int contentHeight = std::max(iconSize, metrics.height());
    return {horizontalPadding * 2 + iconSize + iconTextGap + metrics.horizontalAdvance(text()),
            verticalPadding * 2 + contentHeight};
}

QSize SidebarTabButton::minimumSizeHint() const {
    return {horizontalPadding * 2 + iconSize, sizeHint().height()};
}

void SidebarTabButton::enterEvent(QEnterEvent* event) {
    hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void SidebarTabButton::leaveEvent(QEvent* event) {
    hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void SidebarTabButton::focusInEvent(QFocusEvent* event) {
    const Qt::FocusReason reason = event->reason();
    keyboardFocus = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                    reason == Qt::ShortcutFocusReason;
    QAbstractButton::focusInEvent(event);
}

void SidebarTabButton::focusOutEvent(QFocusEvent* event) {
    keyboardFocus = false;
    QAbstractButton::focusOutEvent(event);
}

// Theme icons and the bundled ones alike are drawn as single-colour shapes in
// the text colour, so the row reads as one family whatever the icon theme.
QPixmap SidebarTabButton::tintedIcon(const QColor& colour) const {
    return Symbols::tinted(icon(), iconSize, colour, devicePixelRatioF());
}

void SidebarTabButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(box, cornerRadius, cornerRadius);

    const QPalette& colours = palette();
    if (isChecked()) {
        QColor selection = BrandColors::gold();
        selection.setAlphaF(float(selectionOpacity * (isDown() ? 1.25 : 1.0)));
        painter.fillPath(shape, selection);
    } else if (isDown() || hovered) {
        QColor hover = colours.color(QPalette::WindowText);
        hover.setAlphaF(isDown() ? 0.12f : 0.06f);
        painter.fillPath(shape, hover);
    }
    if (hasFocus() && keyboardFocus) {
        QColor ring = BrandColors::gold();
        painter.setPen(QPen(ring, 1.5));
        painter.drawPath(shape);
    }

    const QColor ink = isChecked() ? colours.color(QPalette::WindowText)
                                   : SemanticColors::secondaryLabel(colours, QPalette::Base);
    const QRect content = rect().adjusted(horizontalPadding, 0, -horizontalPadding, 0);
    const QRect iconRect(content.left(), content.center().y() - iconSize / 2 + 1, iconSize,
                         iconSize);
    painter.drawPixmap(iconRect, tintedIcon(ink));

    QFont titleFont = font();
    if (isChecked())
        titleFont.setWeight(QFont::DemiBold);
    painter.setFont(titleFont);
    painter.setPen(ink);
    const QRect textRect = content.adjusted(iconSize + iconTextGap, 0, 0, 0);
    const QString shownText =
        QFontMetrics(titleFont).elidedText(text(), Qt::ElideRight, textRect.width());
    painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, shownText);
}
