#pragma once

// Units that give themselves away. Sand, silt and clay in percent sum to about 100; the same
// soils as fractions of 1 sum to about 1, and in g/kg lie above 100. The rule is here once, so
// that every front end warns of the same tables, rasters and arrays.

#include "estimation/detail/catalogue.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace talvo::estimation {

enum class ContentUnit : std::uint8_t {
    fraction,         // of 1: 0.4 for 40 %
    gramsPerKilogram, // 400 for 40 %
};

// Organic carbon as a front end may know it. TALVO PTF model (PSD + OC) reads g/kg; Rawls et
// al., 1982 reads the published equations' percent (g/100 g). Where no unit is given, the
// number goes to the model as entered, as the window has it.
enum class CarbonUnit : std::uint8_t {
    gramsPerKilogram, // "g/kg"
    percent,          // "%"
};
inline constexpr std::array allCarbonUnits{CarbonUnit::gramsPerKilogram, CarbonUnit::percent};

// "g/kg" or "%", as options and messages name the unit.
std::string_view name(CarbonUnit unit) noexcept;
// The unit `text` names exactly; nothing for any other text.
std::optional<CarbonUnit> carbonUnit(std::string_view text) noexcept;

// The unit the model reads organic carbon in.
CarbonUnit modelCarbonUnit(const PtfModel& model) noexcept;
// How many places the decimal point of OC in `given` moves into the model's unit: -1 from
// g/kg to %, 1 from % to g/kg, else 0. A scale factor takes it exactly.
int carbonPlaces(const PtfModel& model, CarbonUnit given) noexcept;
// OC in `given` as the model reads it, its shortest decimal text moved (5 g/kg is the double
// of "0.5" %, not 5 x 0.1). NaN and infinities stay.
double carbonFor(const PtfModel& model, CarbonUnit given, double oc) noexcept;
// The largest OC, in the model's unit, its equations were fitted on; nothing when the model
// has none on record. Rawls et al., 1982: 12.5 % organic matter, 7.25 % OC.
std::optional<double> carbonMaximum(const PtfModel& model) noexcept;

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
    // One soil's OC as `model` reads it: counted where the model has a carbon maximum and
    // OC is a number.
    void addCarbon(const PtfModel& model, double oc) noexcept;
    ContentUnitTally& operator+=(const ContentUnitTally& other) noexcept;

    // The unit most soils look like when it is not percent: fractions where sand, silt and
    // clay sum to within 0.05 of 1 on more than half the soils with all three; g/kg where a
    // content lies above 100 on more than half the soils with any. Nothing otherwise.
    std::optional<ContentUnit> misread() const noexcept;
    // The soils that look so, and those that were judged, for the message.
    std::uint64_t looking(ContentUnit unit) const noexcept;
    std::uint64_t judged(ContentUnit unit) const noexcept;

    // One line when `model` read OC above its carbon maximum: how many of its soils
    // (`soils`: "rows", "cells") did, ended by `remedy`, which names the front end's way of
    // declaring g/kg. Empty when none did. Told once per run: the carbon of a table in g/kg
    // read as % gives a plausible-looking number on every row.
    std::string carbonNote(const PtfModel& model, std::string_view soils,
                           std::string_view remedy) const;

private:
    std::uint64_t m_withAll = 0;  // soils with all three contents
    std::uint64_t m_fraction = 0; // of these, summing to about 1
    std::uint64_t m_withAny = 0;  // soils with any content
    std::uint64_t m_above = 0;    // of these, with one above 100
    // By model position: soils with OC read by a model with a carbon maximum, and of these
    // the soils above it.
    std::array<std::uint64_t, ModelCount> m_carbonJudged{};
    std::array<std::uint64_t, ModelCount> m_carbonAbove{};
};

} // namespace talvo::estimation
