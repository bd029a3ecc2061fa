#include "table/pipeline.h"

#include "base/error.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace talvo::table {

namespace {

constexpr unsigned MaxThreads = 4;
// Chunks read ahead of the one being written: a fast core need not wait for a slow one.
constexpr std::size_t Window = 4;
// Pieces a worker may have waiting for the writer before it waits itself.
constexpr std::size_t PiecesWaiting = 1;
// Written pieces, formatted chunks and added horizons kept for reuse: a fresh buffer costs a
// page fault for every 4 KiB it is filled with, which took a quarter of a run's time. As many
// as can be in use at once, so that none is ever freed and made again: one in each slot of
// the window, one with each worker, one with the reader or writer, and one more.
constexpr std::size_t SpareBuffers = Window + MaxThreads + 2;
// Chunks' horizons written out and waiting to be added to the profiles: the writer goes on
// meanwhile, and a pause in adding (fresh memory for the table, say) holds up no chunk.
constexpr std::size_t HorizonsWaiting = Window;
// Horizon batches kept for reuse: those waiting to be added, and the one being added, too.
constexpr std::size_t SpareHorizons = SpareBuffers + HorizonsWaiting + 1;
constexpr std::size_t PieceCapacity = PieceBytes + (PieceBytes >> 2);

// Thrown inside a worker when the run is stopping, to leave its chunk.
struct Stopping {};

class Pipeline {
public:
    Pipeline(ChunkReader& reader, std::ostream& output, const Settings& settings,
             const Columns& columns, const RunOptions& options)
        : m_reader(reader), m_output(output), m_settings(settings), m_columns(columns),
          m_options(options) {
        // Keeping a buffer then never allocates, so a worker cannot fail after its chunk.
        m_spareChunks.reserve(SpareBuffers);
        m_spareOutput.reserve(SpareBuffers);
        m_spareHorizons.reserve(SpareHorizons);
    }

    Summary run(unsigned workers) {
        {
            std::vector<std::jthread> threads;
            try {
                startThread(threads, [this] { read(); });
                if (m_options.profiles != nullptr) {
                    startThread(threads, [this] { gather(); });
                }
                for (unsigned i = 0; i < workers; ++i) {
                    try {
                        startThread(threads, [this] { work(); });
                    } catch (const base::Error&) {
                        if (i == 0) {
                            throw; // no worker at all: nothing would be done
                        }
                        break; // fewer workers only make the run slower
                    }
                }
                write();
                finishGathering();
            } catch (...) {
                stop();
                throw; // the threads are joined on the way out
            }
        }
        if (m_failure) {
            std::rethrow_exception(m_failure); // the profiles' last horizons could not be added
        }
        return m_summary;
    }

private:
    struct Slot {
        std::uint64_t sequence = ~std::uint64_t{0}; // the chunk it holds, once the reader says
        std::deque<OutputPiece> pieces;
        bool done = false;
        std::exception_ptr failure;
        Summary summary;
        HorizonBatch horizons;
        std::uint64_t inputEnd = 0;
        bool paused = false;
    };
    struct Job {
        std::uint64_t sequence = 0;
        Chunk chunk;
    };

    Slot& slot(std::uint64_t sequence) { return m_slots[sequence % Window]; }

    // Starts a thread whose failure (out of memory, say) stops the run and reaches the writer,
    // instead of escaping the thread, which would abort the process.
    template <typename Body> void startThread(std::vector<std::jthread>& threads, Body body) {
        try {
            threads.emplace_back([this, body] {
                try {
                    body();
                } catch (...) {
                    fail(std::current_exception());
                }
            });
        } catch (const std::system_error& error) {
            throw base::Error("the system refused to start a thread: " + error.code().message());
        }
    }

    void fail(std::exception_ptr failure) {
        const std::lock_guard lock(m_mutex);
        if (!m_failure) {
            m_failure = std::move(failure);
        }
        m_stop = true;
        m_windowMoved.notify_all();
        m_jobQueued.notify_all();
        m_pieceTaken.notify_all();
        m_slotChanged.notify_all();
        m_horizonsQueued.notify_all();
        m_horizonsTaken.notify_all();
    }

    void stop() {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
        m_windowMoved.notify_all();
        m_jobQueued.notify_all();
        m_pieceTaken.notify_all();
        m_horizonsQueued.notify_all();
        m_horizonsTaken.notify_all();
    }

