#include "estimation/result_values.h"

#include "estimation/decimal_form.h"
#include "estimation/estimate.h"
#include "estimation/fixed_estimate.h"

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

} // namespace talvo::estimation
