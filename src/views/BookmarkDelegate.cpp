#include "views/BookmarkDelegate.h"

#include "views/BookmarkAccent.h"
#include "views/BookmarkListModel.h"
#include "views/BrandColors.h"
#include "views/ScreenStyle.h"
#include "views/SemanticColors.h"
#include "views/Symbols.h"

#include <QAbstractItemView>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int horizontalPadding = 12;
constexpr int verticalPadding = 8;
constexpr int lineGap = 2;
constexpr int swatchSize = 10;
constexpr int gap = 8;
constexpr int iconSize = 16;
constexpr int badgePaddingX = 8;
constexpr int badgePaddingY = 3;

QFont headlineFont(const QFont& base) {
    return ScreenStyle::scaled(base, 1.05, QFont::DemiBold);
}

QFont captionFont(const QFont& base) {
    return ScreenStyle::scaled(base, 0.9);
}

QFont badgeFont(const QFont& base) {
    return ScreenStyle::scaled(base, 0.75, QFont::Bold);
}

QColor secondaryInk(const QPalette& palette) {
    return SemanticColors::secondaryLabel(palette, QPalette::Base);
}

} // namespace

BookmarkDelegate::BookmarkDelegate(QAbstractItemView* view)
    : QStyledItemDelegate(view), view(view) {
    view->viewport()->installEventFilter(this);
}

QIcon BookmarkDelegate::actionIcon(BookmarkRowAction action, const QPalette& palette) {
    const QColor ink = action == BookmarkRowAction::remove
                           ? SemanticColors::tone(SemanticColors::Tone::red, palette)
                           : secondaryInk(palette);
    QColor faded = ink;
    faded.setAlphaF(0.3f);
    const QIcon symbol = Symbols::icon(BookmarkRowActions::symbol(action));
    QIcon icon;
    icon.addPixmap(Symbols::tinted(symbol, iconSize, ink), QIcon::Normal);
    icon.addPixmap(Symbols::tinted(symbol, iconSize, faded), QIcon::Disabled);
    return icon;
}

QRect BookmarkDelegate::actionRect(const QRect& row, BookmarkRowAction action) {
    const int size = BookmarkRowActions::buttonSize;
    const int left = row.right() - horizontalPadding - BookmarkRowActions::width + 1 +
                     int(action) * (size + BookmarkRowActions::spacing);
    return QRect(left, row.center().y() - size / 2 + 1, size, size);
}

void BookmarkDelegate::setSaving(bool value) {
    if (saving == value)
        return;
    saving = value;
    view->viewport()->update();
}

bool BookmarkDelegate::isEnabled(const QModelIndex& index, BookmarkRowAction action) const {
    switch (action) {
    case BookmarkRowAction::moveUp:
        return !saving && index.data(BookmarkListModel::CanMoveUpRole).toBool();
    case BookmarkRowAction::moveDown:
        return !saving && index.data(BookmarkListModel::CanMoveDownRole).toBool();
    case BookmarkRowAction::edit:
    case BookmarkRowAction::remove:
        return index.isValid();
    }
    return false;
}

QSize BookmarkDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    const int text = QFontMetrics(headlineFont(option.font)).height() + lineGap +
                     QFontMetrics(captionFont(option.font)).height();
    const int height = qMax(text, BookmarkRowActions::buttonSize) + 2 * verticalPadding;
    return QSize(360, height);
}

void BookmarkDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QPalette& palette = option.palette;
    const QRect row = option.rect;
    // The selection in the program's gold, so the text keeps its colours.
    if (option.state & (QStyle::State_Selected | QStyle::State_MouseOver)) {
        QColor fill = BrandColors::gold();
        fill.setAlphaF(option.state & QStyle::State_Selected ? 0.22f : 0.08f);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(row).adjusted(2, 1, -2, -1), 6, 6);
        painter->fillPath(shape, fill);
    }
    if (option.state & QStyle::State_HasFocus && view->hasFocus()) {
        painter->setPen(QPen(BrandColors::gold(), 1.5));
        painter->drawRoundedRect(QRectF(row).adjusted(2.5, 1.5, -2.5, -1.5), 6, 6);
    }
    painter->setPen(SemanticColors::separator(palette));
    painter->drawLine(row.left() + horizontalPadding, row.bottom(), row.right() - horizontalPadding,
                      row.bottom());

    const QFontMetrics headline(headlineFont(option.font));
    const QFontMetrics caption(captionFont(option.font));
    const int textHeight = headline.height() + lineGap + caption.height();
    const QRect text(row.left() + horizontalPadding, row.center().y() - textHeight / 2 + 1,
                     row.width() - 2 * horizontalPadding - BookmarkRowActions::width - gap,
                     textHeight);
    paintFirstLine(painter, option, index,
                   QRect(text.left(), text.top(), text.width(), headline.height()));
    painter->setFont(captionFont(option.font));
    painter->setPen(secondaryInk(palette));
    const QRect second(text.left() + swatchSize + gap, text.top() + headline.height() + lineGap,
                       text.width() - swatchSize - gap, caption.height());
    painter->drawText(second, Qt::AlignLeft | Qt::AlignVCenter,
                      caption.elidedText(index.data(BookmarkListModel::ReferenceRole).toString(),
                                         Qt::ElideRight, second.width()));
    if (!view->isPersistentEditorOpen(index))
        paintActions(painter, option, index);
    painter->restore();
}

