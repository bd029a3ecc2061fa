#pragma once

// The grid of a raster: every input must lie on the same one, cell for cell.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace talvo::map {

struct Grid {
    int width = 0;
    int height = 0;
    std::array<double, 6> transform{0, 1, 0, 0, 0, 1}; // GDAL's geotransform
    std::string crs;                                   // WKT; empty when none is set

    // The same grid cut to rows [first, end): the origin moves down by `first` rows.
    Grid rows(int first, int end) const;
};

// How two grids differ, as the end of a sentence ("size: 100x80 against 100x81"); nothing
// when they are the same. Origins and cell sizes may differ by a millionth of a cell, as
// text formats round them; coordinate systems are compared by meaning, not by text.
std::optional<std::string> gridDifference(const Grid& a, const Grid& b);

// Throws Error "--sand a.tif and --clay b.tif differ in size: 100x80 against 100x81" when
// the grids differ; the labels name the option and the file.
void requireSameGrid(std::string_view labelA, const Grid& a, std::string_view labelB,
                     const Grid& b);

} // namespace talvo::map
