#pragma once

// A horizon row's own cells beside the soil's: its profile, depths, bulk density and stones.

#include "estimation/estimation.h"
#include "table/columns.h"
#include "table/csv.h"
#include "table/horizons.h"
#include "table/settings.h"

#include <array>
#include <limits>
#include <string>
#include <string_view>

namespace talvo::table {

// A horizon row's cells by HorizonInput; empty where the table has none.
struct HorizonCells {
    std::array<std::string_view, allHorizonInputs.size()> texts{};
    // A cell's number where the pass that found it read it as a plain decimal; NaN where it is
    // still to be read from its text.
    std::array<double, allHorizonInputs.size()> plain{};
    HorizonCells() { plain.fill(std::numeric_limits<double>::quiet_NaN()); }
};

// The horizon a row's cells describe, as readHorizon reads them.
struct Horizon {
    std::string_view profile;
    double top = 0.0;
    double bottom = 0.0;
    estimation::HorizonSoil soil;
    estimation::MeasuredWater measured; // from theta_fc or dul, theta_pwp or ll15
};

// A parsed record's horizon cells, none read yet.
HorizonCells horizonCells(const RecordView& record, const Columns& columns);

// The horizon of a well-formed row's cells. `fault` names the first depth, bd, cf or measured
// water cell that holds no number, or one no soil has, with why where units are the likely
// slip: the horizon's water is not known. `malformed` gets a
// reason where the profile cell is blank, and is left alone otherwise.
Horizon readHorizon(const HorizonCells& cells, const Settings& settings, std::string& fault,
                    std::string& malformed);

} // namespace talvo::table
