#include "base/result_spreads.h"

#include <cmath>

namespace talvo::base {

SpreadOutcome ResultSpreads::of(const estimation::PtfModel& model,
                                const estimation::InputValues& soil,
                                estimation::InputSpread spread) {
    SpreadOutcome out;
    double& oc = spread[static_cast<std::size_t>(estimation::Input::oc)];
    oc = model.readInputs.contains(estimation::Input::oc) ? oc : 0.0;
    // OC's spread moves into the model's unit with OC itself.
    const int places = m_carbonUnit ? estimation::carbonPlaces(model, *m_carbonUnit) : 0;
    oc = places > 0 ? oc * 10 : (places < 0 ? oc / 10 : oc);
    if (const std::optional<estimation::DrawFailure> failed = m_draws.draw(soil, spread)) {
        out.failure = estimation::describe(*failed);
        return out;
    }
    const auto percentiles =
        estimation::propagate<3>(m_draws.soils(), [&](const estimation::InputValues& v) {
            return estimation::quickResults(model, v, m_scale);
        });
    for (std::size_t r = 0; r < percentiles.size(); ++r) {
        const estimation::Percentiles& p = percentiles[r];
        if (std::isnan(p.p05)) {
            out.failure = "No spread: some draws give no finite result";
            return out;
        }
        out.results[3 * r] = p.p05;
        out.results[3 * r + 1] = p.p50;
        out.results[3 * r + 2] = p.p95;
    }
    return out;
}

double writtenNumber(double value, estimation::Precision precision) {
    std::array<char, estimation::ResultTextCapacity> text{};
    char* const end = precision == estimation::Precision::fixed
                          ? estimation::writeFixed(text.data(), value, '.')
                          : estimation::writeGeneral(text.data(), value, '.');
    return estimation::readNumber({text.data(), static_cast<std::size_t>(end - text.data())}).value;
}

} // namespace talvo::base
