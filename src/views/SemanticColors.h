#pragma once

#include <QColor>
#include <QPalette>

// Colours with a meaning, derived from the platform palette so that they read
// well on light and dark themes alike. The status tones are the dots and
// badges of the server state.
namespace SemanticColors {

// Secondary text and symbols: the text colour, softened toward the background.
QColor secondaryLabel(const QPalette& palette, QPalette::ColorRole background = QPalette::Window);
// Hairline dividers.
QColor separator(const QPalette& palette);

enum class Tone { secondary, green, orange, yellow, red };
QColor tone(Tone tone, const QPalette& palette);

// True when the palette's window is darker than its text.
bool isDark(const QPalette& palette);

} // namespace SemanticColors
