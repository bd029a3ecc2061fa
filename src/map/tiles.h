#pragma once

// Splitting a map into horizontal bands of blocks, so that the jobs of a cluster's array can
// each write one band and gdalbuildvrt can stitch them.

#include <string_view>

namespace talvo::map {

// The index-th (from 1) of count bands.
struct Tile {
    int index = 1;
    int count = 1;

    friend bool operator==(const Tile&, const Tile&) = default;
};

// "3/8". Throws Error.
Tile parseTile(std::string_view text);

// Rows [first, end) of the raster.
struct RowRange {
    int first = 0;
    int end = 0;

    friend bool operator==(const RowRange&, const RowRange&) = default;
};

// The rows of a tile: the raster's rows of blocks of blockHeight are shared out as evenly as
// whole blocks allow, the first tiles taking the smaller shares; the last block may be short.
// Where there are fewer rows of blocks than tiles, some tiles have none (first == end), so that
// a fixed array of cluster tasks runs on any map.
RowRange tileRows(Tile tile, int height, int blockHeight);

} // namespace talvo::map
