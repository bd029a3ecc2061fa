#pragma once

// The estimates of a window's cells, on the thread of one worker.

#include "estimation/estimation.h"
#include "map/inputs.h"
#include "map/output.h"
#include "map/settings.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace talvo::map {

// Each cell as talvo-batch estimates the same numbers written as text: the cells are turned
// into numbers and go through the engine, which chooses its quick paths itself.
class CellEstimates {
public:
    CellEstimates(const estimation::PtfModel& model, const InputRasters& inputs,
                  Precision precision, estimation::ParticleSizeScale psd);

    // Estimates a window of `count` cells into bands of the output's `type`, converting
    // `cells` in place and counting their contents into `contents`; returns the cells
    // estimated (the others are nodata).
    std::uint64_t estimate(InputBuffers& cells, std::size_t count, ResultBuffers& results,
                           OutputType type, estimation::ContentUnitTally& contents);

private:
    std::uint64_t storePiece(OutputType type, std::size_t first, std::size_t count,
                             ResultBuffers& results) const;
    template <typename Value>
    std::uint64_t storePiece(std::size_t first, std::size_t count, ResultBuffers& results) const;

    const InputRasters& m_inputs;
    estimation::SoilEstimator m_estimator;
    estimation::RecentFloatTexts m_floatTexts;
    // The engine's results for a piece of the window at a time.
    std::array<std::vector<double>, 3> m_values; // fc, pwp, awc
    std::vector<std::uint16_t> m_flags;
    std::vector<std::uint8_t> m_texture;
    std::vector<std::uint8_t> m_failure;
};

} // namespace talvo::map
