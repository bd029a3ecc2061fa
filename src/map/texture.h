#pragma once

// The soil's texture class for the texture band and its attribute table.

#include <cstdint>
#include <string_view>

namespace talvo::map {

// The value the texture band stores for a cell without a class.
inline constexpr std::uint8_t NoTextureClass = 255;

// How many classes there are, numbered from 0, and the name of each.
int textureClassCount();
std::string_view textureName(std::uint8_t number);

} // namespace talvo::map
