#include "estimation/estimation.h"

#include <cmath>
#include <cstddef>
#include <limits>
#include <string>

namespace talvo::estimation {

namespace {

// How each model reads organic carbon, by position.
struct CarbonReading {
    CarbonUnit unit = CarbonUnit::gramsPerKilogram; // as the window labels it
    double maximum = std::numeric_limits<double>::infinity();
    std::string_view calibration; // the maximum as messages give it
};
// Rawls et al. fitted their soils up to 12.5 % organic matter; OC = OM / 1.724.
constexpr CarbonReading Rawls{
    .unit = CarbonUnit::percent, .maximum = 7.25, .calibration = "7.25 % (12.5 % organic matter)"};
constexpr std::array<CarbonReading, ModelCount> CarbonReadings{{{}, {}, Rawls, {}, {}, {}, {}}};

const CarbonReading& readingOf(const PtfModel& model) noexcept {
    return CarbonReadings[static_cast<std::size_t>(model.position)];
}

} // namespace

std::string_view name(CarbonUnit unit) noexcept {
    return unit == CarbonUnit::percent ? "%" : "g/kg";
}

CarbonUnit modelCarbonUnit(const PtfModel& model) noexcept {
    return readingOf(model).unit;
}

int carbonPlaces(const PtfModel& model, CarbonUnit given) noexcept {
    const CarbonUnit read = modelCarbonUnit(model);
    if (read == given) {
        return 0;
    }
    return read == CarbonUnit::percent ? -1 : 1; // 10 g/kg are 1 %
}

double carbonFor(const PtfModel& model, CarbonUnit given, double oc) noexcept {
    const int places = carbonPlaces(model, given);
    return places == 0 ? oc : shiftedDecimal(oc, places);
}

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

void ContentUnitTally::addCarbon(const PtfModel& model, double oc) noexcept {
    const double maximum = readingOf(model).maximum;
    if (std::isinf(maximum) || !std::isfinite(oc)) {
        return;
    }
    const auto position = static_cast<std::size_t>(model.position);
    ++m_carbonJudged[position];
    m_carbonAbove[position] += oc > maximum ? 1U : 0U;
}

ContentUnitTally& ContentUnitTally::operator+=(const ContentUnitTally& other) noexcept {
    m_withAll += other.m_withAll;
    m_fraction += other.m_fraction;
    m_withAny += other.m_withAny;
    m_above += other.m_above;
    for (std::size_t i = 0; i < m_carbonJudged.size(); ++i) {
        m_carbonJudged[i] += other.m_carbonJudged[i];
        m_carbonAbove[i] += other.m_carbonAbove[i];
    }
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

std::string ContentUnitTally::carbonNote(const PtfModel& model, std::string_view soils,
                                         std::string_view remedy) const {
    const auto position = static_cast<std::size_t>(model.position);
    if (m_carbonAbove[position] == 0) {
        return {};
    }
    const std::string unit(name(modelCarbonUnit(model)));
    return "on " + std::to_string(m_carbonAbove[position]) + " of " +
           std::to_string(m_carbonJudged[position]) + " " + std::string(soils) + ", " +
           std::string(model.listText) + " reads organic carbon above " +
           std::string(readingOf(model).calibration) +
           ", the most it was fitted on: it reads OC in " + unit + "; " + std::string(remedy);
}

} // namespace talvo::estimation
