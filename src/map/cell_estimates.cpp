#include "map/cell_estimates.h"

#include <array>
#include <cassert>
#include <cmath>
#include <cstring>

namespace talvo::map {

CellEstimates::CellEstimates(const estimation::PtfModel& model, const InputRasters& inputs,
                             Precision precision)
    : m_model(model), m_inputs(inputs), m_precision(precision) {
    if (precision == Precision::general) {
        m_cache.emplace(*this);
    }
}

CellResult CellEstimates::operator()(const CellCache::Numbers& cells) const {
    using estimation::Input;
    const auto number = [&](Input input) {
        return m_inputs.number(input, cells[static_cast<std::size_t>(input)], m_floatTexts);
    };
    return estimateCell(m_model,
                        estimation::inputNumbers(number(Input::sand), number(Input::silt),
                                                 number(Input::clay), number(Input::oc)),
                        m_precision);
}

template <typename Store>
void CellEstimates::each(InputBuffers& cells, std::size_t count, Store store) {
    if (m_precision != Precision::general) {
        eachTwoDecimal(cells, count, store);
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        store(i, m_cache->find({cells[0][i], cells[1][i], cells[2][i], cells[3][i]}, *this));
    }
}

// Two-decimal cells go through the engine's lanes, LaneCount at once: that costs less than a
// look-up among the recent cells, even where cells repeat.
template <typename Store>
void CellEstimates::eachTwoDecimal(InputBuffers& cells, std::size_t count, Store store) {
    using estimation::LaneCount;
    for (const estimation::Input input : estimation::allInputs) {
        assert(cells[static_cast<std::size_t>(input)].size() >= count);
        m_inputs.toNumbers(input, {cells[static_cast<std::size_t>(input)].data(), count},
                           m_floatTexts);
    }
    std::size_t i = 0;
    for (; i + LaneCount <= count; i += LaneCount) {
        estimation::InputLanes numbers;
        for (std::size_t input = 0; input < numbers.size(); ++input) {
            std::memcpy(numbers[input].values.data(), cells[input].data() + i,
                        sizeof(estimation::Lanes));
        }
        const CellLanes lanes = estimateTwoDecimalLanes(m_model, numbers);
        for (std::size_t lane = 0; lane < LaneCount; ++lane) {
            store(i + lane, lanes[lane]);
        }
    }
    for (; i < count; ++i) {
        store(i, estimateCell(
                     m_model,
                     estimation::inputNumbers(cells[0][i], cells[1][i], cells[2][i], cells[3][i]),
                     m_precision));
    }
}

namespace {

// estimateWindow into bands of `Value`, the output's type.
template <typename Value>
std::uint64_t estimateInto(CellEstimates& estimates, InputBuffers& inputs, std::size_t cells,
                           ResultBuffers& results) {
    std::array<std::byte*, BandCount> bands{};
    for (std::size_t band = 0; band < BandCount; ++band) {
        bands[band] = results.data(static_cast<Band>(band));
    }
    const auto put = [&](std::size_t band, std::size_t cell, double value) {
        const auto stored = static_cast<Value>(value); // as the band stores it
        std::memcpy(bands[band] + cell * sizeof stored, &stored, sizeof stored);
    };
    std::uint64_t estimated = 0;
    const double nodata = std::nan("");
    const auto store = [&](std::size_t i, const CellResult& cell) {
        if (cell.estimated) {
            ++estimated;
            put(0, i, cell.values[0]);
            put(1, i, cell.values[1]);
            put(2, i, cell.values[2]);
            put(3, i, cell.flags);
            put(4, i, cell.texture);
        } else {
            for (std::size_t band = 0; band < BandCount; ++band) {
                put(band, i, nodata);
            }
        }
    };
    estimates.each(inputs, cells, store);
    return estimated;
}

} // namespace

std::uint64_t estimateWindow(CellEstimates& estimates, InputBuffers& inputs, std::size_t cells,
                             ResultBuffers& results, OutputType type) {
    return type == OutputType::float32 ? estimateInto<float>(estimates, inputs, cells, results)
                                       : estimateInto<double>(estimates, inputs, cells, results);
}

} // namespace talvo::map
