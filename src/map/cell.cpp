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
    using estimation::Input;
    const auto number = [&inputs](Input input) { return estimation::at(inputs, input).number; };
    cell.texture = textureNumber(number(Input::sand), number(Input::silt), number(Input::clay));
    cell.estimated = true;
    return cell;
}

CellLanes estimateTwoDecimalLanes(const estimation::PtfModel& model,
                                  const estimation::InputLanes& inputs) noexcept {
    const estimation::ResultLanes results = estimation::twoDecimalLanes(model, inputs);
    CellLanes cells;
    for (std::size_t lane = 0; lane < estimation::LaneCount; ++lane) {
        const auto number = [&](std::size_t input) { return inputs[input].values[lane]; };
        CellResult& cell = cells[lane];
        if (!results.answered[lane]) { // failures among them
            cell = estimateCell(
                model, estimation::inputNumbers(number(0), number(1), number(2), number(3)),
                Precision::fixed);
            continue;
        }
        for (std::size_t result = 0; result < cell.values.size(); ++result) {
            cell.values[result] = results.values[result].values[lane];
        }
        cell.flags = results.flags[lane].bits();
        cell.texture = textureNumber(number(0), number(1), number(2));
        cell.estimated = true;
    }
    return cells;
}

} // namespace talvo::map
