#include "python/cell.h"

#include "estimation/decimal_form.h"
#include "estimation/estimate.h"
#include "estimation/fixed_estimate.h"
#include "estimation/plausibility.h"
#include "python/texture.h"

#include <limits>
#include <optional>

namespace talvo::python {

namespace {

using estimation::Estimate;
using estimation::Input;
using estimation::Result;

constexpr double NoNumber = std::numeric_limits<double>::quiet_NaN();

// The double the window's text for a result stands for; nothing beyond the double range.
std::optional<double> shownValue(const estimation::DecimalForm& form, Precision precision) {
    return estimation::readBack(
        precision == Precision::fixed ? estimation::roundedToHundredths(form) : form);
}

ErrorCode errorCode(estimation::FailureKind kind) noexcept {
    return static_cast<ErrorCode>(static_cast<int>(kind) + 1);
}

} // namespace

CellResult estimateCell(const estimation::PtfModel& model, const estimation::InputValues& inputs,
                        Precision precision) noexcept {
    const std::int8_t texture = textureCode(estimation::at(inputs, Input::sand).number,
                                            estimation::at(inputs, Input::silt).number,
                                            estimation::at(inputs, Input::clay).number);
    estimation::Flags flags = estimation::soilFlags(inputs);
    if (precision == Precision::fixed) {
        if (const auto quick = estimation::fixedEstimate(model, inputs)) {
            flags |= estimation::inputFlags(model, inputs);
            flags |= quick->resultFlags;
            const auto& [fc, pwp, awc] = quick->hundredths;
            return {estimation::hundredthsValue(fc),
                    estimation::hundredthsValue(pwp),
                    estimation::hundredthsValue(awc),
                    flags.bits(),
                    texture,
                    ErrorCode::none};
        }
    }
    const Estimate estimated = estimation::estimate(model, inputs);
    flags |= estimation::modelFlags(model, inputs, estimated);
    CellResult cell{NoNumber, NoNumber, NoNumber, flags.bits(), texture, ErrorCode::none};
    if (estimated.failure) {
        cell.error = errorCode(estimated.failure->kind);
        return cell;
    }
    const std::optional<double> fc = shownValue(estimated[Result::fc], precision);
    const std::optional<double> pwp = shownValue(estimated[Result::pwp], precision);
    const std::optional<double> awc = shownValue(estimated[Result::awc], precision);
    if (!fc || !pwp || !awc) {
        cell.error = ErrorCode::overflow;
        return cell;
    }
    cell.fc = *fc;
    cell.pwp = *pwp;
    cell.awc = *awc;
    return cell;
}

} // namespace talvo::python
