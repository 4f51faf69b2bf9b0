#include "views/ScreenHeader.h"

#include "views/ScreenStyle.h"
#include "views/Symbols.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

namespace {

// Drawn in the button's text colour, the symbol reads on dark themes too.
QIcon inked(const QString& symbol, const QColor& ink) {
    constexpr int size = 16;
    return QIcon(Symbols::tinted(Symbols::icon(symbol), size, ink));
}

} // namespace

ScreenHeader::ScreenHeader(const QString& title, QWidget* parent) : QWidget(parent) {
    row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    auto* heading = new QLabel(title, this);
    heading->setObjectName(QStringLiteral("screenTitle"));
    heading->setFont(ScreenStyle::scaled(heading->font(), 1.9, QFont::Bold));
    row->addWidget(heading);
    row->addStretch(1);
}

void ScreenHeader::setStoppedCaption(const QString& text) {
    if (!stoppedCaption) {
        stoppedCaption = ScreenStyle::caption(text, this);
        // At the narrowest window the caption wraps rather than being cut off.
        stoppedCaption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        row->addWidget(stoppedCaption, 1);
    }
    ScreenStyle::setIfChanged(stoppedCaption, text);
    // Two lines at most.
    stoppedCaption->setMinimumWidth(stoppedCaption->fontMetrics().horizontalAdvance(text) / 2 + 8);
}

void ScreenHeader::setServerRunning(bool running) {
    if (stoppedCaption)
        stoppedCaption->setVisible(!running);
}

QPushButton* ScreenHeader::addButton(const QString& text, const QString& symbol) {
    auto* button = new QPushButton(text, this);
    if (!symbol.isEmpty())
        ink(button, symbol);
    row->addWidget(button);
    return button;
}

QToolButton* ScreenHeader::addReloadButton(const QString& accessibleName) {
    auto* button = new QToolButton(this);
    ink(button, QStringLiteral("arrow.triangle.2.circlepath"));
    button->setAutoRaise(true);
    button->setAccessibleName(accessibleName);
    button->setToolTip(accessibleName);
    row->addWidget(button);
    return button;
}

void ScreenHeader::ink(QAbstractButton* button, const QString& symbol) {
    button->setIcon(inked(symbol, button->palette().color(QPalette::ButtonText)));
    symbols.append({button, symbol});
}

// The symbols were drawn in the text colour of the theme they were made in;
// after a switch between light and dark they are drawn again.
void ScreenHeader::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        for (const auto& [button, symbol] : symbols)
            button->setIcon(
                inked(symbol, QApplication::palette(button).color(QPalette::ButtonText)));
}
