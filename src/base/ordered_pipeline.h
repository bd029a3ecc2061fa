#pragma once

// A long input worked on by several threads and handed back in the order it was read.
// One thread reads each item, workers only work, and the calling thread takes each result:
// what is read stays on the reader, what is written on the calling thread. The reader runs
// apart so that results go out while it waits on an input that pauses (a pipe).

#include <cassert>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

namespace talvo::base {

// The system refused every thread a run asked for: "the system refused to start a thread: "
// and the system's reason.
struct ThreadsRefused : std::system_error {
    explicit ThreadsRefused(const std::system_error& error)
        : std::system_error(error.code(), "the system refused to start a thread") {}
};

// For a pipeline whose workers hand on no pieces: an item's result is the item itself.
struct NoPieces {};

// Memory stays bounded by `inFlight` items, each with at most one piece handed on and not yet
// taken. Run once.
template <typename Item, typename Piece = NoPieces> class OrderedPipeline {
    struct Slot; // declared ahead: Emit holds one

public:
    // Hands a piece of the item a worker is on to the calling thread, waiting while its last
    // one is not yet taken. Once the run stops, throws Stopped, which a worker must let pass.
    class Emit {
    public:
        void operator()(Piece piece) const { m_pipeline.hand(m_slot, std::move(piece)); }

    private:
        friend OrderedPipeline;
        Emit(OrderedPipeline& pipeline, typename OrderedPipeline::Slot& slot)
            : m_pipeline(pipeline), m_slot(slot) {}
        OrderedPipeline& m_pipeline;
        typename OrderedPipeline::Slot& m_slot;
    };
    struct Stopped {};

    OrderedPipeline(unsigned threads, std::size_t inFlight)
        : m_threads(threads), m_slots(inFlight) {
        assert(threads > 0 && inFlight > 0);
    }

    // `read(Item&)` fills the next item and returns false at the end of the input;
    // `makeWorker()` gives each thread its own callable, `worker(Item&)` or
    // `worker(Item&, const Emit&)`; `take(Piece&)` gets each piece and `done(Item&)` each item
    // after its pieces, in input order. `read` runs on a thread of its own, the worker on
    // each worker's; `take` and `done` on the calling thread.
    //
    // The first failure in input order, of a read, a worker or the calling thread's own
    // steps, ends the run: every thread stops, and run() throws it once all are joined. The
    // items before it are taken first. A read that never returns holds up the end. Throws
    // ThreadsRefused when the reader or no worker can start; fewer workers than asked for only
    // make the run slower.
    template <typename Read, typename MakeWorker, typename Take, typename Done>
    void run(Read read, MakeWorker makeWorker, Take take, Done done) {
        std::vector<std::jthread> threads;
        const Stopper stopper{*this}; // destroyed first: the threads stop before they are joined
        for (unsigned i = 0; i < m_threads; ++i) {
            auto worker = makeWorker();
            if (!start(threads, [this, worker = std::move(worker)]() mutable { work(worker); })) {
                break;
            }
        }
        if (threads.empty() || !start(threads, [this, &read] { readAll(read); })) {
            throw ThreadsRefused(m_refused);
        }
        for (;;) {
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [&] { return m_taken < m_read || m_ended; });
                if (m_taken == m_read) {
                    break;
                }
            }
            takeOldest(take, done);
        }
        if (m_readFailure) {
            std::rethrow_exception(m_readFailure);
        }
    }
    template <typename Read, typename MakeWorker, typename Done>
    void run(Read read, MakeWorker makeWorker, Done done) {
        run(
            read, makeWorker, [](Piece& /*piece*/) {}, done);
    }

