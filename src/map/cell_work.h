#pragma once

// What a run does with each window, whatever its map: the pipeline reads, estimates and
// writes the windows in order, and this reads a window's cells and estimates them.

#include "estimation/estimation.h"
#include "map/inputs.h"
#include "map/output.h"
#include "map/settings.h"
#include "map/window.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace talvo::map {

// One worker's estimates, kept from window to window.
class WindowEstimator {
public:
    WindowEstimator() = default;
    WindowEstimator(const WindowEstimator&) = delete;
    WindowEstimator& operator=(const WindowEstimator&) = delete;
    virtual ~WindowEstimator() = default;

    // Estimates a window of `count` cells into bands of the output's `type`, converting
    // `cells` in place and counting their sand, silt and clay into `contents`; returns the
    // cells estimated (the others are nodata).
    virtual std::uint64_t estimate(InputBuffers& cells, std::size_t count, ResultBuffers& results,
                                   OutputType type, estimation::ContentUnitTally& contents) = 0;
};

class CellWork {
public:
    CellWork() = default;
    CellWork(const CellWork&) = delete;
    CellWork& operator=(const CellWork&) = delete;
    virtual ~CellWork() = default;

    // The bands written.
    virtual std::size_t bands() const = 0;
    // Reads a window's cells as stored. Not thread-safe. Throws Error.
    virtual void read(const Window& window, InputBuffers& buffers) const = 0;
    // A worker's own estimator.
    virtual std::unique_ptr<WindowEstimator> estimator() const = 0;
};

} // namespace talvo::map
