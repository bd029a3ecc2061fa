#include "table/interruption.h"

#include <atomic>
#include <cstring>
#include <pthread.h>
#include <stdexcept>
#include <unistd.h>

namespace talvo::table {

namespace {

// The handler's state: it may touch nothing else. The name is written only while unarmed.
std::array<char, 4096> temporaryName{};
std::atomic<bool> armed{false};
std::atomic<bool> installed{false};

extern "C" void removeAndEnd(int signal) {
    if (armed.load()) {
        ::unlink(temporaryName.data());
    }
    // The default action, which ends the process once this handler returns.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    ::sigemptyset(&fallback.sa_mask);
    ::sigaction(signal, &fallback, nullptr);
    ::raise(signal);
}

} // namespace

InterruptionCleanup::InterruptionCleanup() {
    if (installed.exchange(true)) {
        throw std::logic_error("one InterruptionCleanup at a time");
    }
    for (std::size_t i = 0; i < Signals.size(); ++i) {
        struct sigaction action {};
        ::sigemptyset(&action.sa_mask);
        if (Signals[i] == SIGXFSZ) {
            action.sa_handler = SIG_IGN;
        } else {
            if (::sigaction(Signals[i], nullptr, &m_previous[i]) == 0 &&
                m_previous[i].sa_handler == SIG_IGN) {
                continue;
            }
            action.sa_handler = removeAndEnd;
        }
        m_replaced[i] = ::sigaction(Signals[i], &action, &m_previous[i]) == 0;
    }
}

InterruptionCleanup::~InterruptionCleanup() {
    for (std::size_t i = 0; i < Signals.size(); ++i) {
        if (m_replaced[i]) {
            ::sigaction(Signals[i], &m_previous[i], nullptr);
        }
    }
    armed = false;
    installed = false;
}

void InterruptionCleanup::removeOnSignal(const std::filesystem::path& temporary) {
    armed = false;
    const std::string& name = temporary.native();
    if (name.empty() || name.size() >= temporaryName.size()) {
        return;
    }
    temporaryName.fill('\0');
    name.copy(temporaryName.data(), name.size());
    armed = true;
}

InterruptionCleanup::Hold::Hold() {
    sigset_t held{};
    ::sigemptyset(&held);
    for (const int signal : Signals) {
        ::sigaddset(&held, signal);
    }
    m_holding = ::pthread_sigmask(SIG_BLOCK, &held, &m_mask) == 0;
}

InterruptionCleanup::Hold::~Hold() {
    if (m_holding) {
        ::pthread_sigmask(SIG_SETMASK, &m_mask, nullptr);
    }
}

} // namespace talvo::table
