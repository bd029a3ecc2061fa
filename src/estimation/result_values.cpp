#include "estimation/result_values.h"

#include "estimation/decimal_form.h"
#include "estimation/estimate.h"
#include "estimation/fixed_estimate.h"
#include "estimation/quick_hundredths.h"

#include <cmath>
#include <cstddef>

namespace talvo::estimation {

ResultValues resultValues(const PtfModel& model, const InputValues& inputs, bool twoDecimals) {
    ResultValues out;
    if (twoDecimals) {
        if (const std::optional<FixedEstimate> quick = fixedEstimate(model, inputs)) {
            for (std::size_t i = 0; i < out.values.size(); ++i) {
                out.values[i] = hundredthsValue(quick->hundredths[i]);
            }
            out.flags = inputFlags(model, inputs);
            out.flags |= quick->resultFlags;
            return out;
        }
    }
    const Estimate estimated = estimate(model, inputs);
    out.flags = modelFlags(model, inputs, estimated);
    if (estimated.failure) {
        out.failure = estimated.failure->kind;
        return out;
    }
    for (std::size_t i = 0; i < out.values.size(); ++i) {
        const DecimalForm& form = estimated.results[i];
        const std::optional<double> value =
            readBack(twoDecimals ? roundedToHundredths(form) : form);
        if (!value) {
            out.failure = FailureKind::overflow;
            return out;
        }
        out.values[i] = *value;
    }
    return out;
}

ResultLanes twoDecimalLanes(const PtfModel& model, const InputLanes& inputs) noexcept {
    const NumberLanes numbers(inputs);
    const Lanes fc = model.fc.lanes(numbers);
    const Lanes pwp = model.pwp.lanes(numbers);
    const bool readsSand = model.readInputs.contains(Input::sand);
    const bool readsSilt = model.readInputs.contains(Input::silt);
    const bool readsClay = model.readInputs.contains(Input::clay);
    const bool readsOc = model.readInputs.contains(Input::oc);
    ResultLanes out;
    // No branch on a lane: the loop runs in vector registers.
    for (std::size_t i = 0; i < LaneCount; ++i) {
        const double sand = inputs[0].values[i];
        const double silt = inputs[1].values[i];
        const double clay = inputs[2].values[i];
        const double oc = inputs[3].values[i];
        const double f = fc.values[i];
        const double p = pwp.values[i];
        const quick::Hundredths quick = quick::hundredths(f, p, availableWater(model, f, p));
        // An input the model reads that is not a finite number fails the estimate.
        const bool numbersRead =
            (!readsSand || std::isfinite(sand)) && (!readsSilt || std::isfinite(silt)) &&
            (!readsClay || std::isfinite(clay)) && (!readsOc || std::isfinite(oc));
        out.answered[i] = numbersRead && quick.answered;
        for (std::size_t k = 0; k < out.values.size(); ++k) {
            out.values[k].values[i] = hundredthsValue(quick.counts[k]);
        }
        Flags flags = quick.resultFlags;
        if (std::isfinite(sand) && std::isfinite(silt) && std::isfinite(clay) &&
            sumDiffers(sand, silt, clay)) {
            flags.add(Flag::sum);
        }
        if ((readsSand && outsidePercent(sand)) || (readsSilt && outsidePercent(silt)) ||
            (readsClay && outsidePercent(clay))) {
            flags.add(Flag::range);
        }
        if (readsOc && outsideCarbon(oc)) {
            flags.add(Flag::oc);
        }
        out.flags[i] = flags;
    }
    return out;
}

} // namespace talvo::estimation
