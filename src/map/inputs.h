#pragma once

// The input rasters of a run, opened and checked before anything is written.

#include "base/scale.h"
#include "estimation/estimation.h"
#include "map/block_cache.h"
#include "map/grid.h"
#include "map/settings.h"
#include "map/window.h"

#include <array>
#include <cstddef>
#include <gdal_priv.h>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::map {

// One number per cell and raster read, row by row: by estimation::Input for a soil's map.
using InputBuffers = std::vector<std::vector<double>>;

// One raster of one band, opened and checked.
class InputRaster {
public:
    // The cells stand for 10^places times what they did: OC moved into the model's unit.
    void shiftScale(int places) { m_scale = m_scale.shifted(places); }
    // Opens the raster at `path`, given with `option`, with `scale` or else its own; unless
    // `trusted`, only where it reaches no further than checkReach() allows. Throws Error.
    InputRaster(const std::string& option, const std::string& path,
                const std::optional<base::DecimalScale>& scale, bool trusted);

    const std::string& label() const { return m_label; } // "--sand a.tif"
    Grid grid() const;
    const BlockLayout& block() const { return m_block; }

    // Reads a window's cells as stored. Not thread-safe. Throws Error.
    void read(const Window& window, std::vector<double>& cells) const;
    // The number a cell read stands for: scaled, NaN for nodata. Thread-safe.
    double number(double cell, estimation::RecentFloatTexts& floatTexts) const;
    // number() of every cell, in place.
    void toNumbers(std::span<double> cells, estimation::RecentFloatTexts& floatTexts) const;

private:
    std::string m_label;
    GDALDatasetUniquePtr m_dataset;
    GDALRasterBand* m_band = nullptr;
    std::optional<double> m_nodata;
    base::DecimalScale m_scale;
    bool m_single = false; // Float32 cells
    BlockLayout m_block;
};

class InputRasters {
public:
    // Opens the rasters given; throws Error when one the model reads is missing, one cannot be
    // read or has more than one band, or their grids differ.
    InputRasters(const Settings& settings, const estimation::PtfModel& model);
    // The same for a reader of `reads` named `reader` ("model ..."), OC's decimal point moved
    // `carbonPlaces` places; each raster named by `option` and the input ("--sand").
    InputRasters(const Settings& settings, estimation::InputSet reads, const std::string& reader,
                 int carbonPlaces, std::string_view option = "--");
    // The standard deviations of --sd NAME=FILE, scaled as their inputs are (OC's left in the
    // unit OC is given in); none where --sd gives a number. Throws Error as above, or where
    // their grid is not the soil's.
    static InputRasters spreads(const Settings& settings, const Grid& soilGrid);

    const Grid& grid() const { return m_grid; }
    // The tallest block of the inputs, so that windows can span whole blocks.
    int blockHeight() const { return m_blockHeight; }
    // What GDAL's block cache must hold for windows so read: blockBytesInUse() of every input.
    std::size_t blockBytesInUse(int windowWidth, int windowRows, int windowsAhead) const;

    // Reads a window's cells as stored, NaN for the inputs not given. Not thread-safe, as
    // GDAL's datasets are not; the conversion is left to toNumbers(), on the thread that
    // estimates. Throws Error.
    void read(const Window& window, InputBuffers& buffers) const;
    // The numbers the cells read stand for, in place: scaled, NaN for nodata and for an input
    // not given. `floatTexts` is the calling thread's own. Thread-safe.
    void toNumbers(estimation::Input input, std::span<double> cells,
                   estimation::RecentFloatTexts& floatTexts) const;

private:
    std::array<std::optional<InputRaster>, 4> m_rasters;
    Grid m_grid;
    int m_blockHeight = 1;
};

} // namespace talvo::map
