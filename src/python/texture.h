#pragma once

// The texture class of a cell, as the engine classifies it.

#include <cstdint>
#include <string_view>
#include <vector>

namespace talvo::python {

// The class number of a soil, -1 when it has none.
std::int8_t textureCode(double sand, double silt, double clay) noexcept;

// The class names in the order of their numbers.
std::vector<std::string_view> textureClassNames();

} // namespace talvo::python
