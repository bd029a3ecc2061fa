#include "estimation/detail/content_units.h"

#include <cmath>
#include <limits>

namespace talvo::estimation {

void ContentUnitTally::add(double sand, double silt, double clay) noexcept {
    constexpr double FractionTolerance = 0.05;
    constexpr double Percent = 100.0;
    constexpr double Largest = std::numeric_limits<double>::max();
    // A table adds every row: each count is one test of the three, not a loop over them. NaN
    // fails every comparison, and a sum with NaN or an infinity in it is no fraction's.
    const bool finiteSand = std::fabs(sand) <= Largest;
    const bool finiteSilt = std::fabs(silt) <= Largest;
    const bool finiteClay = std::fabs(clay) <= Largest;
    m_withAll += finiteSand && finiteSilt && finiteClay ? 1U : 0U;
    m_fraction += std::fabs(sand + silt + clay - 1.0) <= FractionTolerance ? 1U : 0U;
    m_withAny += finiteSand || finiteSilt || finiteClay ? 1U : 0U;
    const auto above = [](double content) { return content > Percent && content <= Largest; };
    m_above += above(sand) || above(silt) || above(clay) ? 1U : 0U;
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
