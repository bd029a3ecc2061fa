#pragma once

// How much of GDAL's block cache a run keeps in use. Windows go left to right along a row of
// windows, so an input block stays in use while the windows cross it; a striped raster's
// blocks span its width, so each is used by every window along its rows. A cache smaller than
// that decompresses the same blocks again for each window.

#include <cstddef>

namespace talvo::map {

struct BlockLayout {
    int width = 1;     // cells
    int height = 1;    // rows
    int cellBytes = 1; // as the raster stores a cell
};

// The bytes of one input's blocks in use at once on a raster of `rasterWidth` x
// `rasterHeight` cells, for windows of `windowWidth` x `windowRows` cells of which up to
// `windowsAhead` are read ahead of the oldest one in use. All must be positive.
std::size_t blockBytesInUse(const BlockLayout& block, int rasterWidth, int rasterHeight,
                            int windowWidth, int windowRows, int windowsAhead);

} // namespace talvo::map
