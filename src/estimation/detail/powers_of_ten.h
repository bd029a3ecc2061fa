#pragma once

// The powers of ten a double holds exactly, 10^0 to 10^22: the one table behind every exact
// decimal step of the engine (reading texts, rounding to 15 digits and to hundredths).

#include "estimation/detail/number_text.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace talvo::estimation {

inline constexpr std::array<double, MaxExactPowerOfTen + 1> powersOfTen{
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The same as integers, up to 10^19, the largest below 2^64: exact, as the doubles are.
inline constexpr std::size_t IntegerPowersOfTen = 20;
constexpr std::uint64_t integerPowerOfTen(std::size_t exponent) noexcept {
    return static_cast<std::uint64_t>(powersOfTen[exponent]);
}

} // namespace talvo::estimation
