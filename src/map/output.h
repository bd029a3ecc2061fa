#pragma once

// The result map: one tiled, compressed GeoTIFF with the bands fc, pwp, awc, flags and texture,
// all of the chosen type (a GeoTIFF holds one type for all bands; flags and texture are small
// integers, exact in any). Nodata is NaN in every band, -32768 in Int16, where FC, PWP and AWC
// are hundredths with the band's scale 0.01.

#include "base/result_spreads.h"
#include "cli/interruption.h"
#include "cli/replacing_file.h"
#include "estimation/estimation.h"
#include "map/grid.h"
#include "map/settings.h"
#include "map/window.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <gdal_priv.h>
#include <optional>
#include <string>
#include <vector>

namespace talvo::map {

enum class Band { fc, pwp, awc, flags, texture };
inline constexpr std::size_t BandCount = 5;
// With --sd, fc_p05 ... awc_p95 follow (base::SpreadNames), in the unit of fc, pwp and awc and
// in Int16 as hundredths as they are.
inline constexpr std::size_t SpreadBandCount = base::SpreadNames.size();

// Int16 bands: nodata, and the scale of FC, PWP and AWC, which store hundredths.
inline constexpr std::int16_t Int16Nodata = -32768;
inline constexpr double HundredthsScale = 0.01;

// The bytes of one cell of one band.
std::size_t bandBytes(OutputType type);

// The bands of a root-zone map (--depths): TAW in mm to 30 cm, to 100 cm and to the root
// depth, and the flags of its layers (the soil's bits) and of the profile (ProfileFlagShift up).
enum class DepthBand { topsoil, subsoil, root, flags };
inline constexpr std::size_t DepthBandCount = 4;
inline constexpr unsigned ProfileFlagShift = 8;
// Soil flags from bit 8 on (domain) lie above the profile's, so that the bits of maps written
// before them keep their meaning.
inline constexpr unsigned LaterSoilFlagShift =
    static_cast<unsigned>(estimation::allProfileFlags.size());
static_assert(estimation::allFlags.size() + estimation::allProfileFlags.size() <= 15,
              "the depth flags fit in 15 bits");

// The bit of the depth band's flags that holds a soil flag.
constexpr unsigned depthFlagBit(estimation::Flag flag) noexcept {
    const auto bit = static_cast<unsigned>(flag);
    return bit < ProfileFlagShift ? bit : bit + LaterSoilFlagShift;
}
// The depth band's flags of a profile whose layers carry `soil`.
constexpr unsigned depthFlagBits(estimation::Flags soil,
                                 estimation::ProfileFlags profile) noexcept {
    const unsigned soilBits = soil.bits();
    const unsigned early = soilBits & ((1U << ProfileFlagShift) - 1U);
    const unsigned later = soilBits >> ProfileFlagShift;
    return early | (static_cast<unsigned>(profile.bits()) << ProfileFlagShift) |
           (later << (ProfileFlagShift + LaterSoilFlagShift));
}

// The bands of a hydraulic model's map (--hydraulics), and what each holds: its unit, and in
// Int16 the step of its integers (the band's scale), which bounds what it can hold: 327.67 %
// v/v, ks 3276.7 cm/day (loose sands pass 327.67), alpha 0.32767 1/cm, n 3.2767. A value
// beyond is nodata in its band alone.
enum class HydraulicBand { thetaR, thetaS, alpha, n, ks, fc, pwp, awc, flags };
inline constexpr std::size_t HydraulicBandCount = 9;
struct HydraulicBandFacts {
    const char* name;
    const char* unit;
    // Int16 steps a unit: an integer, as a value times it rounds half away from zero where a
    // value over the step (12.35 / 0.1) would fall short.
    double int16PerUnit;
};
inline constexpr std::array<HydraulicBandFacts, HydraulicBandCount> hydraulicBands{{
    {"theta_r", "% v/v", 100},
    {"theta_s", "% v/v", 100},
    {"alpha", "1/cm", 1e5},
    {"n", "", 1e4},
    {"ks", "cm/day", 10},
    {"fc", "% v/v", 100},
    {"pwp", "% v/v", 100},
    {"awc", "% v/v", 100},
    {"flags", "", 1},
}};

// The cells of a window for every band, in the output's type.
class ResultBuffers {
public:
    void resize(OutputType type, std::size_t bands, std::size_t cells);
    std::byte* data(std::size_t band) { return m_bytes[band].data(); }
    const std::byte* data(std::size_t band) const { return m_bytes[band].data(); }
    std::byte* data(Band band) { return data(static_cast<std::size_t>(band)); }

private:
    std::vector<std::vector<std::byte>> m_bytes;
};

// The threads GDAL compresses the map on when the run estimates on `threads`.
unsigned compressionThreads(unsigned threads);

// Output blocks are square, of this side.
inline constexpr int OutputBlockSize = 256;

// A tile without rows: removes the map an earlier run wrote under the output's name, and its
// side file, under the checks a replacement passes. Returns whether there was one. Throws
// Error.
bool removeOldMap(const Settings& settings, cli::InterruptionCleanup* cleanup);

class OutputRaster {
public:
    // Creates the map beside `settings.output` under a temporary name, which a signal
    // removes through `cleanup`. Throws Error, also where the name leaves no room for the side
    // file that a map of soils needs.
    OutputRaster(const Settings& settings, const estimation::PtfModel& model, const Grid& grid,
                 unsigned threads, cli::InterruptionCleanup* cleanup);
    OutputRaster(const OutputRaster&) = delete;
    OutputRaster& operator=(const OutputRaster&) = delete;
    // Removes the temporary files unless committed.
    ~OutputRaster();

    // Writes a window of this map at most one block wide, whose corner is a block's. Not
    // thread-safe. Throws Error.
    void write(const Window& window, const ResultBuffers& buffers);
    // Completes the file (as a Cloud Optimized GeoTIFF with overviews, copied from the tiled
    // one, with --cog) and renames it to the output's name, its side file (.aux.xml, with the
    // texture classes' names) first. Throws Error.
    void commit();

private:
    void describe(const Settings& settings, const estimation::PtfModel& model);
    void describeSoilBands(const std::string& unit);
    void describeSpreadBands(const Settings& settings, const std::string& unit);
    void describeDepthBands(const Settings& settings);
    void describeHydraulicBands(const Settings& settings);
    void describeTexture(estimation::ParticleSizeScale scale);
    // Overviews in the tiled file, then the copy into the temporary file in GDAL's COG layout.
    void copyAsCog();

    // Signals wait from the file's creation until GDAL has created it anew by its name: one
    // that came between would remove it and let GDAL create it again, to be left behind.
    std::optional<cli::InterruptionCleanup::Hold> m_creating{std::in_place};
    std::string m_name;
    cli::ReplacingFile m_file; // before the dataset, which is closed first
    OutputType m_outputType;
    GDALDataType m_type;
    Compression m_compression;
    bool m_cog;
    unsigned m_threads;
    std::size_t m_bands;
    std::vector<int> m_classBands; // flags and classes, which overviews cannot average
    GDALDatasetUniquePtr m_dataset;
    std::vector<std::byte> m_block; // one block of one band, as the driver takes it
};

} // namespace talvo::map
