#include "map/inputs.h"

#include "base/error.h"
#include "estimation/estimation.h"
#include "map/gdal_errors.h"
#include "map/reach.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace talvo::map {

namespace {

Grid gridOf(GDALDataset& dataset) {
    Grid grid;
    grid.width = dataset.GetRasterXSize();
    grid.height = dataset.GetRasterYSize();
    if (dataset.GetGeoTransform(grid.transform.data()) != CE_None) {
        grid.transform = {0, 1, 0, 0, 0, 1};
    }
    const char* const wkt = dataset.GetProjectionRef();
    grid.crs = wkt != nullptr ? wkt : "";
    return grid;
}

// The dataset at `path`, of one band; unless trusted, only where it reaches no further.
GDALDatasetUniquePtr openOneBand(const std::string& path, const std::string& label, bool trusted) {
    if (!trusted) {
        checkReach(path, label);
    }
    CPLErrorReset();
    GDALDatasetUniquePtr dataset(
        GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR,
                          trusted ? nullptr : allowedDrivers()));
    if (!dataset) {
        throw base::Error("cannot read " + label + ": " + lastGdalError());
    }
    if (dataset->GetRasterCount() != 1) {
        throw base::Error(label + " has " + std::to_string(dataset->GetRasterCount()) +
                          " bands: give a raster of one band (a VRT or subdataset can choose it)");
    }
    return dataset;
}

std::optional<double> nodataOf(GDALRasterBand& band) {
    int hasNodata = 0;
    const double nodata = band.GetNoDataValue(&hasNodata);
    return hasNodata != 0 ? std::optional(nodata) : std::nullopt;
}

// The scale given for the band, else its own; an offset cannot be applied exactly.
base::DecimalScale scaleOf(GDALRasterBand& band, const std::string& label,
                           const std::optional<base::DecimalScale>& given) {
    int hasOffset = 0;
    const double offset = band.GetOffset(&hasOffset);
    if (hasOffset != 0 && offset != 0.0) {
        throw base::Error(label + " declares an offset, which talvo-map cannot apply exactly");
    }
    if (given) {
        return *given;
    }
    int hasScale = 0;
    const double scale = band.GetScale(&hasScale);
    if (hasScale == 0 || scale == 1.0) {
        return {};
    }
    try {
        return base::scaleFromDouble(scale);
    } catch (const base::Error& error) {
        throw base::Error(label + ": " + error.what());
    }
}

BlockLayout blockOf(GDALRasterBand& band) {
    BlockLayout block;
    band.GetBlockSize(&block.width, &block.height);
    block.width = std::max(block.width, 1);
    block.height = std::max(block.height, 1);
    block.cellBytes = std::max(GDALGetDataTypeSizeBytes(band.GetRasterDataType()), 1);
    return block;
}

} // namespace

InputRaster::InputRaster(const std::string& option, const std::string& path,
                         const std::optional<base::DecimalScale>& scale, bool trusted)
    : m_label(option + " " + path), m_dataset(openOneBand(path, m_label, trusted)),
      m_band(m_dataset->GetRasterBand(1)), m_nodata(nodataOf(*m_band)),
      m_scale(scaleOf(*m_band, m_label, scale)),
      m_single(m_band->GetRasterDataType() == GDT_Float32), m_block(blockOf(*m_band)) {}

Grid InputRaster::grid() const {
    return gridOf(*m_dataset);
}

void InputRaster::read(const Window& window, std::vector<double>& cells) const {
    cells.resize(static_cast<std::size_t>(window.width) * static_cast<std::size_t>(window.height));
    CPLErrorReset();
    if (m_band->RasterIO(GF_Read, window.x, window.y, window.width, window.height, cells.data(),
                         window.width, window.height, GDT_Float64, 0, 0, nullptr) != CE_None) {
        throw base::Error("cannot read " + m_label + ": " + lastGdalError());
    }
}

double InputRaster::number(double cell, estimation::RecentFloatTexts& floatTexts) const {
    if (m_nodata && (cell == *m_nodata || (std::isnan(*m_nodata) && std::isnan(cell)))) {
        return std::nan("");
    }
    // A Float32 cell stands for its shortest text, as in a table or in Python.
    return m_scale.apply(m_single ? floatTexts.of(static_cast<float>(cell)) : cell);
}

void InputRaster::toNumbers(std::span<double> cells,
                            estimation::RecentFloatTexts& floatTexts) const {
    if (m_single) {
        for (double& cell : cells) {
            cell = number(cell, floatTexts);
        }
        return;
    }
    // As number(), in a loop the compiler can vectorise. A NaN cell gives NaN whether or not
    // NaN is the nodata value, so only a nodata value that is a number needs a comparison.
    const double nodata = m_nodata.value_or(std::nan(""));
    using estimation::NoNumber;
    const double factor = m_scale.factor();
    const double divisor = m_scale.divisor();
    for (double& cell : cells) {
        const double scaled = cell * factor / divisor;
        cell = cell == nodata ? NoNumber : scaled;
    }
}

