#include "views/ThemeRowDelegate.h"

#include "views/ScreenStyle.h"
#include "views/SemanticColors.h"
#include "views/ThemeListModel.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int verticalPadding = 4;
constexpr int lineGap = 2;
constexpr int badgePaddingX = 8;
constexpr int badgePaddingY = 4;

} // namespace

ThemeRowDelegate::Fonts ThemeRowDelegate::fonts(const QStyleOptionViewItem& option) {
    return {ScreenStyle::scaled(option.font, 1.05, QFont::DemiBold),
            ScreenStyle::scaled(option.font, 0.85),
            ScreenStyle::scaled(option.font, 0.85, QFont::Bold)};
}

QSize ThemeRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    const Fonts f = fonts(option);
    const int text = QFontMetrics(f.name).height() + lineGap + QFontMetrics(f.detail).height();
    const int badge = QFontMetrics(f.badge).height() + 2 * badgePaddingY;
    return {option.rect.width(), 2 * verticalPadding + std::max(text, badge) + 1};
}

void ThemeRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    const Fonts f = fonts(option);
    const QPalette& palette = option.palette;
    const QRect row = option.rect.adjusted(0, verticalPadding, 0, -verticalPadding - 1);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);

    int right = row.right();
    if (index.data(ThemeListModel::liveRole).toBool()) {
        const QFontMetrics metrics(f.badge);
        const QString text = liveBadgeText();
        const QSize size(metrics.horizontalAdvance(text) + 2 * badgePaddingX,
                         metrics.height() + 2 * badgePaddingY);
        const QRect badge(QPoint(right - size.width() + 1, row.center().y() - size.height() / 2),
                          size);
        QColor fill = SemanticColors::tone(SemanticColors::Tone::green, palette);
        fill.setAlphaF(0.2);
        QPainterPath capsule;
        capsule.addRoundedRect(badge, badge.height() / 2.0, badge.height() / 2.0);
        painter->fillPath(capsule, fill);
        painter->setFont(f.badge);
        painter->setPen(palette.color(QPalette::WindowText));
        painter->drawText(badge, Qt::AlignCenter, text);
        right = badge.left() - 12;
    }

    const QFontMetrics nameMetrics(f.name);
    const QFontMetrics detailMetrics(f.detail);
    const int textHeight = nameMetrics.height() + lineGap + detailMetrics.height();
    const int top = row.center().y() - textHeight / 2;
    const int width = right - row.left();
    painter->setFont(f.name);
    painter->setPen(palette.color(QPalette::WindowText));
    painter->drawText(QRect(row.left(), top, width, nameMetrics.height()), Qt::AlignLeft,
                      nameMetrics.elidedText(index.data().toString(), Qt::ElideRight, width));
    painter->setFont(f.detail);
    painter->setPen(SemanticColors::secondaryLabel(palette));
    painter->drawText(
        QRect(row.left(), top + nameMetrics.height() + lineGap, width, detailMetrics.height()),
        Qt::AlignLeft,
        detailMetrics.elidedText(index.data(ThemeListModel::detailRole).toString(), Qt::ElideRight,
                                 width));

    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(SemanticColors::separator(palette));
    painter->drawLine(option.rect.left(), option.rect.bottom(), option.rect.right(),
                      option.rect.bottom());
    painter->restore();
}
