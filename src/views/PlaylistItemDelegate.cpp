#include "views/PlaylistItemDelegate.h"

#include "models/PlaylistRowLabel.h"
#include "views/PlaylistItemsModel.h"
#include "views/SemanticColors.h"
#include "views/Symbols.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <array>

namespace {

constexpr int buttonSize = 28;
constexpr int buttonGap = 2;
constexpr int margin = 8;

struct ControlSpec {
    const char* symbol;
    const char* name;
};
// Up, down, remove, left to right.
constexpr std::array<ControlSpec, 3> controlSpecs{{
    {"chevron.up", "Move up"},
    {"chevron.down", "Move down"},
    {"trash", "Remove from playlist"},
}};

QRect controlRect(const QRect& row, int control) {
    const int right = row.right() - margin;
    const int left = right - (3 - control) * (buttonSize + buttonGap) + buttonGap + 1;
    return QRect(left, row.top() + (row.height() - buttonSize) / 2, buttonSize, buttonSize);
}

QRect controlsRect(const QRect& row) {
    return controlRect(row, 0).united(controlRect(row, 2));
}

bool enabled(int control, const QModelIndex& index) {
    if (control == 0)
        return index.row() > 0;
    if (control == 1)
        return index.row() + 1 < index.model()->rowCount();
    return true;
}

} // namespace

void PlaylistItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    QStyleOptionViewItem base = option;
    initStyleOption(&base, index);
    base.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &base, painter, widget);

    painter->save();
    const bool selected = option.state & QStyle::State_Selected;
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    QRect textRect = option.rect.adjusted(margin + 4, 0, 0, 0)
                         .intersected(QRect(option.rect.topLeft(),
                                            QPoint(controlsRect(option.rect).left() - margin,
                                                   option.rect.bottom())));
    QString label = index.data().toString();
    // Not every desktop has a font with the framed picture; its symbol
    // stands in for it, while a screen reader still reads the text.
    if (label.startsWith(PlaylistRowLabel::slidePrefix)) {
        const QRect symbol(textRect.left(), textRect.center().y() - 8, 16, 16);
        Symbols::icon(QStringLiteral("photo")).paint(painter, symbol);
        label.remove(0, PlaylistRowLabel::slidePrefix.size());
        textRect.setLeft(symbol.right() + 1 + option.fontMetrics.horizontalAdvance(u' ') * 2);
    }
    painter->drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft,
                      option.fontMetrics.elidedText(label, Qt::ElideRight, textRect.width()));
    for (int control = 0; control < int(controlSpecs.size()); ++control) {
        const QIcon icon = Symbols::icon(QString::fromLatin1(controlSpecs[size_t(control)].symbol));
        const QRect rect = controlRect(option.rect, control).adjusted(6, 6, -6, -6);
        icon.paint(painter, rect, Qt::AlignCenter,
                   enabled(control, index) ? QIcon::Normal : QIcon::Disabled);
    }
    // A hairline between rows keeps a long running order readable.
    painter->setPen(SemanticColors::separator(option.palette));
    painter->drawLine(option.rect.bottomLeft() + QPoint(margin, 0),
                      option.rect.bottomRight() - QPoint(margin, 0));
    painter->restore();
}

QSize PlaylistItemDelegate::sizeHint(const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    return {QStyledItemDelegate::sizeHint(option, index).width(), rowHeight};
}

QWidget* PlaylistItemDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                            const QModelIndex& index) const {
    auto* editor = new QWidget(parent);
    editor->setObjectName(QStringLiteral("itemControls"));
    auto* row = new QHBoxLayout(editor);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(buttonGap);
    const QPersistentModelIndex item(index);
    auto* self = const_cast<PlaylistItemDelegate*>(this);
    for (int control = 0; control < int(controlSpecs.size()); ++control) {
        const ControlSpec& spec = controlSpecs[size_t(control)];
        auto* button = new QToolButton(editor);
        button->setObjectName(QString::fromLatin1(spec.symbol));
        button->setAutoRaise(true);
        button->setFixedSize(buttonSize, buttonSize);
        button->setIcon(Symbols::icon(QString::fromLatin1(spec.symbol)));
        button->setAccessibleName(QString::fromLatin1(spec.name));
        button->setToolTip(QString::fromLatin1(spec.name));
        QObject::connect(button, &QToolButton::clicked, self, [self, item, control] {
            if (item.isValid())
                self->trigger(Control(control), item);
        });
        row->addWidget(button);
    }
    return editor;
}

void PlaylistItemDelegate::setEditorData(QWidget*, const QModelIndex&) const {}

void PlaylistItemDelegate::setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const {}

void PlaylistItemDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                                const QModelIndex& index) const {
    editor->setGeometry(controlsRect(option.rect));
    // Called again whenever rows move, so the first and last rows' limits hold.
    const auto buttons = editor->findChildren<QToolButton*>();
    for (int control = 0; control < int(buttons.size()); ++control)
        buttons[control]->setEnabled(enabled(control, index));
}

bool PlaylistItemDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                       const QStyleOptionViewItem& option,
                                       const QModelIndex& index) {
    // The view hands a press to the delegate before it selects; the selected
    // row has real buttons over these and never gets here.
    if (event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        for (int control = 0; control < int(controlSpecs.size()); ++control) {
            if (controlRect(option.rect, control).contains(at) && enabled(control, index)) {
                trigger(Control(control), index);
                return true;
            }
        }
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}

void PlaylistItemDelegate::trigger(Control control, const QModelIndex& index) {
    switch (control) {
    case Control::up:
        Q_EMIT moveRequested(index.row(), -1);
        break;
    case Control::down:
        Q_EMIT moveRequested(index.row(), +1);
        break;
    case Control::remove:
        Q_EMIT removeRequested(index.data(PlaylistItemsModel::itemIdRole).toString());
        break;
    }
}
