#include "estimation/estimation.h"
#include "form/actions.h"
#include "form/memory_fields.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using talvo::estimation::Result;

// One press of Estimate over fields in memory, for each model.
void pressEstimate(benchmark::State& state) {
    const int model = static_cast<int>(state.range(0));
    talvo::form::MemoryFields fields(model, "40", "40", "20", "5");
    for (auto _ : state) {
        talvo::form::throwFailure(talvo::form::pressEstimate(fields));
        benchmark::DoNotOptimize(fields);
    }
    state.SetLabel(std::string(talvo::estimation::modelAt(model)->listText) + " -> " +
                   fields.caption(Result::awc));
}
BENCHMARK(pressEstimate)->DenseRange(0, talvo::estimation::ModelCount - 1);

void pressWithNoModel(benchmark::State& state) {
    talvo::form::MemoryFields fields(-1, "40", "40", "20", "5");
    fields.setCaption(Result::fc, "50.8534");
    for (auto _ : state) {
        talvo::form::throwFailure(talvo::form::pressEstimate(fields));
        benchmark::DoNotOptimize(fields);
    }
}
BENCHMARK(pressWithNoModel);

} // namespace

BENCHMARK_MAIN();
