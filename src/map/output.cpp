#include "map/output.h"

#include "estimation/estimation.h"
#include "map/error.h"
#include "map/gdal_errors.h"
#include "map/texture.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <gdal_rat.h>
#include <limits>
#include <string>
#include <system_error>

namespace talvo::map {

namespace {

constexpr unsigned MaxCompressionThreads = 4;

constexpr std::array<const char*, BandCount> bandNames{"fc", "pwp", "awc", "flags", "texture"};

// The map itself, never a device or pipe: GDAL seeks in what it writes.
std::filesystem::path regularTarget(const std::string& output) {
    const cli::OutputTarget target = cli::findOutput(output);
    if (target.kind != cli::OutputTarget::Kind::file) {
        throw Error("cannot write " + output +
                    ": it is not a regular file, and a GeoTIFF must be written to one");
    }
    return target.path;
}

template <typename Value> void fillWithNaN(std::vector<std::byte>& cells) {
    const Value nan = std::numeric_limits<Value>::quiet_NaN();
    for (std::size_t at = 0; at + sizeof nan <= cells.size(); at += sizeof nan) {
        std::memcpy(cells.data() + at, &nan, sizeof nan);
    }
}

} // namespace

unsigned compressionThreads(unsigned threads) {
    // Compression keeps up with the estimates on a few threads; each holds block buffers.
    return std::min(threads, MaxCompressionThreads);
}

void ResultBuffers::resize(OutputType type, std::size_t cells) {
    const std::size_t size = type == OutputType::float32 ? sizeof(float) : sizeof(double);
    for (std::vector<std::byte>& bytes : m_bytes) {
        bytes.resize(cells * size);
    }
}

OutputRaster::OutputRaster(const Settings& settings, const estimation::PtfModel& model,
                           const Grid& grid, unsigned threads, cli::InterruptionCleanup* cleanup)
    : m_name(settings.output),
      m_file(regularTarget(settings.output), "talvo-map", settings.output, cleanup),
      m_type(settings.type == OutputType::float32 ? GDT_Float32 : GDT_Float64) {
    m_file.addCompanion(".aux.xml");
    GDALDriver* const driver = GetGDALDriverManager()->GetDriverByName("GTiff");
    if (driver == nullptr) {
        throw Error("this GDAL has no GTiff driver");
    }
    const std::string blockSize = std::to_string(OutputBlockSize);
    const std::string threadCount = std::to_string(compressionThreads(threads));
    CPLStringList options;
    options.SetNameValue("TILED", "YES");
    options.SetNameValue("BLOCKXSIZE", blockSize.c_str());
    options.SetNameValue("BLOCKYSIZE", blockSize.c_str());
    options.SetNameValue("COMPRESS", "DEFLATE");
    // Level 1 and no predictor: twice as fast as the default level 6 and 3 % larger here; the
    // floating-point predictor made two-decimal values larger, not smaller.
    options.SetNameValue("ZLEVEL", "1");
    options.SetNameValue("INTERLEAVE", "BAND");
    options.SetNameValue("BIGTIFF", "IF_SAFER");
    options.SetNameValue("NUM_THREADS", threadCount.c_str());
    resetGdalErrors();
    m_dataset.reset(driver->Create(m_file.temporaryPath().c_str(), grid.width, grid.height,
                                   static_cast<int>(BandCount), m_type, options.List()));
    if (!m_dataset) {
        throw Error("cannot write " + m_name + ": " + lastGdalError());
    }
    std::array<double, 6> transform = grid.transform;
    m_dataset->SetGeoTransform(transform.data());
    if (!grid.crs.empty()) {
        m_dataset->SetProjection(grid.crs.c_str());
    }
    describe(settings, model);
}

OutputRaster::~OutputRaster() {
    if (m_dataset) {
        m_dataset->MarkSuppressOnClose(); // m_file removes what was written
    }
}

void OutputRaster::describe(const Settings& settings, const estimation::PtfModel& model) {
    const std::string unit(model.unit);
    m_dataset->SetMetadataItem("TALVO_MODEL", std::string(model.listText).c_str());
    m_dataset->SetMetadataItem("TALVO_UNIT", unit.c_str());
    m_dataset->SetMetadataItem("TALVO_PRECISION",
                               settings.precision == Precision::fixed ? "fixed" : "general");
    m_dataset->SetMetadataItem("TALVO_VERSION", TALVO_VERSION);
    for (std::size_t i = 0; i < BandCount; ++i) {
        GDALRasterBand* const band = m_dataset->GetRasterBand(static_cast<int>(i) + 1);
        band->SetDescription(bandNames[i]);
        band->SetNoDataValue(std::nan(""));
    }
    m_dataset->GetRasterBand(1)->SetUnitType(unit.c_str());
    m_dataset->GetRasterBand(2)->SetUnitType(unit.c_str());
    m_dataset->GetRasterBand(3)->SetUnitType("mm");

    GDALRasterBand* const flags = m_dataset->GetRasterBand(4);
    for (const estimation::Flag flag : estimation::allFlags) {
        const std::string key = "BIT_" + std::to_string(static_cast<int>(flag));
        flags->SetMetadataItem(key.c_str(), std::string(estimation::code(flag)).c_str());
    }

    // The class names, in the map's side file (.aux.xml), as GeoTIFF has no place for them.
    GDALDefaultRasterAttributeTable table;
    table.CreateColumn("value", GFT_Integer, GFU_MinMax);
    table.CreateColumn("class", GFT_String, GFU_Name);
    const int count = textureClassCount();
    table.SetRowCount(count + 1);
    for (int row = 0; row < count; ++row) {
        table.SetValue(row, 0, row);
        table.SetValue(row, 1, std::string(textureName(static_cast<std::uint8_t>(row))).c_str());
    }
    table.SetValue(count, 0, NoTextureClass);
    table.SetValue(count, 1, "none");
    GDALRasterBand* const texture = m_dataset->GetRasterBand(5);
    texture->SetDefaultRAT(&table);
    texture->SetMetadataItem("NO_CLASS", std::to_string(NoTextureClass).c_str());
}

void OutputRaster::write(const Window& window, const ResultBuffers& buffers) {
    // Windows are one block wide and cut along the output's blocks, so that each block is
    // written whole.
    assert(window.x % OutputBlockSize == 0 && window.y % OutputBlockSize == 0);
    assert(window.width <= OutputBlockSize);
    const auto size = static_cast<std::size_t>(GDALGetDataTypeSizeBytes(m_type));
    const auto side = static_cast<std::size_t>(OutputBlockSize);
    const std::size_t rowBytes = static_cast<std::size_t>(window.width) * size;
    m_block.resize(side * side * size);
    for (std::size_t i = 0; i < BandCount; ++i) {
        GDALRasterBand* const band = m_dataset->GetRasterBand(static_cast<int>(i) + 1);
        const std::byte* const cells = buffers.data(static_cast<Band>(i));
        for (int top = 0; top < window.height; top += OutputBlockSize) {
            const auto rows =
                static_cast<std::size_t>(std::min(OutputBlockSize, window.height - top));
            if (rows < side || rowBytes < side * size) {
                // What lies beyond the map's edge.
                if (m_type == GDT_Float32) {
                    fillWithNaN<float>(m_block);
                } else {
                    fillWithNaN<double>(m_block);
                }
            }
            for (std::size_t row = 0; row < rows; ++row) {
                std::memcpy(m_block.data() + row * side * size,
                            cells + (static_cast<std::size_t>(top) + row) * rowBytes, rowBytes);
            }
            // A whole block goes straight to the driver, which compresses it on its own
            // threads; through the block cache, the blocks still cached when the map is closed
            // would be compressed one after the other.
            CPLErrorReset(); // a compression thread's failure stays noted
            if (band->WriteBlock(window.x / OutputBlockSize, (window.y + top) / OutputBlockSize,
                                 m_block.data()) != CE_None) {
                throw Error("cannot write " + m_name + ": " + lastGdalError());
            }
        }
    }
}

void OutputRaster::commit() {
    CPLErrorReset();   // a compression thread's failure stays noted
    m_dataset.reset(); // closing writes the last blocks and the side file
    if (CPLGetLastErrorType() == CE_Failure || CPLGetLastErrorType() == CE_Fatal) {
        throw Error("cannot write " + m_name + ": " + lastGdalError());
    }
    m_file.commit();
}

} // namespace talvo::map
