#pragma once

// The array loop under talvo.estimate: one flat run of cells, split over threads when large.

#include "estimation/estimation.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace talvo::python {

using estimation::Precision;

// One input over the cells: a contiguous run of numbers, or one number for every cell.
struct InputColumn {
    const double* data;
    bool repeated; // data holds one number for every cell
};

// Sand, silt, clay and OC.
using InputColumns = std::array<InputColumn, 4>;

// Where the results go, each with room for every cell.
struct OutputColumns {
    double* fc;
    double* pwp;
    double* awc;
    std::uint16_t* flags;
    std::uint8_t* texture; // class number, or estimation::NoTexture
    std::int8_t* error;    // 0, or 1 + the estimation::FailureKind
};

// Below this many cells per thread, starting a thread costs more than it saves.
inline constexpr std::size_t CellsPerThread = 1U << 16U;

// Estimates `count` cells. Thread-safe; `threads` 0 means the hardware's concurrency. The
// calling thread asks `interrupted` between its blocks; once it says so, every thread stops
// after the block it is on and the call returns false, the outputs filled in part. Sand, silt
// and clay are given on `scale`.
bool estimateCells(
    const estimation::PtfModel& model, const InputColumns& inputs, const OutputColumns& outputs,
    std::size_t count, Precision precision, const std::function<bool()>& interrupted,
    unsigned threads = 0,
    estimation::ParticleSizeScale scale = estimation::ParticleSizeScale::international);

} // namespace talvo::python
