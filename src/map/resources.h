#pragma once

// What a run asks of the system, asked for before anything is written: a node's limits on
// threads (ulimit -u) and memory (ulimit -v) then stop the run with one line instead of a
// hang or a crash halfway. GDAL starts its compression threads only once blocks come, waits
// for ever on one it could not start, and does not always survive a failed allocation.

#include <cstddef>

namespace talvo::map {

// Under an address-space limit (ulimit -v), keeps the allocator to one arena: each further
// arena reserves 64 MiB of it, and threads that took those would leave GDAL none for the
// compression threads it starts later. Call before any other thread starts.
void shareOneArenaUnderAddressLimit();

// Starts the threads a run on `threads` workers takes at once (with GDAL's compression
// threads) and ends them again. Throws Error when the system refuses one.
void checkThreadsAllowed(unsigned threads);

// The memory a run takes beyond what the process holds when it starts: the windows in
// flight (`windowBytes` each, one more than there are workers), GDAL's block cache and the
// threads' stacks.
std::size_t runBytes(unsigned threads, std::size_t windowBytes, std::size_t cacheBytes);

// Throws Error when `bytes` more cannot be had (address space, as ulimit -v limits it).
void checkMemoryAllowed(std::size_t bytes);

} // namespace talvo::map
