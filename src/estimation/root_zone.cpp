#include "estimation/detail/root_zone.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstddef>

namespace talvo::estimation {

namespace {

bool soundBulkDensity(double density) noexcept {
    return density > 0.0 && density <= StoneDensity;
}

// The share of [top, bottom) above `depth`, for bottom > top: 1 exactly for a horizon wholly
// above it, as (b - t) / (b - t) is, without the division; most horizons are.
double shareAbove(double top, double bottom, double depth) noexcept {
    if (bottom <= depth) {
        return 1.0;
    }
    const double covered = depth - top;
    return covered <= 0.0 ? 0.0 : covered / (bottom - top);
}

} // namespace

double coarseFragmentsByVolume(double byWeight, double bulkDensity) noexcept {
    const double weightShare = byWeight / PercentDivisor;
    const double alpha = bulkDensity / StoneDensity;
    return alpha * weightShare / (1.0 - weightShare * (1.0 - alpha)) * PercentDivisor;
}

std::optional<HorizonWater> horizonWater(const PtfModel& model, double fc, double pwp,
                                         const HorizonSoil& soil, double thicknessMm) noexcept {
    const bool assumed = std::isnan(soil.bulkDensity);
    const double density = assumed ? VolumeFactor : soil.bulkDensity;
    const bool soundStones = soil.coarseFragments >= 0.0 && soil.coarseFragments <= 100.0;
    if (!soundBulkDensity(density) || !soundStones || !(thicknessMm > 0.0) || !std::isfinite(fc) ||
        !std::isfinite(pwp)) {
        return std::nullopt;
    }
    const double stones = soil.basis == CoarseFragmentBasis::weight
                              ? coarseFragmentsByVolume(soil.coarseFragments, density)
                              : soil.coarseFragments;
    const double fineEarth = 1.0 - stones / PercentDivisor;
    // A % v/v result is the fine earth's already; only a % w/w one needs its density.
    const double toVolume = model.gravimetric ? density : 1.0;
    HorizonWater water;
    water.thetaFc = fc * toVolume * fineEarth;
    water.thetaPwp = pwp * toVolume * fineEarth;
    water.waterMm = (water.thetaFc - water.thetaPwp) / PercentDivisor * thicknessMm;
    // Stones by weight need the density too, whatever the model's unit.
    const bool stonesByWeight = soil.basis == CoarseFragmentBasis::weight && stones > 0.0;
    water.bulkDensityAssumed = assumed && (model.gravimetric || stonesByWeight);
    water.fcAbovePorosity = !assumed && fc * toVolume > porosity(density);
    return water;
}

std::string_view code(ProfileFlag flag) {
    constexpr std::array<std::string_view, allProfileFlags.size()> codes{"gap", "overlap", "depth",
                                                                         "missing"};
    return codes.at(static_cast<std::size_t>(flag));
}

std::string profileFlagsText(ProfileFlags flags, char separator) {
    std::string text;
    for (const ProfileFlag flag : allProfileFlags) {
        if (flags.contains(flag)) {
            if (!text.empty()) {
                text += separator;
            }
            text += code(flag);
        }
    }
    return text;
}

void Profile::add(double top, double bottom, std::optional<double> waterMm) {
    if (!(top >= 0.0 && bottom > top && std::isfinite(bottom))) {
        m_flags.add(ProfileFlag::depth);
        return;
    }
    if (!waterMm) {
        m_flags.add(ProfileFlag::missing);
    }
    const Horizon horizon{top, bottom, waterMm.value_or(std::nan(""))};
    // Kept in order as they come, after those at the same depths: most horizons come from the
    // top down and are appended, and the sums then need no sorted copy. The others are moved
    // into place one step at a time: a profile has a few, and a call to move them cost more.
    m_horizons.push_back(horizon);
    auto place = m_horizons.end() - 1;
    for (; place != m_horizons.begin() && byDepth(horizon, *(place - 1)); --place) {
        *place = *(place - 1);
    }
    *place = horizon;
}

void Profile::clear() noexcept {
    m_horizons.clear();
    m_flags = {};
}

ProfileWater Profile::water(const RootZone& zone) const {
    assert(zone.rootDepth > 0.0 && zone.depletion >= 0.0 && zone.depletion <= 1.0);
    ProfileWater sums;
    sums.flags = m_flags;
    for (const Horizon& horizon : m_horizons) {
        // The deepest bottom so far is where the horizons above reach.
        if (horizon.top > sums.depth) {
            sums.flags.add(ProfileFlag::gap);
        } else if (horizon.top < sums.depth) {
            sums.flags.add(ProfileFlag::overlap);
        }
        sums.depth = std::max(sums.depth, horizon.bottom);
        if (std::isnan(horizon.waterMm)) {
            continue;
        }
        const auto above = [&horizon](double depth) {
            return horizon.waterMm * shareAbove(horizon.top, horizon.bottom, depth);
        };
        sums.topsoil += above(TopsoilDepth);
        sums.subsoil += above(SubsoilDepth);
        sums.root += above(zone.rootDepth);
    }
    sums.readily = zone.depletion * sums.root;
    return sums;
}

} // namespace talvo::estimation
