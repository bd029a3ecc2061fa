#include "python/arrays.h"

#include "estimation/estimation.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <span>
#include <thread>
#include <vector>

namespace talvo::python {

namespace {

// What a thread takes at a time: some 5 to 10 ms of work, so that Ctrl+C, looked for between
// blocks, stops a call soon. Two-decimal cells: 2 MiB of each input; 15-digit ones cost some
// eight times more a cell.
constexpr std::size_t cellsPerBlock(Precision precision) noexcept {
    return precision == Precision::fixed ? std::size_t{1} << 18 : std::size_t{1} << 16;
}

// Cells [first, last) through the engine. Its failure column is the module's int8 one: a
// failure is 1 + its kind there too.
void estimateRange(estimation::SoilEstimator& estimator, const InputColumns& inputs,
                   const OutputColumns& outputs, std::size_t first, std::size_t last) {
    estimation::SoilColumns soils;
    soils.count = last - first;
    for (std::size_t input = 0; input < soils.inputs.size(); ++input) {
        const InputColumn& column = inputs[input];
        soils.inputs[input] = column.repeated
                                  ? std::span<const double>(column.data, 1)
                                  : std::span<const double>(column.data + first, soils.count);
    }
    estimator.estimate(soils, {outputs.fc + first, outputs.pwp + first, outputs.awc + first,
                               outputs.flags + first, outputs.texture + first,
                               reinterpret_cast<std::uint8_t*>(outputs.error + first)});
}

} // namespace

bool estimateCells(const estimation::PtfModel& model, const InputColumns& inputs,
                   const OutputColumns& outputs, std::size_t count, Precision precision,
                   const std::function<bool()>& interrupted, unsigned threads,
                   estimation::ParticleSizeScale scale) {
    const std::size_t available = threads != 0 ? threads : std::thread::hardware_concurrency();
    const std::size_t parts =
        std::clamp<std::size_t>(count / CellsPerThread, 1, std::max<std::size_t>(available, 1));
    // Made here, so that running out of memory fails the call, not a thread: one for the
    // calling thread and one for each worker.
    estimation::SoilEstimator own(model, precision, scale);
    std::vector<estimation::SoilEstimator> estimators;
    estimators.reserve(parts - 1);
    for (std::size_t part = 0; part + 1 < parts; ++part) {
        estimators.emplace_back(model, precision, scale);
    }
    // Blocks are taken in turn rather than split evenly, so that a core that other work slows
    // down takes fewer and the call does not wait for it; an array of only a few blocks' cells
    // is split evenly, so that every thread still has a share.
    const std::size_t block = std::min(cellsPerBlock(precision), (count + parts - 1) / parts);
    std::atomic<std::size_t> nextBlock{0};
    std::atomic<bool> stopped{false};
    // Only the calling thread asks, as only it may take the GIL; the others see `stopped`.
    const auto takeBlocks = [&](estimation::SoilEstimator& estimator, bool asks) {
        while (!stopped.load(std::memory_order_relaxed)) {
            const std::size_t first = nextBlock.fetch_add(block);
            if (first >= count) {
                return;
            }
            estimateRange(estimator, inputs, outputs, first, std::min(count, first + block));
            if (asks && interrupted()) {
                stopped.store(true, std::memory_order_relaxed);
            }
        }
    };
    std::vector<std::jthread> workers;
    workers.reserve(parts - 1);
    for (std::size_t part = 0; part + 1 < parts; ++part) {
        workers.emplace_back([&, part] { takeBlocks(estimators[part], false); });
    }
    // The calling thread takes part too.
    takeBlocks(own, true);
    return !stopped.load(std::memory_order_relaxed);
}

} // namespace talvo::python
