#pragma once

// One cell of the map: the calculator's estimate over numbers that arrive as numbers.

#include "estimation/catalogue.h"
#include "estimation/input_values.h"
#include "estimation/lanes.h"
#include "map/settings.h"

#include <array>
#include <cstdint>

namespace talvo::map {

struct CellResult {
    std::array<double, 3> values{}; // fc, pwp, awc as the chosen texts read back
    std::uint16_t flags = 0;        // plausibility bits
    std::uint8_t texture = 0;       // class number or NoTextureClass
    bool estimated = false;         // false: nodata in every band
};

// What a table row holding the same numbers gives. An input the model reads that is not a
// finite number makes the estimate fail, so it is not started.
CellResult estimateCell(const estimation::PtfModel& model, const estimation::InputValues& inputs,
                        Precision precision) noexcept;

// What estimateCell gives, with two decimals, for LaneCount cells at once.
using CellLanes = std::array<CellResult, estimation::LaneCount>;
CellLanes estimateTwoDecimalLanes(const estimation::PtfModel& model,
                                  const estimation::InputLanes& inputs) noexcept;

} // namespace talvo::map
