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
    CellEstimates(const estimation::PtfModel& model, const InputRasters& inputs,
                  const Settings& settings);

    std::uint64_t estimate(InputBuffers& cells, std::size_t count, ResultBuffers& results,
                           OutputType type, estimation::ContentUnitTally& contents) override;

private:
    // With --sd, the percentiles of each cell of a piece the engine estimated.
    void spreadPiece(const estimation::SoilColumns& soils);
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
    // --sd: the same spread for every cell, and each cell's percentiles (NaN: none).
    Precision m_precision;
    std::optional<base::ResultSpreads> m_spreads;
    estimation::InputSpread m_spread{};
    std::vector<base::SpreadResults> m_percentiles;
};

// A map of one soil: the bands fc, pwp, awc, flags and texture, and with --sd the
// percentiles after them.
class SoilWork : public CellWork {
public:
    SoilWork(const estimation::PtfModel& model, const InputRasters& inputs,
             const Settings& settings)
        : m_model(model), m_inputs(inputs), m_settings(settings) {}

    std::size_t bands() const override {
        return BandCount + (m_settings.uncertain() ? SpreadBandCount : 0);
    }
    void read(const Window& window, InputBuffers& buffers) const override {
        m_inputs.read(window, buffers);
    }
    std::unique_ptr<WindowEstimator> estimator() const override {
        return std::make_unique<CellEstimates>(m_model, m_inputs, m_settings);
    }

private:
    const estimation::PtfModel& m_model;
    const InputRasters& m_inputs;
    const Settings& m_settings;
};

} // namespace talvo::map
