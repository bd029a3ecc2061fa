#include "cli/interruption.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <ctime>
#include <pthread.h>
#include <stdexcept>
#include <string_view>
#include <sys/syscall.h>
#include <unistd.h>

namespace talvo::cli {

namespace {

// The handler's state: it may touch nothing else. A writer's names are written only while
// its share is unarmed.
constexpr std::size_t NameBytes = 4096;
using Names = std::array<std::array<char, NameBytes>, InterruptionCleanup::MaxFiles>;
std::array<Names, InterruptionCleanup::MaxWriters> temporaryNames{};
std::array<std::atomic<bool>, InterruptionCleanup::MaxWriters> armed{};
std::atomic<bool> installed{false};
// The thread inside a Hold, by its kernel id; 0 for none.
std::atomic<long> holder{0};
// A signal sent to that thread that a Hold does not hold back, kept for the Hold's end.
std::atomic<int> deferred{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<long>::is_always_lock_free &&
              std::atomic<int>::is_always_lock_free);

// Raised by the faulting instruction itself: holding them back would not stop them.
constexpr std::array<int, 6> synchronousSignals{SIGILL, SIGTRAP, SIGBUS, SIGFPE, SIGSEGV, SIGSYS};

long threadId() {
    return ::syscall(SYS_gettid);
}

extern "C" void removeAndEnd(int signal, siginfo_t* info, void* /*context*/) {
    const long self = threadId();
    // Sent (kill, raise), not raised by a fault, to the thread that is naming or renaming its
    // files: such a signal (SIGTRAP, say) is not held back, and acting now could leave a file
    // not yet named. The Hold's end sends it again.
    if (holder.load() == self && info != nullptr && info->si_code <= 0) {
        deferred = signal;
        return;
    }
    // Another thread is renaming files into place: removing them now would split the set.
    const timespec pause{0, 1'000'000};
    while (holder.load() != 0 && holder.load() != self) {
        ::nanosleep(&pause, nullptr);
    }
    for (std::size_t writer = 0; writer < temporaryNames.size(); ++writer) {
        if (!armed[writer].load()) {
            continue;
        }
        for (const auto& name : temporaryNames[writer]) {
            if (name[0] != '\0') {
                ::unlink(name.data());
            }
        }
    }
    // The default action, which ends the process once this handler returns (a fault's
    // instruction runs again and faults once more).
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    ::sigemptyset(&fallback.sa_mask);
    ::sigaction(signal, &fallback, nullptr);
    ::raise(signal);
}

} // namespace

std::vector<int> InterruptionCleanup::handledSignals() {
    std::vector<int> signals{SIGHUP,  SIGINT,  SIGQUIT,   SIGILL,  SIGTRAP, SIGABRT,
                             SIGBUS,  SIGFPE,  SIGUSR1,   SIGSEGV, SIGUSR2, SIGPIPE,
                             SIGALRM, SIGTERM, SIGSTKFLT, SIGXCPU, SIGXFSZ, SIGVTALRM,
                             SIGPROF, SIGIO,   SIGPWR,    SIGSYS};
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) {
        signals.push_back(signal);
    }
    return signals;
}

bool InterruptionCleanup::holds(int signal) {
    return std::find(synchronousSignals.begin(), synchronousSignals.end(), signal) ==
           synchronousSignals.end();
}

InterruptionCleanup::InterruptionCleanup() : m_signals(handledSignals()) {
    if (installed.exchange(true)) {
        throw std::logic_error("one InterruptionCleanup at a time");
    }
    m_previous.resize(m_signals.size());
    for (std::size_t i = 0; i < m_signals.size(); ++i) {
        struct sigaction action {};
        ::sigemptyset(&action.sa_mask);
        if (m_signals[i] == SIGXFSZ) {
            action.sa_handler = SIG_IGN;
        } else {
            if (::sigaction(m_signals[i], nullptr, &m_previous[i]) == 0 &&
                m_previous[i].sa_handler == SIG_IGN) {
                m_signals[i] = 0; // inherited ignored: stays so
                continue;
            }
            action.sa_sigaction = removeAndEnd;
            action.sa_flags = SA_SIGINFO;
        }
        if (::sigaction(m_signals[i], &action, &m_previous[i]) != 0) {
            m_signals[i] = 0;
        }
    }
}

InterruptionCleanup::~InterruptionCleanup() {
    for (std::size_t i = 0; i < m_signals.size(); ++i) {
        if (m_signals[i] != 0) {
            ::sigaction(m_signals[i], &m_previous[i], nullptr);
        }
    }
    for (std::atomic<bool>& writer : armed) {
        writer = false;
    }
    installed = false;
}

InterruptionCleanup::Writer InterruptionCleanup::addWriter() {
    auto* const free = std::find(m_inUse.begin(), m_inUse.end(), false);
    if (free == m_inUse.end()) {
        throw std::logic_error("more files written at once than InterruptionCleanup holds");
    }
    *free = true;
    return static_cast<Writer>(free - m_inUse.begin());
}

void InterruptionCleanup::removeWriter(Writer writer) {
    removeOnSignal(writer, {});
    m_inUse.at(writer) = false;
}

void InterruptionCleanup::removeOnSignal(Writer writer,
                                         const std::vector<std::filesystem::path>& temporaries) {
    Names& names = temporaryNames.at(writer);
    armed.at(writer) = false;
    for (std::size_t i = 0; i < names.size(); ++i) {
        names[i].fill('\0');
        const std::string_view name =
            i < temporaries.size() ? std::string_view(temporaries[i].native()) : std::string_view();
        if (name.size() < NameBytes) {
            name.copy(names[i].data(), name.size());
        }
    }
    armed.at(writer) = !temporaries.empty();
}

InterruptionCleanup::Hold::Hold() {
    sigset_t held{};
    ::sigemptyset(&held);
    for (const int signal : handledSignals()) {
        if (holds(signal)) {
            ::sigaddset(&held, signal);
        }
    }
    m_holding = ::pthread_sigmask(SIG_BLOCK, &held, &m_mask) == 0;
    m_previousHolder = holder.exchange(threadId());
}

InterruptionCleanup::Hold::~Hold() {
    holder = m_previousHolder;
    if (m_holding) {
        ::pthread_sigmask(SIG_SETMASK, &m_mask, nullptr);
    }
    if (const int signal = deferred.exchange(0); signal != 0) {
        ::raise(signal);
    }
}

} // namespace talvo::cli
