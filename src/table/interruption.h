#pragma once

// What a signal does to a run that writes a temporary file.

#include <array>
#include <csignal>
#include <filesystem>

namespace talvo::table {

// While it lives, SIGINT, SIGTERM, SIGHUP and SIGPIPE remove the temporary file named by
// removeOnSignal() and then end the process as they would have, so an interrupted run leaves
// no half table behind. A signal the process inherited as ignored stays ignored: that is how
// nohup keeps a run alive after logout. SIGXFSZ is ignored, so a write beyond `ulimit -f`
// fails with EFBIG and is cleaned up and reported like a full disk.
// From construction until removeOnSignal() these signals are held back in the calling
// thread, so that one arriving while the file is being created still finds it named.
// A signal handler can reach only static storage, so there is one at a time; a second
// throws std::logic_error. Create it before any other thread.
class InterruptionCleanup {
public:
    InterruptionCleanup();
    InterruptionCleanup(const InterruptionCleanup&) = delete;
    InterruptionCleanup& operator=(const InterruptionCleanup&) = delete;
    // Puts back the actions it replaced.
    ~InterruptionCleanup();

    // The file a signal removes; empty for none. A path too long to hold is not removed.
    // Lets held signals through.
    void removeOnSignal(const std::filesystem::path& temporary);

private:
    void letThrough();

    static constexpr std::array<int, 5> Signals{SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ};
    std::array<struct sigaction, Signals.size()> m_previous{};
    std::array<bool, Signals.size()> m_replaced{};
    sigset_t m_mask{}; // the signal mask before
    bool m_holding = false;
};

} // namespace talvo::table
