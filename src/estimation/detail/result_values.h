#pragma once

// An estimate as the numbers its texts stand for, for front ends that store numbers rather
// than texts (maps, arrays): the two-decimal results take the quick path where it answers
// and the exact one elsewhere.

#include "estimation/detail/catalogue.h"
#include "estimation/detail/failure.h"
#include "estimation/detail/input_values.h"
#include "estimation/detail/lanes.h"
#include "estimation/detail/plausibility.h"

#include <array>
#include <optional>

namespace talvo::estimation {

struct ResultValues {
    std::array<double, 3> values{}; // fc, pwp, awc; only without a failure
    Flags flags;                    // as modelFlags gives them, also with a failure
    // Why there are no values: the estimate failed, or a result's text lies beyond the
    // double range (an overflow).
    std::optional<FailureKind> failure;
};

// `twoDecimals`: the doubles of the two-decimal texts; otherwise of the 15-digit texts.
ResultValues resultValues(const PtfModel& model, const InputValues& inputs, bool twoDecimals);

// The two-decimal values of LaneCount soils that arrive as numbers (NaN: no number, an
// infinity: beyond the double range), worked out together where that is quick.
struct ResultLanes {
    std::array<Lanes, 3> values;          // fc, pwp, awc
    std::array<Flags, LaneCount> flags;   // soilFlags with resultValues' flags
    std::array<bool, LaneCount> answered; // false: that soil takes resultValues()
};
ResultLanes twoDecimalLanes(const PtfModel& model, const InputLanes& inputs) noexcept;
// The build that twoDecimalLanes() takes on processors without AVX2, so that machines with it
// can test it too.
ResultLanes twoDecimalLanesWithoutAvx2(const PtfModel& model, const InputLanes& inputs) noexcept;

} // namespace talvo::estimation
