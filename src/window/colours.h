#pragma once

#include "form/fields.h"

#include <QColor>
#include <QPalette>

namespace talvo::window {

// The colour a system colour value stands for in a palette: highlight text is the palette's
// highlighted-text colour, inactive border a neutral grey of the palette's own lightness.
QColor systemColour(form::SystemColour colour, const QPalette& palette);

// Contrast ratio of two colours as the web accessibility guidelines define it: 1 to 21.
double contrastRatio(const QColor& a, const QColor& b);

inline constexpr double ReadableContrast = 4.5;

// A text colour that reads on the background: the palette's own text colours first, black
// or white when none of them contrasts enough (a dark palette's light text on a white box).
QColor readableTextOn(const QColor& background, const QPalette& palette);

} // namespace talvo::window
