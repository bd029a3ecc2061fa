#include "map/cell.h"

#include "estimation/plausibility.h"
#include "estimation/result_values.h"
#include "map/texture.h"

#include <cmath>

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
    const estimation::ResultValues results =
        estimation::resultValues(model, inputs, precision == Precision::fixed);
    if (results.failure) {
        return cell;
    }
    cell.values = results.values;
    estimation::Flags flags = estimation::soilFlags(inputs);
    flags |= results.flags;
    cell.flags = flags.bits();
    cell.texture = textureNumber(inputs).value_or(NoTextureClass);
    cell.estimated = true;
    return cell;
}

} // namespace talvo::map
