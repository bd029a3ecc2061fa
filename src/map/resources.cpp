#include "map/resources.h"

#include "base/error.h"
#include "map/output.h"

#include <latch>
#include <malloc.h>
#include <optional>
#include <string>
#include <sys/mman.h>
#include <sys/resource.h>
#include <system_error>
#include <thread>
#include <vector>

namespace talvo::map {

namespace {

// What else a process of this size maps as it runs: allocator arenas, GDAL's and the
// compressor's buffers.
constexpr std::size_t SpareBytes = std::size_t{64} << 20U;
// A thread's stack where the limit gives none.
constexpr std::size_t DefaultStackBytes = std::size_t{8} << 20U;

unsigned threadsTaken(unsigned threads) {
    return threads + compressionThreads(threads);
}

// The workers and GDAL's compression threads, as a message names them.
std::string threadCount(unsigned threads) {
    return std::to_string(threadsTaken(threads)) + " threads (" + std::to_string(threads) +
           " to estimate, " + std::to_string(compressionThreads(threads)) + " to compress)";
}

std::size_t stackBytes() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_STACK, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return DefaultStackBytes;
    }
    return static_cast<std::size_t>(limit.rlim_cur);
}

} // namespace

void shareOneArenaUnderAddressLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        ::mallopt(M_ARENA_MAX, 1);
    }
}

void checkThreadsAllowed(unsigned threads) {
    const unsigned count = threadsTaken(threads);
    std::latch release(1);
    std::vector<std::thread> probes;
    probes.reserve(count);
    std::optional<base::Error> refused;
    try {
        for (unsigned i = 0; i < count; ++i) {
            probes.emplace_back([&release] { release.wait(); });
        }
    } catch (const std::system_error& error) {
        refused = base::Error("the system refused to start " + threadCount(threads) + ": " +
                              error.code().message() + "; give fewer with --threads");
    }
    release.count_down();
    for (std::thread& probe : probes) {
        probe.join();
    }
    if (refused) {
        throw *refused;
    }
}

std::size_t runBytes(unsigned threads, std::size_t windowBytes, std::size_t cacheBytes) {
    return (threads + 1) * windowBytes + cacheBytes + threadsTaken(threads) * stackBytes() +
           SpareBytes;
}

void checkMemoryAllowed(std::size_t bytes) {
    // Address space only: nothing is touched, and the kernel counts it against the limit.
    void* const room =
        ::mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (room == MAP_FAILED) {
        throw base::Error("out of memory: the run needs about " + std::to_string(bytes >> 20U) +
                          " MiB more than the system allows (see ulimit -v); give fewer --threads "
                          "or a smaller GDAL_CACHEMAX");
    }
    ::munmap(room, bytes);
}

} // namespace talvo::map
