#pragma once

#include "form/triangle_geometry.h"

#include <QSize>

class QFont;
class QPalette;
class QString;

namespace talvo::window {

// Writes the texture triangle with the soil's mark to `path`: an SVG drawing when the name
// ends in ".svg", a PNG image at twice `size` in pixels otherwise. False when the file could
// not be written.
bool saveTrianglePicture(const QString& path, const form::SoilMark& mark, const QPalette& palette,
                         const QFont& font, QSize size);

} // namespace talvo::window
