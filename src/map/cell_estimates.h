#pragma once

// The estimates of a window's cells, on the thread of one worker.

#include "base/result_spreads.h"
#include "estimation/estimation.h"
#include "map/cell_work.h"
#include "map/inputs.h"
#include "map/output.h"
#include "map/settings.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace talvo::map {

// Each cell as talvo-batch estimates the same numbers written as text: the cells are turned
// into numbers and go through the engine, which chooses its quick paths itself.
class CellEstimates : public WindowEstimator {
public:
    // `spreadRasters`: those of --sd NAME=FILE, read after the soil's; null where none.
    CellEstimates(const estimation::PtfModel& model, const InputRasters& inputs,
                  const Settings& settings, const InputRasters* spreadRasters);

    std::uint64_t estimate(InputBuffers& cells, std::size_t count, ResultBuffers& results,
                           OutputType type, estimation::ContentUnitTally& contents) override;

private:
    // With --sd, the percentiles of each cell of a piece the engine estimated.
    void spreadPiece(const estimation::SoilColumns& soils, const InputBuffers& cells,
                     std::size_t first);
    std::uint64_t storePiece(OutputType type, std::size_t first, std::size_t count,
                             ResultBuffers& results) const;
    template <typename Value>
    std::uint64_t storePiece(std::size_t first, std::size_t count, ResultBuffers& results) const;

    const estimation::PtfModel& m_model;
    const InputRasters& m_inputs;
    estimation::SoilEstimator m_estimator;
    estimation::RecentFloatTexts m_floatTexts;
    // The engine's results for a piece of the window at a time.
    std::array<std::vector<double>, 3> m_values; // fc, pwp, awc
    std::vector<std::uint16_t> m_flags;
    std::vector<std::uint8_t> m_texture;
    std::vector<std::uint8_t> m_failure;
    // --sd: a spread for every cell, or each cell's from a raster; each cell's percentiles
    // (NaN: none).
    Precision m_precision;
    std::optional<base::ResultSpreads> m_spreads;
    estimation::InputSpread m_spread{};
    const InputRasters* m_spreadRasters;
    std::array<bool, 4> m_spreadRead{}; // by input: from its raster
    std::vector<base::SpreadResults> m_percentiles;
};

// Where the spreads' rasters lie among a window's buffers, by estimation::Input.
inline constexpr std::size_t FirstSpreadBuffer = 4;

// A map of one soil: the bands fc, pwp, awc, flags and texture, and with --sd the
// percentiles after them.
class SoilWork : public CellWork {
public:
    // Opens the rasters of --sd NAME=FILE. Throws Error.
    SoilWork(const estimation::PtfModel& model, const InputRasters& inputs,
             const Settings& settings);

    std::size_t bands() const override {
        return BandCount + (m_settings.uncertain() ? SpreadBandCount : 0);
    }
    // The soil's buffers, then with rasters of spreads four more from FirstSpreadBuffer.
    void read(const Window& window, InputBuffers& buffers) const override;
    std::unique_ptr<WindowEstimator> estimator() const override {
        return std::make_unique<CellEstimates>(m_model, m_inputs, m_settings,
                                               m_spreadRasters ? &*m_spreadRasters : nullptr);
    }

private:
    const estimation::PtfModel& m_model;
    const InputRasters& m_inputs;
    const Settings& m_settings;
    std::optional<InputRasters> m_spreadRasters;
};

} // namespace talvo::map
