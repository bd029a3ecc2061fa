#include "map/run.h"

#include "estimation/recent_cells.h"
#include "map/cell.h"
#include "map/error.h"
#include "map/inputs.h"
#include "map/output.h"
#include "map/resources.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <deque>
#include <exception>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace talvo::map {

namespace {

// A window is one output block wide. Its buffers take 52 bytes a cell in Float32 (72 in
// Float64): at most 9 MiB at this height, and a worker's cell cache 1 MiB more, so that 16
// workers take about 256 MiB in all, GDAL's block cache included (224 MiB measured in
// Float32, 267 MiB in Float64, four tiled inputs). Inputs in taller blocks are read twice.
constexpr int MaxWindowRows = 2 * OutputBlockSize;
constexpr std::size_t Float32CellBytes = 52;
constexpr std::size_t Float64CellBytes = 72;
// GDAL's block cache, shared by all datasets, unless the user sets GDAL_CACHEMAX: this, or
// the input blocks in use at once where they take more (striped rasters, many threads).
// GDAL's own default, a share of the machine's memory, would hold far more than a run needs.
constexpr std::size_t SmallestCacheBytes = std::size_t{32} << 20U;

// The windows of rows [first, end), left to right and top to bottom. A window spans whole
// rows of output blocks, and as many rows as the inputs' blocks hold up to MaxWindowRows, so
// that each input block is read once while it is in the cache.
class WindowPlan {
public:
    WindowPlan(int width, int first, int end, int inputBlockHeight)
        : m_width(width), m_first(first), m_end(end) {
        const int blockRows =
            (std::min(inputBlockHeight, MaxWindowRows) + OutputBlockSize - 1) / OutputBlockSize;
        m_rows = blockRows * OutputBlockSize;
        m_across = (width + OutputBlockSize - 1) / OutputBlockSize;
        m_down = (end - first + m_rows - 1) / m_rows;
    }

    int rows() const { return m_rows; }

    std::uint64_t count() const {
        return static_cast<std::uint64_t>(m_across) * static_cast<std::uint64_t>(m_down);
    }

    // The window in the input's cells.
    Window at(std::uint64_t index) const {
        const auto row = static_cast<int>(index / static_cast<std::uint64_t>(m_across));
        const auto column = static_cast<int>(index % static_cast<std::uint64_t>(m_across));
        Window window;
        window.x = column * OutputBlockSize;
        window.y = m_first + row * m_rows;
        window.width = std::min(OutputBlockSize, m_width - window.x);
        window.height = std::min(m_rows, m_end - window.y);
        return window;
    }

private:
    int m_width;
    int m_first;
    int m_end;
    int m_rows = OutputBlockSize;
    int m_across = 0;
    int m_down = 0;
};

// 16384 recent cells, 1 MiB a worker.
using CellCache = estimation::RecentCells<CellResult, 14>;

// A cell's results from its four cells as read. The cache compares cells as read, so that a
// cell that repeats is neither converted nor estimated again; two-decimal maps, which take
// the lanes, have none.
class CellEstimates {
public:
    CellEstimates(const estimation::PtfModel& model, const InputRasters& inputs,
                  Precision precision)
        : m_model(model), m_inputs(inputs), m_precision(precision) {
        if (precision == Precision::general) {
            m_cache.emplace(*this);
        }
    }

    CellResult operator()(const CellCache::Numbers& cells) const {
        using estimation::Input;
        const auto number = [&](Input input) {
            return m_inputs.number(input, cells[static_cast<std::size_t>(input)], m_floatTexts);
        };
        return estimateCell(m_model,
                            estimation::inputNumbers(number(Input::sand), number(Input::silt),
                                                     number(Input::clay), number(Input::oc)),
                            m_precision);
    }

    // Calls store(i, results) for each of a window's `count` cells, which it may convert in
    // place. Two-decimal cells go through the engine's lanes, LaneCount at once: that costs
    // less than a look-up among the recent cells, even where cells repeat.
    template <typename Store> void each(InputBuffers& cells, std::size_t count, Store store) {
        using estimation::LaneCount;
        if (m_precision == Precision::general) {
            for (std::size_t i = 0; i < count; ++i) {
                store(i,
                      m_cache->find({cells[0][i], cells[1][i], cells[2][i], cells[3][i]}, *this));
            }
            return;
        }
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
            store(i, estimateCell(m_model,
                                  estimation::inputNumbers(cells[0][i], cells[1][i], cells[2][i],
                                                           cells[3][i]),
                                  m_precision));
        }
    }

private:
    const estimation::PtfModel& m_model;
    const InputRasters& m_inputs;
    Precision m_precision;
    mutable estimation::RecentFloatTexts m_floatTexts; // before the cache, which uses it
    std::optional<CellCache> m_cache;
};

