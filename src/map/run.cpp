#include "map/run.h"

#include "map/cell.h"
#include "map/error.h"
#include "map/inputs.h"
#include "map/output.h"

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace talvo::map {

namespace {

// A window's buffers take 52 bytes a cell in Float32 (72 in Float64): about 7 MiB a worker.
constexpr int CellsPerWindow = 1 << 17;
// Heights beyond this would only serve inputs stored in very tall blocks.
constexpr int MaxWindowRows = 4 * OutputBlockSize;
// GDAL's block cache, shared by all datasets, unless the user sets GDAL_CACHEMAX.
constexpr const char* CacheMegabytes = "64";

// The windows of rows [first, end), left to right and top to bottom. A window spans whole
// output blocks, and as many rows as the inputs' blocks hold, so that each input block is
// read once while it is in the cache.
class WindowPlan {
public:
    WindowPlan(int width, int first, int end, int inputBlockHeight)
        : m_width(width), m_first(first), m_end(end) {
        const int blockRows =
            (std::min(inputBlockHeight, MaxWindowRows) + OutputBlockSize - 1) / OutputBlockSize;
        m_rows = blockRows * OutputBlockSize;
        m_columns =
            std::max(OutputBlockSize, CellsPerWindow / m_rows / OutputBlockSize * OutputBlockSize);
        m_across = (width + m_columns - 1) / m_columns;
        m_down = (end - first + m_rows - 1) / m_rows;
    }

    std::uint64_t count() const {
        return static_cast<std::uint64_t>(m_across) * static_cast<std::uint64_t>(m_down);
    }

    // The window in the input's cells.
    Window at(std::uint64_t index) const {
        const auto row = static_cast<int>(index / static_cast<std::uint64_t>(m_across));
        const auto column = static_cast<int>(index % static_cast<std::uint64_t>(m_across));
        Window window;
        window.x = column * m_columns;
        window.y = m_first + row * m_rows;
        window.width = std::min(m_columns, m_width - window.x);
        window.height = std::min(m_rows, m_end - window.y);
        return window;
    }

private:
    int m_width;
    int m_first;
    int m_end;
    int m_rows = OutputBlockSize;
    int m_columns = OutputBlockSize;
    int m_across = 0;
    int m_down = 0;
};

std::uint64_t estimateWindow(const estimation::PtfModel& model, Precision precision,
                             const InputBuffers& inputs, std::size_t cells,
                             ResultBuffers& results) {
    std::uint64_t estimated = 0;
    const double nodata = std::nan("");
    for (std::size_t i = 0; i < cells; ++i) {
        const CellResult cell = estimateCell(
            model, estimation::inputNumbers(inputs[0][i], inputs[1][i], inputs[2][i], inputs[3][i]),
            precision);
        if (cell.estimated) {
            ++estimated;
            results.set(Band::fc, i, cell.values[0]);
            results.set(Band::pwp, i, cell.values[1]);
            results.set(Band::awc, i, cell.values[2]);
            results.set(Band::flags, i, cell.flags);
            results.set(Band::texture, i, cell.texture);
        } else {
            for (const Band band : {Band::fc, Band::pwp, Band::awc, Band::flags, Band::texture}) {
                results.set(band, i, nodata);
            }
        }
    }
    return estimated;
}

// Workers take turns reading a window, estimate their windows at the same time, and take
// turns again to write them in order. GDAL's datasets are used under one lock, as a dataset
// may be touched by one thread at a time.
class Pipeline {
public:
    Pipeline(const Settings& settings, const estimation::PtfModel& model,
             const InputRasters& inputs, OutputRaster& output, const WindowPlan& plan, int firstRow,
             const Progress& progress)
        : m_settings(settings), m_model(model), m_inputs(inputs), m_output(output), m_plan(plan),
          m_firstRow(firstRow), m_progress(progress) {}

    std::uint64_t run(unsigned threads) {
        std::vector<std::thread> helpers;
        try {
            for (unsigned i = 1; i < threads; ++i) {
                helpers.emplace_back([this] { work(); });
            }
        } catch (const std::system_error&) {
            // Fewer threads only make the run slower.
        }
        work();
        for (std::thread& helper : helpers) {
            helper.join();
        }
        if (m_failure) {
            std::rethrow_exception(m_failure);
        }
        return m_estimated;
    }

private:
    void work() {
        InputBuffers inputs;
        ResultBuffers results;
        std::uint64_t estimated = 0;
        const std::uint64_t total = m_plan.count();
        for (;;) {
            std::uint64_t sequence = 0;
            Window window;
            std::exception_ptr failure;
            {
                const std::lock_guard lock(m_mutex);
                if (m_next == total || m_failure) {
                    break;
                }
                sequence = m_next++;
                window = m_plan.at(sequence);
                try {
                    m_inputs.read(window, inputs);
                } catch (...) {
                    failure = std::current_exception();
                }
            }
            const auto cells =
                static_cast<std::size_t>(window.width) * static_cast<std::size_t>(window.height);
            if (!failure) {
                try {
                    results.resize(m_settings.type, cells);
                    estimated +=
                        estimateWindow(m_model, m_settings.precision, inputs, cells, results);
                } catch (...) {
                    failure = std::current_exception();
                }
            }

            std::unique_lock lock(m_mutex);
            m_turn.wait(lock, [&] { return m_nextToWrite == sequence || m_failure; });
            if (!failure && !m_failure) {
                try {
                    window.y -= m_firstRow;
                    m_output.write(window, results);
                } catch (...) {
                    failure = std::current_exception();
                }
            }
            if (failure && !m_failure) {
                m_failure = failure;
            }
            ++m_nextToWrite;
            if (!m_failure && m_progress) {
                m_progress(m_nextToWrite, total);
            }
            m_turn.notify_all();
        }
        const std::lock_guard lock(m_mutex);
        m_estimated += estimated;
    }

    const Settings& m_settings;
    const estimation::PtfModel& m_model;
    const InputRasters& m_inputs;
    OutputRaster& m_output;
    const WindowPlan& m_plan;
    int m_firstRow;
    const Progress& m_progress;

    std::mutex m_mutex;
    std::condition_variable m_turn;
    std::uint64_t m_next = 0;
    std::uint64_t m_nextToWrite = 0;
    std::exception_ptr m_failure;
    std::uint64_t m_estimated = 0;
};

void refuseOverwritingAnInput(const Settings& settings) {
    for (const std::string& input : settings.rasters) {
        std::error_code error;
        if (!input.empty() && std::filesystem::equivalent(input, settings.output, error)) {
            throw Error("--output " + settings.output +
                        " is an input: write the map to another file");
        }
    }
}

} // namespace

Summary runMap(const Settings& settings, const Progress& progress) {
    const estimation::PtfModel* const model = estimation::modelAt(settings.model);
    if (model == nullptr) {
        throw Error("unknown model " + std::to_string(settings.model));
    }
    refuseOverwritingAnInput(settings);
    if (CPLGetConfigOption("GDAL_CACHEMAX", nullptr) == nullptr) {
        CPLSetConfigOption("GDAL_CACHEMAX", CacheMegabytes);
    }
    const InputRasters inputs(settings, *model);
    const Grid& grid = inputs.grid();
    const RowRange rows = settings.tile ? tileRows(*settings.tile, grid.height, OutputBlockSize)
                                        : RowRange{0, grid.height};
    const unsigned threads = settings.threads != 0
                                 ? settings.threads
                                 : std::max(1U, std::thread::hardware_concurrency());

    OutputRaster output(settings, *model, grid.rows(rows.first, rows.end), threads);
    const WindowPlan plan(grid.width, rows.first, rows.end, inputs.blockHeight());
    Pipeline pipeline(settings, *model, inputs, output, plan, rows.first, progress);
    Summary summary;
    summary.estimatedCells = pipeline.run(threads);
    output.commit();
    summary.width = grid.width;
    summary.height = rows.end - rows.first;
    summary.cells =
        static_cast<std::uint64_t>(summary.width) * static_cast<std::uint64_t>(summary.height);
    return summary;
}

} // namespace talvo::map
