#pragma once

// Texture class of a soil on the triangle of its particle-size scale. On the international
// scale (sand 0.02-2 mm, silt 0.002-0.02 mm, clay below 0.002 mm) the twelve classes and their
// boundaries are those of the international texture triangle after Verheye and Ameryckx (1984);
// on the USDA scale (sand 0.05-2 mm, silt 0.002-0.05 mm) those of the USDA Soil Survey
// Manual's triangle. Classes of the same name share a number, though not their boundaries.

#include "estimation/detail/particle_size.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace talvo::estimation {

// The numbers are stored in raster bands and arrays outside this program: they never change,
// and a new class could only be added as 14.
enum class TextureClass : std::uint8_t {
    heavyClay = 0,     // HCl, clay above 45 %
    sandyClay = 1,     // SaCl
    lightClay = 2,     // LCl
    siltyClay = 3,     // SiCl
    sandyClayLoam = 4, // SaClLo
    clayLoam = 5,      // ClLo
    siltyClayLoam = 6, // SiClLo
    loamySand = 7,     // LoSa
    sand = 8,          // Sa
    sandyLoam = 9,     // SaLo
    loam = 10,         // Lo
    siltLoam = 11,     // SiLo
    silt = 12,         // Si, USDA only
    clay = 13,         // Cl, USDA only; heavy and light clay are international only
};
inline constexpr int TextureClassCount = 14;

// Every class of either triangle, in the order of its number.
inline constexpr std::array<TextureClass, TextureClassCount> allTextureClasses{
    TextureClass::heavyClay,     TextureClass::sandyClay,     TextureClass::lightClay,
    TextureClass::siltyClay,     TextureClass::sandyClayLoam, TextureClass::clayLoam,
    TextureClass::siltyClayLoam, TextureClass::loamySand,     TextureClass::sand,
    TextureClass::sandyLoam,     TextureClass::loam,          TextureClass::siltLoam,
    TextureClass::silt,          TextureClass::clay,
};

// The twelve classes of the scale's triangle, in the order of their numbers.
std::span<const TextureClass> textureClasses(ParticleSizeScale scale) noexcept;

// The published English name in lower case ("heavy clay", "silt loam"), and its abbreviation
// ("HCl", "SiLo"). Both are empty for a value that is no class.
std::string_view name(TextureClass texture);
std::string_view code(TextureClass texture);

// A point of the triangle in percent; sand + silt + clay = 100.
struct TexturePoint {
    double sand;
    double silt;
    double clay;
};

// The class of a soil from its sand, silt and clay in percent, on the triangle of the scale
// they are given on. Each must be finite and within 0..100, and their sum within 1 of 100; the
// three are then scaled to sum 100. Otherwise there is no class.
//
// A point on a boundary belongs to the finer class: the class of the soils with a little more
// clay and, at equal clay, a little more silt; on the silt-clay side, where sand is 0, the
// class with more clay. On the international triangle that is the first in the order
//   heavy clay, silty clay, light clay, sandy clay,
//   silty clay loam, clay loam, sandy clay loam,
//   silt loam, loam, sandy loam, loamy sand, sand
// whose polygon holds it. On the USDA triangle it is the manual's own reading of its limits
// ("40 % or more clay", "less than 52 % sand"; so sand 0, silt 40, clay 60 is silty clay),
// and the order is
//   silty clay, clay, silty clay loam, clay loam, sandy clay,
//   silt loam (12 % clay or more), silt, silt loam, loam, sandy clay loam,
//   sandy loam, loamy sand, sand.
//
// Allocates nothing; a few comparisons of two linear forms in clay and silt per class.
std::optional<TextureClass>
textureClass(double sand, double silt, double clay,
             ParticleSizeScale scale = ParticleSizeScale::international) noexcept;

// The polygon of a class on the scale's triangle as published, in order (clockwise with clay
// to the right and silt upwards). Empty for a value that is no class of that triangle.
std::span<const TexturePoint>
outline(TextureClass texture, ParticleSizeScale scale = ParticleSizeScale::international) noexcept;

// The centroid of the class's polygon, inside it, where its name can be written. All NaN for a
// value that is no class of the scale's triangle.
TexturePoint labelPoint(TextureClass texture,
                        ParticleSizeScale scale = ParticleSizeScale::international) noexcept;

} // namespace talvo::estimation
