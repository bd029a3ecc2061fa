#pragma once

// A CSV table with measured columns, read into an Evaluation: the inputs the models read,
// the measurements and the bulk density, found by their headers.

#include "evaluation/evaluation.h"
#include "table/settings.h"

#include <array>
#include <functional>
#include <istream>
#include <string>

namespace talvo::evaluation {

// The bulk density column's header when none is named.
inline constexpr std::string_view DensityColumn = "bd";

struct MeasuredColumns {
    std::array<std::string, 3> headers; // of measured fc, pwp, awc; empty: not measured
    std::string density;                // of the bulk density; empty: "bd" where there is one
    MeasuredUnit unit = MeasuredUnit::volume;
};

// Reads the table and compares every model `settings` choose with the measured columns.
// Throws base::Error for a missing column (table::CsvError for damaged input); `notice`
// hears of models left out for want of their columns.
Outcome evaluateTable(std::istream& input, const table::Settings& settings,
                      const MeasuredColumns& measured,
                      const std::function<void(const std::string&)>& notice = {});

} // namespace talvo::evaluation
