#pragma once

// A model's FC, PWP and AWC over soils drawn around one soil (--sd): talvo-batch, talvo-map
// and the Python module all take their percentiles from here, so that each gives the same.

#include "estimation/estimation.h"

#include <array>
#include <optional>
#include <string_view>

namespace talvo::base {

// The percentiles in the order the front ends write them: fc_p05, fc_p50, fc_p95, pwp_p05,
// pwp_p50, pwp_p95, awc_p05, awc_p50, awc_p95.
inline constexpr std::array<std::string_view, 9> SpreadNames{
    "fc_p05", "fc_p50", "fc_p95", "pwp_p05", "pwp_p50", "pwp_p95", "awc_p05", "awc_p50", "awc_p95"};
using SpreadResults = std::array<double, SpreadNames.size()>;

// Either the percentiles, or why a soil has none.
struct SpreadOutcome {
    SpreadResults results{};
    std::string_view failure; // empty: the results hold
};

class ResultSpreads {
public:
    // Sand, silt and clay on `scale`; OC's spread arrives in `carbonUnit` (unset: the model's
    // own unit, as OC does). Precondition: draws.draws within FewestDraws..MostDraws.
    ResultSpreads(estimation::ParticleSizeScale scale,
                  std::optional<estimation::CarbonUnit> carbonUnit, estimation::DrawSettings draws)
        : m_scale(scale), m_carbonUnit(carbonUnit), m_draws(draws) {}

    // The model's over soils drawn around `soil`, whose OC is in the model's unit; `spread`
    // in the inputs' units. A model that reads no OC ignores its spread.
    SpreadOutcome of(const estimation::PtfModel& model, const estimation::InputValues& soil,
                     estimation::InputSpread spread);

private:
    estimation::ParticleSizeScale m_scale;
    std::optional<estimation::CarbonUnit> m_carbonUnit;
    estimation::SoilDraws m_draws; // one soil's at a time, for any model
};

// The number of the text a table writes for `value`: two decimals (fixed) or 15 digits.
double writtenNumber(double value, estimation::Precision precision);

} // namespace talvo::base