private:
    struct Slot {
        Item item{};
        std::deque<Piece> pieces;
        bool done = false;
        std::exception_ptr failure;
    };
    struct Stopper {
        explicit Stopper(OrderedPipeline& stopped) : pipeline(stopped) {}
        Stopper(const Stopper&) = delete;
        Stopper& operator=(const Stopper&) = delete;
        ~Stopper() { pipeline.stop(); }
        OrderedPipeline& pipeline;
    };

    Slot& slotOf(std::uint64_t sequence) { return m_slots[sequence % m_slots.size()]; }

    // Starts `body` on a thread of its own; false if the system refuses it.
    template <typename Body> bool start(std::vector<std::jthread>& threads, Body body) {
        try {
            threads.emplace_back(std::move(body));
        } catch (const std::system_error& error) {
            m_refused = error;
            return false;
        }
        return true;
    }

    // Reads each item into the next slot once it is free: a free slot is the reader's alone
    // until it is queued. A read that waits on its input keeps no result from being taken.
    template <typename Read> void readAll(Read& read) {
        for (bool more = true; more;) {
            Slot* slot = nullptr;
            {
                std::unique_lock lock(m_mutex);
                m_freed.wait(lock, [&] { return m_stop || m_read - m_taken < m_slots.size(); });
                if (m_stop) {
                    return;
                }
                slot = &slotOf(m_read);
            }
            slot->pieces.clear();
            slot->done = false;
            slot->failure = nullptr;
            std::exception_ptr failure;
            try {
                more = read(slot->item);
            } catch (...) {
                failure = std::current_exception();
                more = false;
            }
            {
                const std::lock_guard lock(m_mutex);
                if (more) {
                    ++m_read;
                } else {
                    m_ended = true;
                    m_readFailure = failure;
                }
            }
            m_queued.notify_all();
            m_changed.notify_all();
        }
    }

    template <typename Take, typename Done> void takeOldest(Take& take, Done& done) {
        Slot& slot = slotOf(m_taken);
        for (;;) {
            Piece piece;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [&] { return !slot.pieces.empty() || slot.done; });
                if (slot.pieces.empty()) {
                    break;
                }
                piece = std::move(slot.pieces.front());
                slot.pieces.pop_front();
            }
            m_pieceTaken.notify_all();
            take(piece);
        }
        if (slot.failure) {
            std::rethrow_exception(slot.failure);
        }
        done(slot.item);
        {
            const std::lock_guard lock(m_mutex);
            ++m_taken;
        }
        m_freed.notify_one();
    }

    template <typename Worker> void work(Worker& worker) {
        for (;;) {
            Slot* slot = nullptr;
            {
                std::unique_lock lock(m_mutex);
                m_queued.wait(lock, [&] { return m_stop || m_next < m_read || m_ended; });
                if (m_stop || m_next == m_read) {
                    return;
                }
                slot = &slotOf(m_next++);
            }
            std::exception_ptr failure;
            try {
                if constexpr (std::is_invocable_v<Worker&, Item&>) {
                    worker(slot->item);
                } else {
                    worker(slot->item, Emit(*this, *slot));
                }
            } catch (const Stopped&) {
                return;
            } catch (...) {
                failure = std::current_exception();
            }
            {
                const std::lock_guard lock(m_mutex);
                slot->failure = failure;
                slot->done = true;
            }
            m_changed.notify_one();
        }
    }

    void hand(Slot& slot, Piece piece) {
        {
            std::unique_lock lock(m_mutex);
            m_pieceTaken.wait(lock, [&] { return m_stop || slot.pieces.empty(); });
            if (m_stop) {
                throw Stopped{};
            }
            slot.pieces.push_back(std::move(piece));
        }
        m_changed.notify_one();
    }

    void stop() {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_queued.notify_all();
        m_pieceTaken.notify_all();
        m_freed.notify_all();
    }

    unsigned m_threads;
    std::vector<Slot> m_slots;
    std::mutex m_mutex;
    // Workers wait for an item, or for room for a piece; the reader for a free slot; the
    // calling thread for the next item or the oldest item's progress.
    std::condition_variable m_queued;
    std::condition_variable m_pieceTaken;
    std::condition_variable m_freed;
    std::condition_variable m_changed;
    // Items are numbered in input order: m_read of them read, m_next of those given to a
    // worker, m_taken of those taken. Only the reader changes m_read, only the calling thread
    // m_taken.
    std::uint64_t m_read = 0;
    std::uint64_t m_next = 0;
    std::uint64_t m_taken = 0;
    bool m_ended = false;             // the input is done
    std::exception_ptr m_readFailure; // why it ended early
    std::system_error m_refused{std::error_code()};
    bool m_stop = false;
};

} // namespace talvo::base
