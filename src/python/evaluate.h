#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <string>
#include <vector>

namespace talvo::python {

using EvaluateColumn =
    pybind11::array_t<double, pybind11::array::c_style | pybind11::array::forcecast>;

// The scores of the models at `positions` against measured columns (an empty one: not
// measured; an empty bd: none), as rows of the metrics table, and the line on a unit the
// measurements look misread in (empty when none); `unit` as talvo-batch's --measured-unit
// takes it; `usda`: sand and silt on the USDA scale.
pybind11::tuple evaluateColumns(const std::vector<int>& positions, const EvaluateColumn& sand,
                                const EvaluateColumn& silt, const EvaluateColumn& clay,
                                const EvaluateColumn& oc, const EvaluateColumn& fc,
                                const EvaluateColumn& pwp, const EvaluateColumn& awc,
                                const EvaluateColumn& bd, const std::string& unit, bool usda);

} // namespace talvo::python
