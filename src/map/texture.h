#pragma once

// The texture band's value for no class; the classes' own numbers are the engine's.

#include <cstdint>

namespace talvo::map {

// The value the texture band stores for a cell without a class.
inline constexpr std::uint8_t NoTextureClass = 255;

} // namespace talvo::map
