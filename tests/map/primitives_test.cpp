// The map's primitives: how two inputs' grids differ, the decimal scales of --scale, the
// rows of each --tile and the input blocks a run keeps in use.

#include "base/error.h"
#include "base/scale.h"
#include "map/block_cache.h"
#include "map/grid.h"
#include "map/tiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <ogr_spatialref.h>
#include <string>
#include <string_view>

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

struct ScaleCase {
    std::string_view text;
    base::DecimalScale scale;
};

TEST(ScaleTest, ParsesDecimalsExactly) {
    const std::array cases{
        ScaleCase{"0.1", {1, 1}},     ScaleCase{"1", {1, 0}},
        ScaleCase{"10", {10, 0}},     ScaleCase{"0.010", {1, 2}},
        ScaleCase{"2.5e-3", {25, 4}}, ScaleCase{"1E1", {10, 0}},
        ScaleCase{"0.0001", {1, 4}},  ScaleCase{".5", {5, 1}},
        ScaleCase{"1e+2", {100, 0}},  ScaleCase{"123456789012345", {123456789012345, 0}},
    };
    for (const ScaleCase& c : cases) {
        EXPECT_EQ(base::parseScale(c.text), c.scale) << c.text;
    }
    // A band's own scale, through its shortest text.
    EXPECT_EQ(base::scaleFromDouble(0.1), (base::DecimalScale{1, 1}));
    EXPECT_EQ(base::scaleFromDouble(0.001), (base::DecimalScale{1, 3}));
    EXPECT_EQ(base::scaleFromDouble(2), (base::DecimalScale{2, 0}));
}

// The value a table row holding the same text would read to: 523 at 0.1 is 52.3, which
// 523 * 0.1 is not. Every int16 at a tenth, and a few other scales.
TEST(ScaleTest, GivesTheDoubleOfTheDecimalText) {
    const base::DecimalScale tenth = base::parseScale("0.1");
    for (int raw = -32768; raw <= 32767; ++raw) {
        const std::string text =
            std::to_string(raw / 10) + "." + std::to_string(std::abs(raw % 10));
        const double expected = (raw < 0 && raw > -10 ? -1 : 1) * std::stod(text);
        ASSERT_EQ(tenth.apply(raw), expected) << raw;
    }
    EXPECT_EQ(base::parseScale("0.01").apply(1234), 12.34);
    EXPECT_EQ(base::parseScale("2.5").apply(3), 7.5);
    EXPECT_EQ(base::parseScale("1").apply(0.1), 0.1);
}

// OC moved into a model's unit stays one decimal scale, in the form parseScale gives.
TEST(ScaleTest, ShiftsByPowersOfTen) {
    struct Shift {
        std::string_view from;
        int places;
        std::string_view to;
    };
    for (const Shift& c : {Shift{"0.1", -1, "0.01"}, Shift{"100", -1, "10"}, Shift{"1", -1, "0.1"},
                           Shift{"2.5", -2, "0.025"}, Shift{"0.1", 1, "1"}, Shift{"1", 1, "10"},
                           Shift{"0.25", 1, "2.5"}, Shift{"0.1", 0, "0.1"}}) {
        EXPECT_EQ(base::parseScale(c.from).shifted(c.places), base::parseScale(c.to))
            << c.from << c.places;
    }
    EXPECT_EQ(base::parseScale("0.1").shifted(-1).apply(50), 0.5); // 50 dg/kg as %
    EXPECT_THROW(base::parseScale("1e-22").shifted(-1), base::Error);
    EXPECT_THROW(base::parseScale("1e15").shifted(2), base::Error);
}

TEST(ScaleTest, ParsesAListByInputName) {
    const base::ScaleSet scales = base::parseScaleList("sand=0.1,clay=0.01,oc=1");
    EXPECT_EQ(scales[0], (base::DecimalScale{1, 1}));
    EXPECT_FALSE(scales[1].has_value());
    EXPECT_EQ(scales[2], (base::DecimalScale{1, 2}));
    EXPECT_EQ(scales[3], (base::DecimalScale{1, 0}));
    EXPECT_EQ(base::soilGridsScales(), base::parseScaleList("sand=0.1,silt=0.1,clay=0.1,oc=0.1"));
}

TEST(ScaleTest, RefusesWhatIsNoPositiveDecimal) {
    for (const std::string_view text : {"", "0", "0.000", "-0.1", "0.1x", "1e", "e1", "0,1",
                                        "1234567890123456", "1e-23", "1e20", "nan", " 0.1"}) {
        EXPECT_THROW(base::parseScale(text), base::Error) << text;
    }
    for (const std::string_view text :
         {"sand", "sand=0.1,sand=0.2", "gravel=0.1", "sand=0.1,", "Sand=0.1", "sand=0"}) {
        EXPECT_THROW(base::parseScaleList(text), base::Error) << text;
    }
    EXPECT_THROW(base::scaleFromDouble(-0.1), base::Error);
}

