#include "map/pipeline.h"

#include "map/cell_estimates.h"
#include "map/error.h"

#include <optional>
#include <system_error>
#include <thread>

namespace talvo::map {

std::uint64_t Pipeline::run(unsigned threads) {
    m_slots.resize(threads + 1);
    std::vector<std::thread> running;
    std::exception_ptr failure = start(running, threads);
    if (!failure) {
        try {
            write();
        } catch (...) {
            failure = std::current_exception();
        }
    }
    stop();
    for (std::thread& thread : running) {
        thread.join();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
    return m_estimated;
}

std::exception_ptr Pipeline::start(std::vector<std::thread>& running, unsigned workers) {
    try {
        running.emplace_back([this] { read(); });
        for (unsigned i = 0; i < workers; ++i) {
            running.emplace_back([this] { work(); });
        }
    } catch (const std::system_error& error) {
        // Asked for at the start (checkThreadsAllowed), but another process took them.
        return std::make_exception_ptr(
            Error("the system refused to start a thread: " + error.code().message() +
                  "; give fewer with --threads"));
    }
    return nullptr;
}

void Pipeline::stop() {
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_slotFreed.notify_all();
    m_windowQueued.notify_all();
}

void Pipeline::read() {
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
        if (!readWindow(slot)) {
            return;
        }
    }
}

bool Pipeline::readWindow(Slot& slot) {
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
    } else {
        m_windowQueued.notify_one();
    }
    return !failed;
}

void Pipeline::write() {
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
        m_contents += slot.contents;
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

void Pipeline::work() {
    // Out of memory here goes to the writer with the first window taken, not past the
    // thread, which would abort the run.
    std::optional<CellEstimates> estimates;
    std::exception_ptr broken;
    try {
        estimates.emplace(m_model, m_inputs, m_settings.precision, m_settings.psd);
    } catch (...) {
        broken = std::current_exception();
    }
    while (Slot* const slot = nextQueued()) {
        try {
            if (broken) {
                std::rethrow_exception(broken);
            }
            estimate(*slot, *estimates);
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

Pipeline::Slot* Pipeline::nextQueued() {
    std::unique_lock lock(m_mutex);
    m_windowQueued.wait(lock, [&] { return m_stop || !m_queue.empty(); });
    if (m_stop) {
        return nullptr;
    }
    Slot* const slot = m_queue.front();
    m_queue.pop_front();
    return slot;
}

void Pipeline::estimate(Slot& slot, CellEstimates& estimates) const {
    const auto cells =
        static_cast<std::size_t>(slot.window.width) * static_cast<std::size_t>(slot.window.height);
    slot.results.resize(m_settings.type, cells);
    slot.contents = {};
    slot.estimated =
        estimates.estimate(slot.inputs, cells, slot.results, m_settings.type, slot.contents);
}

} // namespace talvo::map
