#pragma once

// The estimates of a window's cells, on the thread of one worker.

#include "estimation/catalogue.h"
#include "estimation/float_text.h"
#include "estimation/recent_cells.h"
#include "map/cell.h"
#include "map/inputs.h"
#include "map/output.h"
#include "map/settings.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace talvo::map {

// 16384 recent cells, 1 MiB a worker.
using CellCache = estimation::RecentCells<CellResult, 14>;

// A cell's results from its four cells as read. The cache compares cells as read, so that a
// cell that repeats is neither converted nor estimated again; two-decimal maps, which take
// the lanes, have none.
class CellEstimates {
public:
    CellEstimates(const estimation::PtfModel& model, const InputRasters& inputs,
                  Precision precision);

    CellResult operator()(const CellCache::Numbers& cells) const;

    // Calls store(i, results) for each of a window's `count` cells, which it may convert in
    // place. For estimateWindow, which is where it is defined.
    template <typename Store> void each(InputBuffers& cells, std::size_t count, Store store);

private:
    template <typename Store>
    void eachTwoDecimal(InputBuffers& cells, std::size_t count, Store store);

    const estimation::PtfModel& m_model;
    const InputRasters& m_inputs;
    Precision m_precision;
    mutable estimation::RecentFloatTexts m_floatTexts; // before the cache, which uses it
    std::optional<CellCache> m_cache;
};

// Estimates a window of `cells` cells into bands of the output's `type`, converting `inputs`
// in place; returns the cells estimated.
std::uint64_t estimateWindow(CellEstimates& estimates, InputBuffers& inputs, std::size_t cells,
                             ResultBuffers& results, OutputType type);

} // namespace talvo::map
