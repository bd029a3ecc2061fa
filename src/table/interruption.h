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
// A signal handler can reach only static storage, so there is one at a time; a second
// throws std::logic_error.
class InterruptionCleanup {
public:
    InterruptionCleanup();
    InterruptionCleanup(const InterruptionCleanup&) = delete;
    InterruptionCleanup& operator=(const InterruptionCleanup&) = delete;
    // Puts back the actions it replaced.
    ~InterruptionCleanup();

    // The file a signal removes; empty for none. A path too long to hold is not removed.
    void removeOnSignal(const std::filesystem::path& temporary);

    // Holds these signals back in the calling thread while it lives, so that one arriving
    // while a file is created finds it named.
    class Hold {
    public:
        Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        ~Hold();

    private:
        sigset_t m_mask{}; // as it was before
        bool m_holding = false;
    };

private:
    static constexpr std::array<int, 5> Signals{SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ};
    std::array<struct sigaction, Signals.size()> m_previous{};
    std::array<bool, Signals.size()> m_replaced{};
};

} // namespace talvo::table
