#pragma once

// A hydraulic model's curve over every cell (--hydraulics): the soil's rasters and a bulk
// density, estimated as talvo-batch --hydraulics estimates the same numbers written as text.

#include "estimation/estimation.h"
#include "map/cell_work.h"
#include "map/inputs.h"
#include "map/output.h"
#include "map/settings.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace talvo::map {

// The soil's four rasters, and the bulk density after them (NaN where not given).
class HydraulicInputs {
public:
    // Throws Error where a raster is missing or unreadable, or the grids differ.
    explicit HydraulicInputs(const Settings& settings);

    const Grid& grid() const { return m_soil.grid(); }
    int blockHeight() const;
    std::size_t blockBytesInUse(int windowWidth, int windowRows, int windowsAhead) const;
    const InputRasters& soil() const { return m_soil; }
    const InputRaster* bulkDensity() const { return m_bulkDensity ? &*m_bulkDensity : nullptr; }

    // Reads a window's cells as stored, five buffers. Not thread-safe. Throws Error.
    void read(const Window& window, InputBuffers& buffers) const;

private:
    InputRasters m_soil;
    std::optional<InputRaster> m_bulkDensity;
};

// Where the bulk density lies among a window's buffers.
inline constexpr std::size_t BulkDensityBuffer = 4;

class HydraulicEstimates : public WindowEstimator {
public:
    HydraulicEstimates(const HydraulicInputs& inputs, const Settings& settings)
        : m_inputs(inputs), m_settings(settings) {}

    std::uint64_t estimate(InputBuffers& cells, std::size_t count, ResultBuffers& results,
                           OutputType type, estimation::ContentUnitTally& contents) override;

private:
    template <typename Value>
    std::uint64_t store(const InputBuffers& cells, std::size_t count, ResultBuffers& results);

    const HydraulicInputs& m_inputs;
    const Settings& m_settings;
    estimation::RecentFloatTexts m_floatTexts;
};

// The bands theta_r to awc and flags.
class HydraulicWork : public CellWork {
public:
    // The catalogue's model goes unread: the hydraulic model is the settings'.
    HydraulicWork(const estimation::PtfModel& /*model*/, const HydraulicInputs& inputs,
                  const Settings& settings)
        : m_inputs(inputs), m_settings(settings) {}

    std::size_t bands() const override { return HydraulicBandCount; }
    void read(const Window& window, InputBuffers& buffers) const override {
        m_inputs.read(window, buffers);
    }
    std::unique_ptr<WindowEstimator> estimator() const override {
        return std::make_unique<HydraulicEstimates>(m_inputs, m_settings);
    }

private:
    const HydraulicInputs& m_inputs;
    const Settings& m_settings;
};

} // namespace talvo::map
