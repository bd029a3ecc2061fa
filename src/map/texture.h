#pragma once

// The soil's texture class for the texture band and its attribute table.

#include "estimation/input_values.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace talvo::map {

// The value the texture band stores for a cell without a class.
inline constexpr std::uint8_t NoTextureClass = 255;

// The class number of sand, silt and clay (percent); nothing when there is none.
std::optional<std::uint8_t> textureNumber(const estimation::InputValues& inputs);

// How many classes there are, numbered from 0, and the name of each.
int textureClassCount();
std::string_view textureName(std::uint8_t number);

} // namespace talvo::map
