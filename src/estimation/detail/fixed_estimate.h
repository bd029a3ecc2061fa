#pragma once

// The estimate with two decimals, as shown after Estimate, worked out from the
// doubles without the 15-digit forms. Where a result or a flag's boundary lies too close to
// call, this gives nothing and the caller takes the exact path, estimate(). Tables, maps and
// arrays of soils rarely do.

#include "estimation/estimation.h"

#include <array>
#include <cstdint>
#include <optional>

namespace talvo::estimation::detail {

struct FixedEstimate {
    // FC, PWP and AWC as signed counts of hundredths: 5085 is "50.85".
    std::array<std::int64_t, 3> hundredths{};
    std::array<double, 2> doubles{}; // FC and PWP as the model's equations give them
    Flags resultFlags;               // fc<=pwp and result, as modelFlags sets them
};

// The same two-decimal results and result flags as estimate() and modelFlags() give, or
// nothing where they could differ, where an input the model reads is no number, or where a
// result fails or reaches 10^13.
std::optional<FixedEstimate> fixedEstimate(const PtfModel& model,
                                           const InputValues& inputs) noexcept;

// The double a count of hundredths stands for, as reading its text gives: never -0.
double hundredthsValue(std::int64_t hundredths) noexcept;

} // namespace talvo::estimation::detail
