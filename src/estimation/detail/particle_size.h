#pragma once

// The particle-size scales on which sand, silt and clay arrive, and the step from the USDA
// scale to the international one that every model reads.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace talvo::estimation {

enum class ParticleSizeScale : std::uint8_t {
    international, // sand 0.02-2 mm, silt 0.002-0.02 mm: what the models read
    usda,          // sand 0.05-2 mm, silt 0.002-0.05 mm: SoilGrids, SSURGO, KSSL, DSSAT
};
inline constexpr std::array allParticleSizeScales{ParticleSizeScale::international,
                                                  ParticleSizeScale::usda};

// "international", "usda": the values of the options that choose a scale.
std::string_view name(ParticleSizeScale scale);
std::optional<ParticleSizeScale> particleSizeScale(std::string_view name) noexcept;

// The share of USDA silt (2-50 um) that lies below 20 um when the cumulative particle-size
// curve is taken as linear in the logarithm of the size between 2 and 50 um:
// ln(20 / 2) / ln(50 / 2), as the double nearest to it.
inline constexpr double UsdaSiltBelow20um = 0.7153382790366965;

// Sand, silt and clay contents of one soil, in percent.
struct ParticleSizes {
    double sand;
    double silt;
    double clay;
};

// The same soil on the international scale. Silt above 20 um moves to sand; clay keeps its
// limit. Exactly these operations in this order, so that every front end gets the same bits:
// NaN and infinities pass through as the arithmetic carries them.
constexpr ParticleSizes internationalFromUsda(const ParticleSizes& usda) noexcept {
    const double silt = usda.silt * UsdaSiltBelow20um;
    return {usda.sand + (usda.silt - silt), silt, usda.clay};
}

} // namespace talvo::estimation
