#include "batch/soil_table.h"
#include "estimation/estimation.h"
#include "table/run.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <streambuf>
#include <string>
#include <string_view>
#include <sys/resource.h>

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t Soils = 1'000'000;

// Output that costs nothing, so that the figure is the tool's own work.
class Discard final : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

using talvo::bench::SoilRows;

fs::path soilTablePath(SoilRows kind) {
    return fs::temp_directory_path() / (kind == SoilRows::failing
                                            ? "talvo-batch-bench-failing-soils.csv"
                                            : "talvo-batch-bench-soils.csv");
}

// Written once, on first use, read from disk as the tool would.
const fs::path& soilTable(SoilRows kind) {
    const auto write = [](SoilRows rows) {
        const fs::path file = soilTablePath(rows);
        std::ofstream out(file, std::ios::binary);
        talvo::bench::writeSoilTable(out, Soils, rows);
        return file;
    };
    static const fs::path plausible = write(SoilRows::plausible);
    if (kind == SoilRows::plausible) {
        return plausible;
    }
    static const fs::path failing = write(SoilRows::failing);
    return failing;
}

double peakMemoryMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// One model, fixed precision, a million soils from a file: the goal is 2 million rows a
// second with peak memory under 16 MiB. range(0) is the number of threads, range(1) the model
// (7: all), range(2) 1 for a table whose rows all fail, which should cost no more than twice
// what one whose rows succeed does.
void estimateTable(benchmark::State& state) {
    const auto threads = static_cast<unsigned>(state.range(0));
    const SoilRows kind = state.range(2) == 1 ? SoilRows::failing : SoilRows::plausible;
    talvo::table::Settings settings;
    for (const talvo::estimation::PtfModel& model : talvo::estimation::ModelCatalogue) {
        if (state.range(1) == 7 || state.range(1) == model.position) {
            settings.models.push_back(&model);
        }
    }
    talvo::table::RunOptions options;
    options.threads = threads;
    std::uint64_t rows = 0;
    for (auto _ : state) {
        std::ifstream input(soilTable(kind), std::ios::binary);
        Discard discard;
        std::ostream output(&discard);
        rows += talvo::table::runTable(input, output, settings, options).rows;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(rows));
    state.counters["peak_MiB"] = peakMemoryMiB();
}
BENCHMARK(estimateTable)
    ->ArgsProduct({{1, 2}, {0, 3}, {0}})
    ->Args({2, 7, 0})
    ->ArgsProduct({{2}, {1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

} // namespace

// "batch_bench --soil-table ROWS [failing]" writes the generated table to standard output
// instead, for measuring the real executable (measure.sh).
int main(int argc, char** argv) {
    if ((argc == 3 || argc == 4) && std::string_view(argv[1]) == "--soil-table") {
        std::ios::sync_with_stdio(false);
        const bool failing = argc == 4 && std::string_view(argv[3]) == "failing";
        talvo::bench::writeSoilTable(std::cout, std::stoull(argv[2]),
                                     failing ? SoilRows::failing : SoilRows::plausible);
        return std::cout ? 0 : 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    fs::remove(soilTablePath(SoilRows::plausible), ignored);
    fs::remove(soilTablePath(SoilRows::failing), ignored);
    return 0;
}
