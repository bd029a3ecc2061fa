#include "estimation/detail/plausibility.h"
#include "estimation/estimation.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <string>

namespace talvo::estimation {

std::string_view name(DomainQuantity quantity) {
    constexpr std::array<std::string_view, DomainQuantityCount> names{
        "sand", "silt", "clay", "organic carbon", "organic matter", "bulk density"};
    return names.at(static_cast<std::size_t>(quantity));
}

std::string rangeText(const CalibrationRange& range) {
    std::string text(name(range.quantity));
    if (std::isinf(range.low)) {
        text += " up to " + generalText(range.high);
    } else if (std::isinf(range.high)) {
        text += " from " + generalText(range.low);
    } else {
        text += ' ' + generalText(range.low) + '-' + generalText(range.high);
    }
    text += ' ' + std::string(range.unit);
    if (range.quantity == DomainQuantity::organicMatter) {
        text += ", as OC x " + generalText(OrganicMatterPerCarbon);
    }
    return text + " (" + std::string(range.source) + ')';
}

std::string calibrationText(std::span<const CalibrationRange> ranges) {
    if (ranges.empty()) {
        return "not published";
    }
    std::string text;
    for (const CalibrationRange& range : ranges) {
        text += (text.empty() ? "" : "; ") + rangeText(range);
    }
    return text;
}

bool outsideDomain(std::span<const CalibrationRange> ranges, const DomainValues& values) noexcept {
    // Plain any_of: the browser build's standard library has no ranges algorithms.
    return std::any_of(ranges.begin(), ranges.end(), [&values](const CalibrationRange& range) {
        return detail::outsideBounds(values[static_cast<std::size_t>(range.quantity)], range.low,
                                     range.high);
    });
}

InputSet flaggedInputs(const PtfModel& model) noexcept {
    InputSet inputs = model.readInputs;
    for (const CalibrationRange& range : modelSheet(model).calibration) {
        const DomainQuantity quantity =
            range.quantity == DomainQuantity::organicMatter ? DomainQuantity::oc : range.quantity;
        const auto i = static_cast<std::size_t>(quantity);
        if (i < allInputs.size()) { // no input holds a bulk density
            inputs |= InputSet{allInputs[i]};
        }
    }
    return inputs;
}

} // namespace talvo::estimation
