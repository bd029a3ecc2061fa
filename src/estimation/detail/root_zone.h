#pragma once

// Water a root zone holds: each horizon's FC and PWP counted by volume of the whole soil
// (bulk density, stones), its water over its thickness, and a profile's horizons summed to
// the depths irrigation asks about (total and readily available water).

#include "estimation/detail/catalogue.h"
#include "estimation/detail/plausibility.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::estimation {

inline constexpr double StoneDensity = 2.65;      // g/cm³ of mineral grains, stones included
inline constexpr double TypicalDepletion = 0.5;   // share of TAW a crop draws before stress
inline constexpr double TypicalRootDepth = 100.0; // cm
inline constexpr double TopsoilDepth = 30.0;      // cm
inline constexpr double SubsoilDepth = 100.0;     // cm

// What a horizon can have. Outside these a horizon has no water, a table names the cell in its
// row's error, and a profile flags the depth: sums of numbers no soil has would only mislead.
inline constexpr double DeepestHorizon = 10000.0; // cm below (or above) the surface: 100 m
inline constexpr bool soundDepth(double cm) noexcept {
    return cm >= -DeepestHorizon && cm <= DeepestHorizon;
}
// g/cm³ of the fine earth: no lighter than the loosest peat, and no denser than the mineral
// grains themselves. A density near 0 would turn % by volume into thousands % by weight.
inline constexpr double LightestSoil = 0.01;
inline constexpr bool soundBulkDensity(double density) noexcept {
    return density >= LightestSoil && density <= StoneDensity;
}
inline constexpr bool soundStones(double percent) noexcept {
    return percent >= 0.0 && percent <= 100.0;
}

enum class CoarseFragmentBasis : std::uint8_t { volume, weight };

// What a horizon adds to the model's soil: its fine earth's bulk density and its stones.
struct HorizonSoil {
    // g/cm³ of the fine earth; NaN where not measured (VolumeFactor stands in, flagged bd).
    double bulkDensity = std::numeric_limits<double>::quiet_NaN();
    double coarseFragments = 0.0; // % of the whole soil, by volume or by weight
    CoarseFragmentBasis basis = CoarseFragmentBasis::volume;
};

struct HorizonWater {
    double thetaFc = 0.0;  // % v/v of the whole soil, stones included
    double thetaPwp = 0.0; // likewise
    double waterMm = 0.0;  // held between FC and PWP over the horizon's thickness
    bool bulkDensityAssumed = false;
    bool fcAbovePorosity = false; // only where the bulk density was given
};

// The pores of a fine earth of `bulkDensity`, in % by volume: more water than this it cannot
// hold, so an FC above it is an estimate to distrust.
inline double porosity(double bulkDensity) noexcept {
    return (1.0 - bulkDensity / StoneDensity) * PercentDivisor;
}

// What a horizon's water adds to its soil's flags: bd where its density was assumed, porosity
// where its FC does not fit in its pores.
inline void addHorizonFlags(const std::optional<HorizonWater>& water, Flags& flags) noexcept {
    if (water && water->bulkDensityAssumed) {
        flags.add(Flag::bd);
    }
    if (water && water->fcAbovePorosity) {
        flags.add(Flag::porosity);
    }
}

// Coarse fragments by weight (%) as % by volume of the whole soil, with stones of
// StoneDensity: Rv = a Rw / (1 - Rw (1 - a)), a = bulkDensity / StoneDensity.
double coarseFragmentsByVolume(double byWeight, double bulkDensity) noexcept;

// A horizon's water from the model's FC and PWP (the numbers of its 15-digit results) over
// `thicknessMm`. Nothing where the horizon's soil makes no sense: a bulk density or stones
// that are not sound, a thickness not above 0 or beyond twice DeepestHorizon, or a result or
// water that is no finite number.
std::optional<HorizonWater> horizonWater(const PtfModel& model, double fc, double pwp,
                                         const HorizonSoil& soil, double thicknessMm) noexcept;

enum class ProfileFlag : std::uint8_t {
    gap,     // the horizons leave a depth uncovered, from the surface down
    overlap, // two horizons share a depth
    depth,   // a horizon's bottom is not below its top, its top is above the surface (below
             // 0), either is no number, or its bottom lies deeper than DeepestHorizon
    missing, // a horizon has no estimate
};
inline constexpr std::array allProfileFlags{ProfileFlag::gap, ProfileFlag::overlap,
                                            ProfileFlag::depth, ProfileFlag::missing};

// "gap", "overlap", "depth", "missing".
std::string_view code(ProfileFlag flag);

class ProfileFlags {
public:
    constexpr bool contains(ProfileFlag flag) const noexcept { return (m_bits & bit(flag)) != 0; }
    constexpr void add(ProfileFlag flag) noexcept {
        m_bits = static_cast<std::uint8_t>(m_bits | bit(flag));
    }
    constexpr bool empty() const noexcept { return m_bits == 0; }
    constexpr std::uint8_t bits() const noexcept { return m_bits; }
    friend constexpr bool operator==(ProfileFlags, ProfileFlags) = default;

private:
    static constexpr std::uint8_t bit(ProfileFlag flag) noexcept {
        return static_cast<std::uint8_t>(1U << static_cast<unsigned>(flag));
    }
    std::uint8_t m_bits = 0;
};

// The codes of the flags joined by `separator`, in the order of allProfileFlags.
std::string profileFlagsText(ProfileFlags flags, char separator = ';');

struct RootZone {
    double rootDepth = TypicalRootDepth; // cm, above 0
    double depletion = TypicalDepletion; // p, 0 to 1
};

// A profile's water in mm, each sum over the horizons from the top down, counting what is there.
struct ProfileWater {
    double depth = 0.0;   // cm: the deepest bottom of the horizons with sound depths
    double topsoil = 0.0; // TAW 0-30 cm
    double subsoil = 0.0; // TAW 0-100 cm
    double root = 0.0;    // TAW to the root depth
    double readily = 0.0; // RAW = p x TAW to the root depth
    ProfileFlags flags;
};

// The horizons of one profile as they come, in any order; each keeps its depths and water
// only, so memory grows with the horizons a profile has, not with the rows they came in.
class Profile {
public:
    // A horizon from `top` to `bottom` cm, with its water, or nothing where it has no estimate.
    void add(double top, double bottom, std::optional<double> waterMm);
    // The sums, a horizon that a depth cuts counting in proportion; horizons at the same
    // depths are summed in the order they came. Gaps are never filled and
    // overlaps never trimmed: the flags say so.
    ProfileWater water(const RootZone& zone) const;
    // Ready for the next profile, keeping the room the horizons took (a map's cells reuse it).
    void clear() noexcept;

private:
    struct Horizon {
        double top;
        double bottom;
        double waterMm; // NaN: no estimate
    };
    static bool byDepth(const Horizon& a, const Horizon& b) noexcept {
        return a.top != b.top ? a.top < b.top : a.bottom < b.bottom;
    }
    // The sums over horizons from the top down.
    static ProfileWater sum(std::span<const Horizon> horizons, ProfileFlags flags,
                            const RootZone& zone);
    std::vector<Horizon> m_horizons; // in the order they came
    bool m_inOrder = true;           // m_horizons lie from the top down
    ProfileFlags m_flags;
};

} // namespace talvo::estimation
