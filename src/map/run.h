#pragma once

// A whole map, or one tile of it, block by block on several threads.

#include "cli/interruption.h"
#include "estimation/estimation.h"
#include "map/settings.h"

#include <cstdint>
#include <functional>

namespace talvo::map {

struct Summary {
    int width = 0;
    int height = 0;    // of the map written: the tile's rows with --tile; 0 when it has none
    int mapHeight = 0; // of the inputs
    std::uint64_t cells = 0;
    std::uint64_t estimatedCells = 0;      // the others hold nodata
    estimation::ContentUnitTally contents; // sand, silt and clay of the cells written
    bool oldMapRemoved = false;            // a tile without rows: an earlier run's map of its name
};

// Called in order, from one thread at a time, after each window is written.
using Progress = std::function<void(std::uint64_t windowsDone, std::uint64_t windowsTotal)>;

// Reads the inputs window by window, estimates each cell on `settings.threads` threads and
// writes the windows in order; memory stays bounded whatever the size of the map. The output
// appears whole or not at all, and a signal removes it through `cleanup`; a tile without rows
// writes nothing, and removes a map of its name that an earlier run wrote, so that stitching
// the tiles cannot take it up. GDAL must be registered. Throws Error, also when the system refuses
// the threads the run needs.
Summary runMap(const Settings& settings, const Progress& progress = {},
               cli::InterruptionCleanup* cleanup = nullptr);

} // namespace talvo::map
