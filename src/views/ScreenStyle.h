#pragma once

#include <QFont>
#include <QLabel>
#include <QString>

class QPushButton;
class QVBoxLayout;

// The type and small building blocks every screen shares: captions in the
// secondary colour, scaled fonts, symbol images, the gold main-action button.
// Stateless; the colours come from the palette at the time of the call.
namespace ScreenStyle {

QFont scaled(QFont font, qreal factor, QFont::Weight weight = QFont::Normal);
// Smaller, wrapping, secondary text.
QLabel* caption(const QString& text, QWidget* parent);
// A semibold line that heads a box or a warning.
QLabel* headline(const QString& text, QWidget* parent);
void setTextColor(QWidget* widget, const QColor& color);
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
