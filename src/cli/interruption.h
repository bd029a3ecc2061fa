#pragma once

// What a signal does to a run that writes a temporary file.

#include <array>
#include <csignal>
#include <cstddef>
#include <filesystem>
#include <vector>

namespace talvo::cli {

// While it lives, every signal whose default action ends the process (all but SIGKILL and
// SIGSTOP, which cannot be caught) removes the temporary files named by removeOnSignal(), for
// every file the run writes, and
// then ends the process as it would have, so an interrupted run leaves no half file behind.
// A signal the process inherited as ignored stays ignored: that is how nohup keeps a run
// alive after logout. SIGXFSZ is ignored, so a write beyond `ulimit -f` fails with EFBIG and
// is cleaned up and reported like a full disk.
// A signal handler can reach only static storage, so there is one at a time; a second
// throws std::logic_error.
class InterruptionCleanup {
public:
    // Files a signal removes for one writer: a file and the one written beside it, and a
    // scratch file the writer makes it from, with its own.
    static constexpr std::size_t MaxFiles = 4;
    // Files written at once by one run: a table, a summary or scores, and a report.
    static constexpr std::size_t MaxWriters = 4;
    using Writer = std::size_t;

    InterruptionCleanup();
    InterruptionCleanup(const InterruptionCleanup&) = delete;
    InterruptionCleanup& operator=(const InterruptionCleanup&) = delete;
    // Puts back the actions it replaced.
    ~InterruptionCleanup();

    // A writer's own share of what a signal removes, named by removeOnSignal(). Throws
    // std::logic_error when MaxWriters are in use.
    Writer addWriter();
    // Its files are no longer removed, and the share may be taken again.
    void removeWriter(Writer writer);
    // The files a signal removes for `writer`, at most MaxFiles; none for an empty list. A
    // path too long to hold is not removed.
    void removeOnSignal(Writer writer, const std::vector<std::filesystem::path>& temporaries);

    // While it lives, the calling thread holds these signals back (one sent to it that a
    // fault can also raise comes at its end), and a signal taken by another thread waits
    // before it removes anything. So a file is named before a signal
    // can find it, and files that are renamed into place together are all renamed or none.
    // Keep it short: a signal waits for it.
    class Hold {
    public:
        Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        ~Hold();

    private:
        sigset_t m_mask{}; // as it was before
        bool m_holding = false;
        long m_previousHolder = 0; // a Hold further up the same thread
    };

    // The signals it handles: every one whose default action ends the process.
    static std::vector<int> handledSignals();
    // Whether a Hold holds `signal` back: not a fault's (SIGSEGV and the like), which the
    // faulting instruction raises again at once.
    static bool holds(int signal);

private:
    std::vector<int> m_signals;
    std::vector<struct sigaction> m_previous;
    std::array<bool, MaxWriters> m_inUse{};
};

} // namespace talvo::cli
