#pragma once

#include "estimation/estimation.h"
#include "map/scale.h"
#include "map/tiles.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace talvo::map {

// The bands hold the values of the two-decimal texts (fixed) or of the 15-digit ones.
using estimation::Precision;

// int16: FC, PWP and AWC as hundredths with the band's scale 0.01, exact for the two-decimal
// values; flags and texture as they are.
enum class OutputType { float32, float64, int16 };

// The GeoTIFF's compression, each with the predictor that suits the band type.
enum class Compression { deflate, zstd, lerc, none };

struct Settings {
    int model = 0;                      // position in the catalogue
    std::array<std::string, 4> rasters; // by estimation::Input; empty when not given
    ScaleSet scales;                    // unset: the band's own scale, else 1
    // The scale of sand, silt and clay; USDA contents are converted for the models.
    estimation::ParticleSizeScale psd = estimation::ParticleSizeScale::international;
    Precision precision = Precision::fixed;
    OutputType type = OutputType::float32;
    Compression compression = Compression::deflate; // what every GIS reads
    bool cog = false;                               // finished as a Cloud Optimized GeoTIFF
    std::optional<Tile> tile;                       // unset: the whole map
    unsigned threads = 0;                           // 0: as many as the machine has
    std::string output;
};

// The global soil grids 2.0 as published (soilGridsScales(), on the USDA scale).
void useSoilGrids(Settings& settings);

} // namespace talvo::map
