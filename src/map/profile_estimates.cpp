#include "map/profile_estimates.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <limits>
#include <span>

namespace talvo::map {

namespace {

// As a map of one soil: small buffers a worker keeps in its cache.
constexpr std::size_t PieceCells = std::size_t{1} << 12;
constexpr double MillimetresPerCentimetre = 10.0;

std::size_t at(std::size_t layer, std::size_t raster) {
    return layer * LayerRasterCount + raster;
}

} // namespace

ProfileEstimates::ProfileEstimates(const estimation::PtfModel& model, const LayeredInputs& inputs,
                                   const Settings& settings)
    : m_model(model), m_inputs(inputs), m_depths(settings.depths), m_fc(PieceCells),
      m_pwp(PieceCells), m_awc(PieceCells), m_layerFlags(PieceCells), m_texture(PieceCells),
      m_failure(PieceCells), m_water(inputs.layers(), std::vector<double>(PieceCells)),
      m_flags(PieceCells) {
    m_estimators.reserve(inputs.layers());
    for (std::size_t layer = 0; layer < inputs.layers(); ++layer) {
        // The horizon's water is reckoned from the 15-digit results, as in a table.
        m_estimators.emplace_back(model, Precision::general, settings.particleSizeScale);
    }
}

std::uint64_t ProfileEstimates::estimate(InputBuffers& cells, std::size_t count,
                                         ResultBuffers& results, OutputType type,
                                         estimation::ContentUnitTally& contents) {
    assert(type != OutputType::int16); // refused: a root zone holds more than Int16's hundredths
    toNumbers(cells, count, contents);
    std::uint64_t estimated = 0;
    for (std::size_t first = 0; first < count; first += PieceCells) {
        const std::size_t piece = std::min(PieceCells, count - first);
        estimateLayers(cells, first, piece);
        estimated += type == OutputType::float64 ? storePiece<double>(first, piece, results)
                                                 : storePiece<float>(first, piece, results);
    }
    return estimated;
}

void ProfileEstimates::toNumbers(InputBuffers& cells, std::size_t count,
                                 estimation::ContentUnitTally& contents) {
    for (std::size_t layer = 0; layer < m_inputs.layers(); ++layer) {
        for (const estimation::Input input : estimation::allInputs) {
            const auto i = static_cast<std::size_t>(input);
            assert(cells[at(layer, i)].size() >= count);
            m_inputs.soil(layer).toNumbers(input, {cells[at(layer, i)].data(), count},
                                           m_floatTexts);
        }
        // The top layer's contents tell the unit, counted once a cell as the summary counts.
        for (std::size_t i = 0; layer == 0 && i < count; ++i) {
            contents.add(cells[0][i], cells[1][i], cells[2][i]);
            contents.addCarbon(m_model, cells[3][i]);
        }
        for (const LayerRaster which : {LayerRaster::bulkDensity, LayerRaster::coarseFragments}) {
            if (const InputRaster* const raster = m_inputs.raster(layer, which)) {
                raster->toNumbers({cells[at(layer, static_cast<std::size_t>(which))].data(), count},
                                  m_floatTexts);
            }
        }
    }
}

void ProfileEstimates::estimateLayers(const InputBuffers& cells, std::size_t first,
                                      std::size_t count) {
    std::fill_n(m_flags.begin(), count, std::uint16_t{0});
    for (std::size_t layer = 0; layer < m_inputs.layers(); ++layer) {
        const Layer& depths = m_depths.layers[layer];
        const double thicknessMm = (depths.bottom - depths.top) * MillimetresPerCentimetre;
        estimation::SoilColumns soils;
        soils.count = count;
        for (std::size_t input = 0; input < soils.inputs.size(); ++input) {
            soils.inputs[input] =
                std::span<const double>(cells[at(layer, input)].data() + first, count);
        }
        m_estimators[layer].estimate(soils,
                                     {m_fc.data(), m_pwp.data(), m_awc.data(), m_layerFlags.data(),
                                      m_texture.data(), m_failure.data()});
        const double* const density =
            cells[at(layer, static_cast<std::size_t>(LayerRaster::bulkDensity))].data() + first;
        const double* const stones =
            cells[at(layer, static_cast<std::size_t>(LayerRaster::coarseFragments))].data() + first;
        std::vector<double>& water = m_water[layer];
        for (std::size_t i = 0; i < count; ++i) {
            estimation::Flags flags(m_layerFlags[i]);
            const std::optional<estimation::HorizonWater> horizon =
                m_failure[i] != 0
                    ? std::nullopt
                    : estimation::horizonWater(m_model, m_fc[i], m_pwp[i],
                                               {density[i], stones[i], m_depths.basis},
                                               thicknessMm);
            estimation::addHorizonFlags(horizon, flags);
            water[i] = horizon ? horizon->waterMm : std::nan("");
            m_flags[i] = static_cast<std::uint16_t>(m_flags[i] | flags.bits());
        }
    }
}

// A piece's sums into bands of `Value`: nodata in every band of a cell where no layer has an
// estimate.
template <typename Value>
std::uint64_t ProfileEstimates::storePiece(std::size_t first, std::size_t count,
                                           ResultBuffers& results) {
    std::array<std::byte*, DepthBandCount> bands{};
    for (std::size_t band = 0; band < DepthBandCount; ++band) {
        bands[band] = results.data(band) + first * sizeof(Value);
    }
    const auto put = [&](DepthBand band, std::size_t cell, double value) {
        const auto stored = static_cast<Value>(value);
        std::memcpy(bands[static_cast<std::size_t>(band)] + cell * sizeof stored, &stored,
                    sizeof stored);
    };
    std::uint64_t estimated = 0;
    const double nodata = std::numeric_limits<double>::quiet_NaN();
    for (std::size_t i = 0; i < count; ++i) {
        m_profile.clear();
        bool any = false;
        for (std::size_t layer = 0; layer < m_water.size(); ++layer) {
            const double water = m_water[layer][i];
            any = any || !std::isnan(water);
            const Layer& depths = m_depths.layers[layer];
            m_profile.add(depths.top, depths.bottom,
                          std::isnan(water) ? std::nullopt : std::optional(water));
        }
        if (!any) {
            for (const DepthBand band :
                 {DepthBand::topsoil, DepthBand::subsoil, DepthBand::root, DepthBand::flags}) {
                put(band, i, nodata);
            }
            continue;
        }
        ++estimated;
        const estimation::ProfileWater sums = m_profile.water(m_depths.zone);
        put(DepthBand::topsoil, i, sums.topsoil);
        put(DepthBand::subsoil, i, sums.subsoil);
        put(DepthBand::root, i, sums.root);
        put(DepthBand::flags, i,
            static_cast<double>(depthFlagBits(estimation::Flags(m_flags[i]), sums.flags)));
    }
    return estimated;
}

} // namespace talvo::map
