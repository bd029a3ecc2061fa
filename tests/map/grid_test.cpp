#include "map/grid.h"

#include <gtest/gtest.h>

#include <array>
#include <ogr_spatialref.h>
#include <string>

namespace talvo::map {
namespace {

std::string wkt(int epsg, const char* const* options = nullptr) {
    OGRSpatialReference crs;
    crs.importFromEPSG(epsg);
    char* text = nullptr;
    crs.exportToWkt(&text, options);
    std::string out(text);
    CPLFree(text);
    return out;
}

Grid grid(int width, int height) {
    return {width, height, {500000, 250, 0, 4000000, 0, -250}, wkt(32632)};
}

struct DifferenceCase {
    const char* what;
    Grid other;
    const char* difference;
};

TEST(GridTest, SaysHowTwoGridsDiffer) {
    Grid moved = grid(100, 80);
    moved.transform[0] += 250;
    Grid coarser = grid(100, 80);
    coarser.transform[1] = 500;
    Grid elsewhere = grid(100, 80);
    elsewhere.crs = wkt(4326);
    Grid unplaced = grid(100, 80);
    unplaced.crs.clear();
    const std::array cases{
        DifferenceCase{"size", grid(100, 81), "size: 100x80 against 100x81"},
        DifferenceCase{"origin", moved,
                       "geotransform: (500000, 250, 0, 4000000, 0, -250) against (500250, 250, 0, "
                       "4000000, 0, -250)"},
        DifferenceCase{"cell", coarser,
                       "geotransform: (500000, 250, 0, 4000000, 0, -250) against (500000, 500, 0, "
                       "4000000, 0, -250)"},
        DifferenceCase{"crs", elsewhere, "coordinate system: EPSG:32632 against EPSG:4326"},
        DifferenceCase{"no crs", unplaced, "coordinate system: EPSG:32632 against none"},
    };
    for (const DifferenceCase& c : cases) {
        EXPECT_EQ(gridDifference(grid(100, 80), c.other).value_or("same"), c.difference) << c.what;
    }
}

TEST(GridTest, AcceptsTheSameGridWrittenDifferently) {
    Grid rounded = grid(100, 80);
    rounded.transform[3] += 1e-7; // a text format's rounding
    EXPECT_FALSE(gridDifference(grid(100, 80), rounded));
    Grid pretty = grid(100, 80);
    const std::array<const char*, 3> options{"FORMAT=WKT2", "MULTILINE=NO", nullptr};
    pretty.crs = wkt(32632, options.data());
    EXPECT_FALSE(gridDifference(grid(100, 80), pretty));
}

} // namespace
} // namespace talvo::map
