#pragma once

// talvo.hydraulics: the water-retention curve and saturated conductivity over flat arrays,
// cell by cell as talvo-batch --hydraulics works row by row.

#include <pybind11/pybind11.h>

namespace talvo::python {

// The module's error codes beyond the engine's failure column (1 + FailureKind): 1 a cell
// with no number, 4 a text that holds no number, 5 a number the soil cannot have.
inline constexpr int MissingCode = 1;
inline constexpr int TypeMismatchCode = 4;
inline constexpr int OutOfRangeCode = 5;

// Adds hydraulics_flat and hydraulic_model to the module.
void addHydraulics(pybind11::module_& module);

} // namespace talvo::python
