#include "views/ScreenStyle.h"

#include "views/BrandColors.h"
#include "views/SemanticColors.h"
#include "views/Symbols.h"

#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace ScreenStyle {

QFont scaled(QFont font, qreal factor, QFont::Weight weight) {
    // A font given in pixels has no point size to scale.
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * factor);
    else
        font.setPixelSize(qMax(1, qRound(font.pixelSize() * factor)));
    font.setWeight(weight);
    return font;
}

QLabel* caption(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(scaled(label->font(), 0.9));
    label->setWordWrap(true);
    setTextColor(label, SemanticColors::secondaryLabel(label->palette()));
    return label;
}

QLabel* headline(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(scaled(label->font(), 1.05, QFont::DemiBold));
    return label;
}

void setTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

QLabel* symbolLabel(const QString& symbol, int size, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(Symbols::icon(symbol).pixmap(size, size));
    label->setFixedSize(size, size);
    return label;
}

QPushButton* namedButton(const QString& text, const QString& name, QWidget* parent) {
    auto* made = new QPushButton(text, parent);
    made->setObjectName(name);
    return made;
}

void makeProminent(QPushButton* button) {
    const QColor gold = BrandColors::gold();
    // Disabled, the gold fades into the background, light or dark alike.
    const QString faded =
        QStringLiteral("rgba(%1, %2, %3, 0.35)").arg(gold.red()).arg(gold.green()).arg(gold.blue());
    button->setStyleSheet(
        QStringLiteral("QPushButton { background-color: %1; color: #1f1a08; font-weight: 600;"
                       " border: 1px solid %2; border-radius: 5px; padding: 4px 16px; }"
                       " QPushButton:pressed { background-color: %2; }"
                       " QPushButton:disabled { background-color: %3; color: rgba(31, 26, 8, 0.5);"
                       " border-color: transparent; }")
            .arg(gold.name(), gold.darker(120).name(), faded));
}

QVBoxLayout* scrollingColumn(QWidget* screen) {
    auto* outer = new QVBoxLayout(screen);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(screen);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    outer->addWidget(scroll);
    auto* content = new QWidget(scroll);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(20);
    scroll->setWidget(content);
    return column;
}

} // namespace ScreenStyle
