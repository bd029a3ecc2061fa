#pragma once

// talvo-batch --hydraulics: each row's water-retention curve and saturated conductivity, here
// so that the page's table tab writes the same table.

#include "estimation/estimation.h"
#include "table/settings.h"

#include <cstdint>
#include <istream>
#include <optional>
#include <ostream>
#include <vector>

namespace talvo::table {

struct HydraulicArguments {
    std::vector<estimation::HydraulicModel> models; // empty: no --hydraulics
    std::optional<bool> topsoil;                    // --topsoil; a topsoil column wins
    double fcHead = estimation::FieldCapacityHead;
};

// What a table's rows came to: how many, and how many with an error.
struct HydraulicTally {
    std::uint64_t rows = 0;
    std::uint64_t rowsWithError = 0;
};

// Reads the table from `input` and writes every input column, then per model hydraulic_model,
// theta_r, theta_s, alpha, n, ks, fc, pwp, awc, flags and error. Throws base::Error for a
// header the models cannot use, table::CsvError for a damaged input.
HydraulicTally writeHydraulics(std::istream& input, std::ostream& output,
                               const table::Settings& settings,
                               const HydraulicArguments& arguments);

} // namespace talvo::table
