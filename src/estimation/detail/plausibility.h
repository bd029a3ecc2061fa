#pragma once

// The rules behind the flags, once: the exact path, the two-decimal quick path and the lanes
// all flag a soil through these. Branch-free, & and | rather than && and ||, so that a loop
// over lanes stays in vector registers.

#include "estimation/detail/catalogue.h"
#include "estimation/detail/estimate.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <limits>
#include <span>

namespace talvo::estimation::detail {

inline constexpr bool outsidePercent(double value) noexcept {
    return value < 0.0 || value > 100.0;
}
// Most water a mineral soil holds, in % by volume.
inline constexpr double MineralWaterLimit = 60.0;
// FC or PWP beyond what a mineral soil holds: below 0, or above MineralWaterLimit once a
// % w/w result is counted by volume at the bulk density AWC assumes (volumeFactor).
inline constexpr bool outsideMineralWater(double percent, double volumeFactor) noexcept {
    return percent < 0.0 || percent * volumeFactor > MineralWaterLimit;
}
inline constexpr bool outsideCarbon(double gramsPerKilogram) noexcept {
    constexpr double PeatCarbon = 200.0;
    return gramsPerKilogram < 0.0 || gramsPerKilogram > PeatCarbon;
}
inline bool sumDiffers(double sand, double silt, double clay) noexcept {
    constexpr double SumTolerance = 1.0;
    return !(std::fabs(sand + silt + clay - 100.0) <= SumTolerance);
}

// A model's calibration ranges as bounds on the four inputs as it reads them, infinite where
// it has none. Organic matter bounds carbon at OM / OrganicMatterPerCarbon: a table's OM
// divided by the same factor then meets its bound exactly.
struct DomainBounds {
    static constexpr double Infinity = std::numeric_limits<double>::infinity();
    std::array<double, 4> low{-Infinity, -Infinity, -Infinity, -Infinity};
    std::array<double, 4> high{Infinity, Infinity, Infinity, Infinity};
};
constexpr DomainBounds domainBounds(std::span<const CalibrationRange> ranges) noexcept {
    DomainBounds bounds;
    for (const CalibrationRange& range : ranges) {
        const bool organicMatter = range.quantity == DomainQuantity::organicMatter;
        const auto quantity = organicMatter ? DomainQuantity::oc : range.quantity;
        const auto i = static_cast<std::size_t>(quantity);
        if (i < bounds.low.size()) { // no input holds a bulk density
            bounds.low[i] = organicMatter ? range.low / OrganicMatterPerCarbon : range.low;
            bounds.high[i] = organicMatter ? range.high / OrganicMatterPerCarbon : range.high;
        }
    }
    return bounds;
}
// The bounds of the model's sheet, made once.
const DomainBounds& domainBounds(const PtfModel& model) noexcept;

// NOLINTBEGIN(readability-implicit-bool-conversion)

// A given value beyond its bounds; NaN and infinities are no value given.
[[gnu::always_inline]] inline bool outsideBounds(double value, double low, double high) noexcept {
    const bool given = std::isfinite(value);
    return given & ((value < low) | (value > high));
}

// sum, range and oc of a soil whose numbers are NaN or an infinity where they are none: the
// sum from sand, silt and clay when all three are numbers, range and oc of the inputs the
// model `reads`.
// domain: an input outside the model's bounds, whether or not the model reads it.
struct InputChecks {
    bool sum;
    bool range;
    bool oc;
    bool domain;
};
[[gnu::always_inline]] inline InputChecks inputChecks(InputSet reads, const DomainBounds& domain,
                                                      double sand, double silt, double clay,
                                                      double oc) noexcept {
    // Each test into a value first: & between calls reads as a mistaken &&.
    const bool sandNumber = std::isfinite(sand);
    const bool siltNumber = std::isfinite(silt);
    const bool clayNumber = std::isfinite(clay);
    const bool sumOff = sumDiffers(sand, silt, clay);
    // NaN and the infinities beyond the range are never outside it: a failed input is no number.
    const bool sandOutside = outsidePercent(sand);
    const bool siltOutside = outsidePercent(silt);
    const bool clayOutside = outsidePercent(clay);
    const bool carbonOutside = outsideCarbon(oc);
    const bool readsSand = reads.contains(Input::sand);
    const bool readsSilt = reads.contains(Input::silt);
    const bool readsClay = reads.contains(Input::clay);
    const bool readsCarbon = reads.contains(Input::oc);
    const bool range =
        (readsSand & sandOutside) | (readsSilt & siltOutside) | (readsClay & clayOutside);
    const bool carbon = readsCarbon & carbonOutside;
    const bool sum = sandNumber & siltNumber & clayNumber & sumOff;
    const bool sandBeyond = outsideBounds(sand, domain.low[0], domain.high[0]);
    const bool siltBeyond = outsideBounds(silt, domain.low[1], domain.high[1]);
    const bool clayBeyond = outsideBounds(clay, domain.low[2], domain.high[2]);
    const bool carbonBeyond = outsideBounds(oc, domain.low[3], domain.high[3]);
    const bool beyond = sandBeyond | siltBeyond | clayBeyond | carbonBeyond;
    return {sum, range, carbon, beyond};
}

// fc<=pwp and result from FC and PWP as shown before rounding; NaN for one not computed.
// `factor` is the model's volumeFactor.
struct ResultChecks {
    bool pwpNotBelowFc;
    bool result;
};
[[gnu::always_inline]] inline ResultChecks resultChecks(double fc, double pwp,
                                                        double factor) noexcept {
    const bool fcOutside = outsideMineralWater(fc, factor);
    const bool pwpOutside = outsideMineralWater(pwp, factor);
    const bool result = fcOutside | pwpOutside;
    return {pwp >= fc, result};
}

// NOLINTEND(readability-implicit-bool-conversion)

// What concerns the inputs the model reads: range and oc; and domain.
Flags inputFlags(const PtfModel& model, const InputValues& inputs) noexcept;

// What concerns the chosen model: the inputs it reads and the results it computed.
Flags modelFlags(const PtfModel& model, const InputValues& inputs,
                 const Estimate& estimated) noexcept;

} // namespace talvo::estimation::detail
