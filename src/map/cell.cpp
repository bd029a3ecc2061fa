#include "map/cell.h"

#include "estimation/estimate.h"
#include "estimation/fixed_estimate.h"
#include "estimation/plausibility.h"
#include "map/texture.h"

#include <cmath>
#include <cstddef>
#include <optional>

namespace talvo::map {

CellResult estimateCell(const estimation::PtfModel& model, const estimation::InputValues& inputs,
                        Precision precision) noexcept {
    CellResult cell;
    for (const estimation::Input input : estimation::allInputs) {
        // A failed estimate gives nodata whatever the reason; finding the reason costs an
        // exception per cell, which nodata-heavy maps (oceans) cannot afford.
        if (model.readInputs.contains(input) && !std::isfinite(at(inputs, input).number)) {
            return cell;
        }
    }
    estimation::Flags flags = estimation::soilFlags(inputs);
    const std::optional<estimation::FixedEstimate> quick =
        precision == Precision::fixed ? estimation::fixedEstimate(model, inputs) : std::nullopt;
    if (quick) {
        for (std::size_t i = 0; i < cell.values.size(); ++i) {
            cell.values[i] = estimation::hundredthsValue(quick->hundredths[i]);
        }
        flags |= estimation::inputFlags(model, inputs);
        flags |= quick->resultFlags;
    } else {
        const estimation::Estimate estimated = estimation::estimate(model, inputs);
        if (!estimated.succeeded()) {
            return cell;
        }
        for (std::size_t i = 0; i < cell.values.size(); ++i) {
            const estimation::DecimalForm& form = estimated.results[i];
            const std::optional<double> value = estimation::readBack(
                precision == Precision::fixed ? roundedToHundredths(form) : form);
            if (!value) {
                return cell;
            }
            cell.values[i] = *value;
        }
        flags |= estimation::modelFlags(model, inputs, estimated);
    }
    cell.flags = flags.bits();
    cell.texture = textureNumber(inputs).value_or(NoTextureClass);
    cell.estimated = true;
    return cell;
}

} // namespace talvo::map
