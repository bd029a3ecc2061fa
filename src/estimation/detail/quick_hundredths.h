#pragma once

// The two-decimal results of one soil straight from its doubles, shared by the quick paths for
// one soil and for lanes of soils. Branch-free, so that a loop over lanes vectorises.
// The 15-digit rounding moves a result by at most a few parts in 10^15, so it can change the
// two decimals only when a result lies that close to a half hundredth; there, and wherever a
// flag's boundary is as close, `answered` is false and the caller takes the exact path.

#include "estimation/detail/plausibility.h"

#include <array>
#include <cmath>

namespace talvo::estimation::detail::quick {

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
    // FC, PWP and AWC as signed counts of hundredths, whole doubles: 5085 is "50.85". A count
    // of 0 may carry the sign of its result: add 0.0 before use.
    std::array<double, 3> counts{};
    bool pwpNotBelowFc = false; // the result flags, as modelFlags sets them
    bool result = false;
    bool answered = false;
};

struct Rounded {
    double count; // |x| in hundredths, rounded half away from zero, with the sign of x; only
                  // where not `close`
    bool close;   // x x 100 lies within the margin of a half: the exact path decides
};

// x rounded to hundredths as the exact path rounds its 15-digit form. Meaningful for
// |x| < Largest. No branch and no integer: the loops over lanes run in vector registers.
[[gnu::always_inline]] inline Rounded hundredthsOf(double x, double margin) noexcept {
    // Below 2^52, adding 2^52 rounds to the nearest whole number. Only a half can round
    // otherwise than away from zero, and a half is always close. No floor and no comparison
    // to pick one: in a single value's path the compiler made that a branch, mispredicted
    // on every other number. Needs strict IEEE arithmetic: no -ffast-math.
    constexpr double TwoTo52 = 4503599627370496.0;
    const double scaled = std::fabs(x) * 100;
    const double nearest = (scaled + TwoTo52) - TwoTo52;
    const double offHalf = std::fabs(std::fabs(scaled - nearest) - 0.5); // exact below 2^52
    return {std::copysign(nearest, x), !(offHalf > margin)};
}

// `factor` is the model's volumeFactor, for the result flag. Both always inline: called, their
// results went out through memory and back, which cost a table's row a tenth of its estimate.
[[gnu::always_inline]] inline Hundredths hundredths(double fc, double pwp, double awc,
                                                    double factor) noexcept {
    const Rounded fcRounded = hundredthsOf(fc, std::fabs(fc) * 100 * FormError);
    const Rounded pwpRounded = hundredthsOf(pwp, std::fabs(pwp) * 100 * FormError);
    const Rounded awcRounded =
        hundredthsOf(awc, (std::fabs(fc) + std::fabs(pwp) + std::fabs(awc)) * AvailableWaterError);
    // The flags compare the 15-digit values: a comparison as close as their error is left to
    // the exact path. Their sign is the doubles' own, so "below 0" needs no margin.
    const double closeness = (std::fabs(fc) + std::fabs(pwp)) * FormError;
    constexpr double limitCloseness = MineralWaterLimit * FormError;
    // & rather than &&: every test is cheap, and without branches the lanes stay in vectors.
    // NOLINTBEGIN(readability-implicit-bool-conversion)
    const bool answered = (std::fabs(fc) < Largest) & (std::fabs(pwp) < Largest) & // not NaN
                          (std::fabs(awc) < Largest) & (!fcRounded.close) & (!pwpRounded.close) &
                          (!awcRounded.close) & (std::fabs(fc - pwp) > closeness) &
                          (std::fabs(fc * factor - MineralWaterLimit) > limitCloseness) &
                          (std::fabs(pwp * factor - MineralWaterLimit) > limitCloseness);
    // NOLINTEND(readability-implicit-bool-conversion)
    // Answered, FC and PWP are never equal: the flags are the exact path's.
    const ResultChecks checks = resultChecks(fc, pwp, factor);
    return {{fcRounded.count, pwpRounded.count, awcRounded.count},
            checks.pwpNotBelowFc,
            checks.result,
            answered};
}

} // namespace talvo::estimation::detail::quick
