#include "python/arrays.h"

#include "base/ordered_pipeline.h"
#include "estimation/estimation.h"

#include <algorithm>
#include <span>
#include <thread>

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
    const auto workers = static_cast<unsigned>(
        std::clamp<std::size_t>(count / CellsPerThread, 1, std::max<std::size_t>(available, 1)));
    // An array of only a few blocks' cells is split evenly, so that every thread has a share.
    const std::size_t block = std::min(cellsPerBlock(precision), (count + workers - 1) / workers);
    struct Cells {
        std::size_t first = 0;
        std::size_t last = 0;
    };
    std::size_t next = 0;
    const auto read = [&](Cells& cells) {
        cells = {next, std::min(count, next + block)};
        next = cells.last;
        return cells.first < cells.last;
    };
    // Made on the calling thread, so that running out of memory fails the call, not a thread.
    const auto makeWorker = [&] {
        return [&, estimator =
                       estimation::SoilEstimator(model, precision, scale)](Cells& cells) mutable {
            estimateRange(estimator, inputs, outputs, cells.first, cells.last);
        };
    };
    // Only the calling thread asks, as only it may take the GIL.
    struct Interrupted {};
    const auto done = [&](Cells& /*cells*/) {
        if (interrupted()) {
            throw Interrupted{};
        }
    };
    try {
        base::OrderedPipeline<Cells>(workers, workers + 1).run(read, makeWorker, done);
    } catch (const Interrupted&) {
        return false;
    }
    return true;
}

} // namespace talvo::python