void BookmarkDelegate::paintFirstLine(QPainter* painter, const QStyleOptionViewItem& option,
                                      const QModelIndex& index, const QRect& line) const {
    const QVariant color = index.data(BookmarkListModel::ColorRole);
    // The darkest swatches would vanish into a dark theme's background.
    if (SemanticColors::isDark(option.palette))
        painter->setPen(QPen(SemanticColors::separator(option.palette), 1));
    else
        painter->setPen(Qt::NoPen);
    painter->setBrush(
        BookmarkAccent::swatch(color.isNull() ? std::nullopt : std::optional(color.toString())));
    painter->drawEllipse(
        QRect(line.left(), line.center().y() - swatchSize / 2 + 1, swatchSize, swatchSize));

    const QFont badgeType = badgeFont(option.font);
    const QFontMetrics badgeMetrics(badgeType);
    const QString bucket = index.data(BookmarkListModel::BucketRole).toString();
    const int available = line.width() - swatchSize - gap;
    // A long bucket name gives way to the label, never the other way round.
    const QString badgeText =
        badgeMetrics.elidedText(bucket, Qt::ElideRight, available * 2 / 5 - 2 * badgePaddingX);
    const int badgeWidth =
        bucket.isEmpty() ? 0 : badgeMetrics.horizontalAdvance(badgeText) + 2 * badgePaddingX;

    const QFont labelType = headlineFont(option.font);
    const QFontMetrics labelMetrics(labelType);
    const QString label =
        labelMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight,
                                qMax(0, available - (badgeWidth > 0 ? badgeWidth + gap : 0)));
    QRect labelRect(line.left() + swatchSize + gap, line.top(),
                    labelMetrics.horizontalAdvance(label), line.height());
    painter->setFont(labelType);
    painter->setPen(option.palette.color(QPalette::Text));
    painter->drawText(labelRect, Qt::AlignLeft | Qt::AlignVCenter, label);
    if (badgeWidth == 0)
        return;

    const int badgeHeight = badgeMetrics.height() + 2 * badgePaddingY;
    const QRectF badge(labelRect.right() + 1 + gap, line.center().y() - badgeHeight / 2.0 + 1,
                       badgeWidth, badgeHeight);
    QColor fill = BrandColors::gold();
    fill.setAlphaF(0.25f);
    QPainterPath capsule;
    capsule.addRoundedRect(badge, badgeHeight / 2.0, badgeHeight / 2.0);
    painter->fillPath(capsule, fill);
    painter->setFont(badgeType);
    painter->setPen(option.palette.color(QPalette::Text));
    painter->drawText(badge, Qt::AlignCenter, badgeText);
}

void BookmarkDelegate::paintActions(QPainter* painter, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    for (int i = 0; i < BookmarkRowActions::count; ++i) {
        const auto action = BookmarkRowAction(i);
        const QRect area = actionRect(option.rect, action);
        const QIcon icon = actionIcon(action, option.palette);
        const QRect target(area.center().x() - iconSize / 2 + 1,
                           area.center().y() - iconSize / 2 + 1, iconSize, iconSize);
        icon.paint(painter, target, Qt::AlignCenter,
                   isEnabled(index, action) ? QIcon::Normal : QIcon::Disabled);
    }
}

QWidget* BookmarkDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                        const QModelIndex& index) const {
    auto* actions = new BookmarkRowActions(parent);
    auto* self = const_cast<BookmarkDelegate*>(this);
    connect(actions, &BookmarkRowActions::triggered, self,
            [self, at = QPersistentModelIndex(index)](BookmarkRowAction action) {
                if (at.isValid() && self->isEnabled(at, action))
                    Q_EMIT self->actionTriggered(action, at);
            });
    return actions;
}

void BookmarkDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    if (auto* actions = qobject_cast<BookmarkRowActions*>(editor))
        for (int i = 0; i < BookmarkRowActions::count; ++i)
            actions->setEnabled(BookmarkRowAction(i), isEnabled(index, BookmarkRowAction(i)));
}

void BookmarkDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                            const QModelIndex&) const {
    const QRect first = actionRect(option.rect, BookmarkRowAction::moveUp);
    editor->setGeometry(first.left(), first.top(), BookmarkRowActions::width, first.height());
}

std::optional<BookmarkRowAction> BookmarkDelegate::actionAt(const QModelIndex& index,
                                                            const QPoint& at) const {
    if (!index.isValid() || view->isPersistentEditorOpen(index))
        return std::nullopt;
    const QRect row = view->visualRect(index);
    for (int i = 0; i < BookmarkRowActions::count; ++i)
        if (actionRect(row, BookmarkRowAction(i)).contains(at))
            return BookmarkRowAction(i);
    return std::nullopt;
}

bool BookmarkDelegate::eventFilter(QObject* watched, QEvent* event) {
    // The type first: the viewport still sends events (a child removed) while
    // the view around it is being destroyed, when the view must not be asked.
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseButtonDblClick)
        return false;
    // Only the viewport is watched here; editors keep their own keys and focus.
    if (watched != view->viewport())
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (type == QEvent::MouseButtonRelease) {
        const bool swallowed = swallowRelease;
        swallowRelease = false;
        return swallowed;
    }
    const QPoint at = mouse->position().toPoint();
    const QModelIndex index = view->indexAt(at);
    const std::optional<BookmarkRowAction> action = actionAt(index, at);
    if (!action || mouse->button() != Qt::LeftButton)
        return false;
    swallowRelease = true;
    if (type == QEvent::MouseButtonPress && isEnabled(index, *action))
        Q_EMIT actionTriggered(*action, index);
    return true;
}
