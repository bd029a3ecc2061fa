#include "estimation/detail/estimate.h"

#include "estimation/detail/catalogue.h"
#include "estimation/detail/decimal_form.h"

#include <cassert>
#include <cmath>

namespace talvo::estimation::detail {

namespace {

// The first failure of an equation whose quick form gave no finite result.
FailureReason firstFailure(const Equation& equation, const InputValues& inputs) {
    Term::Record first;
    equation.checked(CheckedOperands(inputs, first));
    assert(first && "the checked form fails wherever the quick one is not finite");
    return first.value_or(FailureReason{FailureKind::overflow, std::nullopt});
}

// Evaluates one equation into the next result; false at a failure.
bool evaluate(const Equation& equation, const InputValues& inputs, Estimate& out) {
    const double value = equation.doubles(DoubleOperands(inputs));
    if (!std::isfinite(value)) {
        out.failure = firstFailure(equation, inputs);
        return false;
    }
    const DecimalForm form = decimalForm(value);
    out.readBack[static_cast<std::size_t>(out.computed)] =
        readBack(form).value_or(form.negative ? -HUGE_VAL : HUGE_VAL);
    out.results[static_cast<std::size_t>(out.computed++)] = form;
    return true;
}

} // namespace

Estimate estimate(const PtfModel& model, const InputValues& inputs) {
    Estimate out;
    if (!evaluate(model.fc, inputs, out) || !evaluate(model.pwp, inputs, out)) {
        return out;
    }
    // AWC works on the results as shown, rounded to 15 digits; FC is read back first.
    constexpr FailureReason overflow{FailureKind::overflow, std::nullopt};
    const auto [fc, pwp] = out.readBack;
    if (std::isinf(fc) || std::isinf(pwp)) {
        out.failure = overflow;
        return out;
    }
    const double awc = availableWater(model, fc, pwp);
    if (!std::isfinite(awc)) {
        out.failure = overflow;
        return out;
    }
    out.results[static_cast<std::size_t>(Result::awc)] = decimalForm(awc);
    out.computed = 3;
    // Like FC and PWP, an AWC whose 15-digit form lies beyond the range could not be shown
    // with two decimals; only the top of the range can round past it.
    if (std::fabs(awc) >= 1e308 && !readBack(out[Result::awc])) {
        out.failure = overflow;
    }
    return out;
}

Estimate estimate(const PtfModel& model, const InputTexts& texts, DecimalSeparator separator) {
    return estimate(model, convertInputs(texts, model.readInputs, separator));
}

} // namespace talvo::estimation::detail