InputRasters::InputRasters(const Settings& settings, const estimation::PtfModel& model)
    : InputRasters(settings, model.readInputs, "model " + std::string(model.listText),
                   settings.carbonUnit ? estimation::carbonPlaces(model, *settings.carbonUnit)
                                       : 0) {}

InputRasters::InputRasters(const Settings& settings, estimation::InputSet reads,
                           const std::string& reader, int carbonPlaces, std::string_view option) {
    const InputRaster* first = nullptr;
    for (const estimation::Input input : estimation::allInputs) {
        const auto i = static_cast<std::size_t>(input);
        const std::string label = std::string(option) + std::string(estimation::name(input));
        const std::string& path = settings.rasters[i];
        if (path.empty()) {
            if (input == estimation::Input::silt &&
                settings.particleSizeScale == estimation::ParticleSizeScale::usda &&
                reads.contains(estimation::Input::sand)) {
                throw base::Error("--psd usda moves the coarse silt into sand: give --silt");
            }
            if (reads.contains(input)) {
                std::string message = reader;
                message += " reads ";
                message += estimation::name(input);
                message += ": give ";
                message += label;
                throw base::Error(message);
            }
            continue;
        }
        m_rasters[i].emplace(label, path, settings.scales[i], settings.trustedInputs);
        if (input == estimation::Input::oc && carbonPlaces != 0) {
            m_rasters[i]->shiftScale(carbonPlaces);
        }
        const InputRaster& raster = *m_rasters[i];
        m_blockHeight = std::max(m_blockHeight, raster.block().height);
        if (first == nullptr) {
            m_grid = raster.grid();
            first = &raster;
        } else {
            requireSameGrid(first->label(), m_grid, raster.label(), raster.grid());
        }
    }
}

InputRasters InputRasters::spreads(const Settings& settings, const Grid& soilGrid) {
    Settings files = settings;
    for (std::size_t i = 0; i < files.rasters.size(); ++i) {
        const std::optional<base::SpreadSource>& spread = settings.spreads[i];
        files.rasters[i] = spread ? spread->column : std::string();
    }
    InputRasters rasters(files, {}, "--sd", 0, "--sd ");
    const auto* const soil = std::find_if(settings.rasters.begin(), settings.rasters.end(),
                                          [](const std::string& path) { return !path.empty(); });
    const auto* const spread = std::find_if(rasters.m_rasters.begin(), rasters.m_rasters.end(),
                                            [](const auto& raster) { return raster.has_value(); });
    if (soil != settings.rasters.end() && spread != rasters.m_rasters.end()) {
        const auto input = static_cast<std::size_t>(soil - settings.rasters.begin());
        requireSameGrid("--" + std::string(estimation::name(estimation::allInputs[input])) + " " +
                            *soil,
                        soilGrid, (*spread)->label(), rasters.grid());
    }
    return rasters;
}

std::size_t InputRasters::blockBytesInUse(int windowWidth, int windowRows, int windowsAhead) const {
    std::size_t bytes = 0;
    for (const std::optional<InputRaster>& raster : m_rasters) {
        if (raster) {
            bytes += map::blockBytesInUse(raster->block(), m_grid.width, m_grid.height, windowWidth,
                                          windowRows, windowsAhead);
        }
    }
    return bytes;
}

void InputRasters::read(const Window& window, InputBuffers& buffers) const {
    const auto cells =
        static_cast<std::size_t>(window.width) * static_cast<std::size_t>(window.height);
    buffers.resize(m_rasters.size());
    for (std::size_t i = 0; i < m_rasters.size(); ++i) {
        std::vector<double>& values = buffers[i];
        if (m_rasters[i]) {
            m_rasters[i]->read(window, values);
        } else if (values.size() != cells) {
            // Such a buffer only ever holds NaN: it is filled again only when its size changes.
            values.assign(cells, std::nan(""));
        }
    }
}

void InputRasters::toNumbers(estimation::Input input, std::span<double> cells,
                             estimation::RecentFloatTexts& floatTexts) const {
    const std::optional<InputRaster>& raster = m_rasters[static_cast<std::size_t>(input)];
    if (raster) {
        raster->toNumbers(cells, floatTexts);
    } else {
        std::fill(cells.begin(), cells.end(), std::nan(""));
    }
}

} // namespace talvo::map
