#pragma once

// Several soils' numbers side by side, so that one pass of an equation serves them all and the
// compiler can keep them in vector registers. Every lane takes the same operations in the same
// order as a lone double, so each lane's result is the same to the bit.

#include <array>
#include <cstddef>

namespace talvo::estimation::detail {

inline constexpr std::size_t LaneCount = 8;

struct Lanes {
    constexpr Lanes() noexcept = default;
    // Implicit, so that constants mix with lanes as they do with doubles in an equation.
    // NOLINTNEXTLINE(google-explicit-constructor)
    constexpr Lanes(double value) noexcept { values.fill(value); }

    friend constexpr Lanes operator+(const Lanes& a, const Lanes& b) noexcept {
        return each(a, b, [](double x, double y) { return x + y; });
    }
    friend constexpr Lanes operator-(const Lanes& a, const Lanes& b) noexcept {
        return each(a, b, [](double x, double y) { return x - y; });
    }
    friend constexpr Lanes operator*(const Lanes& a, const Lanes& b) noexcept {
        return each(a, b, [](double x, double y) { return x * y; });
    }
    // A zero divisor gives an infinity or NaN in its lane; the caller takes the exact path there.
    friend constexpr Lanes operator/(const Lanes& a, const Lanes& b) noexcept {
        return each(a, b, [](double x, double y) { return x / y; });
    }

    // Not zeroed: lanes are filled whole, and zeroing them first costs as much as an equation.
    std::array<double, LaneCount> values; // NOLINT(cppcoreguidelines-pro-type-member-init)

private:
    template <typename Operation>
    static constexpr Lanes each(const Lanes& a, const Lanes& b, Operation operation) noexcept {
        Lanes out;
        for (std::size_t i = 0; i < LaneCount; ++i) {
            out.values[i] = operation(a.values[i], b.values[i]);
        }
        return out;
    }
};

// Sand, silt, clay and OC of LaneCount soils.
using InputLanes = std::array<Lanes, 4>;

} // namespace talvo::estimation::detail
