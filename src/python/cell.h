#pragma once

// One cell of an array estimate: the numbers a window would show for one soil, as plain
// values that numpy stores.

#include "estimation/catalogue.h"
#include "estimation/input_values.h"

#include <cstdint>

namespace talvo::python {

enum class Precision {
    fixed,  // two decimals, as the window finally shows
    general // 15 significant digits, as the window shows before rounding
};

// 0 for a cell that was estimated, otherwise 1 + the FailureKind: stored in arrays, so stable.
enum class ErrorCode : std::int8_t { none = 0, typeMismatch = 1, divisionByZero = 2, overflow = 3 };

// The results of one cell; NaN in all three when the cell failed.
struct CellResult {
    double fc;
    double pwp;
    double awc;
    std::uint16_t flags;
    std::int8_t texture; // -1: no class
    ErrorCode error;
};

CellResult estimateCell(const estimation::PtfModel& model, const estimation::InputValues& inputs,
                        Precision precision) noexcept;

} // namespace talvo::python
