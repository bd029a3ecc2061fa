#include "estimation/estimation.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstddef>

namespace talvo::estimation {

namespace {

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

namespace {

// FC and PWP in % w/w where `gravimetric`, else in % v/v of the fine earth.
std::optional<HorizonWater> waterOf(bool gravimetric, double fc, double pwp,
                                    const HorizonSoil& soil, double thicknessMm,
                                    const MeasuredWater& measured) noexcept {
    const bool assumed = std::isnan(soil.bulkDensity);
    const double density = assumed ? VolumeFactor : soil.bulkDensity;
    constexpr double ThickestMm = 2 * DeepestHorizon * 10.0;
    const bool fcMeasured = !std::isnan(measured.fc);
    const bool pwpMeasured = !std::isnan(measured.pwp);
    if (!soundBulkDensity(density) || !soundStones(soil.coarseFragments) ||
        !(thicknessMm > 0.0 && thicknessMm <= ThickestMm) ||
        (fcMeasured && !soundWaterContent(measured.fc)) ||
        (pwpMeasured && !soundWaterContent(measured.pwp)) ||
        (fcMeasured && pwpMeasured && measured.fc < measured.pwp)) {
        return std::nullopt;
    }
    // A % v/v result is the fine earth's already, as a measured value is; only a % w/w one
    // needs its density.
    const double toVolume = gravimetric ? density : 1.0;
    const double fcVolume = fcMeasured ? measured.fc : fc * toVolume;
    const double pwpVolume = pwpMeasured ? measured.pwp : pwp * toVolume;
    if (!std::isfinite(fcVolume) || !std::isfinite(pwpVolume)) {
        return std::nullopt;
    }
    const double stones = soil.basis == CoarseFragmentBasis::weight
                              ? coarseFragmentsByVolume(soil.coarseFragments, density)
                              : soil.coarseFragments;
    const double fineEarth = 1.0 - stones / PercentDivisor;
    HorizonWater water;
    water.thetaFc = fcVolume * fineEarth;
    water.thetaPwp = pwpVolume * fineEarth;
    water.waterMm = (water.thetaFc - water.thetaPwp) / PercentDivisor * thicknessMm;
    if (!std::isfinite(water.waterMm)) {
        return std::nullopt; // results near the double range's end, counted by volume
    }
    // Stones by weight need the density too, whatever the model's unit; measured water
    // does not.
    const bool stonesByWeight = soil.basis == CoarseFragmentBasis::weight && stones > 0.0;
    const bool estimateByWeight = gravimetric && !(fcMeasured && pwpMeasured);
    water.bulkDensityAssumed = assumed && (estimateByWeight || stonesByWeight);
    water.fcAbovePorosity = !assumed && fcVolume > porosity(density);
    water.measured = fcMeasured || pwpMeasured;
    water.fcNotAbovePwp = water.measured && fcVolume <= pwpVolume;
    return water;
}

} // namespace

std::optional<HorizonWater> horizonWater(const PtfModel& model, double fc, double pwp,
                                         const HorizonSoil& soil, double thicknessMm,
                                         const MeasuredWater& measured) noexcept {
    return waterOf(model.gravimetric, fc, pwp, soil, thicknessMm, measured);
}

std::optional<HorizonWater> curveHorizonWater(double fc, double pwp, const HorizonSoil& soil,
                                              double thicknessMm) noexcept {
    return waterOf(false, fc, pwp, soil, thicknessMm, {});
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
    if (!(top >= 0.0 && bottom > top && soundDepth(bottom))) {
        m_flags.add(ProfileFlag::depth);
        return;
    }
    if (!waterMm) {
        m_flags.add(ProfileFlag::missing);
    }
    const Horizon horizon{top, bottom, waterMm.value_or(std::nan(""))};
    // Most horizons come from the top down and stay in order as they come; any others are
    // put in place by one stable sort when the sums are asked for, so that a profile listed
    // bottom-up costs n log n, not n².
    m_inOrder = m_inOrder && (m_horizons.empty() || !byDepth(horizon, m_horizons.back()));
    m_horizons.push_back(horizon);
}

void Profile::clear() noexcept {
    m_horizons.clear();
    m_inOrder = true;
    m_flags = {};
}

ProfileWater Profile::water(const RootZone& zone) const {
    assert(zone.rootDepth > 0.0 && zone.depletion >= 0.0 && zone.depletion <= 1.0);
    if (m_inOrder) {
        return sum(m_horizons, m_flags, zone);
    }
    // Stable: horizons at the same depths are summed in the order they came.
    std::vector<Horizon> sorted = m_horizons;
    std::stable_sort(sorted.begin(), sorted.end(), byDepth);
    return sum(sorted, m_flags, zone);
}

ProfileWater Profile::sum(std::span<const Horizon> horizons, ProfileFlags flags,
                          const RootZone& zone) {
    ProfileWater sums;
    sums.flags = flags;
    for (const Horizon& horizon : horizons) {
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
