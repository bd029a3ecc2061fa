#include "estimation/detail/catalogue.h"
#include "estimation/estimation.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>

namespace talvo::estimation {

void ModelSpread::add(const PtfModel& model, const std::array<double, 3>& results) noexcept {
    assert(m_count < ModelCount);
    const double factor = detail::volumeFactor(model.gravimetric);
    // AWC already holds the factor; FC and PWP are in the model's own unit.
    const std::array<double, 3> volume{results[0] * factor, results[1] * factor, results[2]};
    if (!std::all_of(volume.begin(), volume.end(), [](double x) { return std::isfinite(x); })) {
        return;
    }
    m_values.at(static_cast<std::size_t>(m_count)) = volume;
    for (std::size_t i = 0; i < volume.size(); ++i) {
        m_low[i] = m_count == 0 ? volume[i] : std::min(m_low[i], volume[i]);
        m_high[i] = m_count == 0 ? volume[i] : std::max(m_high[i], volume[i]);
    }
    ++m_count;
}

double ModelSpread::mean(Result result) const noexcept {
    assert(m_count > 0);
    // Each share is at most the largest value, so the mean stays finite.
    double mean = 0.0;
    for (std::size_t i = 0; i < static_cast<std::size_t>(m_count); ++i) {
        mean += m_values[i][static_cast<std::size_t>(result)] / m_count;
    }
    return mean;
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