    // Adds each chunk's horizons to the profiles, in the order of the chunks, as the writer
    // hands them on.
    void gather() {
        for (;;) {
            HorizonBatch horizons;
            {
                std::unique_lock lock(m_mutex);
                m_horizonsQueued.wait(
                    lock, [&] { return m_stop || !m_horizonsWaiting.empty() || m_horizonsEnd; });
                if (m_stop || m_horizonsWaiting.empty()) {
                    return;
                }
                horizons = std::move(m_horizonsWaiting.front());
                m_horizonsWaiting.pop_front();
            }
            m_options.profiles->add(horizons);
            horizons.clear(); // kept for a worker: growing a fresh one faulted in every chunk
            const std::lock_guard lock(m_mutex);
            if (m_spareHorizons.size() < SpareHorizons) {
                m_spareHorizons.push_back(std::move(horizons));
            }
            m_horizonsTaken.notify_one();
        }
    }

    // Called by the writer: waits while HorizonsWaiting chunks' horizons are.
    void queueHorizons(HorizonBatch horizons) {
        std::unique_lock lock(m_mutex);
        m_horizonsTaken.wait(lock,
                             [&] { return m_stop || m_horizonsWaiting.size() < HorizonsWaiting; });
        if (m_failure) {
            std::rethrow_exception(m_failure);
        }
        m_horizonsWaiting.push_back(std::move(horizons));
        m_horizonsQueued.notify_one();
    }

    // Called by the writer once every chunk is written: the rest of the horizons are added
    // before the run ends.
    void finishGathering() {
        const std::lock_guard lock(m_mutex);
        m_horizonsEnd = true;
        m_horizonsQueued.notify_all();
    }

    void read() {
        for (std::uint64_t sequence = 0;; ++sequence) {
            Chunk chunk;
            chunk.bytes = spare(m_spareChunks);
            bool more = false;
            std::exception_ptr failure;
            try {
                more = m_reader.next(chunk);
            } catch (...) {
                failure = std::current_exception();
            }
            std::unique_lock lock(m_mutex);
            m_windowMoved.wait(lock, [&] { return m_stop || sequence < m_written + Window; });
            if (m_stop) {
                return;
            }
            slot(sequence) = Slot{};
            slot(sequence).sequence = sequence;
            if (failure || !more) {
                slot(sequence).failure = failure;
                slot(sequence).done = failure != nullptr;
                m_end = sequence;
                m_jobQueued.notify_all();
                m_slotChanged.notify_one();
                return;
            }
            m_queue.push_back({sequence, std::move(chunk)});
            m_jobQueued.notify_one();
        }
    }

    void work() {
        RowFormatter formatter(m_settings, m_columns);
        for (;;) {
            std::optional<Job> job;
            {
                std::unique_lock lock(m_mutex);
                m_jobQueued.wait(lock, [&] { return m_stop || !m_queue.empty() || m_end; });
                if (m_stop || m_queue.empty()) {
                    return;
                }
                job.emplace(std::move(m_queue.front()));
                m_queue.pop_front();
            }
            if (m_settings.profiles && formatter.horizons().entries.capacity() == 0) {
                formatter.horizons().reserve(ThreadChunkBytes, m_columns.models.size());
            }
            Summary summary;
            std::exception_ptr failure;
            try {
                format(job->chunk, job->sequence, formatter, summary);
            } catch (const Stopping&) {
                return;
            } catch (...) {
                failure = std::current_exception();
            }
            const std::lock_guard lock(m_mutex);
            keep(m_spareChunks, std::move(job->chunk.bytes));
            Slot& done = slot(job->sequence);
            done.summary = summary;
            std::swap(done.horizons, formatter.horizons());
            formatter.horizons().clear();
            if (!m_spareHorizons.empty()) {
                std::swap(formatter.horizons(), m_spareHorizons.back());
                m_spareHorizons.pop_back();
            }
            done.inputEnd = job->chunk.inputEnd;
            done.paused = job->chunk.paused;
            done.failure = failure;
            done.done = true;
            m_slotChanged.notify_one();
        }
    }

    void format(const Chunk& chunk, std::uint64_t sequence, RowFormatter& formatter,
                Summary& summary) {
        OutputPiece out = emptyPiece();
        const auto handOn = [&](bool last) {
            if (out.size() >= PieceBytes || (last && !out.empty())) {
                push(sequence, std::move(out));
                out = last ? OutputPiece() : emptyPiece();
            }
            if (last && out.capacity() >= PieceBytes) {
                // Freed, it would be handed back to the system and fault in again.
                const std::lock_guard lock(m_mutex);
                keep(m_spareOutput, std::move(out));
            }
        };
        try {
            formatChunk(chunk, m_settings.delimiter, formatter, out, summary,
                        [&handOn](OutputPiece& /*full*/) { handOn(false); });
        } catch (const Stopping&) {
            throw;
        } catch (...) {
            handOn(true); // the rows before the damage are written
            throw;
        }
        handOn(true);
    }

