#include "python/arrays.h"

#include "estimation/input_values.h"
#include "estimation/recent_cells.h"
#include "estimation/result_values.h"
#include "python/texture.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cstring>
#include <thread>
#include <vector>

namespace talvo::python {

namespace {

// 8192 recent cells, 512 KiB: within a core's cache.
using RecentCells = estimation::RecentCells<CellResult, 13>;

void store(const OutputColumns& outputs, std::size_t i, const CellResult& cell) noexcept {
    outputs.fc[i] = cell.fc;
    outputs.pwp[i] = cell.pwp;
    outputs.awc[i] = cell.awc;
    outputs.flags[i] = cell.flags;
    outputs.texture[i] = cell.texture;
    outputs.error[i] = static_cast<std::int8_t>(cell.error);
}

CellResult estimateNumbers(const estimation::PtfModel& model, const RecentCells::Numbers& numbers,
                           Precision precision) noexcept {
    return estimateCell(
        model, estimation::inputNumbers(numbers[0], numbers[1], numbers[2], numbers[3]), precision);
}

// The two-decimal cells from `first` on, LaneCount of them at once; a cell the lanes leave
// takes estimateCell.
void estimateLanes(const estimation::PtfModel& model, const InputColumns& inputs,
                   const OutputColumns& outputs, std::size_t first) noexcept {
    estimation::InputLanes lanes;
    for (std::size_t input = 0; input < lanes.size(); ++input) {
        const InputColumn& column = inputs[input];
        if (column.repeated) {
            lanes[input] = estimation::Lanes(column.data[0]);
        } else {
            std::memcpy(lanes[input].values.data(), column.data + first, sizeof(estimation::Lanes));
        }
    }
    const estimation::ResultLanes results = estimation::twoDecimalLanes(model, lanes);
    // Whole lanes at once; the few cells the lanes leave are written again below. memcpy, as
    // std::copy_n became a call to memmove for each lane.
    std::memcpy(outputs.fc + first, results.values[0].values.data(), sizeof(estimation::Lanes));
    std::memcpy(outputs.pwp + first, results.values[1].values.data(), sizeof(estimation::Lanes));
    std::memcpy(outputs.awc + first, results.values[2].values.data(), sizeof(estimation::Lanes));
    std::fill_n(outputs.error + first, estimation::LaneCount,
                static_cast<std::int8_t>(ErrorCode::none));
    for (std::size_t lane = 0; lane < estimation::LaneCount; ++lane) {
        const std::size_t i = first + lane;
        const auto number = [&](std::size_t input) { return lanes[input].values[lane]; };
        outputs.flags[i] = results.flags[lane].bits();
        outputs.texture[i] = textureCode(number(0), number(1), number(2));
        if (!results.answered[lane]) {
            store(outputs, i,
                  estimateNumbers(model, {number(0), number(1), number(2), number(3)},
                                  Precision::fixed));
        }
    }
}

// The first cells of a range tell whether its soils repeat. Where almost none do (contents
// with two random decimals), looking each one up costs more than the few hits save.
constexpr std::size_t SampleCells = std::size_t{1} << 12;
constexpr std::size_t FewestHits = SampleCells / 32;

// What a thread takes at a time: far more than a block's sample, and some 5 to 10 ms of work,
// so that Ctrl+C, looked for between blocks, stops a call soon. Two-decimal cells: 2 MiB of
// each input; 15-digit ones cost some eight times more a cell.
constexpr std::size_t cellsPerBlock(Precision precision) noexcept {
    return precision == Precision::fixed ? std::size_t{1} << 18 : std::size_t{1} << 16;
}

void estimateRange(const estimation::PtfModel& model, const InputColumns& inputs,
                   const OutputColumns& outputs, std::size_t first, std::size_t last,
                   Precision precision, RecentCells* recent) noexcept {
    const auto numbers = [&](std::size_t i) {
        return RecentCells::Numbers{inputs[0].at(i), inputs[1].at(i), inputs[2].at(i),
                                    inputs[3].at(i)};
    };
    std::size_t i = first;
    if (precision == Precision::fixed) {
        // Lanes cost less than a look-up among the recent cells, even where soils repeat.
        for (; i + estimation::LaneCount <= last; i += estimation::LaneCount) {
            estimateLanes(model, inputs, outputs, i);
        }
    } else {
        assert(recent != nullptr); // 15-digit results always have their recent cells
        std::size_t misses = 0;
        const auto compute = [&](const RecentCells::Numbers& cell) {
            ++misses;
            return estimateNumbers(model, cell, precision);
        };
        const std::size_t sampled = std::min(last - first, SampleCells);
        for (; i < first + sampled; ++i) {
            store(outputs, i, recent->find(numbers(i), compute));
        }
        if (sampled - misses >= FewestHits) {
            for (; i < last; ++i) {
                store(outputs, i, recent->find(numbers(i), compute));
            }
        }
    }
    for (; i < last; ++i) {
        store(outputs, i, estimateNumbers(model, numbers(i), precision));
    }
}

} // namespace

bool estimateCells(const estimation::PtfModel& model, const InputColumns& inputs,
                   const OutputColumns& outputs, std::size_t count, Precision precision,
                   const std::function<bool()>& interrupted, unsigned threads) {
    const std::size_t available = threads != 0 ? threads : std::thread::hardware_concurrency();
    const std::size_t parts =
        std::clamp<std::size_t>(count / CellsPerThread, 1, std::max<std::size_t>(available, 1));
    // Allocated here, so that running out of memory fails the call, not a thread; only the
    // 15-digit results look among recent cells.
    std::vector<RecentCells> recent;
    if (precision == Precision::general) {
        recent.assign(parts, RecentCells([&](const RecentCells::Numbers& numbers) {
                          return estimateNumbers(model, numbers, precision);
                      }));
    }
    // Blocks are taken in turn rather than split evenly, so that a core that other work slows
    // down takes fewer and the call does not wait for it; an array of only a few blocks' cells
    // is split evenly, so that every thread still has a share.
    const std::size_t block = std::min(cellsPerBlock(precision), (count + parts - 1) / parts);
    std::atomic<std::size_t> nextBlock{0};
    std::atomic<bool> stopped{false};
    // Only the calling thread asks, as only it may take the GIL; the others see `stopped`.
    const auto takeBlocks = [&](RecentCells* own, bool asks) {
        while (!stopped.load(std::memory_order_relaxed)) {
            const std::size_t first = nextBlock.fetch_add(block);
            if (first >= count) {
                return;
            }
            estimateRange(model, inputs, outputs, first, std::min(count, first + block), precision,
                          own);
            if (asks && interrupted()) {
                stopped.store(true, std::memory_order_relaxed);
            }
        }
    };
    std::vector<std::jthread> workers;
    workers.reserve(parts - 1);
    for (std::size_t part = 0; part + 1 < parts; ++part) {
        workers.emplace_back(
            [&, part] { takeBlocks(recent.empty() ? nullptr : &recent[part], false); });
    }
    // The calling thread takes part too.
    takeBlocks(recent.empty() ? nullptr : &recent.back(), true);
    return !stopped.load(std::memory_order_relaxed);
}

} // namespace talvo::python
