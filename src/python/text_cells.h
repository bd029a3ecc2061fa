#pragma once

// Inputs given as texts, in numpy arrays of texts or of Python objects: each read as the
// window reads a typed one, never by numpy's or Python's own float().

#include "estimation/estimation.h"

#include <cstdint>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

namespace talvo::python {

// Cells read as numbers. `mismatched` is 1 where a text holds something that is no number (a
// type mismatch), 0 where it holds a number or nothing (empty, blank, NA: a missing cell) and
// for cells that are no text.
struct CellNumbers {
    pybind11::array_t<double> numbers;
    pybind11::array_t<std::uint8_t> mismatched;
};

// The cells of a flat, contiguous array as numbers. Texts: 'S' (bytes), 'U' (code points in
// the machine's byte order), or str and bytes in an object array. The object array's other
// cells are None (no number), ints and floats; `other` turns any other cell into a float or
// raises TypeError. Ctrl+C stops a long one.
CellNumbers cellNumbers(const pybind11::array& cells, estimation::DecimalSeparator separator,
                        const pybind11::function& other);

} // namespace talvo::python
