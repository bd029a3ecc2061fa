#include "estimation/detail/plausibility.h"

#include "estimation/estimation.h"

#include <cstddef>
#include <limits>
#include <string>

namespace talvo::estimation {

using detail::InputChecks;

std::string_view code(Flag flag) {
    constexpr std::array<std::string_view, allFlags.size()> codes{
        "sum", "range", "oc", "fc<=pwp", "result", "psd", "bd", "porosity", "domain", "measured"};
    return codes.at(static_cast<std::size_t>(flag));
}

std::string flagsText(Flags flags, char separator) {
    std::string text;
    for (const Flag flag : allFlags) {
        if (flags.contains(flag)) {
            text += text.empty() ? "" : std::string(1, separator);
            text += code(flag);
        }
    }
    return text;
}

std::string_view sentence(Flag flag) {
    constexpr std::array<std::string_view, allFlags.size()> sentences{
        "Sand, silt and clay do not add up to 100 %.",
        "A sand, silt or clay content is below 0 % or above 100 %.",
        "Organic carbon is below 0 or above 200 g/kg (peat).",
        "PWP is at or above FC for this soil.",
        "FC or PWP is below 0 % or above 60 % by volume, more than a mineral soil holds: the "
        "model does not fit this soil.",
        "Sand and silt were converted from the USDA scale (silt 2-50 \u00b5m) to the models' "
        "international one (silt 2-20 \u00b5m), an approximation.",
        "The horizon has no bulk density: 1.49 g/cm\u00b3 was used to count its water by "
        "volume.",
        "FC by volume is above the porosity its bulk density leaves (1 - BD/2.65): the soil "
        "cannot hold that much water.",
        "An input lies outside the soils the model was fitted on (its calibration ranges, on "
        "its sheet): its numbers are an extrapolation.",
        "The horizon's measured FC or PWP (theta_fc, theta_pwp, dul or ll15) was used in place "
        "of the model's estimate.",
    };
    return sentences.at(static_cast<std::size_t>(flag));
}

namespace {

// The inputs as the flags read them: NaN where one is no number.
InputChecks checksOf(InputSet reads, const detail::DomainBounds& domain,
                     const InputValues& inputs) noexcept {
    const auto number = [&inputs](Input input) {
        const InputValue& value = at(inputs, input);
        return value.failure ? std::numeric_limits<double>::quiet_NaN() : value.number;
    };
    return detail::inputChecks(reads, domain, number(Input::sand), number(Input::silt),
                               number(Input::clay), number(Input::oc));
}

} // namespace

Flags soilFlags(const InputValues& inputs) noexcept {
    Flags flags;
    if (checksOf({}, {}, inputs).sum) {
        flags.add(Flag::sum);
    }
    return flags;
}

namespace detail {

Flags inputFlags(const PtfModel& model, const InputValues& inputs) noexcept {
    const InputChecks checks = checksOf(model.readInputs, domainBounds(model), inputs);
    Flags flags;
    if (checks.range) {
        flags.add(Flag::range);
    }
    if (checks.oc) {
        flags.add(Flag::oc);
    }
    if (checks.domain) {
        flags.add(Flag::domain);
    }
    return flags;
}

Flags modelFlags(const PtfModel& model, const InputValues& inputs,
                 const Estimate& estimated) noexcept {
    Flags flags = inputFlags(model, inputs);
    // The results as shown before rounding to two decimals.
    const detail::ResultChecks checks =
        detail::resultChecks(estimated.computed >= 1 ? estimated.readBack[0] : NoNumber,
                             estimated.computed >= 2 ? estimated.readBack[1] : NoNumber,
                             volumeFactor(model.gravimetric));
    if (checks.pwpNotBelowFc) {
        flags.add(Flag::pwpNotBelowFc);
    }
    if (checks.result) {
        flags.add(Flag::result);
    }
    return flags;
}

} // namespace detail

} // namespace talvo::estimation
