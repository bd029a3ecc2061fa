#include "window/colours.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace talvo::window {

QColor systemColour(form::SystemColour colour, const QPalette& palette) {
    switch (colour) {
    case form::SystemColour::highlightText:
        return palette.color(QPalette::Active, QPalette::HighlightedText);
    case form::SystemColour::inactiveBorder:
        break;
    }
    // Midlight is the palette's frame grey; a tinted theme must still give a plain grey.
    return QColor::fromHsl(-1, 0, palette.color(QPalette::Active, QPalette::Midlight).lightness());
}

namespace {

double linear(float channel) {
    const double c = channel;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) +
           0.0722 * linear(rgb.blueF());
}

} // namespace

double contrastRatio(const QColor& a, const QColor& b) {
    // The list form returns values: minmax of two arguments returns references to them, which
    // would outlive these temporaries.
    const auto [dark, light] = std::minmax({luminance(a), luminance(b)});
    return (light + 0.05) / (dark + 0.05);
}

QColor readableTextOn(const QColor& background, const QPalette& palette) {
    const std::array<QColor, 4> candidates{
        palette.color(QPalette::Active, QPalette::Text),
        palette.color(QPalette::Active, QPalette::Base),
        palette.color(QPalette::Active, QPalette::WindowText),
        palette.color(QPalette::Active, QPalette::Window),
    };
    for (const QColor& candidate : candidates) {
        if (contrastRatio(candidate, background) >= ReadableContrast) {
            return candidate;
        }
    }
    // One of black and white always reaches 4.5:1.
    const QColor black(Qt::black);
    const QColor white(Qt::white);
    return contrastRatio(black, background) >= contrastRatio(white, background) ? black : white;
}

} // namespace talvo::window
