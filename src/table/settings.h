#pragma once

#include "estimation/catalogue.h"
#include "estimation/number_text.h"

#include <vector>

namespace talvo::table {

enum class Precision {
    fixed,  // the two-decimal texts the window finally shows
    general // the 15-digit texts written before the formatting pass
};

// A run's settings, checked and typed; the command line makes them.
struct Settings {
    std::vector<const estimation::PtfModel*> models; // in output order, none twice
    Precision precision = Precision::fixed;
    estimation::DecimalSeparator decimal;
    char delimiter = ','; // never the decimal separator, a quote or a line break
};

} // namespace talvo::table
