#pragma once

// The two-decimal results of one soil straight from its doubles, shared by the quick paths for
// one soil and for lanes of soils. Branch-free, so that a loop over lanes vectorises.
// The 15-digit rounding moves a result by at most a few parts in 10^15, so it can change the
// two decimals only when a result lies that close to a half hundredth; there, and wherever a
// flag's boundary is as close, `answered` is false and the caller takes the exact path.

#include "estimation/plausibility.h"

#include <array>
#include <cmath>
#include <cstdint>

namespace talvo::estimation::quick {

// Results from here on take the exact path: their hundredths need not fit in a double's 53
// bits with room to spare.
inline constexpr double Largest = 1e13;

// The 15-digit rounding moves a value by at most 5 parts in 10^15 and reading it back by
// 1.1 in 10^16; the margins below allow four times that and more.
inline constexpr double FormError = 2e-14;
// AWC works on FC and PWP as read back, and scales their difference by up to 2.235; its own
// rounding to 15 digits adds to that. In hundredths, per unit of |FC| + |PWP| + |AWC|.
inline constexpr double AvailableWaterError = 5e-12;

struct Hundredths {
    // FC, PWP and AWC as signed counts of hundredths: 5085 is "50.85".
    std::array<std::int64_t, 3> counts{};
    Flags resultFlags; // fc<=pwp and result, as modelFlags sets them
    bool answered = false;
};

// x rounded to hundredths, half away from zero, as the exact path rounds its 15-digit form;
// clears `answered` when x x 100 lies within `margin` of a half. Meaningful for |x| < Largest.
// Integer steps rather than floating selects: those become branches that the random digits of
// real soils mispredict half the time.
inline std::int64_t hundredthsOf(double x, double margin, bool& answered) noexcept {
    const double scaled = std::fabs(x) * 100;
    // Below 2^63, so truncating is the floor; without SSE4.1 std::floor is a call.
    const auto whole = static_cast<std::int64_t>(scaled);
    const double fraction = scaled - static_cast<double>(whole); // exact below 2^52
    answered = answered && std::fabs(fraction - 0.5) > margin;
    const std::int64_t count = whole + static_cast<std::int64_t>(fraction > 0.5);
    return x < 0 ? -count : count;
}

inline Hundredths hundredths(double fc, double pwp, double awc) noexcept {
    Hundredths out;
    bool answered = std::fabs(fc) < Largest && std::fabs(pwp) < Largest && // also not NaN
                    std::fabs(awc) < Largest;
    if (!answered) {
        return out; // the conversions below need a number below 2^63
    }
    out.counts = {
        hundredthsOf(fc, std::fabs(fc) * 100 * FormError, answered),
        hundredthsOf(pwp, std::fabs(pwp) * 100 * FormError, answered),
        hundredthsOf(awc, (std::fabs(fc) + std::fabs(pwp) + std::fabs(awc)) * AvailableWaterError,
                     answered)};
    // The flags compare the 15-digit values: a comparison as close as their error is left to
    // the exact path. Their sign is the doubles' own, so "below 0" needs no margin.
    const double closeness = (std::fabs(fc) + std::fabs(pwp)) * FormError;
    out.answered = answered && std::fabs(fc - pwp) > closeness &&
                   std::fabs(fc - 100) > 100 * FormError && std::fabs(pwp - 100) > 100 * FormError;
    if (pwp > fc) {
        out.resultFlags.add(Flag::fcBelowPwp);
    }
    if (outsidePercent(fc) || outsidePercent(pwp)) {
        out.resultFlags.add(Flag::result);
    }
    return out;
}

} // namespace talvo::estimation::quick
