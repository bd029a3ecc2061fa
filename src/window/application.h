#pragma once

#include <QFont>
#include <QIcon>
#include <QString>
#include <QStringList>

class QWidget;

namespace talvo::window {

inline constexpr const char* FormFamily = "MS Sans Serif";

// Families tried in order where the form's family is missing, as on every Linux system.
QStringList formFamilySubstitutes();

// The form's font at a point size.
QFont formFont(double points, bool bold = false);

// Product name, version and desktop file of the running program, and the font substitutes.
// Call once, after the application object exists.
void describeApplication();

// The program's icon in the sizes a desktop asks for, built from the desktop entry's icon.
QIcon programIcon();

// Shows a window centred on the screen it opens on.
void showCentred(QWidget& window);

} // namespace talvo::window
