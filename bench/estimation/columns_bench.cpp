#include "estimation/estimation.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace {

namespace est = talvo::estimation;

constexpr std::size_t Soils = std::size_t{1} << 20;
constexpr std::size_t Block = 4096; // as maps and arrays hand their soils over

// Soils as a raster holds them: sand, silt and clay with one decimal summing to about 100,
// OC in g/kg with one decimal, from a fixed generator so that every run sees the same soils.
struct SoilData {
    std::vector<double> sand, silt, clay, oc;
};

const SoilData& soilData() {
    static const SoilData data = [] {
        SoilData out;
        std::uint64_t state = 0x2545F4914F6CDD1DU;
        const auto next = [&state](unsigned range) {
            state ^= state << 13U;
            state ^= state >> 7U;
            state ^= state << 17U;
            return static_cast<double>(state % range);
        };
        for (std::size_t i = 0; i < Soils; ++i) {
            const double sand = next(900) / 10;
            const double clay = next(static_cast<unsigned>(1000 - sand * 10)) / 10;
            out.sand.push_back(sand);
            out.clay.push_back(clay);
            out.silt.push_back((1000 - sand * 10 - clay * 10 + next(11) - 5) / 10);
            out.oc.push_back(next(500) / 10);
        }
        return out;
    }();
    return data;
}

struct ResultData {
    std::vector<double> fc = std::vector<double>(Soils), pwp = fc, awc = fc;
    std::vector<std::uint16_t> flags = std::vector<std::uint16_t>(Soils);
    std::vector<std::uint8_t> texture = std::vector<std::uint8_t>(Soils), failure = texture;

    est::ResultColumns columns(std::size_t at) {
        return {fc.data() + at,    pwp.data() + at,     awc.data() + at,
                flags.data() + at, texture.data() + at, failure.data() + at};
    }
};

// A million soils through SoilEstimator in fixed precision, block by block: the path of maps
// and arrays. range(0) is the model.
void estimateColumns(benchmark::State& state) {
    const est::PtfModel& model = *est::modelAt(static_cast<int>(state.range(0)));
    const SoilData& soils = soilData();
    ResultData results;
    est::SoilEstimator estimator(model, est::Precision::fixed);
    for (auto _ : state) {
        for (std::size_t at = 0; at < Soils; at += Block) {
            const est::SoilColumns block{{{{soils.sand.data() + at, Block},
                                           {soils.silt.data() + at, Block},
                                           {soils.clay.data() + at, Block},
                                           {soils.oc.data() + at, Block}}},
                                         Block};
            estimator.estimate(block, results.columns(at));
        }
        benchmark::DoNotOptimize(results.fc.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(Soils));
}
BENCHMARK(estimateColumns)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
