#include "python/cell.h"

#include "estimation/plausibility.h"
#include "estimation/result_values.h"
#include "python/texture.h"

#include <cstddef>
#include <limits>

namespace talvo::python {

namespace {

using estimation::Input;

constexpr double NoNumber = std::numeric_limits<double>::quiet_NaN();

ErrorCode errorCode(estimation::FailureKind kind) noexcept {
    return static_cast<ErrorCode>(static_cast<int>(kind) + 1);
}

} // namespace

CellResult estimateCell(const estimation::PtfModel& model, const estimation::InputValues& inputs,
                        Precision precision) noexcept {
    const estimation::ResultValues results =
        estimation::resultValues(model, inputs, precision == Precision::fixed);
    estimation::Flags flags = estimation::soilFlags(inputs);
    flags |= results.flags;
    CellResult cell{NoNumber,
                    NoNumber,
                    NoNumber,
                    flags.bits(),
                    textureCode(estimation::at(inputs, Input::sand).number,
                                estimation::at(inputs, Input::silt).number,
                                estimation::at(inputs, Input::clay).number),
                    ErrorCode::none};
    if (results.failure) {
        cell.error = errorCode(*results.failure);
        return cell;
    }
    const auto& [fc, pwp, awc] = results.values;
    cell.fc = fc;
    cell.pwp = pwp;
    cell.awc = awc;
    return cell;
}

std::array<CellResult, estimation::LaneCount>
estimateTwoDecimalLanes(const estimation::PtfModel& model,
                        const estimation::InputLanes& inputs) noexcept {
    const estimation::ResultLanes results = estimation::twoDecimalLanes(model, inputs);
    std::array<CellResult, estimation::LaneCount> cells; // each one set below
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const auto number = [&](Input input) {
            return inputs[static_cast<std::size_t>(input)].values[i];
        };
        if (!results.answered[i]) {
            cells[i] =
                estimateCell(model,
                             estimation::inputNumbers(number(Input::sand), number(Input::silt),
                                                      number(Input::clay), number(Input::oc)),
                             Precision::fixed);
            continue;
        }
        cells[i] = {results.values[0].values[i],
                    results.values[1].values[i],
                    results.values[2].values[i],
                    results.flags[i].bits(),
                    textureCode(number(Input::sand), number(Input::silt), number(Input::clay)),
                    ErrorCode::none};
    }
    return cells;
}

} // namespace talvo::python
