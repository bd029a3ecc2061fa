#pragma once

// Result arrays for numpy. Large ones start on a 2 MiB boundary, so that the kernel can back
// them with huge pages from their first byte to their last.

#include <pybind11/numpy.h>

namespace talvo::python {

// An uninitialised array of `count` values that owns its memory. Throws std::bad_alloc.
template <typename Value> pybind11::array_t<Value> resultColumn(pybind11::ssize_t count);

} // namespace talvo::python
