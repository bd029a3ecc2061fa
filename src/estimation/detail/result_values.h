#pragma once

// The two-decimal results of several soils at once, for columns of soils that arrive as
// numbers: the lanes behind SoilEstimator.

#include "estimation/detail/catalogue.h"
#include "estimation/detail/lanes.h"

#include <array>

namespace talvo::estimation::detail {

// The two-decimal values of LaneCount soils that arrive as numbers (NaN: no number, an
// infinity: beyond the double range), worked out together where that is quick.
struct ResultLanes {
    std::array<Lanes, 3> values;          // fc, pwp, awc
    std::array<Flags, LaneCount> flags;   // the soil's and the model's, as estimateSoil's
    std::array<bool, LaneCount> answered; // false: that soil takes estimateSoil()
};
ResultLanes twoDecimalLanes(const PtfModel& model, const InputLanes& inputs) noexcept;

} // namespace talvo::estimation::detail
