#pragma once

#include <QFont>
#include <QIcon>
#include <QRect>
#include <QString>
#include <QStringList>

class QWidget;

namespace talvo::window {

inline constexpr const char* FormFamily = "MS Sans Serif";

// Families tried in order where the form's family is missing, as on every Linux system.
QStringList formFamilySubstitutes();

// The form's font at a point size.
QFont formFont(double points);

// Product name, version and desktop file of the running program, and the font substitutes.
// Call once, after the application object exists.
void describeApplication();

// The program's icon in the sizes a desktop asks for, built from the desktop entry's icon.
QIcon programIcon();

// Shows a window centred on the screen it opens on.
void showCentred(QWidget& window);

// Where a window whose frame wants `wanted` goes beside the frame `main`, within `available`:
// no larger than `available`; to the right of `main` where it fits, else to the left, else
// over it on the side with more room; level with its top where the screen allows.
QRect placedBeside(const QRect& main, QSize wanted, const QRect& available);

} // namespace talvo::window
