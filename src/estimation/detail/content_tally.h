#pragma once

// Whether soils were given in g/kg where the models read percent: contents in percent lie
// within 0..100, and sand, silt and clay in g/kg sum to 1000, so at least one of them lies
// above 100. One rule for every front end that reads many soils at once.

#include <cmath>
#include <cstdint>

namespace talvo::estimation {

class ContentTally {
public:
    // A soil's sand, silt and clay as numbers (NaN for none); a soil without any is not
    // counted.
    void add(double sand, double silt, double clay) noexcept {
        const double largest = std::fmax(sand, std::fmax(silt, clay)); // NaN only for none
        if (std::isnan(largest)) {
            return;
        }
        ++m_soils;
        m_aboveHundred += largest > Hundred ? 1U : 0U;
    }

    ContentTally& operator+=(const ContentTally& other) noexcept {
        m_soils += other.m_soils;
        m_aboveHundred += other.m_aboveHundred;
        return *this;
    }

    std::uint64_t soils() const noexcept { return m_soils; }
    std::uint64_t aboveHundred() const noexcept { return m_aboveHundred; }

    // Most soils hold a content above 100: g/kg (or dg/kg) read as percent.
    bool looksLikeGramsPerKilogram() const noexcept { return m_aboveHundred > m_soils / 2; }

private:
    static constexpr double Hundred = 100.0;
    std::uint64_t m_soils = 0;
    std::uint64_t m_aboveHundred = 0;
};

} // namespace talvo::estimation
