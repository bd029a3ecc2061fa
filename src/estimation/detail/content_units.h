#pragma once

// Units that give themselves away. Sand, silt and clay in percent sum to about 100; the same
// soils as fractions of 1 sum to about 1, and in g/kg lie above 100. The rule is here once, so
// that every front end warns of the same tables, rasters and arrays.

#include <cstdint>
#include <optional>

namespace talvo::estimation {

enum class ContentUnit : std::uint8_t {
    fraction,         // of 1: 0.4 for 40 %
    gramsPerKilogram, // 400 for 40 %
};

// Counts soils as they are read; any order, and tallies of parts of a table add up.
class ContentUnitTally {
public:
    // One soil's contents; NaN or an infinity where one is no number.
    void add(double sand, double silt, double clay) noexcept;
    // One soil that textureClass() gave a class: each content lies within 0..100 and they sum
    // to within 1 of 100, so it counts as add() would count it, without its tests. A table
    // tallies every row, and knows the class already.
    void addClassed() noexcept {
        ++m_withAll;
        ++m_withAny;
    }
    ContentUnitTally& operator+=(const ContentUnitTally& other) noexcept;

    // The unit most soils look like when it is not percent: fractions where sand, silt and
    // clay sum to within 0.05 of 1 on more than half the soils with all three; g/kg where a
    // content lies above 100 on more than half the soils with any. Nothing otherwise.
    std::optional<ContentUnit> misread() const noexcept;
    // The soils that look so, and those that were judged, for the message.
    std::uint64_t looking(ContentUnit unit) const noexcept;
    std::uint64_t judged(ContentUnit unit) const noexcept;

private:
    std::uint64_t m_withAll = 0;  // soils with all three contents
    std::uint64_t m_fraction = 0; // of these, summing to about 1
    std::uint64_t m_withAny = 0;  // soils with any content
    std::uint64_t m_above = 0;    // of these, with one above 100
};

} // namespace talvo::estimation
