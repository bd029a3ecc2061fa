#include "estimation/detail/content_units.h"

#include <cmath>

namespace talvo::estimation {

void ContentUnitTally::add(double sand, double silt, double clay) noexcept {
    constexpr double FractionTolerance = 0.05;
    constexpr double Percent = 100.0;
    const bool all = std::isfinite(sand) && std::isfinite(silt) && std::isfinite(clay);
    if (all) {
        ++m_withAll;
        m_fraction += std::fabs(sand + silt + clay - 1.0) <= FractionTolerance ? 1U : 0U;
    }
    bool any = false;
    bool above = false;
    for (const double content : {sand, silt, clay}) {
        if (std::isfinite(content)) {
            any = true;
            above = above || content > Percent;
        }
    }
    m_withAny += any ? 1U : 0U;
    m_above += above ? 1U : 0U;
}

ContentUnitTally& ContentUnitTally::operator+=(const ContentUnitTally& other) noexcept {
    m_withAll += other.m_withAll;
    m_fraction += other.m_fraction;
    m_withAny += other.m_withAny;
    m_above += other.m_above;
    return *this;
}

std::optional<ContentUnit> ContentUnitTally::misread() const noexcept {
    for (const ContentUnit unit : {ContentUnit::fraction, ContentUnit::gramsPerKilogram}) {
        if (looking(unit) * 2 > judged(unit)) {
            return unit;
        }
    }
    return std::nullopt;
}

std::uint64_t ContentUnitTally::looking(ContentUnit unit) const noexcept {
    return unit == ContentUnit::fraction ? m_fraction : m_above;
}

std::uint64_t ContentUnitTally::judged(ContentUnit unit) const noexcept {
    return unit == ContentUnit::fraction ? m_withAll : m_withAny;
}

} // namespace talvo::estimation