// Estimates a window into bands of `Value`, the output's type; returns the cells estimated.
template <typename Value>
std::uint64_t estimateWindow(CellEstimates& estimates, InputBuffers& inputs, std::size_t cells,
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

// One thread reads windows ahead and the calling thread writes them back in order, while the
// workers estimate: each GDAL dataset stays on one thread, and a write that waits for the
// driver's compression does not hold up the reads the workers need. Memory is bounded by the
// slots: one window more than there are workers.
class Pipeline {
public:
    Pipeline(const Settings& settings, const estimation::PtfModel& model,
             const InputRasters& inputs, OutputRaster& output, const WindowPlan& plan, int firstRow,
             const Progress& progress)
        : m_settings(settings), m_model(model), m_inputs(inputs), m_output(output), m_plan(plan),
          m_firstRow(firstRow), m_progress(progress) {}

    std::uint64_t run(unsigned threads) {
        m_slots.resize(threads + 1);
        std::vector<std::thread> workers;
        std::exception_ptr failure;
        try {
            workers.emplace_back([this] { read(); });
            for (unsigned i = 0; i < threads; ++i) {
                workers.emplace_back([this] { work(); });
            }
        } catch (const std::system_error& error) {
            // Asked for at the start (checkThreadsAllowed), but another process took them.
            failure = std::make_exception_ptr(
                Error("the system refused to start a thread: " + error.code().message() +
                      "; give fewer with --threads"));
        }
        if (!failure) {
            try {
                write();
            } catch (...) {
                failure = std::current_exception();
            }
        }
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_slotFreed.notify_all();
        m_windowQueued.notify_all();
        for (std::thread& worker : workers) {
            worker.join();
        }
        if (failure) {
            std::rethrow_exception(failure);
        }
        return m_estimated;
    }

private:
    enum class State { free, queued, estimated };

    struct Slot {
        State state = State::free;
        Window window;
        InputBuffers inputs;
        ResultBuffers results;
        std::uint64_t estimated = 0;
        std::exception_ptr failure;
    };

    Slot& slotOf(std::uint64_t sequence) { return m_slots[sequence % m_slots.size()]; }

    // Reads window k into slot k mod slots once window k - slots is written. A window that
    // cannot be read goes to the writer as it is, with its failure, and reading stops.
    void read() {
        const std::uint64_t total = m_plan.count();
        for (std::uint64_t next = 0; next < total; ++next) {
            Slot& slot = slotOf(next);
            {
                std::unique_lock lock(m_mutex);
                m_slotFreed.wait(lock, [&] { return m_stop || slot.state == State::free; });
                if (m_stop) {
                    return;
                }
            }
            // A free slot is the reader's alone until it is queued.
            slot.window = m_plan.at(next);
            bool failed = false;
            try {
                m_inputs.read(slot.window, slot.inputs);
            } catch (...) {
                slot.failure = std::current_exception();
                failed = true;
            }
            {
                const std::lock_guard lock(m_mutex);
                if (failed) {
                    slot.state = State::estimated;
                } else {
                    slot.state = State::queued;
                    m_queue.push_back(&slot);
                }
            }
            if (failed) {
                m_windowEstimated.notify_one();
                return;
            }
            m_windowQueued.notify_one();
        }
    }

    // Writes each window as soon as it and all before it are estimated.
    void write() {
        const std::uint64_t total = m_plan.count();
        for (std::uint64_t next = 0; next < total; ++next) {
            Slot& slot = slotOf(next);
            {
                std::unique_lock lock(m_mutex);
                m_windowEstimated.wait(lock, [&] { return slot.state == State::estimated; });
            }
            if (slot.failure) {
                std::rethrow_exception(slot.failure);
            }
            Window window = slot.window;
            window.y -= m_firstRow;
            m_output.write(window, slot.results);
            m_estimated += slot.estimated;
            {
                const std::lock_guard lock(m_mutex);
                slot.state = State::free;
            }
            m_slotFreed.notify_one();
            if (m_progress) {
                m_progress(next + 1, total);
            }
        }
    }

    void work() {
        // Out of memory here goes to the writer with the first window taken, not past the
        // thread, which would abort the run.
        std::optional<CellEstimates> estimates;
        std::exception_ptr broken;
        try {
            estimates.emplace(m_model, m_inputs, m_settings.precision);
        } catch (...) {
            broken = std::current_exception();
        }
        for (;;) {
            Slot* slot = nullptr;
            {
                std::unique_lock lock(m_mutex);
                m_windowQueued.wait(lock, [&] { return m_stop || !m_queue.empty(); });
                if (m_stop) {
                    return;
                }
                slot = m_queue.front();
                m_queue.pop_front();
            }
            try {
                if (broken) {
                    std::rethrow_exception(broken);
                }
                const auto cells = static_cast<std::size_t>(slot->window.width) *
                                   static_cast<std::size_t>(slot->window.height);
                slot->results.resize(m_settings.type, cells);
                slot->estimated =
                    m_settings.type == OutputType::float32
                        ? estimateWindow<float>(*estimates, slot->inputs, cells, slot->results)
                        : estimateWindow<double>(*estimates, slot->inputs, cells, slot->results);
            } catch (...) {
                slot->failure = std::current_exception();
            }
            {
                const std::lock_guard lock(m_mutex);
                slot->state = State::estimated;
            }
            m_windowEstimated.notify_one();
        }
    }

    const Settings& m_settings;
    const estimation::PtfModel& m_model;
    const InputRasters& m_inputs;
    OutputRaster& m_output;
    const WindowPlan& m_plan;
    int m_firstRow;
    const Progress& m_progress;

    std::vector<Slot> m_slots;
    std::mutex m_mutex;
    // Each wakes only the threads it concerns: the reader, the workers or the writer.
    std::condition_variable m_slotFreed;
    std::condition_variable m_windowQueued;
    std::condition_variable m_windowEstimated;
    std::deque<Slot*> m_queue;
    bool m_stop = false;
    std::uint64_t m_estimated = 0; // the calling thread's alone
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

Summary runMap(const Settings& settings, const Progress& progress,
               cli::InterruptionCleanup* cleanup) {
    const estimation::PtfModel* const model = estimation::modelAt(settings.model);
    if (model == nullptr) {
        throw Error("unknown model " + std::to_string(settings.model));
    }
    refuseOverwritingAnInput(settings);
    shareOneArenaUnderAddressLimit();
    const bool cacheGiven = CPLGetConfigOption("GDAL_CACHEMAX", nullptr) != nullptr;
    const InputRasters inputs(settings, *model);
    const Grid& grid = inputs.grid();
    const RowRange rows = settings.tile ? tileRows(*settings.tile, grid.height, OutputBlockSize)
                                        : RowRange{0, grid.height};
    const unsigned threads = settings.threads != 0
                                 ? settings.threads
                                 : std::max(1U, std::thread::hardware_concurrency());

    const WindowPlan plan(grid.width, rows.first, rows.end, inputs.blockHeight());
    std::size_t cacheBytes = static_cast<std::size_t>(GDALGetCacheMax64());
    if (!cacheGiven) {
        // The pipeline reads up to one window more than there are threads ahead.
        const std::size_t inUse =
            inputs.blockBytesInUse(OutputBlockSize, plan.rows(), static_cast<int>(threads) + 1);
        cacheBytes = std::max(SmallestCacheBytes, inUse + inUse / 4);
        GDALSetCacheMax64(static_cast<GIntBig>(cacheBytes));
    }
    checkThreadsAllowed(threads);
    const std::size_t windowBytes =
        static_cast<std::size_t>(OutputBlockSize) * static_cast<std::size_t>(plan.rows()) *
        (settings.type == OutputType::float32 ? Float32CellBytes : Float64CellBytes);
    checkMemoryAllowed(runBytes(threads, windowBytes, cacheBytes));
    OutputRaster output(settings, *model, grid.rows(rows.first, rows.end), threads, cleanup);
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
