#include "map/run.h"

#include "base/error.h"
#include "base/ordered_pipeline.h"
#include "map/cell_estimates.h"
#include "map/hydraulic_estimates.h"
#include "map/inputs.h"
#include "map/layered_inputs.h"
#include "map/output.h"
#include "map/profile_estimates.h"
#include "map/reach.h"
#include "map/resources.h"
#include "map/window_plan.h"

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace talvo::map {

namespace {

// A window's buffers take a double a cell for each input and a cell of each band: 52 bytes in
// Float32 (72 in Float64, 42 in Int16), at most 9 MiB at MaxWindowRows, so that 16 workers
// take about 256 MiB in all, GDAL's block cache included (224 MiB measured in Float32, 267 MiB
// in Float64, four tiled inputs). Inputs in taller blocks are read twice.
constexpr std::size_t InputCellBytes = 4 * sizeof(double);
// GDAL's block cache, shared by all datasets, unless the user sets GDAL_CACHEMAX: this, or
// the input blocks in use at once where they take more (striped rasters, many threads).
// GDAL's own default, a share of the machine's memory, would hold far more than a run needs.
constexpr std::size_t SmallestCacheBytes = std::size_t{32} << 20U;

void refuseWhatCannotBeStored(const Settings& settings) {
    if (settings.type == OutputType::int16 && !settings.depths.layers.empty()) {
        throw base::Error("--type Int16 stores hundredths up to 327.67, less than a root zone can "
                          "hold: give --type Float32 or Float64 with --depths");
    }
    if (settings.type == OutputType::int16 && settings.precision == Precision::general) {
        throw base::Error("--type Int16 stores hundredths, which hold the two-decimal values only: "
                          "give --type Float32 or Float64 with --precision general");
    }
}

// --hydraulics maps one soil, and HYPRES reads the layer, which no raster gives.
void refuseWhatHydraulicsCannotRead(const Settings& settings) {
    const std::optional<estimation::HydraulicModel> model = settings.hydraulics.model;
    if (!model) {
        if (settings.depths.layers.empty() && !settings.depths.bulkDensity.empty()) {
            throw base::Error("--bd requires --depths or --hydraulics");
        }
        return;
    }
    if (!settings.depths.layers.empty()) {
        throw base::Error("--hydraulics maps one soil: leave out --depths");
    }
    if (*model == estimation::HydraulicModel::hypres && !settings.hydraulics.topsoil) {
        throw base::Error("--hydraulics hypres reads topsoil or subsoil: give --topsoil yes|no");
    }
}

// --sd maps one soil by one of the seven models.
void refuseWhatSpreadsCannotRead(const Settings& settings) {
    if (settings.uncertain() && (settings.hydraulics.model || !settings.depths.layers.empty())) {
        throw base::Error("--sd maps the percentiles of one soil's FC, PWP and AWC: give it "
                          "without --depths or --hydraulics");
    }
}

void refuseOverwritingAnInput(const Settings& settings) {
    std::vector<std::string> inputs(settings.rasters.begin(), settings.rasters.end());
    if (settings.depths.layers.empty()) {
        inputs.push_back(settings.depths.bulkDensity); // --hydraulics reads it
        for (const std::optional<base::SpreadSource>& spread : settings.spreads) {
            inputs.push_back(spread ? spread->column : std::string());
        }
    } else {
        inputs.push_back(settings.depths.bulkDensity);
        inputs.push_back(settings.depths.coarseFragments);
        std::vector<std::string> paths;
        for (const Layer& layer : settings.depths.layers) {
            for (const std::string& pattern : inputs) {
                paths.push_back(pattern.empty() ? pattern : layerPath(pattern, layer));
            }
        }
        inputs = std::move(paths);
    }
    for (const std::string& input : inputs) {
        std::error_code error;
        if (!input.empty() && std::filesystem::equivalent(input, settings.output, error)) {
            throw base::Error("--output " + settings.output +
                              " is an input: write the map to another file");
        }
    }
}

// Sizes GDAL's block cache for the windows of `plan` on `threads` workers, unless the user
// set it; returns its size.
template <typename Inputs>
std::size_t sizeBlockCache(bool cacheGiven, const Inputs& inputs, const WindowPlan& plan,
                           unsigned threads) {
    auto cacheBytes = static_cast<std::size_t>(GDALGetCacheMax64());
    if (!cacheGiven) {
        // The pipeline holds up to one window more than there are threads, the reader's among
        // them.
        const std::size_t inUse =
            inputs.blockBytesInUse(OutputBlockSize, plan.rows(), static_cast<int>(threads) + 1);
        cacheBytes = std::max(SmallestCacheBytes, inUse + inUse / 4);
        GDALSetCacheMax64(static_cast<GIntBig>(cacheBytes));
    }
    return cacheBytes;
}

// The bytes of one window's buffers, input and output: a root-zone map's take each of its
// layers' rasters (6 layers, Float32: 304 bytes a cell, 38 MiB a window at MaxWindowRows).
std::size_t windowBytes(const WindowPlan& plan, const Settings& settings) {
    const std::size_t layers = settings.depths.layers.size();
    std::size_t cellBytes = layers == 0 ? InputCellBytes + BandCount * bandBytes(settings.type)
                                        : layers * LayerRasterCount * sizeof(double) +
                                              DepthBandCount * bandBytes(settings.type);
    if (settings.hydraulics.model) {
        cellBytes = (BulkDensityBuffer + 1) * sizeof(double) +
                    HydraulicBandCount * bandBytes(settings.type);
    }
    // A worker holds a cell's draws, and each result over them, at once.
    const std::size_t drawBytes = settings.uncertain()
                                      ? static_cast<std::size_t>(settings.draws.draws) *
                                            (sizeof(estimation::InputValues) + 3 * sizeof(double))
                                      : 0;
    // The spreads' rasters, where given, take four buffers more.
    cellBytes +=
        settings.uncertain() ? InputCellBytes + SpreadBandCount * bandBytes(settings.type) : 0;
    return static_cast<std::size_t>(OutputBlockSize) * static_cast<std::size_t>(plan.rows()) *
               cellBytes +
           drawBytes;
}

// A window: its cells as read, then its bands as estimated.
struct WindowJob {
    Window window;
    InputBuffers inputs;
    ResultBuffers results;
    std::uint64_t estimated = 0;
    estimation::ContentUnitTally contents;
};

// Reads, estimates and writes the windows of `plan` in order, into `summary`. The inputs are
// read on the pipeline's reader thread and the output written on the calling one: a GDAL
// dataset is used by one thread only.
void estimateWindows(const Settings& settings, const CellWork& work, OutputRaster& output,
                     const WindowPlan& plan, int firstRow, unsigned threads,
                     const Progress& progress, Summary& summary) {
    const std::uint64_t total = plan.count();
    std::uint64_t next = 0;
    const auto read = [&](WindowJob& job) {
        if (next == total) {
            return false;
        }
        job.window = plan.at(next++);
        work.read(job.window, job.inputs);
        return true;
    };
    const auto makeWorker = [&] {
        return [&settings, &work, estimates = work.estimator()](WindowJob& job) {
            const auto cells = static_cast<std::size_t>(job.window.width) *
                               static_cast<std::size_t>(job.window.height);
            job.results.resize(settings.type, work.bands(), cells);
            job.contents = {};
            job.estimated =
                estimates->estimate(job.inputs, cells, job.results, settings.type, job.contents);
        };
    };
    std::uint64_t written = 0;
    const auto write = [&](const WindowJob& job) {
        Window window = job.window;
        window.y -= firstRow;
        output.write(window, job.results);
        summary.estimatedCells += job.estimated;
        summary.contents += job.contents;
        if (progress) {
            progress(++written, total);
        }
    };
    try {
        // One window more than there are workers: the one being written or read.
        base::OrderedPipeline<WindowJob>(threads, threads + 1).run(read, makeWorker, write);
    } catch (const base::ThreadsRefused& error) {
        // Asked for at the start (checkThreadsAllowed), but another process took them.
        throw base::Error(std::string(error.what()) + "; give fewer with --threads");
    }
}

// The map of `inputs` (InputRasters or LayeredInputs) with `work`'s bands.
template <typename Inputs, typename Work>
Summary writeMap(const Settings& settings, const estimation::PtfModel& model, const Inputs& inputs,
                 const Progress& progress, cli::InterruptionCleanup* cleanup) {
    const bool cacheGiven = CPLGetConfigOption("GDAL_CACHEMAX", nullptr) != nullptr;
    const Grid& grid = inputs.grid();
    const RowRange rows = settings.tile ? tileRows(*settings.tile, grid.height, OutputBlockSize)
                                        : RowRange{0, grid.height};
    Summary summary;
    summary.width = grid.width;
    summary.height = rows.end - rows.first;
    summary.mapHeight = grid.height;
    summary.cells =
        static_cast<std::uint64_t>(summary.width) * static_cast<std::uint64_t>(summary.height);
    if (summary.height == 0) {
        summary.oldMapRemoved = removeOldMap(settings, cleanup); // a GeoTIFF cannot be empty
        return summary;
    }
    const unsigned threads = settings.threads != 0
                                 ? settings.threads
                                 : std::max(1U, std::thread::hardware_concurrency());

    const WindowPlan plan(grid.width, rows.first, rows.end, inputs.blockHeight());
    const std::size_t cacheBytes = sizeBlockCache(cacheGiven, inputs, plan, threads);
    checkThreadsAllowed(threads);
    checkMemoryAllowed(runBytes(threads, windowBytes(plan, settings), cacheBytes));
    OutputRaster output(settings, model, grid.rows(rows.first, rows.end), threads, cleanup);
    const Work work(model, inputs, settings);
    estimateWindows(settings, work, output, plan, rows.first, threads, progress, summary);
    output.commit();
    return summary;
}

} // namespace

Summary runMap(const Settings& settings, const Progress& progress,
               cli::InterruptionCleanup* cleanup) {
    const estimation::PtfModel* const model = estimation::modelAt(settings.model);
    if (model == nullptr) {
        throw base::Error("unknown model " + std::to_string(settings.model));
    }
    refuseWhatCannotBeStored(settings);
    refuseWhatHydraulicsCannotRead(settings);
    refuseWhatSpreadsCannotRead(settings);
    refuseOverwritingAnInput(settings);
    if (!settings.trustedInputs) {
        limitGdalReach();
    }
    shareOneArenaUnderAddressLimit();
    if (settings.hydraulics.model) {
        const HydraulicInputs inputs(settings);
        return writeMap<HydraulicInputs, HydraulicWork>(settings, *model, inputs, progress,
                                                        cleanup);
    }
    if (settings.depths.layers.empty()) {
        const InputRasters inputs(settings, *model);
        return writeMap<InputRasters, SoilWork>(settings, *model, inputs, progress, cleanup);
    }
    const LayeredInputs inputs(settings, *model);
    return writeMap<LayeredInputs, ProfileWork>(settings, *model, inputs, progress, cleanup);
}

} // namespace talvo::map
