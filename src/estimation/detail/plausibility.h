#pragma once

// Warnings that come with an estimate. They never change a number and never stop an
// estimate; they say what a soil scientist would check first.

#include "estimation/detail/catalogue.h"
#include "estimation/detail/estimate.h"
#include "estimation/detail/input_values.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <string_view>

namespace talvo::estimation {

// Each flag's bit is stable: rasters and arrays store it.
enum class Flag : std::uint8_t {
    sum,           // sand + silt + clay differs from 100 by more than 1
    range,         // a content the model reads is below 0 or above 100
    oc,            // the model reads an OC above 200 g/kg (peat) or below 0
    pwpNotBelowFc, // PWP is at or above FC ("fc<=pwp")
    result,        // FC or PWP is below 0 or above MineralWaterLimit % by volume
    psd,           // sand and silt were converted from the USDA scale
    bd,            // a horizon without bulk density: VolumeFactor stood in for it
    porosity,      // FC by volume above the pores its bulk density leaves
};
inline constexpr std::array allFlags{Flag::sum,    Flag::range, Flag::oc, Flag::pwpNotBelowFc,
                                     Flag::result, Flag::psd,   Flag::bd, Flag::porosity};

class Flags {
public:
    constexpr Flags() = default;
    constexpr explicit Flags(std::uint16_t bits) noexcept : m_bits(bits) {}
    constexpr bool contains(Flag flag) const noexcept { return (m_bits & bit(flag)) != 0; }
    constexpr void add(Flag flag) noexcept {
        m_bits = static_cast<std::uint16_t>(m_bits | bit(flag));
    }
    constexpr void remove(Flag flag) noexcept {
        m_bits = static_cast<std::uint16_t>(m_bits & ~bit(flag));
    }
    constexpr Flags& operator|=(Flags other) noexcept {
        m_bits = static_cast<std::uint16_t>(m_bits | other.m_bits);
        return *this;
    }
    constexpr bool empty() const noexcept { return m_bits == 0; }
    constexpr std::uint16_t bits() const noexcept { return m_bits; }
    friend constexpr bool operator==(Flags, Flags) = default;

    static constexpr std::uint16_t bit(Flag flag) noexcept {
        return static_cast<std::uint16_t>(1U << static_cast<unsigned>(flag));
    }

private:
    std::uint16_t m_bits = 0;
};

// The tests behind the flags, on numbers; inline for the quick paths.
inline constexpr bool outsidePercent(double value) noexcept {
    return value < 0.0 || value > 100.0;
}
// Most water a mineral soil holds, in % by volume.
inline constexpr double MineralWaterLimit = 60.0;
// FC or PWP beyond what a mineral soil holds: below 0, or above MineralWaterLimit once a
// % w/w result is counted by volume at the bulk density AWC assumes (volumeFactor).
inline constexpr bool outsideMineralWater(double percent, double volumeFactor) noexcept {
    return percent < 0.0 || percent * volumeFactor > MineralWaterLimit;
}
inline constexpr bool outsideCarbon(double gramsPerKilogram) noexcept {
    constexpr double PeatCarbon = 200.0;
    return gramsPerKilogram < 0.0 || gramsPerKilogram > PeatCarbon;
}
inline bool sumDiffers(double sand, double silt, double clay) noexcept {
    constexpr double SumTolerance = 1.0;
    return !(std::fabs(sand + silt + clay - 100.0) <= SumTolerance);
}

// "sum", "range", "oc", "fc<=pwp", "result", "psd", "bd", "porosity": short and stable, for
// tables.
std::string_view code(Flag flag);
// One English sentence, for people: "PWP is at or above FC for this soil."
std::string_view sentence(Flag flag);

// What describes the soil whatever the model: the sum flag, from sand, silt and clay when all
// three are numbers.
Flags soilFlags(const InputValues& inputs) noexcept;

// What concerns the inputs the model reads: range and oc.
Flags inputFlags(const PtfModel& model, const InputValues& inputs) noexcept;

// What concerns the chosen model: the inputs it reads and the results it computed.
Flags modelFlags(const PtfModel& model, const InputValues& inputs,
                 const Estimate& estimated) noexcept;

} // namespace talvo::estimation
