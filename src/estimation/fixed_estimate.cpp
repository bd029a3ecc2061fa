#include "estimation/fixed_estimate.h"

#include <cassert>
#include <cmath>
#include <cstddef>

namespace talvo::estimation {

namespace {

// Results from here on take the exact path: their hundredths need not fit in a double's 53
// bits with room to spare.
constexpr double Largest = 1e13;

// The 15-digit rounding moves a value by at most 5 parts in 10^15 and reading it back by
// 1.1 in 10^16; the margins below allow four times that and more.
constexpr double FormError = 2e-14;
// AWC works on FC and PWP as read back, and scales their difference by up to 2.235; its own
// rounding to 15 digits adds to that. In hundredths, per unit of |FC| + |PWP| + |AWC|.
constexpr double AvailableWaterError = 5e-12;

// x rounded to hundredths, half away from zero, as the exact path rounds its 15-digit form;
// nothing when x x 100 lies within `margin` of a half.
std::optional<std::int64_t> hundredthsOf(double x, double margin) noexcept {
    assert(std::fabs(x) < Largest);
    const double scaled = std::fabs(x) * 100;
    // Below 2^63, so truncating is the floor; without SSE4.1 std::floor is a call.
    const auto whole = static_cast<std::int64_t>(scaled);
    const double fraction = scaled - static_cast<double>(whole); // exact below 2^52
    if (!(std::fabs(fraction - 0.5) > margin)) {
        return std::nullopt;
    }
    const std::int64_t count = whole + (fraction > 0.5 ? 1 : 0);
    return x < 0 ? -count : count;
}

bool inRange(double x) noexcept {
    return std::fabs(x) < Largest;
}

} // namespace

std::optional<FixedEstimate> fixedEstimate(const PtfModel& model,
                                           const InputValues& inputs) noexcept {
    for (const Input input : allInputs) {
        if (model.readInputs.contains(input) && at(inputs, input).failure) {
            return std::nullopt;
        }
    }
    const Numbers numbers(inputs);
    const double fc = model.fc.plain(numbers);
    const double pwp = model.pwp.plain(numbers);
    if (!inRange(fc) || !inRange(pwp)) {
        return std::nullopt; // also NaN
    }
    const double awc = availableWater(model, fc, pwp);
    if (!inRange(awc)) {
        return std::nullopt;
    }
    const std::optional<std::int64_t> fcCount = hundredthsOf(fc, std::fabs(fc) * 100 * FormError);
    const std::optional<std::int64_t> pwpCount =
        hundredthsOf(pwp, std::fabs(pwp) * 100 * FormError);
    const std::optional<std::int64_t> awcCount =
        hundredthsOf(awc, (std::fabs(fc) + std::fabs(pwp) + std::fabs(awc)) * AvailableWaterError);
    if (!fcCount || !pwpCount || !awcCount) {
        return std::nullopt;
    }

    // The flags compare the 15-digit values: a comparison as close as their error is left to
    // the exact path. Their sign is the doubles' own, so "below 0" needs no margin.
    const double closeness = (std::fabs(fc) + std::fabs(pwp)) * FormError;
    if (std::fabs(fc - pwp) <= closeness || std::fabs(fc - 100) <= 100 * FormError ||
        std::fabs(pwp - 100) <= 100 * FormError) {
        return std::nullopt;
    }
    FixedEstimate out{{*fcCount, *pwpCount, *awcCount}, {}};
    if (pwp > fc) {
        out.resultFlags.add(Flag::fcBelowPwp);
    }
    if (fc < 0 || fc > 100 || pwp < 0 || pwp > 100) {
        out.resultFlags.add(Flag::result);
    }
    return out;
}

double hundredthsValue(std::int64_t hundredths) noexcept {
    // Both operands are exact, so the quotient is the double nearest the decimal.
    const double magnitude = static_cast<double>(hundredths < 0 ? -hundredths : hundredths) / 100;
    return hundredths < 0 ? -magnitude : magnitude;
}

} // namespace talvo::estimation
