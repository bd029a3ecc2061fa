#pragma once

// Soils and their estimates, for measurements made from them.

#include "estimation/estimation.h"
#include "evaluation/evaluation.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace talvo::evaluation::test {

// Columns of soils with every model's inputs, contents as laboratories report them.
struct SoilTable {
    std::array<std::vector<double>, 4> inputs; // sand, silt, clay, oc
    std::size_t count = 0;

    explicit SoilTable(std::size_t rows) : count(rows) {
        SplitMix64 random(11);
        for (std::size_t i = 0; i < rows; ++i) {
            const double sand = 15 + static_cast<double>(random.below(5500)) / 100;
            const double clay = 5 + static_cast<double>(random.below(3500)) / 100;
            inputs[0].push_back(sand);
            inputs[1].push_back(100 - sand - clay);
            inputs[2].push_back(clay);
            inputs[3].push_back(2 + static_cast<double>(random.below(300)) / 10);
        }
    }
    estimation::SoilColumns columns() const {
        return {{inputs[0], inputs[1], inputs[2], inputs[3]}, count};
    }
    // fc, pwp and awc of the model in general precision.
    std::array<std::vector<double>, 3> estimates(const estimation::PtfModel& model) const {
        std::array<std::vector<double>, 3> out;
        for (std::vector<double>& column : out) {
            column.resize(count);
        }
        std::vector<std::uint16_t> flags(count);
        std::vector<std::uint8_t> texture(count), failure(count);
        estimation::SoilEstimator(model, estimation::Precision::general)
            .estimate(columns(), {out[0].data(), out[1].data(), out[2].data(), flags.data(),
                                  texture.data(), failure.data()});
        return out;
    }
};

// The intervals' bits, for runs that must repeat exactly. memcpy, not std::bit_cast, which
// the browser build's standard library lacks.
inline std::array<std::uint64_t, 10> bits(const ScoreIntervals& i) {
    std::array<std::uint64_t, 10> out{};
    std::size_t k = 0;
    for (const Interval& interval : {i.me, i.mae, i.rmse, i.r2, i.nse}) {
        std::memcpy(&out[k++], &interval.low, sizeof(double));
        std::memcpy(&out[k++], &interval.high, sizeof(double));
    }
    return out;
}

} // namespace talvo::evaluation::test
