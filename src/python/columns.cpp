#include "python/columns.h"

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <sys/mman.h>

namespace py = pybind11;

namespace talvo::python {

namespace {

constexpr std::size_t HugePage = std::size_t{2} << 20U;

// numpy advises huge pages too, but its arrays start wherever malloc puts them, so the 2 MiB
// around each end fault in 4 KiB at a time. A fault costs some 12 us on a virtual machine:
// with six result columns, that was a third of a 10-million-cell call. Below two huge pages
// a column gains too little for the rounding it wastes.
constexpr std::size_t SmallestHugeColumn = 2 * HugePage;

struct FreeMemory {
    void operator()(void* memory) const noexcept { std::free(memory); }
};

} // namespace

template <typename Value> py::array_t<Value> resultColumn(py::ssize_t count) {
    assert(count >= 0);
    const std::size_t bytes = static_cast<std::size_t>(count) * sizeof(Value);
    if (bytes < SmallestHugeColumn) {
        return py::array_t<Value>(count);
    }
    // aligned_alloc wants a whole number of alignments; the rounding is never touched.
    const std::size_t rounded = (bytes + HugePage - 1) / HugePage * HugePage;
    std::unique_ptr<void, FreeMemory> memory(std::aligned_alloc(HugePage, rounded));
    if (!memory) {
        throw std::bad_alloc();
    }
#ifdef MADV_HUGEPAGE
    // Advice only: where the kernel declines, the column still works, in small pages.
    madvise(memory.get(), rounded, MADV_HUGEPAGE);
#endif
    const py::capsule owner(memory.get(), [](void* owned) { std::free(owned); });
    auto* const values = static_cast<Value*>(memory.release());
    return py::array_t<Value>(count, values, owner);
}

template py::array_t<double> resultColumn<double>(py::ssize_t);
template py::array_t<std::uint16_t> resultColumn<std::uint16_t>(py::ssize_t);
template py::array_t<std::int8_t> resultColumn<std::int8_t>(py::ssize_t);
template py::array_t<std::uint8_t> resultColumn<std::uint8_t>(py::ssize_t);

} // namespace talvo::python
