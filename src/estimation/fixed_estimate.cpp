#include "estimation/detail/fixed_estimate.h"

#include "estimation/detail/catalogue.h"
#include "estimation/detail/quick_hundredths.h"

#include <cstddef>

namespace talvo::estimation::detail {

std::optional<FixedEstimate> fixedEstimate(const PtfModel& model,
                                           const InputValues& inputs) noexcept {
    // Every return gives `out`, so that it is built where the caller wants it: copied into an
    // optional, it was read in pieces wider than it was written in, and every row stalled on a
    // failed store forward.
    std::optional<FixedEstimate> out;
    for (const Input input : allInputs) {
        if (model.readInputs.contains(input) && at(inputs, input).failure) {
            return out;
        }
    }
    const DoubleOperands numbers(inputs);
    const double fc = model.fc.doubles(numbers);
    const double pwp = model.pwp.doubles(numbers);
    const quick::Hundredths quick =
        quick::hundredths(fc, pwp, availableWater(model, fc, pwp), volumeFactor(model.gravimetric));
    if (!quick.answered) {
        return out;
    }
    FixedEstimate& fixed = out.emplace();
    for (std::size_t i = 0; i < fixed.hundredths.size(); ++i) {
        fixed.hundredths[i] = static_cast<std::int64_t>(quick.counts[i]); // below 10^15
    }
    fixed.doubles = {fc, pwp};
    if (quick.pwpNotBelowFc) {
        fixed.resultFlags.add(Flag::pwpNotBelowFc);
    }
    if (quick.result) {
        fixed.resultFlags.add(Flag::result);
    }
    return out;
}

double hundredthsValue(std::int64_t hundredths) noexcept {
    // Both operands are exact, so the quotient is the double nearest the decimal; a zero count
    // gives 0, not -0.
    return static_cast<double>(hundredths) / 100;
}

} // namespace talvo::estimation::detail
