#pragma once

// The input rasters of a run, opened and checked before anything is written.

#include "estimation/estimation.h"
#include "map/block_cache.h"
#include "map/grid.h"
#include "map/scale.h"
#include "map/settings.h"
#include "map/window.h"

#include <array>
#include <cstddef>
#include <gdal_priv.h>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace talvo::map {

// One number per cell and input, by estimation::Input, row by row.
using InputBuffers = std::array<std::vector<double>, 4>;

class InputRasters {
public:
    // Opens the rasters given; throws Error when one the model reads is missing, one cannot be
    // read or has more than one band, or their grids differ.
    InputRasters(const Settings& settings, const estimation::PtfModel& model);

    const Grid& grid() const { return m_grid; }
    // The tallest block of the inputs, so that windows can span whole blocks.
    int blockHeight() const { return m_blockHeight; }
    // What GDAL's block cache must hold for windows so read: blockBytesInUse() of every input.
    std::size_t blockBytesInUse(int windowWidth, int windowRows, int windowsAhead) const;

    // Reads a window's cells as stored, NaN for the inputs not given. Not thread-safe, as
    // GDAL's datasets are not; the conversion is left to number(), on the thread that
    // estimates. Throws Error.
    void read(const Window& window, InputBuffers& buffers) const;
    // The number a cell read stands for: scaled, NaN for nodata and for an input not given.
    // `floatTexts` is the calling thread's own. Thread-safe.
    double number(estimation::Input input, double cell,
                  estimation::RecentFloatTexts& floatTexts) const;
    // number() of every cell, in place.
    void toNumbers(estimation::Input input, std::span<double> cells,
                   estimation::RecentFloatTexts& floatTexts) const;

private:
    struct Raster {
        std::string label; // "--sand a.tif"
        GDALDatasetUniquePtr dataset;
        GDALRasterBand* band = nullptr;
        std::optional<double> nodata;
        DecimalScale scale;
        bool single = false; // Float32 cells
        BlockLayout block;
    };

    // Opens the raster at `path`, given with `option`, with `scale` or else its own.
    static Raster open(const std::string& option, const std::string& path,
                       const std::optional<DecimalScale>& scale);

    std::array<std::optional<Raster>, 4> m_rasters;
    Grid m_grid;
    int m_blockHeight = 1;
};

} // namespace talvo::map
