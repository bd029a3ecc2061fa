#pragma once

// A table's input columns found by the names talvo-batch finds them by, for DataFrames and
// mappings of columns.

#include <pybind11/pybind11.h>

namespace talvo::python {

// Adds find_columns and ORGANIC_MATTER_PER_CARBON to the module.
void addInputColumns(pybind11::module_& module);

} // namespace talvo::python
