#include "map/output.h"

#include "base/error.h"
#include "estimation/estimation.h"
#include "map/gdal_errors.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <gdal_rat.h>
#include <span>
#include <string>

namespace talvo::map {

namespace {

constexpr unsigned MaxCompressionThreads = 4;

// Where GDAL keeps what a GeoTIFF has no place for: the texture classes' names.
constexpr std::string_view SideFile = ".aux.xml";

constexpr std::array<const char*, BandCount> bandNames{"fc", "pwp", "awc", "flags", "texture"};
constexpr std::array<const char*, DepthBandCount> depthBandNames{"taw_0_30", "taw_0_100",
                                                                 "taw_root", "flags"};

// The map itself, never a device or pipe: GDAL seeks in what it writes.
std::filesystem::path regularTarget(const std::string& output) {
    const cli::OutputTarget target = cli::findOutput(output);
    if (target.kind != cli::OutputTarget::Kind::file) {
        throw base::Error("cannot write " + output +
                          ": it is not a regular file, and a GeoTIFF must be written to one");
    }
    return target.path;
}

// The texture classes' names live in the side file alone: refused before any cell is estimated
// where the system could not hold its name.
void requireRoomForSideFile(const std::filesystem::path& target, const std::string& name) {
    if (target.filename().string().size() + SideFile.size() > NAME_MAX) {
        throw base::Error(
            "cannot write " + name + ": its side file " + name + std::string(SideFile) +
            ", which names the texture classes, would have a name longer than the " +
            std::to_string(NAME_MAX) + " bytes a file's name may have: give a shorter name");
    }
}

// What the map needs of each output type, in the order of OutputType.
struct TypeFacts {
    OutputType type;
    GDALDataType gdal;
    std::size_t bytes;
    // Integer cells: FC, PWP and AWC are hundredths, read through the band's scale, and smooth
    // maps shrink with the horizontal predictor.
    bool hundredths;
    double nodata;
    void (*fillWithNodata)(std::vector<std::byte>& cells, double nodata);
};

template <typename Cell> void fillWithNodata(std::vector<std::byte>& cells, double nodata) {
    const auto cell = static_cast<Cell>(nodata);
    for (std::size_t at = 0; at + sizeof cell <= cells.size(); at += sizeof cell) {
        std::memcpy(cells.data() + at, &cell, sizeof cell);
    }
}

using estimation::NoNumber;
constexpr std::array<TypeFacts, 3> typeFacts{{
    {OutputType::float32, GDT_Float32, sizeof(float), false, NoNumber, &fillWithNodata<float>},
    {OutputType::float64, GDT_Float64, sizeof(double), false, NoNumber, &fillWithNodata<double>},
    {OutputType::int16, GDT_Int16, sizeof(std::int16_t), true, Int16Nodata,
     &fillWithNodata<std::int16_t>},
}};

const TypeFacts& factsOf(OutputType type) {
    const TypeFacts& facts = typeFacts[static_cast<std::size_t>(type)];
    assert(facts.type == type);
    return facts;
}

const char* compressionName(Compression compression) {
    switch (compression) {
    case Compression::deflate:
        return "DEFLATE";
    case Compression::zstd:
        return "ZSTD";
    case Compression::lerc:
        return "LERC";
    case Compression::none:
        return "NONE";
    }
    return "NONE";
}

// The horizontal predictor for integers, which shrinks smooth maps; none for floating point,
// where the floating-point predictor made two-decimal values larger, not smaller. LERC and
// no compression take none.
bool predicts(Compression compression, OutputType type) {
    return factsOf(type).hundredths &&
           (compression == Compression::deflate || compression == Compression::zstd);
}

// The GTiff driver's options for the tiled map written block by block. Level 1 of DEFLATE and
// ZSTD: twice as fast as DEFLATE's default level 6 and 3 % larger here. LERC is lossless.
CPLStringList tiledOptions(Compression compression, OutputType type, unsigned threads) {
    const std::string blockSize = std::to_string(OutputBlockSize);
    CPLStringList options;
    options.SetNameValue("TILED", "YES");
    options.SetNameValue("BLOCKXSIZE", blockSize.c_str());
    options.SetNameValue("BLOCKYSIZE", blockSize.c_str());
    options.SetNameValue("COMPRESS", compressionName(compression));
    options.SetNameValue("ZLEVEL", "1");
    options.SetNameValue("ZSTD_LEVEL", "1");
    options.SetNameValue("MAX_Z_ERROR", "0");
    options.SetNameValue("PREDICTOR", predicts(compression, type) ? "2" : "1");
    options.SetNameValue("INTERLEAVE", "BAND");
    options.SetNameValue("BIGTIFF", "IF_SAFER");
    options.SetNameValue("NUM_THREADS", std::to_string(compressionThreads(threads)).c_str());
    return options;
}

// The COG driver's options for the same compression, keeping the overviews built.
CPLStringList cogOptions(Compression compression, OutputType type, unsigned threads) {
    CPLStringList options;
    options.SetNameValue("BLOCKSIZE", std::to_string(OutputBlockSize).c_str());
    options.SetNameValue("COMPRESS", compressionName(compression));
    options.SetNameValue("LEVEL", "1");
    options.SetNameValue("MAX_Z_ERROR", "0");
    options.SetNameValue("PREDICTOR", predicts(compression, type) ? "YES" : "NO");
    options.SetNameValue("OVERVIEWS", "FORCE_USE_EXISTING");
    options.SetNameValue("BIGTIFF", "IF_SAFER");
    options.SetNameValue("NUM_THREADS", std::to_string(compressionThreads(threads)).c_str());
    return options;
}

// Halvings until the smallest overview fits in one block, as GIS tools expect of a COG.
std::vector<int> overviewFactors(int width, int height) {
    std::vector<int> factors;
    for (int factor = 2; std::max(width, height) / (factor / 2) > OutputBlockSize; factor *= 2) {
        factors.push_back(factor);
    }
    return factors;
}

// The soil's flag bits in the band's metadata: BIT_0=sum and so on, at `bitOf(flag)`.
template <typename BitOf> void describeSoilFlags(GDALRasterBand& band, BitOf bitOf) {
    for (const estimation::Flag flag : estimation::allFlags) {
        const std::string key = "BIT_" + std::to_string(bitOf(flag));
        band.SetMetadataItem(key.c_str(), std::string(estimation::code(flag)).c_str());
    }
}

std::size_t bandCount(const Settings& settings) {
    if (settings.hydraulics.model) {
        return HydraulicBandCount;
    }
    if (!settings.depths.layers.empty()) {
        return DepthBandCount;
    }
    return BandCount + (settings.uncertain() ? SpreadBandCount : 0);
}

} // namespace

bool removeOldMap(const Settings& settings, cli::InterruptionCleanup* cleanup) {
    cli::ReplacingFile file(regularTarget(settings.output), "talvo-map", settings.output, cleanup);
    file.addCompanion(std::string(SideFile));
    return file.removeTarget();
}

unsigned compressionThreads(unsigned threads) {
    // Compression keeps up with the estimates on a few threads; each holds block buffers.
    return std::min(threads, MaxCompressionThreads);
}

std::size_t bandBytes(OutputType type) {
    return factsOf(type).bytes;
}

void ResultBuffers::resize(OutputType type, std::size_t bands, std::size_t cells) {
    m_bytes.resize(bands);
    for (std::vector<std::byte>& bytes : m_bytes) {
        bytes.resize(cells * bandBytes(type));
    }
}

OutputRaster::OutputRaster(const Settings& settings, const estimation::PtfModel& model,
                           const Grid& grid, unsigned threads, cli::InterruptionCleanup* cleanup)
    : m_name(settings.output),
      m_file(regularTarget(settings.output), "talvo-map", settings.output, cleanup),
      m_outputType(settings.type), m_type(factsOf(settings.type).gdal),
      m_compression(settings.compression), m_cog(settings.cog), m_threads(threads),
      m_bands(bandCount(settings)) {
    if (settings.depths.layers.empty() && !settings.hydraulics.model) {
        requireRoomForSideFile(regularTarget(settings.output), settings.output);
    }
    m_file.addCompanion(std::string(SideFile));
    // A COG is copied from a finished map: this tiled one, in a scratch file beside it.
    const std::filesystem::path tiled =
        m_cog ? m_file.addScratch(".tiled.tif") : m_file.temporaryPath();
    GDALDriver* const driver = GetGDALDriverManager()->GetDriverByName("GTiff");
    if (driver == nullptr) {
        throw base::Error("this GDAL has no GTiff driver");
    }
    const CPLStringList options = tiledOptions(settings.compression, settings.type, threads);
    resetGdalErrors();
    m_dataset.reset(driver->Create(tiled.c_str(), grid.width, grid.height,
                                   static_cast<int>(m_bands), m_type, options.List()));
    if (!m_dataset) {
        throw base::Error("cannot write " + m_name + ": " + lastGdalError());
    }
    m_creating.reset();
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
    if (!settings.hydraulics.model) {
        m_dataset->SetMetadataItem("TALVO_MODEL", std::string(model.listText).c_str());
        m_dataset->SetMetadataItem("TALVO_UNIT", unit.c_str());
    }
    m_dataset->SetMetadataItem("TALVO_PRECISION",
                               settings.precision == Precision::fixed ? "fixed" : "general");
    m_dataset->SetMetadataItem("TALVO_VERSION", TALVO_VERSION);
    m_dataset->SetMetadataItem("TALVO_PSD",
                               std::string(estimation::name(settings.particleSizeScale)).c_str());
    if (settings.hydraulics.model) {
        describeHydraulicBands(settings);
    } else if (settings.depths.layers.empty()) {
        describeSoilBands(unit);
        describeTexture(settings.particleSizeScale);
        describeSpreadBands(settings, unit);
    } else {
        describeDepthBands(settings);
    }
}

void OutputRaster::describeSoilBands(const std::string& unit) {
    const TypeFacts& facts = factsOf(m_outputType);
    for (std::size_t i = 0; i < BandCount; ++i) {
        GDALRasterBand* const band = m_dataset->GetRasterBand(static_cast<int>(i) + 1);
        band->SetDescription(bandNames[i]);
        band->SetNoDataValue(facts.nodata);
        if (facts.hundredths && i < 3) {
            band->SetScale(HundredthsScale);
            band->SetOffset(0.0);
        }
    }
    m_dataset->GetRasterBand(1)->SetUnitType(unit.c_str());
    m_dataset->GetRasterBand(2)->SetUnitType(unit.c_str());
    m_dataset->GetRasterBand(3)->SetUnitType("mm");

    GDALRasterBand* const flags = m_dataset->GetRasterBand(4);
    describeSoilFlags(*flags, [](estimation::Flag flag) { return static_cast<unsigned>(flag); });
    m_classBands = {4, 5};
}

void OutputRaster::describeSpreadBands(const Settings& settings, const std::string& unit) {
    if (!settings.uncertain()) {
        return;
    }
    std::string spreads;
    for (const estimation::Input input : estimation::allInputs) {
        const auto& spread = settings.spreads[static_cast<std::size_t>(input)];
        if (!spread) {
            continue;
        }
        // A raster by the name it was given.
        spreads +=
            (spreads.empty() ? "" : ",") + std::string(estimation::name(input)) + "=" +
            (spread->column.empty() ? estimation::generalText(spread->value) : spread->column);
    }
    m_dataset->SetMetadataItem("TALVO_SD", spreads.c_str());
    m_dataset->SetMetadataItem("TALVO_DRAWS", std::to_string(settings.draws.draws).c_str());
    m_dataset->SetMetadataItem("TALVO_SEED", std::to_string(settings.draws.seed).c_str());
    const TypeFacts& facts = factsOf(m_outputType);
    for (std::size_t p = 0; p < SpreadBandCount; ++p) {
        GDALRasterBand* const band = m_dataset->GetRasterBand(static_cast<int>(BandCount + p) + 1);
        band->SetDescription(std::string(base::SpreadNames[p]).c_str());
        band->SetNoDataValue(facts.nodata);
        // fc_p05 to pwp_p95 in the model's unit, awc's as the awc band's.
        band->SetUnitType(p < 6 ? unit.c_str() : "mm");
        if (facts.hundredths) {
            band->SetScale(HundredthsScale);
            band->SetOffset(0.0);
        }
    }
}

void OutputRaster::describeDepthBands(const Settings& settings) {
    // Int16 is refused for these bands: a root zone holds more than 327.67 mm.
    for (std::size_t i = 0; i < DepthBandCount; ++i) {
        GDALRasterBand* const band = m_dataset->GetRasterBand(static_cast<int>(i) + 1);
        band->SetDescription(depthBandNames[i]);
        band->SetNoDataValue(std::nan(""));
        if (i != static_cast<std::size_t>(DepthBand::flags)) {
            band->SetUnitType("mm");
        }
    }
    std::string layers;
    for (const Layer& layer : settings.depths.layers) {
        layers += (layers.empty() ? "" : ",") + layer.name;
    }
    m_dataset->SetMetadataItem("TALVO_DEPTHS", layers.c_str());
    m_dataset->SetMetadataItem("TALVO_ROOT_DEPTH",
                               estimation::generalText(settings.depths.zone.rootDepth).c_str());
    m_dataset->SetMetadataItem(
        "TALVO_CF_BY",
        settings.depths.basis == estimation::CoarseFragmentBasis::volume ? "volume" : "weight");
    GDALRasterBand* const flags = m_dataset->GetRasterBand(static_cast<int>(DepthBand::flags) + 1);
    describeSoilFlags(*flags, depthFlagBit);
    for (const estimation::ProfileFlag flag : estimation::allProfileFlags) {
        const std::string key =
            "BIT_" + std::to_string(static_cast<unsigned>(flag) + ProfileFlagShift);
        flags->SetMetadataItem(key.c_str(), std::string(estimation::code(flag)).c_str());
    }
    m_classBands = {static_cast<int>(DepthBand::flags) + 1};
}

void OutputRaster::describeHydraulicBands(const Settings& settings) {
    const estimation::HydraulicModel model = *settings.hydraulics.model;
    m_dataset->SetMetadataItem("TALVO_MODEL", std::string(estimation::name(model)).c_str());
    m_dataset->SetMetadataItem("TALVO_SOURCE", std::string(estimation::source(model)).c_str());
    m_dataset->SetMetadataItem("TALVO_FC_HEAD_CM",
                               estimation::generalText(settings.hydraulics.fcHead).c_str());
    m_dataset->SetMetadataItem(
        "TALVO_ORGANIC_MATTER",
        ("OC x " + estimation::generalText(estimation::OrganicMatterPerCarbon)).c_str());
    if (settings.hydraulics.topsoil) {
        m_dataset->SetMetadataItem("TALVO_TOPSOIL", *settings.hydraulics.topsoil ? "yes" : "no");
    }
    const TypeFacts& facts = factsOf(m_outputType);
    for (std::size_t i = 0; i < HydraulicBandCount; ++i) {
        const HydraulicBandFacts& band = hydraulicBands[i];
        GDALRasterBand* const raster = m_dataset->GetRasterBand(static_cast<int>(i) + 1);
        raster->SetDescription(band.name);
        raster->SetNoDataValue(facts.nodata);
        raster->SetUnitType(band.unit);
        if (facts.hundredths && band.int16PerUnit != 1) {
            raster->SetScale(1 / band.int16PerUnit);
            raster->SetOffset(0.0);
        }
    }
    const auto flags = static_cast<int>(HydraulicBand::flags) + 1;
    describeSoilFlags(*m_dataset->GetRasterBand(flags),
                      [](estimation::Flag flag) { return static_cast<unsigned>(flag); });
    m_classBands = {flags};
}

void OutputRaster::describeTexture(estimation::ParticleSizeScale scale) {
    // The class names of the scale's triangle, in the map's side file (.aux.xml), as GeoTIFF
    // has no place for them: as an attribute table, and as category names for older readers.
    const std::span<const estimation::TextureClass> classes = estimation::textureClasses(scale);
    GDALDefaultRasterAttributeTable table;
    table.CreateColumn("value", GFT_Integer, GFU_MinMax);
    table.CreateColumn("class", GFT_String, GFU_Name);
    const auto count = static_cast<int>(classes.size());
    table.SetRowCount(count + 1);
    CPLStringList categories;
    for (int row = 0; row < count; ++row) {
        const estimation::TextureClass texture = classes[static_cast<std::size_t>(row)];
        const std::string name(estimation::name(texture));
        table.SetValue(row, 0, static_cast<int>(texture));
        table.SetValue(row, 1, name.c_str());
        while (categories.size() < static_cast<int>(texture)) {
            categories.AddString("");
        }
        categories.AddString(name.c_str());
    }
    table.SetValue(count, 0, estimation::NoTexture);
    table.SetValue(count, 1, "none");
    GDALRasterBand* const band = m_dataset->GetRasterBand(5);
    band->SetDefaultRAT(&table);
    band->SetCategoryNames(categories.List());
    band->SetMetadataItem("NO_CLASS", std::to_string(estimation::NoTexture).c_str());
    band->SetMetadataItem("TRIANGLE", std::string(estimation::name(scale)).c_str());
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
    for (std::size_t i = 0; i < m_bands; ++i) {
        GDALRasterBand* const band = m_dataset->GetRasterBand(static_cast<int>(i) + 1);
        const std::byte* const cells = buffers.data(i);
        for (int top = 0; top < window.height; top += OutputBlockSize) {
            const auto rows =
                static_cast<std::size_t>(std::min(OutputBlockSize, window.height - top));
            if (rows < side || rowBytes < side * size) {
                const TypeFacts& facts = factsOf(m_outputType);
                facts.fillWithNodata(m_block, facts.nodata); // what lies beyond the map's edge
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
                throw base::Error("cannot write " + m_name + ": " + lastGdalError());
            }
        }
    }
}

void OutputRaster::commit() {
    CPLErrorReset(); // a compression thread's failure stays noted
    if (m_cog) {
        copyAsCog();
    }
    m_dataset.reset(); // closing writes the last blocks and the side file
    if (CPLGetLastErrorType() == CE_Failure || CPLGetLastErrorType() == CE_Fatal) {
        throw base::Error("cannot write " + m_name + ": " + lastGdalError());
    }
    m_file.commit();
}

void OutputRaster::copyAsCog() {
    std::vector<int> factors =
        overviewFactors(m_dataset->GetRasterXSize(), m_dataset->GetRasterYSize());
    if (!factors.empty()) {
        // Averages of the water read best from afar; flags and classes cannot be averaged,
        // and are taken again from the nearest cell. GeoTIFF builds overviews for all bands
        // at once.
        if (m_dataset->BuildOverviews("AVERAGE", static_cast<int>(factors.size()), factors.data(),
                                      0, nullptr, nullptr, nullptr, nullptr) != CE_None) {
            throw base::Error("cannot write " + m_name + ": " + lastGdalError());
        }
        for (const int classes : m_classBands) {
            GDALRasterBand* const band = m_dataset->GetRasterBand(classes);
            std::vector<GDALRasterBandH> overviews;
            overviews.reserve(static_cast<std::size_t>(band->GetOverviewCount()));
            for (int i = 0; i < band->GetOverviewCount(); ++i) {
                overviews.push_back(GDALRasterBand::ToHandle(band->GetOverview(i)));
            }
            if (GDALRegenerateOverviews(GDALRasterBand::ToHandle(band),
                                        static_cast<int>(overviews.size()), overviews.data(),
                                        "NEAREST", nullptr, nullptr) != CE_None) {
                throw base::Error("cannot write " + m_name + ": " + lastGdalError());
            }
        }
    }
    GDALDriver* const driver = GetGDALDriverManager()->GetDriverByName("COG");
    if (driver == nullptr) {
        throw base::Error("this GDAL has no COG driver: leave out --cog");
    }
    const CPLStringList options = cogOptions(m_compression, m_outputType, m_threads);
    const GDALDatasetUniquePtr copy(driver->CreateCopy(
        m_file.temporaryPath().c_str(), m_dataset.get(), FALSE, options.List(), nullptr, nullptr));
    if (!copy) {
        throw base::Error("cannot write " + m_name + ": " + lastGdalError());
    }
}

} // namespace talvo::map
