#include "estimation/detail/plausibility.h"

#include <cstddef>

namespace talvo::estimation {

std::string_view code(Flag flag) {
    constexpr std::array<std::string_view, allFlags.size()> codes{
        "sum", "range", "oc", "fc<=pwp", "result", "psd", "bd", "porosity"};
    return codes.at(static_cast<std::size_t>(flag));
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
    };
    return sentences.at(static_cast<std::size_t>(flag));
}

Flags soilFlags(const InputValues& inputs) noexcept {
    Flags flags;
    const InputValue& sand = at(inputs, Input::sand);
    const InputValue& silt = at(inputs, Input::silt);
    const InputValue& clay = at(inputs, Input::clay);
    if (!sand.failure && !silt.failure && !clay.failure &&
        sumDiffers(sand.number, silt.number, clay.number)) {
        flags.add(Flag::sum);
    }
    return flags;
}

Flags inputFlags(const PtfModel& model, const InputValues& inputs) noexcept {
    Flags flags;
    for (const Input input : {Input::sand, Input::silt, Input::clay}) {
        const InputValue& value = at(inputs, input);
        if (model.readInputs.contains(input) && !value.failure && outsidePercent(value.number)) {
            flags.add(Flag::range);
        }
    }
    const InputValue& oc = at(inputs, Input::oc);
    if (model.readInputs.contains(Input::oc) && !oc.failure && outsideCarbon(oc.number)) {
        flags.add(Flag::oc);
    }
    return flags;
}

Flags modelFlags(const PtfModel& model, const InputValues& inputs,
                 const Estimate& estimated) noexcept {
    Flags flags = inputFlags(model, inputs);
    // The results as shown before rounding to two decimals.
    const auto [fc, pwp] = estimated.readBack;
    if (estimated.computed >= 2 && pwp >= fc) {
        flags.add(Flag::pwpNotBelowFc);
    }
    const double factor = volumeFactor(model.gravimetric);
    if ((estimated.computed >= 1 && outsideMineralWater(fc, factor)) ||
        (estimated.computed >= 2 && outsideMineralWater(pwp, factor))) {
        flags.add(Flag::result);
    }
    return flags;
}

} // namespace talvo::estimation
