#include "python/interruption.h"

#include <Python.h>

namespace py = pybind11;

namespace talvo::python {

namespace {

// Elsewhere no handler runs, so taking the GIL to ask would only slow the call.
bool onMainThread() {
    const py::object mainThread = py::module_::import("threading").attr("main_thread")();
    return mainThread.attr("ident").cast<unsigned long>() == PyThread_get_thread_ident();
}

} // namespace

Interruption::Interruption()
    : m_mainThread(onMainThread()), m_nextCheck(std::chrono::steady_clock::now() + CheckInterval) {}

bool Interruption::requested() {
    if (m_requested || !m_mainThread) {
        return m_requested;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now < m_nextCheck) {
        return false;
    }
    m_nextCheck = now + CheckInterval;
    const py::gil_scoped_acquire locked;
    // The exception stays set on this thread until raiseIfRequested.
    m_requested = PyErr_CheckSignals() != 0;
    return m_requested;
}

void Interruption::raiseIfRequested() const {
    if (m_requested) {
        throw py::error_already_set();
    }
}

} // namespace talvo::python
