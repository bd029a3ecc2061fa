#pragma once

// talvo-batch --hydraulics: each row's water-retention curve and saturated conductivity, here
// so that the page's table tab writes the same table.

#include "estimation/estimation.h"
#include "table/horizons.h"
#include "table/settings.h"

#include <cstdint>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
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

// A horizon table's profiles, for --summary: their water by each model and, with --sd, by
// each draw (8 bytes a horizon, model and draw).
struct HydraulicProfiles {
    table::ProfileTable water;
    table::ProfileTable drawn; // a column a model's draw, each model's draws together
};

// Reads the table from `input` and writes every input column, then per model hydraulic_model,
// theta_r, theta_s, alpha, n, ks, fc, pwp, awc, flags, with --profiles theta_fc, theta_pwp and
// aw_mm, with --sd the percentiles, and error. A horizon table's rows go into `profiles` where
// given. Throws base::Error for a header the models cannot use, table::CsvError for a damaged
// input.
HydraulicTally writeHydraulics(std::istream& input, std::ostream& output,
                               const table::Settings& settings, const HydraulicArguments& arguments,
                               HydraulicProfiles* profiles = nullptr);

// A number of the added columns as the table writes it: with fixed precision water and
// conductivity to two decimals and alpha and n (`significant`) to four significant digits;
// with general, 15 digits. Empty where the model gives none.
std::string hydraulicText(double value, bool significant, estimation::Precision precision,
                          estimation::DecimalSeparator separator = {});

// The profiles' sums as --summary writes them, with --sd each model's TAW 0-30, 0-100 and to
// the root depth at p05 and p95 over the draws.
void writeHydraulicSummary(HydraulicProfiles& profiles, const table::Settings& settings,
                           std::ostream& output);

} // namespace talvo::table
