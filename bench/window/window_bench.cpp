// Start-up of the calculator next to a bare Qt window with one button: the time from
// starting the process to its window being mapped, and to its first paint, and the peak
// memory of the process.
// Needs an X server: xvfb-run -a build/bench/bin/window_bench

#include "x11/session.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

enum class Until { shown, painted };

void startUntil(benchmark::State& state, const char* program, Until until) {
    talvo::x11::Session session;
    long peakKb = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        const pid_t pid = talvo::x11::spawn({program});
        const auto window = session.waitForMap(30s);
        const bool painted =
            window && (until == Until::shown || session.waitForPaint(*window, 30s));
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        if (!window || !painted) {
            kill(pid, SIGKILL);
            state.SkipWithError(window ? "never painted" : "no window");
            break;
        }
        // Let it paint before closing, so that the peak memory includes a shown window.
        std::this_thread::sleep_for(300ms);
        session.requestClose(*window);
        const auto exit = talvo::x11::waitForExit(pid, 10s);
        if (!exit) {
            kill(pid, SIGKILL);
            state.SkipWithError("did not end when closed");
            break;
        }
        peakKb = std::max(peakKb, exit->peakMemoryKb);
    }
    state.counters["peak_rss_MiB"] = static_cast<double>(peakKb) / 1024.0;
}

void startUntilShown(benchmark::State& state, const char* program) {
    startUntil(state, program, Until::shown);
}
// Mapped, then drawn: the window's text in its fonts is part of its start.
void startUntilPainted(benchmark::State& state, const char* program) {
    startUntil(state, program, Until::painted);
}

BENCHMARK_CAPTURE(startUntilShown, bare_qt_window, BARE_QT_WINDOW)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);
BENCHMARK_CAPTURE(startUntilShown, talvo, TALVO)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);
BENCHMARK_CAPTURE(startUntilPainted, bare_qt_window, BARE_QT_WINDOW)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);
BENCHMARK_CAPTURE(startUntilPainted, talvo, TALVO)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

} // namespace

BENCHMARK_MAIN();
