#include "map/hydraulic_estimates.h"

#include "base/error.h"
#include "map/block_cache.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

namespace talvo::map {

namespace {

using estimation::HydraulicModel;

constexpr estimation::InputSet AllInputs{estimation::Input::sand, estimation::Input::silt,
                                         estimation::Input::clay, estimation::Input::oc};

// A cell's soil as the models read it; nothing where talvo-batch's row would fail.
struct CellSoil {
    estimation::HydraulicSoil soil{};
    estimation::Flags flags;
};

std::optional<CellSoil> cellSoil(const InputBuffers& cells, std::size_t i,
                                 const Settings& settings) {
    const HydraulicModel model = *settings.hydraulics.model;
    const estimation::ParticleSizes sizes{cells[0][i], cells[1][i], cells[2][i]};
    const double carbon = cells[3][i];
    if (std::isnan(sizes.sand) || std::isnan(sizes.silt) || std::isnan(sizes.clay) ||
        std::isnan(carbon)) {
        return std::nullopt;
    }
    const double density = cells[BulkDensityBuffer][i];
    const bool hasDensity = !std::isnan(density);
    if (hasDensity && !estimation::soundBulkDensity(density)) {
        return std::nullopt;
    }
    if (model == HydraulicModel::hypres && !hasDensity) {
        return std::nullopt;
    }
    // OC in % or g/kg, as talvo-batch reads a table's.
    const estimation::CarbonUnit unit =
        settings.carbonUnit == estimation::CarbonUnit::gramsPerKilogram
            ? estimation::CarbonUnit::gramsPerKilogram
            : estimation::CarbonUnit::percent;
    estimation::HydraulicInputs inputs{sizes, carbon, settings.particleSizeScale, unit};
    inputs.bulkDensity = density;
    inputs.topsoil = settings.hydraulics.topsoil.value_or(true);
    CellSoil out;
    out.soil = estimation::hydraulicSoil(model, inputs, out.flags); // throws Failure
    return out;
}

// The number of the text talvo-batch writes: with fixed, water and conductivity to two
// decimals, alpha and n to four significant digits; with general, 15 digits. NaN stays.
double tableNumber(double value, bool significant, estimation::Precision precision) {
    if (!std::isfinite(value)) {
        return estimation::NoNumber;
    }
    std::string text;
    if (precision == estimation::Precision::general) {
        text = estimation::generalText(value);
    } else if (significant && value != 0.0) {
        constexpr int Digits = 4;
        const int places = Digits - 1 - static_cast<int>(std::floor(std::log10(std::fabs(value))));
        const double scale = std::pow(10.0, places);
        text = estimation::generalText(std::round(value * scale) / scale);
    } else {
        text = estimation::fixedText(estimation::generalText(value));
    }
    double number = 0;
    std::from_chars(text.data(), text.data() + text.size(), number);
    return number;
}

// A cell's bands as numbers (NaN where the model gives none), or nothing.
std::optional<std::array<double, HydraulicBandCount>>
cellBands(const InputBuffers& cells, std::size_t i, const Settings& settings) {
    try {
        const std::optional<CellSoil> soil = cellSoil(cells, i, settings);
        if (!soil) {
            return std::nullopt;
        }
        const HydraulicModel model = *settings.hydraulics.model;
        const estimation::HydraulicEstimate estimate =
            estimation::estimateHydraulics(model, soil->soil, settings.hydraulics.fcHead);
        estimation::Flags flags = soil->flags;
        flags |= estimate.flags;
        // Saxton and Rawls have no van Genuchten curve: theta_r, alpha and n stay nodata.
        const estimation::VanGenuchten* vg = estimate.curve.vanGenuchten();
        const double none = estimation::NoNumber;
        const estimation::Precision precision = settings.precision;
        return std::array<double, HydraulicBandCount>{
            tableNumber(vg != nullptr ? vg->thetaR * 100 : none, false, precision),
            tableNumber(estimate.curve.theta(0.0) * 100, false, precision),
            tableNumber(vg != nullptr ? vg->alpha : none, true, precision),
            tableNumber(vg != nullptr ? vg->n : none, true, precision),
            tableNumber(estimate.ks, false, precision),
            tableNumber(estimate.water.fc * 100, false, precision),
            tableNumber(estimate.water.pwp * 100, false, precision),
            tableNumber(estimate.water.awc * 100, false, precision),
            static_cast<double>(flags.bits())};
    } catch (const estimation::Failure&) {
        return std::nullopt;
    }
}

// What a band of `Value` stores for a value, in Int16 as `perUnit` steps a unit; NaN is
// nodata.
template <typename Value> Value stored(double value, double /*perUnit*/) {
    return static_cast<Value>(value);
}
// Rounded half away from zero; a value beyond Int16's range is nodata in its band alone.
template <> std::int16_t stored<std::int16_t>(double value, double perUnit) {
    const double steps = std::round(value * perUnit);
    if (!(steps > Int16Nodata && steps <= std::numeric_limits<std::int16_t>::max())) {
        return Int16Nodata;
    }
    return static_cast<std::int16_t>(steps);
}

} // namespace

HydraulicInputs::HydraulicInputs(const Settings& settings)
    : m_soil(settings, AllInputs,
             "--hydraulics " + std::string(estimation::name(*settings.hydraulics.model)), 0) {
    if (!settings.depths.bulkDensity.empty()) {
        const InputRaster& raster =
            m_bulkDensity.emplace("--bd", settings.depths.bulkDensity,
                                  settings.depths.bulkDensityScale, settings.trustedInputs);
        requireSameGrid("--sand " + settings.rasters[0], grid(), raster.label(), raster.grid());
    } else if (*settings.hydraulics.model == HydraulicModel::hypres) {
        throw base::Error("--hydraulics hypres reads bulk density: give --bd");
    }
}

int HydraulicInputs::blockHeight() const {
    return std::max(m_soil.blockHeight(), m_bulkDensity ? m_bulkDensity->block().height : 1);
}

std::size_t HydraulicInputs::blockBytesInUse(int windowWidth, int windowRows,
                                             int windowsAhead) const {
    std::size_t bytes = m_soil.blockBytesInUse(windowWidth, windowRows, windowsAhead);
    if (m_bulkDensity) {
        bytes += map::blockBytesInUse(m_bulkDensity->block(), grid().width, grid().height,
                                      windowWidth, windowRows, windowsAhead);
    }
    return bytes;
}

void HydraulicInputs::read(const Window& window, InputBuffers& buffers) const {
    m_soil.read(window, buffers);
    buffers.resize(BulkDensityBuffer + 1);
    std::vector<double>& density = buffers[BulkDensityBuffer];
    if (m_bulkDensity) {
        m_bulkDensity->read(window, density);
    } else {
        density.assign(buffers[0].size(), std::nan(""));
    }
}

std::uint64_t HydraulicEstimates::estimate(InputBuffers& cells, std::size_t count,
                                           ResultBuffers& results, OutputType type,
                                           estimation::ContentUnitTally& contents) {
    for (const estimation::Input input : estimation::allInputs) {
        m_inputs.soil().toNumbers(input, {cells[static_cast<std::size_t>(input)].data(), count},
                                  m_floatTexts);
    }
    if (const InputRaster* const density = m_inputs.bulkDensity()) {
        density->toNumbers({cells[BulkDensityBuffer].data(), count}, m_floatTexts);
    }
    for (std::size_t i = 0; i < count; ++i) {
        contents.add(cells[0][i], cells[1][i], cells[2][i]);
    }
    switch (type) {
    case OutputType::float32:
        return store<float>(cells, count, results);
    case OutputType::float64:
        return store<double>(cells, count, results);
    case OutputType::int16:
        return store<std::int16_t>(cells, count, results);
    }
    return 0;
}

// Each cell's bands, nodata in every band where talvo-batch's row has an error.
template <typename Value>
std::uint64_t HydraulicEstimates::store(const InputBuffers& cells, std::size_t count,
                                        ResultBuffers& results) {
    std::uint64_t estimated = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const auto bands = cellBands(cells, i, m_settings);
        estimated += bands ? 1U : 0U;
        for (std::size_t band = 0; band < HydraulicBandCount; ++band) {
            const auto value = stored<Value>(bands ? (*bands)[band] : estimation::NoNumber,
                                             hydraulicBands[band].int16PerUnit);
            std::memcpy(results.data(band) + i * sizeof value, &value, sizeof value);
        }
    }
    return estimated;
}

} // namespace talvo::map
