#pragma once

// The water-retention curve of the soil in the form, by Saxton and Rawls (2006), which reads
// texture and organic matter alone: the points a front end draws, and the same curve as a
// table of water at the standard heads, which is also the chart's text equivalent.

#include "estimation/estimation.h"

#include <array>
#include <string>
#include <vector>

namespace talvo::form {

struct CurvePoint {
    double head;  // cm of suction
    double theta; // % v/v
};

// The 5th and 95th percentiles of the water content at a head over the draws.
struct BandPoint {
    double head; // cm of suction
    double p05;  // % v/v
    double p95;  // % v/v
};

// Standard deviations typed beside the chart, sand and clay in % and OC in g/kg as the form's
// boxes; blank is 0. Silt is not given: it follows, so that every drawn soil sums as the
// form's. All blank: no band.
struct CurveSpread {
    std::string sand;
    std::string clay;
    std::string oc;
    estimation::DrawSettings settings{}; // talvo-batch --sd's draws and seed
};

// The chart's axis: head from 1 to 15,000 cm on a log scale.
inline constexpr double ChartHeadFirst = 1.0;
inline constexpr double ChartHeadLast = estimation::WiltingPointHead;
// The heads of the table, in cm; 0 gives saturation.
inline constexpr std::array TableHeads{0.0, 10.0, 33.0, 100.0, 330.0, 1000.0, 3300.0, 15000.0};

struct RetentionChart {
    // Empty where the soil has no curve; `failure` then says why.
    std::vector<CurvePoint> points; // head rising, evenly spaced on the log axis
    std::vector<CurvePoint> table;  // at TableHeads
    CurvePoint fieldCapacity{};     // at 330 cm
    CurvePoint wiltingPoint{};      // at 15,000 cm
    // With standard deviations, the p05-p95 band at the points' heads and at TableHeads;
    // empty without them, or where the draws give none (a note then says why).
    std::vector<BandPoint> band;
    std::vector<BandPoint> tableBand;
    std::string failure;
    // The psd and domain flags in words, one sentence each.
    std::vector<std::string> notes;
    // A title and a one-line description, for the chart's accessible name and text.
    std::string title;
    std::string description;
};

// The curve of sand, silt, clay (on `scale`) and OC in g/kg as typed in the form; OM is taken
// as OC x 1.724. International sizes are widened to the USDA ones the model reads. With
// `spread`, soils are drawn around the form's as talvo-batch --sd draws them, each through the
// same path, and the band is taken head by head.
RetentionChart
retentionChart(const estimation::InputTexts& texts, estimation::DecimalSeparator separator,
               estimation::ParticleSizeScale scale = estimation::ParticleSizeScale::international,
               const CurveSpread& spread = {});

// A water content as the table shows it, two decimals, as talvo-batch writes fc and pwp.
std::string thetaText(double theta, estimation::DecimalSeparator separator = {});

} // namespace talvo::form
