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

enum class OutputType { float32, float64 };

struct Settings {
    int model = 0;                      // position in the catalogue
    std::array<std::string, 4> rasters; // by estimation::Input; empty when not given
    ScaleSet scales;                    // unset: the band's own scale, else 1
    Precision precision = Precision::fixed;
    OutputType type = OutputType::float32;
    std::optional<Tile> tile; // unset: the whole map
    unsigned threads = 0;     // 0: as many as the machine has
    std::string output;
};

} // namespace talvo::map
