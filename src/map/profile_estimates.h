#pragma once

// The water of each cell's root zone, on the thread of one worker: each layer estimated as a
// map of one soil is, its water over its thickness, and the layers summed as a profile.

#include "estimation/estimation.h"
#include "map/cell_work.h"
#include "map/layered_inputs.h"
#include "map/output.h"
#include "map/settings.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace talvo::map {

// Each cell as talvo-batch --profiles sums the same horizons: the model's 15-digit results,
// horizonWater() and a Profile.
class ProfileEstimates : public WindowEstimator {
public:
    ProfileEstimates(const estimation::PtfModel& model, const LayeredInputs& inputs,
                     const Settings& settings);

    std::uint64_t estimate(InputBuffers& cells, std::size_t count, ResultBuffers& results,
                           OutputType type, estimation::ContentUnitTally& contents) override;

private:
    void toNumbers(InputBuffers& cells, std::size_t count, estimation::ContentUnitTally& contents);
    // The water of each layer over a piece of the window, and the union of their flags.
    void estimateLayers(const InputBuffers& cells, std::size_t first, std::size_t count);
    template <typename Value>
    std::uint64_t storePiece(std::size_t first, std::size_t count, ResultBuffers& results);

    const estimation::PtfModel& m_model;
    const LayeredInputs& m_inputs;
    const DepthSettings& m_depths;
    std::vector<estimation::SoilEstimator> m_estimators; // a layer's soils are alike
    estimation::RecentFloatTexts m_floatTexts;
    // A piece of the window at a time: the engine's results, each layer's water (NaN: no
    // estimate) and the flags of the cell's layers.
    std::vector<double> m_fc;
    std::vector<double> m_pwp;
    std::vector<double> m_awc;
    std::vector<std::uint16_t> m_layerFlags;
    std::vector<std::uint8_t> m_texture;
    std::vector<std::uint8_t> m_failure;
    std::vector<std::vector<double>> m_water;
    std::vector<std::uint16_t> m_flags;
    estimation::Profile m_profile;
};

// A root-zone map: the bands taw_0_30, taw_0_100, taw_root and flags.
class ProfileWork : public CellWork {
public:
    ProfileWork(const estimation::PtfModel& model, const LayeredInputs& inputs,
                const Settings& settings)
        : m_model(model), m_inputs(inputs), m_settings(settings) {}

    std::size_t bands() const override { return DepthBandCount; }
    void read(const Window& window, InputBuffers& buffers) const override {
        m_inputs.read(window, buffers);
    }
    std::unique_ptr<WindowEstimator> estimator() const override {
        return std::make_unique<ProfileEstimates>(m_model, m_inputs, m_settings);
    }

private:
    const estimation::PtfModel& m_model;
    const LayeredInputs& m_inputs;
    const Settings& m_settings;
};

} // namespace talvo::map
