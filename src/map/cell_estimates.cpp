#include "map/cell_estimates.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <span>

namespace talvo::map {

namespace {

// Results go to the bands a piece at a time: small buffers a worker keeps in its cache.
constexpr std::size_t PieceCells = std::size_t{1} << 12;

// What a band of `Value` stores for a result, and for nothing.
template <typename Value> struct Stored {
    static Value result(double value) { return static_cast<Value>(value); }
    static Value nodata() { return std::numeric_limits<Value>::quiet_NaN(); }
};

// Hundredths, exact for the two-decimal values, rounded half away from zero. One beyond Int16's
// range is nodata in its band alone: it lies beyond +-327.67, so FC or PWP lies beyond 0..100
// and the result flag says so.
template <> struct Stored<std::int16_t> {
    static std::int16_t result(double value) {
        const double hundredths = std::round(value * 100.0);
        // Exactly the values in (Int16Nodata, 32767]; NaN fails too.
        if (!(hundredths > Int16Nodata && hundredths <= std::numeric_limits<std::int16_t>::max())) {
            return Int16Nodata;
        }
        return static_cast<std::int16_t>(hundredths);
    }
    static std::int16_t nodata() { return Int16Nodata; }
};

} // namespace

CellEstimates::CellEstimates(const estimation::PtfModel& model, const InputRasters& inputs,
                             const Settings& settings, const InputRasters* spreadRasters)
    : m_model(model), m_inputs(inputs),
      m_estimator(model, settings.precision, settings.particleSizeScale), m_flags(PieceCells),
      m_texture(PieceCells), m_failure(PieceCells), m_precision(settings.precision),
      m_spreadRasters(spreadRasters) {
    for (std::vector<double>& values : m_values) {
        values.resize(PieceCells);
    }
    if (settings.uncertain()) {
        m_spreads.emplace(settings.particleSizeScale, settings.carbonUnit, settings.draws);
        for (std::size_t i = 0; i < m_spread.size(); ++i) {
            const std::optional<base::SpreadSource>& source = settings.spreads[i];
            m_spread[i] = source ? source->value : 0.0;
            m_spreadRead[i] = source && !source->column.empty();
        }
        m_percentiles.resize(PieceCells);
    }
}

std::uint64_t CellEstimates::estimate(InputBuffers& cells, std::size_t count,
                                      ResultBuffers& results, OutputType type,
                                      estimation::ContentUnitTally& contents) {
    for (const estimation::Input input : estimation::allInputs) {
        assert(cells[static_cast<std::size_t>(input)].size() >= count);
        m_inputs.toNumbers(input, {cells[static_cast<std::size_t>(input)].data(), count},
                           m_floatTexts);
    }
    for (std::size_t i = 0; i < m_spreadRead.size(); ++i) {
        if (m_spreadRead[i]) {
            m_spreadRasters->toNumbers(estimation::allInputs[i],
                                       {cells[FirstSpreadBuffer + i].data(), count}, m_floatTexts);
        }
    }
    for (std::size_t i = 0; i < count; ++i) {
        contents.add(cells[0][i], cells[1][i], cells[2][i]);
        contents.addCarbon(m_model, cells[3][i]);
    }
    std::uint64_t estimated = 0;
    for (std::size_t first = 0; first < count; first += PieceCells) {
        const std::size_t piece = std::min(PieceCells, count - first);
        estimation::SoilColumns soils;
        soils.count = piece;
        for (std::size_t input = 0; input < soils.inputs.size(); ++input) {
            soils.inputs[input] = std::span<const double>(cells[input].data() + first, piece);
        }
        m_estimator.estimate(soils, {m_values[0].data(), m_values[1].data(), m_values[2].data(),
                                     m_flags.data(), m_texture.data(), m_failure.data()});
        spreadPiece(soils, cells, first);
        estimated += storePiece(type, first, piece, results);
    }
    return estimated;
}

void CellEstimates::spreadPiece(const estimation::SoilColumns& soils, const InputBuffers& cells,
                                std::size_t first) {
    if (!m_spreads) {
        return;
    }
    for (std::size_t i = 0; i < soils.count; ++i) {
        base::SpreadResults& cell = m_percentiles[i];
        cell.fill(estimation::NoNumber);
        if (m_failure[i] != 0) {
            continue;
        }
        estimation::InputValues soil;
        estimation::InputSpread spread = m_spread;
        for (std::size_t input = 0; input < soil.size(); ++input) {
            soil[input] = {soils.inputs[input][i], std::nullopt};
            spread[input] =
                m_spreadRead[input] ? cells[FirstSpreadBuffer + input][first + i] : spread[input];
        }
        // Each cell's draws start from the seed, whatever window or thread it comes in.
        const base::SpreadOutcome outcome = m_spreads->of(m_model, soil, spread);
        if (outcome.failure.empty()) {
            for (std::size_t p = 0; p < cell.size(); ++p) {
                cell[p] = base::writtenNumber(outcome.results[p], m_precision);
            }
        }
    }
}

SoilWork::SoilWork(const estimation::PtfModel& model, const InputRasters& inputs,
                   const Settings& settings)
    : m_model(model), m_inputs(inputs), m_settings(settings) {
    if (std::any_of(settings.spreads.begin(), settings.spreads.end(),
                    [](const auto& spread) { return spread && !spread->column.empty(); })) {
        m_spreadRasters.emplace(InputRasters::spreads(settings, inputs.grid()));
    }
}

void SoilWork::read(const Window& window, InputBuffers& buffers) const {
    m_inputs.read(window, buffers);
    if (m_spreadRasters) {
        InputBuffers spreads;
        m_spreadRasters->read(window, spreads);
        buffers.insert(buffers.end(), std::make_move_iterator(spreads.begin()),
                       std::make_move_iterator(spreads.end()));
    }
}

std::uint64_t CellEstimates::storePiece(OutputType type, std::size_t first, std::size_t count,
                                        ResultBuffers& results) const {
    switch (type) {
    case OutputType::float32:
        return storePiece<float>(first, count, results);
    case OutputType::float64:
        return storePiece<double>(first, count, results);
    case OutputType::int16:
        return storePiece<std::int16_t>(first, count, results);
    }
    return 0;
}

// A piece's results into bands of `Value`, the output's type: nodata in every band where the
// engine gave no numbers, and in the percentiles' where the draws gave none.
template <typename Value>
std::uint64_t CellEstimates::storePiece(std::size_t first, std::size_t count,
                                        ResultBuffers& results) const {
    const std::size_t bandCount = BandCount + (m_spreads ? SpreadBandCount : 0);
    std::array<std::byte*, BandCount + SpreadBandCount> bands{};
    for (std::size_t band = 0; band < bandCount; ++band) {
        bands[band] = results.data(band) + first * sizeof(Value);
    }
    const auto put = [&](std::size_t band, std::size_t cell, Value stored) {
        std::memcpy(bands[band] + cell * sizeof stored, &stored, sizeof stored);
    };
    std::uint64_t estimated = 0;
    const Value nodata = Stored<Value>::nodata();
    for (std::size_t i = 0; i < count; ++i) {
        if (m_failure[i] != 0) {
            for (std::size_t band = 0; band < bandCount; ++band) {
                put(band, i, nodata);
            }
            continue;
        }
        for (std::size_t p = 0; p < bandCount - BandCount; ++p) {
            const double value = m_percentiles[i][p];
            put(BandCount + p, i, std::isnan(value) ? nodata : Stored<Value>::result(value));
        }
        ++estimated;
        put(0, i, Stored<Value>::result(m_values[0][i]));
        put(1, i, Stored<Value>::result(m_values[1][i]));
        put(2, i, Stored<Value>::result(m_values[2][i]));
        put(3, i, static_cast<Value>(m_flags[i]));
        put(4, i, static_cast<Value>(m_texture[i]));
    }
    return estimated;
}

} // namespace talvo::map
