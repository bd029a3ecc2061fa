#include "estimation/detail/catalogue.h"
#include "estimation/estimation.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>

namespace talvo::estimation {

void ModelSpread::add(const PtfModel& model, const std::array<double, 3>& results) noexcept {
    if (!std::all_of(results.begin(), results.end(), [](double x) { return std::isfinite(x); })) {
        return;
    }
    const double factor = detail::volumeFactor(model.gravimetric);
    // AWC already holds the factor; FC and PWP are in the model's own unit.
    const std::array<double, 3> volume{results[0] * factor, results[1] * factor, results[2]};
    for (std::size_t i = 0; i < volume.size(); ++i) {
        m_sum[i] += volume[i];
        m_low[i] = m_count == 0 ? volume[i] : std::min(m_low[i], volume[i]);
        m_high[i] = m_count == 0 ? volume[i] : std::max(m_high[i], volume[i]);
    }
    ++m_count;
}

double ModelSpread::mean(Result result) const noexcept {
    assert(m_count > 0);
    return m_sum[static_cast<std::size_t>(result)] / m_count;
}

double ModelSpread::lowest(Result result) const noexcept {
    assert(m_count > 0);
    return m_low[static_cast<std::size_t>(result)];
}

double ModelSpread::highest(Result result) const noexcept {
    assert(m_count > 0);
    return m_high[static_cast<std::size_t>(result)];
}

std::string spreadLabel(int count) {
    return "mean of " + std::to_string(count) + (count == 1 ? " model" : " models");
}

} // namespace talvo::estimation
