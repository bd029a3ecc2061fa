#pragma once

// The input rasters of a root-zone map: for each layer the soil's rasters, its bulk density
// and its coarse fragments, named by patterns that hold {depth}.

#include "estimation/estimation.h"
#include "map/grid.h"
#include "map/inputs.h"
#include "map/settings.h"
#include "map/window.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace talvo::map {

// A layer's buffers, in this order after the soil's four (by estimation::Input).
enum class LayerRaster { bulkDensity = 4, coarseFragments = 5 };
inline constexpr std::size_t LayerRasterCount = 6;

class LayeredInputs {
public:
    // Opens every layer's rasters; throws Error when a pattern holds no {depth}, a raster the
    // model reads is missing or cannot be read, or the grids differ.
    LayeredInputs(const Settings& settings, const estimation::PtfModel& model);

    const Grid& grid() const { return m_layers.front().soil.grid(); }
    int blockHeight() const;
    // As InputRasters::blockBytesInUse, over every layer.
    std::size_t blockBytesInUse(int windowWidth, int windowRows, int windowsAhead) const;

    std::size_t layers() const { return m_layers.size(); }
    const InputRasters& soil(std::size_t layer) const { return m_layers[layer].soil; }
    // nullptr where not given.
    const InputRaster* raster(std::size_t layer, LayerRaster which) const;

    // Reads a window's cells as stored, LayerRasterCount buffers a layer: NaN for the soil's
    // rasters and bulk density not given, 0 for coarse fragments not given. Not thread-safe. Throws
    // Error.
    void read(const Window& window, InputBuffers& buffers) const;

private:
    struct Rasters {
        InputRasters soil;
        std::optional<InputRaster> bulkDensity;
        std::optional<InputRaster> coarseFragments;
    };
    std::vector<Rasters> m_layers;
};

} // namespace talvo::map
