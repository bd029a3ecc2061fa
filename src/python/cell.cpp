#include "python/cell.h"

#include "estimation/plausibility.h"
#include "estimation/result_values.h"
#include "python/texture.h"

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

} // namespace talvo::python
