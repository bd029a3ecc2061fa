#pragma once

// The table's run: the calling thread reads chunks and writes their output in input order
// while workers format them.

#include "table/chunks.h"
#include "table/columns.h"
#include "table/horizons.h"
#include "table/rows.h"
#include "table/settings.h"

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

namespace talvo::table {

struct RunOptions {
    unsigned threads = 0; // workers; 0: as many as the machine has, at most 4
    // Called now and then, in order, with the count of input bytes consumed so far; from the
    // calling thread, outside every lock.
    std::function<void(std::uint64_t)> progress;
    // Told of what the run does differently from what was asked: a model left out.
    std::function<void(const std::string&)> notice;
    // The input as messages name it ("soils.csv"); a header the models cannot use is reported
    // with it. Empty: messages name no input.
    std::string inputName;
    // With --profiles: gathers the horizons, in input order, from the writing thread.
    ProfileTable* profiles = nullptr;
};

// The threads that work when `threads` are asked for: 0 gives as many as the machine has, at
// most 4.
unsigned threadsFor(unsigned threads);

// Formats every chunk `reader` gives into `output`. The first failure anywhere (reading, a
// worker, writing, the progress callback) ends the run with that error once every thread
// has stopped; the output before the damaged record is written.
Summary runPipeline(ChunkReader& reader, std::ostream& output, const Settings& settings,
                    const Columns& columns, const RunOptions& options);

} // namespace talvo::table
