#pragma once

// talvo.estimate(sd=...): the percentiles of FC, PWP and AWC over soils drawn around each
// cell, as talvo-batch --sd gives them for a row.

#include <pybind11/pybind11.h>

namespace talvo::python {

// Adds estimate_spreads to the module.
void addSpreads(pybind11::module_& module);

} // namespace talvo::python
