#include "table/interruption.h"

#include <atomic>
#include <cstring>
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
    // SA_RESETHAND has put back the default action; it ends the process once this returns.
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
            action.sa_flags = static_cast<int>(SA_RESETHAND);
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

} // namespace talvo::table
