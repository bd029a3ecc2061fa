#include "map/layered_inputs.h"

#include "base/error.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

namespace talvo::map {

namespace {

constexpr std::string_view Placeholder = "{depth}";

// The layer's raster of a pattern given with `option`, if given.
std::optional<InputRaster> layerRaster(const std::string& option, const std::string& pattern,
                                       const Layer& layer,
                                       const std::optional<base::DecimalScale>& scale,
                                       bool trusted) {
    if (pattern.empty()) {
        return std::nullopt;
    }
    return std::optional<InputRaster>(std::in_place, option, layerPath(pattern, layer), scale,
                                      trusted);
}

void requirePlaceholder(const std::string& option, const std::string& pattern) {
    if (!pattern.empty() && pattern.find(Placeholder) == std::string::npos) {
        throw base::Error(option + " " + pattern +
                          " holds no {depth}: give a name for every layer, such as "
                          "sand_{depth}_mean.vrt");
    }
}

} // namespace

LayeredInputs::LayeredInputs(const Settings& settings, const estimation::PtfModel& model) {
    for (const estimation::Input input : estimation::allInputs) {
        requirePlaceholder("--" + std::string(estimation::name(input)),
                           settings.rasters[static_cast<std::size_t>(input)]);
    }
    const DepthSettings& depths = settings.depths;
    requirePlaceholder("--bd", depths.bulkDensity);
    requirePlaceholder("--cf", depths.coarseFragments);
    m_layers.reserve(depths.layers.size());
    for (const Layer& layer : depths.layers) {
        Settings one = settings;
        for (std::string& pattern : one.rasters) {
            pattern = pattern.empty() ? pattern : layerPath(pattern, layer);
        }
        Rasters& rasters = m_layers.emplace_back(
            Rasters{InputRasters(one, model),
                    layerRaster("--bd", depths.bulkDensity, layer, depths.bulkDensityScale,
                                settings.trustedInputs),
                    layerRaster("--cf", depths.coarseFragments, layer, depths.coarseFragmentsScale,
                                settings.trustedInputs)});
        const std::string label = "the rasters of layer " + layer.name;
        const Grid& layerGrid = rasters.soil.grid();
        if (m_layers.size() > 1) {
            requireSameGrid("the rasters of layer " + depths.layers.front().name,
                            m_layers.front().soil.grid(), label, layerGrid);
        }
        for (const std::optional<InputRaster>& extra :
             {std::cref(rasters.bulkDensity), std::cref(rasters.coarseFragments)}) {
            if (extra) {
                requireSameGrid(label, layerGrid, extra->label(), extra->grid());
            }
        }
    }
}

int LayeredInputs::blockHeight() const {
    int height = 1;
    for (const Rasters& layer : m_layers) {
        height = std::max(height, layer.soil.blockHeight());
        for (const std::optional<InputRaster>& extra :
             {std::cref(layer.bulkDensity), std::cref(layer.coarseFragments)}) {
            height = extra ? std::max(height, extra->block().height) : height;
        }
    }
    return height;
}

std::size_t LayeredInputs::blockBytesInUse(int windowWidth, int windowRows,
                                           int windowsAhead) const {
    std::size_t bytes = 0;
    const Grid& whole = grid();
    for (const Rasters& layer : m_layers) {
        bytes += layer.soil.blockBytesInUse(windowWidth, windowRows, windowsAhead);
        for (const std::optional<InputRaster>& extra :
             {std::cref(layer.bulkDensity), std::cref(layer.coarseFragments)}) {
            if (extra) {
                bytes += map::blockBytesInUse(extra->block(), whole.width, whole.height,
                                              windowWidth, windowRows, windowsAhead);
            }
        }
    }
    return bytes;
}

const InputRaster* LayeredInputs::raster(std::size_t layer, LayerRaster which) const {
    const std::optional<InputRaster>& raster = which == LayerRaster::bulkDensity
                                                   ? m_layers[layer].bulkDensity
                                                   : m_layers[layer].coarseFragments;
    return raster ? &*raster : nullptr;
}

void LayeredInputs::read(const Window& window, InputBuffers& buffers) const {
    const auto cells =
        static_cast<std::size_t>(window.width) * static_cast<std::size_t>(window.height);
    buffers.resize(m_layers.size() * LayerRasterCount);
    InputBuffers soilCells(estimation::allInputs.size());
    for (std::size_t layer = 0; layer < m_layers.size(); ++layer) {
        const auto first = static_cast<std::ptrdiff_t>(layer * LayerRasterCount);
        // The layer's buffers lent to its soil's rasters, keeping their room.
        std::swap_ranges(soilCells.begin(), soilCells.end(), buffers.begin() + first);
        m_layers[layer].soil.read(window, soilCells);
        std::swap_ranges(soilCells.begin(), soilCells.end(), buffers.begin() + first);
        for (const LayerRaster which : {LayerRaster::bulkDensity, LayerRaster::coarseFragments}) {
            std::vector<double>& values =
                buffers[layer * LayerRasterCount + static_cast<std::size_t>(which)];
            if (const InputRaster* const given = raster(layer, which)) {
                given->read(window, values);
            } else if (values.size() != cells) {
                // No stones where none are given; no bulk density is assumed and flagged.
                values.assign(cells, which == LayerRaster::coarseFragments ? 0.0 : std::nan(""));
            }
        }
    }
}

} // namespace talvo::map