    // A buffer kept from before where one is, holding what it held: the reader writes over a
    // chunk's old bytes, and a string cleared would clear them again as it grows back.
    template <typename Buffer> Buffer spare(std::vector<Buffer>& buffers) {
        const std::lock_guard lock(m_mutex);
        if (buffers.empty()) {
            return {};
        }
        Buffer buffer = std::move(buffers.back());
        buffers.pop_back();
        return buffer;
    }
    // Call with m_mutex held.
    template <typename Buffer> static void keep(std::vector<Buffer>& buffers, Buffer buffer) {
        if (buffers.size() < SpareBuffers) {
            buffers.push_back(std::move(buffer));
        }
    }
    OutputPiece emptyPiece() {
        OutputPiece buffer = spare(m_spareOutput);
        buffer.clear();
        buffer.reserve(PieceCapacity);
        return buffer;
    }

    void push(std::uint64_t sequence, OutputPiece piece) {
        std::unique_lock lock(m_mutex);
        Slot& target = slot(sequence);
        m_pieceTaken.wait(lock, [&] { return m_stop || target.pieces.size() < PiecesWaiting; });
        if (m_stop) {
            throw Stopping{};
        }
        target.pieces.push_back(std::move(piece));
        m_slotChanged.notify_one();
    }

    void write() {
        for (std::uint64_t sequence = 0;; ++sequence) {
            for (;;) {
                OutputPiece piece;
                std::optional<std::uint64_t> progress;
                bool paused = false;
                HorizonBatch horizons;
                {
                    std::unique_lock lock(m_mutex);
                    Slot& current = slot(sequence);
                    m_slotChanged.wait(lock, [&] {
                        return (current.sequence == sequence &&
                                (!current.pieces.empty() || current.done)) ||
                               m_end == sequence || m_failure;
                    });
                    if (m_failure) {
                        std::rethrow_exception(m_failure);
                    }
                    if (!current.pieces.empty()) {
                        piece = std::move(current.pieces.front());
                        current.pieces.pop_front();
                        m_pieceTaken.notify_all();
                    } else if (current.done) {
                        if (current.failure) {
                            std::rethrow_exception(current.failure);
                        }
                        m_summary += current.summary;
                        std::swap(horizons, current.horizons);
                        progress = current.inputEnd;
                        paused = current.paused;
                        ++m_written;
                        m_windowMoved.notify_one();
                    } else {
                        return; // m_end: the input is done
                    }
                }
                if (progress) {
                    if (m_options.profiles != nullptr) {
                        queueHorizons(std::move(horizons));
                    }
                    if (paused && !m_output.flush()) {
                        throw base::Error("cannot write the output");
                    }
                    if (m_options.progress) {
                        m_options.progress(*progress);
                    }
                    break;
                }
                m_output.write(piece.text().data(), static_cast<std::streamsize>(piece.size()));
                if (!m_output) {
                    throw base::Error("cannot write the output");
                }
                const std::lock_guard lock(m_mutex);
                keep(m_spareOutput, std::move(piece));
            }
        }
    }

    ChunkReader& m_reader;
    std::ostream& m_output;
    const Settings& m_settings;
    const Columns& m_columns;
    const RunOptions& m_options;

    std::mutex m_mutex;
    // Each waits for one kind of change: the reader for room in the window, workers for a job
    // or for the writer to take a piece, the writer for a slot's progress.
    std::condition_variable m_windowMoved;
    std::condition_variable m_jobQueued;
    std::condition_variable m_pieceTaken;
    std::condition_variable m_slotChanged;
    // The gatherer waits for horizons, the writer for room among those waiting.
    std::condition_variable m_horizonsQueued;
    std::condition_variable m_horizonsTaken;
    std::deque<HorizonBatch> m_horizonsWaiting;
    bool m_horizonsEnd = false; // every chunk's horizons are queued
    std::deque<Job> m_queue;
    std::array<Slot, Window> m_slots;
    std::vector<std::string> m_spareChunks;
    std::vector<OutputPiece> m_spareOutput;
    std::vector<HorizonBatch> m_spareHorizons;
    std::optional<std::uint64_t> m_end; // sequence after the last chunk
    std::uint64_t m_written = 0;        // chunks written
    bool m_stop = false;
    std::exception_ptr m_failure; // a thread's, which ends the run
    Summary m_summary;
};

} // namespace

Summary runPipeline(ChunkReader& reader, std::ostream& output, const Settings& settings,
                    const Columns& columns, const RunOptions& options) {
    Pipeline pipeline(reader, output, settings, columns, options);
    return pipeline.run(threadsFor(options.threads));
}

unsigned threadsFor(unsigned threads) {
    return threads != 0 ? threads : std::clamp(std::thread::hardware_concurrency(), 1U, MaxThreads);
}

} // namespace talvo::table
