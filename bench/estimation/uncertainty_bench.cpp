#include "estimation/estimation.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

namespace est = talvo::estimation;

constexpr std::size_t Soils = 100000;

// Soils with one decimal summing to 100, OC in % with one decimal, from a fixed generator so
// that every run sees the same soils.
const std::vector<est::InputValues>& soils() {
    static const std::vector<est::InputValues> data = [] {
        std::vector<est::InputValues> out;
        std::uint64_t state = 0x9E3779B97F4A7C15U;
        const auto next = [&state](unsigned range) {
            state ^= state << 13U;
            state ^= state >> 7U;
            state ^= state << 17U;
            return static_cast<double>(state % range);
        };
        for (std::size_t i = 0; i < Soils; ++i) {
            const double sand = 5 + next(801) / 10;                                     // 5-85
            const double clay = 5 + next(static_cast<unsigned>((90 - sand) * 10)) / 10; // silt >= 5
            out.push_back(est::inputNumbers(sand, 100 - sand - clay, clay, 0.5 + next(50) / 10));
        }
        return out;
    }();
    return data;
}

// 100,000 soils, 1,000 draws each with sand and clay 2 % and OC 0.2 % apart, through one model
// (range(0)): draws, the model on each and the percentiles of FC, PWP and AWC. An item is one
// draw through the model.
void propagateSoils(benchmark::State& state) {
    const est::PtfModel& model = *est::modelAt(static_cast<int>(state.range(0)));
    const est::InputSpread spread{2.0, 0.0, 2.0, 0.2};
    est::SoilDraws draws;
    double sum = 0;
    for (auto _ : state) {
        for (const est::InputValues& soil : soils()) {
            if (draws.draw(soil, spread)) {
                state.SkipWithError("a soil could not be drawn");
                return;
            }
            const auto p = est::propagate<3>(draws.soils(), [&model](const est::InputValues& v) {
                return est::quickResults(model, v);
            });
            sum += p[2].p95;
        }
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(Soils) *
                            est::DefaultDraws);
}
BENCHMARK(propagateSoils)->Arg(0)->Arg(1)->Arg(6)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
