#include "python/arrays.h"

#include "estimation/input_values.h"
#include "python/recent_cells.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace talvo::python {

namespace {

void estimateRange(const estimation::PtfModel& model, const InputColumns& inputs,
                   const OutputColumns& outputs, std::size_t first, std::size_t last,
                   Precision precision, RecentCells& recent) noexcept {
    for (std::size_t i = first; i < last; ++i) {
        const std::array numbers{inputs[0].at(i), inputs[1].at(i), inputs[2].at(i),
                                 inputs[3].at(i)};
        const RecentCells::Key key = RecentCells::key(numbers);
        const CellResult* known = recent.find(key);
        const CellResult cell = known != nullptr
                                    ? *known
                                    : estimateCell(model,
                                                   estimation::inputNumbers(numbers[0], numbers[1],
                                                                            numbers[2], numbers[3]),
                                                   precision);
        if (known == nullptr) {
            recent.remember(key, cell);
        }
        outputs.fc[i] = cell.fc;
        outputs.pwp[i] = cell.pwp;
        outputs.awc[i] = cell.awc;
        outputs.flags[i] = cell.flags;
        outputs.texture[i] = cell.texture;
        outputs.error[i] = static_cast<std::int8_t>(cell.error);
    }
}

} // namespace

void estimateCells(const estimation::PtfModel& model, const InputColumns& inputs,
                   const OutputColumns& outputs, std::size_t count, Precision precision,
                   unsigned threads) {
    const std::size_t available = threads != 0 ? threads : std::thread::hardware_concurrency();
    const std::size_t parts =
        std::clamp<std::size_t>(count / CellsPerThread, 1, std::max<std::size_t>(available, 1));
    // Allocated here, so that running out of memory fails the call, not a thread.
    std::vector<RecentCells> recent(parts);
    // The calling thread takes the last part.
    const std::size_t step = (count + parts - 1) / parts;
    std::vector<std::jthread> workers;
    workers.reserve(parts - 1);
    for (std::size_t first = 0; first + step < count; first += step) {
        RecentCells& own = recent[first / step];
        workers.emplace_back([&, first] {
            estimateRange(model, inputs, outputs, first, first + step, precision, own);
        });
    }
    estimateRange(model, inputs, outputs, workers.size() * step, count, precision, recent.back());
}

} // namespace talvo::python
