#pragma once

#include <QStyledItemDelegate>

// Draws a row of ThemeListModel: the name over "id · layout" at the left,
// the green "Live" capsule at the right for the theme on the output, and a
// divider below.
class ThemeRowDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    static QString liveBadgeText() { return QStringLiteral("Live"); }

private:
    struct Fonts {
        QFont name;
        QFont detail;
        QFont badge;
    };
    static Fonts fonts(const QStyleOptionViewItem& option);
};
