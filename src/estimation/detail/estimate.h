#pragma once

// The calculator's one computation as plain values, behind every estimate of the door.

#include "estimation/estimation.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <optional>

namespace talvo::estimation::detail {

// FC and PWP as the model gives them, and AWC worked out from the two as their 15-digit forms
// read back, as they are shown before rounding to two decimals.
struct Estimate {
    std::array<DecimalForm, 3> results{}; // fc, pwp, awc
    // Results worked out, in order: all three, or those before the failure. A failure can
    // follow all three, when AWC's 15-digit form lies beyond the double range.
    int computed = 0;
    std::optional<FailureReason> failure;
    // FC and PWP as their 15-digit forms read back, once computed: the numbers AWC and the
    // plausibility checks work on. HUGE_VAL where not computed; beyond the double range, the
    // infinity of the form's sign, so that a PWP below the range is still below FC.
    std::array<double, 2> readBack{HUGE_VAL, HUGE_VAL};

    bool succeeded() const noexcept { return !failure; }
    const DecimalForm& operator[](Result result) const noexcept {
        return results[static_cast<std::size_t>(result)];
    }
};

// Evaluates FC, then PWP, then AWC, stopping at the first failure in the order the
// equations meet it.
Estimate estimate(const PtfModel& model, const InputValues& inputs);

// The same from the input texts; only the inputs the model reads are converted.
Estimate estimate(const PtfModel& model, const InputTexts& texts, DecimalSeparator separator);

} // namespace talvo::estimation::detail
