#pragma once

#include "estimation/estimation.h"

#include <QLocale>

namespace talvo::window {

// The locale's decimal separator when the number texts can use it (one ASCII character such
// as ',' or '.'), otherwise '.'.
estimation::DecimalSeparator decimalSeparatorOf(const QLocale& locale);

} // namespace talvo::window
