#include "views/SlideCardDelegate.h"

#include "views/BrandColors.h"
#include "views/SemanticColors.h"
#include "views/SlideListModel.h"
#include "views/Symbols.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int padding = 8;
constexpr int thumbnailHeight = 80;
constexpr int fieldHeight = 28;
constexpr int buttonHeight = 24;
constexpr int gap = 6;
const QString deleteText = QStringLiteral("Delete");

struct CardLayout {
    QRect card, thumbnail, field, button, controls;
};

CardLayout layout(const QRect& cell, int cardWidth, const QFontMetrics& metrics) {
    CardLayout parts;
    parts.card = QRect(cell.topLeft(), QSize(cardWidth, SlideCardDelegate::cardHeight));
    const QRect inner = parts.card.adjusted(padding, padding, -padding, -padding);
    parts.thumbnail = QRect(inner.topLeft(), QSize(inner.width(), thumbnailHeight));
    parts.field = QRect(QPoint(inner.left(), parts.thumbnail.bottom() + 1 + gap),
                        QSize(inner.width(), fieldHeight));
    parts.button = QRect(QPoint(inner.left(), parts.field.bottom() + 1 + gap),
                         QSize(metrics.horizontalAdvance(deleteText) + 20, buttonHeight));
    parts.controls =
        parts.field.united(QRect(parts.button.topLeft(), QSize(inner.width(), buttonHeight)));
    return parts;
}

QColor destructive(const QPalette& palette) {
    return SemanticColors::tone(SemanticColors::Tone::red, palette);
}

void paintThumbnail(QPainter* painter, const QRect& rect, const QImage& image) {
    QPainterPath clip;
    clip.addRoundedRect(rect, 8, 8);
    painter->save();
    painter->setClipPath(clip);
    painter->fillRect(rect, QColor(0, 0, 0, 217));
    if (image.isNull()) {
        const QRect symbol(rect.center() - QPoint(14, 14), QSize(28, 28));
        const QPixmap photo = Symbols::icon(QStringLiteral("photo")).pixmap(symbol.size());
        painter->setOpacity(0.6);
        painter->drawPixmap(symbol, photo);
    } else {
        const QSize fitted = image.size().scaled(rect.size(), Qt::KeepAspectRatio);
        const QRect target(rect.center() - QPoint(fitted.width() / 2, fitted.height() / 2), fitted);
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        painter->drawImage(target, image);
    }
    painter->restore();
}

// The label as a read-only look of the field the selected card edits.
void paintField(QPainter* painter, const QRect& rect, const QString& text,
                const QStyleOptionViewItem& option) {
    QStyleOptionFrame frame;
    frame.rect = rect;
    frame.palette = option.palette;
    frame.state = QStyle::State_Enabled | QStyle::State_Sunken;
    frame.lineWidth = 1;
    frame.features = QStyleOptionFrame::None;
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelLineEdit, &frame, painter, widget);
    const QRect textRect = rect.adjusted(6, 0, -6, 0);
    painter->setPen(text.isEmpty() ? SemanticColors::secondaryLabel(option.palette, QPalette::Base)
                                   : option.palette.color(QPalette::Text));
    painter->drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft,
                      text.isEmpty()
                          ? QStringLiteral("Label")
                          : option.fontMetrics.elidedText(text, Qt::ElideRight, textRect.width()));
}

void paintButton(QPainter* painter, const QRect& rect, const QStyleOptionViewItem& option) {
    QStyleOptionButton button;
    button.rect = rect;
    button.text = deleteText;
    button.palette = option.palette;
    button.palette.setColor(QPalette::ButtonText, destructive(option.palette));
    button.state = QStyle::State_Enabled | QStyle::State_Raised;
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_PushButton, &button, painter, widget);
}

} // namespace

void SlideCardDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    const CardLayout parts = layout(option.rect, cardWidth, option.fontMetrics);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const bool selected = option.state & QStyle::State_Selected;
    painter->setPen(selected ? QPen(BrandColors::gold(), 2)
                             : QPen(SemanticColors::separator(option.palette), 1));
    painter->setBrush(option.palette.color(QPalette::Base));
    painter->drawRoundedRect(QRectF(parts.card).adjusted(1, 1, -1, -1), 10, 10);
    painter->restore();

    paintThumbnail(painter, parts.thumbnail,
                   index.data(SlideListModel::thumbnailRole).value<QImage>());
    paintField(painter, parts.field, index.data().toString(), option);
    paintButton(painter, parts.button, option);
}

QSize SlideCardDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
    return {cardWidth, cardHeight};
}

QWidget* SlideCardDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                         const QModelIndex& index) const {
    auto* editor = new QWidget(parent);
    editor->setObjectName(QStringLiteral("slideControls"));
    auto* column = new QVBoxLayout(editor);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(gap);
    auto* label = new QLineEdit(editor);
    label->setObjectName(QStringLiteral("slideLabel"));
    label->setPlaceholderText(QStringLiteral("Label"));
    label->setAccessibleName(QStringLiteral("Label"));
    label->setFixedHeight(fieldHeight);
    column->addWidget(label);
    auto* remove = new QPushButton(deleteText, editor);
    remove->setObjectName(QStringLiteral("deleteSlide"));
    // The size of the painted button it stands in for.
    remove->setFixedSize(remove->fontMetrics().horizontalAdvance(deleteText) + 20, buttonHeight);
    QPalette palette = remove->palette();
    palette.setColor(QPalette::ButtonText, destructive(palette));
    remove->setPalette(palette);
    column->addWidget(remove, 0, Qt::AlignLeft);
    editor->setFocusProxy(label);

    auto* self = const_cast<SlideCardDelegate*>(this);
    QObject::connect(label, &QLineEdit::textEdited, self,
                     [self, editor] { Q_EMIT self->commitData(editor); });
    const QPersistentModelIndex slide(index);
    QObject::connect(remove, &QPushButton::clicked, self, [self, slide] {
        if (slide.isValid())
            Q_EMIT self->deleteRequested(slide.data(SlideListModel::slideIdRole).toString());
    });
    return editor;
}

void SlideCardDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* label = editor->findChild<QLineEdit*>();
    const QString text = index.data(Qt::EditRole).toString();
    if (label->text() != text)
        label->setText(text);
    editor->findChild<QPushButton*>()->setAccessibleDescription(text);
}

void SlideCardDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                     const QModelIndex& index) const {
    model->setData(index, editor->findChild<QLineEdit*>()->text(), Qt::EditRole);
}

void SlideCardDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                             const QModelIndex&) const {
    editor->setGeometry(layout(option.rect, cardWidth, option.fontMetrics).controls);
}

bool SlideCardDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                    const QStyleOptionViewItem& option, const QModelIndex& index) {
    // The view hands a press to the delegate before it selects; the selected
    // card has real widgets over these parts and never gets here.
    auto* press = static_cast<QMouseEvent*>(event);
    if (event->type() != QEvent::MouseButtonPress || press->button() != Qt::LeftButton)
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    const QPoint at = press->position().toPoint();
    const CardLayout parts = layout(option.rect, cardWidth, option.fontMetrics);
    if (parts.button.contains(at)) {
        Q_EMIT deleteRequested(index.data(SlideListModel::slideIdRole).toString());
        return true;
    }
    auto* view = qobject_cast<QAbstractItemView*>(const_cast<QWidget*>(option.widget));
    if (!parts.field.contains(at) || !view)
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    // Selecting opens the card's field; the click means "type here", as in
    // any text field.
    view->setCurrentIndex(index);
    if (QWidget* editor = view->indexWidget(index)) {
        auto* label = editor->findChild<QLineEdit*>();
        label->setFocus(Qt::MouseFocusReason);
        label->setCursorPosition(label->cursorPositionAt(label->mapFrom(view->viewport(), at)));
    }
    return true;
}
