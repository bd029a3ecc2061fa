#pragma once

// Scale factors as decimals. A raster stores 523 with scale 0.1 for the text "52.3"; the map
// must compute with the double that text reads to, 523 / 10, not 523 * 0.1. Tables scale the
// text itself: "0.07" at 100 reads as 7, exactly.

#include "estimation/estimation.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace talvo::base {

// mantissa x 10^-decimals, mantissa > 0 and below 2^53, no trailing zeros in the mantissa
// while decimals > 0.
struct DecimalScale {
    std::uint64_t mantissa = 1;
    int decimals = 0;

    friend bool operator==(const DecimalScale&, const DecimalScale&) = default;

    // raw x mantissa / 10^decimals: one correctly rounded division when raw x mantissa is
    // exact (always for integer rasters), so that 523 at 0.1 gives the double of "52.3";
    // otherwise (fractional rasters with long mantissas) it is rounded twice. Dividing by
    // 10^0 = 1 is exact.
    double apply(double raw) const noexcept { return raw * factor() / divisor(); }
    double factor() const noexcept { return static_cast<double>(mantissa); }
    double divisor() const noexcept; // 10^decimals, exact

    // An input's text read at this scale. A plain decimal ("0.4", "523") is scaled as a
    // decimal, exactly: its digits times the mantissa over a power of ten, one correctly
    // rounded division, as long as both stay exact. Other forms (signs, blanks, exponents) are
    // read, then shifted at a power of ten (shiftedDecimal) and apply()'d at any other scale.
    estimation::InputValue read(std::string_view text,
                                estimation::DecimalSeparator separator) const;

    // This scale times 10^places: OC's unit moved into a model's at no cost per cell. Throws
    // Error where the scale would leave the bounds above.
    DecimalScale shifted(int places) const;
};

// "0.1", "1", "2.5e-3", "10": a positive decimal with at most 15 significant digits and at
// most 22 decimals. Throws Error naming `text`.
DecimalScale parseScale(std::string_view text);

// The scale a raster band declares as a double, through its shortest decimal text (0.1 is
// read as "0.1"). Throws Error when that is no usable scale.
DecimalScale scaleFromDouble(double scale);

// One optional scale per input, by estimation::Input.
using ScaleSet = std::array<std::optional<DecimalScale>, 4>;

// "sand=0.1,clay=0.1,oc=0.1": names as the options have them, each at most once. Throws Error.
ScaleSet parseScaleList(std::string_view text);

// The global soil grids 2.0: each layer the models read, by its name there, and the factor
// from its stored unit to the model's. Bulk density (bdod, cg/cm3, 0.01 to g/cm3) and coarse
// fragments (cfvo, cm3/dm3, 0.1 to % by volume) join here once an input reads them.
struct SoilGridsLayer {
    estimation::Input input;
    std::string_view layer;
    DecimalScale scale;
};
inline constexpr std::array<SoilGridsLayer, 4> SoilGridsLayers{{
    {estimation::Input::sand, "sand", {1, 1}}, // g/kg to %
    {estimation::Input::silt, "silt", {1, 1}}, // g/kg to %
    {estimation::Input::clay, "clay", {1, 1}}, // g/kg to %
    {estimation::Input::oc, "soc", {1, 1}},    // dg/kg to g/kg
}};

// The scales of SoilGridsLayers, by input.
ScaleSet soilGridsScales();

// Sand, silt and clay as fractions of 1: 100 to percent; organic carbon as it is.
ScaleSet fractionScales();

} // namespace talvo::base
