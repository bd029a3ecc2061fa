#pragma once

#include "form/triangle_geometry.h"

#include <QColor>

class QFont;
class QPainter;
class QPalette;
class QRectF;

namespace talvo::window {

// The triangle's colours from a palette, so that it reads in light and dark themes.
struct TriangleColours {
    QColor background;
    QColor text;     // outline, ticks and every text: 4.5:1 on the background at least
    QColor boundary; // class boundaries: 3:1 at least
    QColor mark;     // the soil's point: 3:1 at least
};

TriangleColours triangleColours(const QPalette& palette);

// Where paintTriangle puts the triangle's corners in `area`, leaving room for the axes'
// labels in `font`.
form::TriangleFrame triangleFrame(const QRectF& area, const QFont& font);

// Draws the texture triangle filling `area` on any paint device: background, class
// boundaries and names, the three axes with ticks every 10 % and labels every 20 %, and the
// soil's mark. Vector drawing throughout, so it is sharp at any pixel ratio and in SVG.
void paintTriangle(QPainter& painter, const QRectF& area, const form::SoilMark& mark,
                   const QPalette& palette, const QFont& font);

} // namespace talvo::window
