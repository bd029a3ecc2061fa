#include "python/arrays.h"

#include "estimation/input_values.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace talvo::python {

namespace {

void estimateRange(const estimation::PtfModel& model, const InputColumns& inputs,
                   const OutputColumns& outputs, std::size_t first, std::size_t last,
                   Precision precision) noexcept {
    for (std::size_t i = first; i < last; ++i) {
        const CellResult cell =
            estimateCell(model,
                         estimation::inputNumbers(inputs[0].at(i), inputs[1].at(i), inputs[2].at(i),
                                                  inputs[3].at(i)),
                         precision);
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
    if (parts == 1) {
        estimateRange(model, inputs, outputs, 0, count, precision);
        return;
    }
    // The calling thread takes the last part.
    const std::size_t step = (count + parts - 1) / parts;
    std::vector<std::jthread> workers;
    workers.reserve(parts - 1);
    for (std::size_t first = 0; first + step < count; first += step) {
        workers.emplace_back(
            [&, first] { estimateRange(model, inputs, outputs, first, first + step, precision); });
    }
    estimateRange(model, inputs, outputs, workers.size() * step, count, precision);
}

} // namespace talvo::python
