#pragma once

#include "views/SemanticColors.h"

#include <QFont>
#include <QLabel>
#include <QString>
#include <optional>

class QPushButton;
class QVBoxLayout;

// The type and small building blocks every screen shares: captions in the
// secondary colour, scaled fonts, symbol images, the gold main-action button.
// Stateless; the widgets remember their own tones.
namespace ScreenStyle {

QFont scaled(QFont font, qreal factor, QFont::Weight weight = QFont::Normal);
// Smaller, wrapping, secondary text.
QLabel* caption(const QString& text, QWidget* parent);
// A semibold line that heads a box or a warning.
QLabel* headline(const QString& text, QWidget* parent);
// Colours the widget's text in `tone` (no tone: the palette's own text
// colour), now and whenever the desktop switches between light and dark.
void setTextTone(QWidget* widget, std::optional<SemanticColors::Tone> tone);
// A colour that is the same in every theme (the brand's gold).
void setFixedTextColor(QWidget* widget, const QColor& color);
QLabel* symbolLabel(const QString& symbol, int size, QWidget* parent);
// A button that tests and the accessibility walk find by `name`.
QPushButton* namedButton(const QString& text, const QString& name, QWidget* parent);
// The gold, filled button of a screen's main action.
void makeProminent(QPushButton* button);
// The body of a screen that scrolls as a whole: a frameless scroll area
// filling `screen`, its scroll bar always shown, holding a column with the
// screens' padding and spacing. Widgets added to the column belong in
// column->parentWidget().
QVBoxLayout* scrollingColumn(QWidget* screen);

// Setting a label's text re-lays out its window even when the text is the
// same; renders that run on every model change set only what changed.
inline void setIfChanged(QLabel* label, const QString& text) {
    if (label->text() != text)
        label->setText(text);
}

} // namespace ScreenStyle
