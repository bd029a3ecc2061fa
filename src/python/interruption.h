#pragma once

// Ctrl+C during a long call. Python runs its signal handlers on the main thread only, holding
// the GIL; work that runs without the GIL lets them run between its pieces.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <pybind11/pybind11.h>

namespace talvo::python {

class Interruption {
public:
    // With the GIL held, on the thread that runs the call.
    Interruption();

    // Without the GIL, on that thread, between pieces of work: whether a signal handler raised
    // (KeyboardInterrupt for Ctrl+C). Takes the GIL at most once per CheckInterval, so that
    // asking after every piece costs nothing measurable even where other threads hold it.
    bool requested();

    // With the GIL held, after the work: throws what the handler raised, if it did.
    void raiseIfRequested() const;

    static constexpr std::chrono::milliseconds CheckInterval{20};

private:
    bool m_mainThread;
    bool m_requested = false;
    std::chrono::steady_clock::time_point m_nextCheck;
};

// work(first, last) over the cells [0, count), `piece` at a time, without the GIL; a signal
// handler's exception stops it between pieces and is thrown.
template <typename Work> void inPieces(std::size_t count, std::size_t piece, Work work) {
    Interruption interruption;
    {
        const pybind11::gil_scoped_release unlocked;
        for (std::size_t first = 0; first < count && !interruption.requested(); first += piece) {
            work(first, std::min(count, first + piece));
        }
    }
    interruption.raiseIfRequested();
}

} // namespace talvo::python