TEST(TilesTest, ParsesIndexOfCount) {
    EXPECT_EQ(parseTile("1/1"), (Tile{1, 1}));
    EXPECT_EQ(parseTile("3/8"), (Tile{3, 8}));
    for (const std::string_view text :
         {"0/4", "5/4", "1/0", "-1/4", "1", "1/", "/4", "a/b", "1/4/2", "1 /4", "+1/4"}) {
        EXPECT_THROW(parseTile(text), base::Error) << text;
    }
}

struct RowCase {
    Tile tile;
    int height;
    RowRange rows;
};

TEST(TilesTest, SharesWholeBlocksOut) {
    const std::array cases{
        RowCase{{1, 1}, 1000, {0, 1000}},
        RowCase{{1, 4}, 1024, {0, 256}},
        RowCase{{4, 4}, 1024, {768, 1024}},
        RowCase{{1, 3}, 1000, {0, 256}},
        RowCase{{2, 3}, 1000, {256, 512}},
        RowCase{{3, 3}, 1000, {512, 1000}},
        RowCase{{2, 2}, 257, {256, 257}},
        // More tiles than rows of blocks: the first ones are empty, the last take the rows.
        RowCase{{1, 4}, 30, {0, 0}},
        RowCase{{4, 4}, 30, {0, 30}},
        RowCase{{3, 64}, 600, {0, 0}},
        RowCase{{32, 64}, 600, {256, 256}},
        RowCase{{64, 64}, 600, {512, 600}},
    };
    for (const RowCase& c : cases) {
        EXPECT_EQ(tileRows(c.tile, c.height, 256), c.rows) << c.tile.index << "/" << c.tile.count;
    }
}

TEST(TilesTest, TilesCoverEveryRowOnce) {
    for (const int count : {1, 2, 3, 7, 16, 17, 64}) {
        int next = 0;
        int empty = 0;
        for (int index = 1; index <= count; ++index) {
            const RowRange rows = tileRows({index, count}, 4000, 256);
            EXPECT_EQ(rows.first, next);
            EXPECT_GE(rows.end, rows.first);
            empty += rows.end == rows.first ? 1 : 0;
            next = rows.end;
        }
        EXPECT_EQ(next, 4000);
        EXPECT_EQ(empty, std::max(0, count - 16)) << count; // 16 rows of blocks
    }
}

struct CacheCase {
    const char* what;
    BlockLayout block;
    int rasterWidth;
    int rasterHeight;
};

// Windows 256 x 512 with 3 read ahead, as with 2 threads. What must stay cached: the blocks
// under the 4 windows in use, all their rows; a striped raster's strips span its width, so
// that is every strip of the windows' rows. What need not: more than the raster holds.
TEST(BlockCacheTest, HoldsTheBlocksTheWindowsInUseCover) {
    constexpr int WindowWidth = 256;
    constexpr int WindowRows = 512;
    constexpr int WindowsAhead = 3;
    constexpr std::size_t Wide = WindowWidth;
    constexpr std::size_t Rows = WindowRows;
    constexpr std::size_t Ahead = WindowsAhead;
    const std::array cases{
        CacheCase{"one-row strips", {40000, 1, 2}, 40000, 4000},
        CacheCase{"strips of 7 rows", {40000, 7, 2}, 40000, 4000},
        CacheCase{"tiles of 512", {512, 512, 2}, 172800, 4000},
        CacheCase{"tiles of 100", {100, 100, 4}, 172800, 4000},
        CacheCase{"tiles wider than the raster", {1024, 1024, 8}, 300, 200},
        CacheCase{"a raster lower than a window", {40000, 1, 2}, 40000, 10},
    };
    for (const CacheCase& c : cases) {
        const std::size_t bytes = blockBytesInUse(c.block, c.rasterWidth, c.rasterHeight,
                                                  WindowWidth, WindowRows, WindowsAhead);
        const auto blocks = [](std::size_t cells, int blockCells) {
            return (cells + static_cast<std::size_t>(blockCells) - 1) /
                   static_cast<std::size_t>(blockCells);
        };
        const std::size_t blockBytes = static_cast<std::size_t>(c.block.width) *
                                       static_cast<std::size_t>(c.block.height) *
                                       static_cast<std::size_t>(c.block.cellBytes);
        const std::size_t rows =
            std::min<std::size_t>(Rows, static_cast<std::size_t>(c.rasterHeight));
        const std::size_t columns =
            std::min<std::size_t>((Ahead + 1) * Wide, static_cast<std::size_t>(c.rasterWidth));
        EXPECT_GE(bytes, blocks(rows, c.block.height) * blocks(columns, c.block.width) * blockBytes)
            << c.what;
        EXPECT_LE(bytes, blocks(static_cast<std::size_t>(c.rasterHeight), c.block.height) *
                             blocks(static_cast<std::size_t>(c.rasterWidth), c.block.width) *
                             blockBytes)
            << c.what;
    }
    // Tiles leave most of a wide raster's row of blocks out of the cache.
    EXPECT_LT(blockBytesInUse({512, 512, 2}, 172800, 4000, WindowWidth, WindowRows, WindowsAhead),
              std::size_t{172800} * Rows * 2 / 20);
}

} // namespace
} // namespace talvo::map
