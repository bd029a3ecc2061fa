#include "estimation/detail/result_values.h"

#include "estimation/detail/plausibility.h"
#include "estimation/detail/quick_hundredths.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace talvo::estimation::detail {

ResultLanes twoDecimalLanes(const PtfModel& model, const InputLanes& inputs) noexcept {
    const LaneOperands numbers(inputs);
    const Lanes fc = model.fc.lanes(numbers);
    const Lanes pwp = model.pwp.lanes(numbers);
    const bool gravimetric = model.gravimetric; // a value: the stores below cannot change it
    const InputSet reads = model.readInputs;
    const DomainBounds domain = domainBounds(model); // a value, as `gravimetric`
    // Values, not calls, between & and |: the same for every lane.
    const bool ignoresSand = !reads.contains(Input::sand);
    const bool ignoresSilt = !reads.contains(Input::silt);
    const bool ignoresClay = !reads.contains(Input::clay);
    const bool ignoresCarbon = !reads.contains(Input::oc);
    const auto bit = [](bool set, Flag flag) {
        return set ? static_cast<double>(Flags::bit(flag)) : 0.0;
    };
    ResultLanes out;
    // The loop stores doubles only, flags and answers too: narrower stores keep the compiler
    // from putting it in vector registers, which makes it four times faster.
    Lanes flagBits;
    Lanes answered;
    for (std::size_t i = 0; i < LaneCount; ++i) {
        const double sand = inputs[0].values[i];
        const double silt = inputs[1].values[i];
        const double clay = inputs[2].values[i];
        const double oc = inputs[3].values[i];
        const double f = fc.values[i];
        const double p = pwp.values[i];
        const quick::Hundredths quick =
            quick::hundredths(f, p, availableWater(gravimetric, f, p), volumeFactor(gravimetric));
        // & and | rather than && and ||: without branches the lanes stay in vectors.
        // NOLINTBEGIN(readability-implicit-bool-conversion)
        // An input the model reads that is not a finite number fails the estimate.
        const bool sandNumber = std::isfinite(sand);
        const bool siltNumber = std::isfinite(silt);
        const bool clayNumber = std::isfinite(clay);
        const bool ocNumber = std::isfinite(oc);
        const bool numbersRead = (ignoresSand | sandNumber) & (ignoresSilt | siltNumber) &
                                 (ignoresClay | clayNumber) & (ignoresCarbon | ocNumber);
        answered.values[i] = (numbersRead & quick.answered) ? 1.0 : 0.0;
        for (std::size_t k = 0; k < out.values.size(); ++k) {
            // Both operands exact: the double nearest the decimal; + 0.0 turns -0 into 0.
            out.values[k].values[i] = quick.counts[k] / 100 + 0.0;
        }
        const InputChecks checks = inputChecks(reads, domain, sand, silt, clay, oc);
        flagBits.values[i] = bit(checks.sum, Flag::sum) + bit(checks.range, Flag::range) +
                             bit(checks.oc, Flag::oc) +
                             bit(quick.pwpNotBelowFc, Flag::pwpNotBelowFc) +
                             bit(quick.result, Flag::result) + bit(checks.domain, Flag::domain);
        // NOLINTEND(readability-implicit-bool-conversion)
    }
    for (std::size_t i = 0; i < LaneCount; ++i) {
        out.flags[i] = Flags(static_cast<std::uint16_t>(flagBits.values[i]));
        out.answered[i] = answered.values[i] != 0;
    }
    return out;
}

} // namespace talvo::estimation::detail
