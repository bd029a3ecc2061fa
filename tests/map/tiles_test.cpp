#include "map/error.h"
#include "map/tiles.h"

#include <gtest/gtest.h>

#include <array>
#include <string_view>

namespace talvo::map {
namespace {

TEST(TilesTest, ParsesIndexOfCount) {
    EXPECT_EQ(parseTile("1/1"), (Tile{1, 1}));
    EXPECT_EQ(parseTile("3/8"), (Tile{3, 8}));
    for (const std::string_view text :
         {"0/4", "5/4", "1/0", "-1/4", "1", "1/", "/4", "a/b", "1/4/2", "1 /4", "+1/4"}) {
        EXPECT_THROW(parseTile(text), Error) << text;
    }
}

struct RowCase {
    Tile tile;
    int height;
    RowRange rows;
};

TEST(TilesTest, SharesWholeBlocksOut) {
    const std::array cases{
        RowCase{{1, 1}, 1000, {0, 1000}},   RowCase{{1, 4}, 1024, {0, 256}},
        RowCase{{4, 4}, 1024, {768, 1024}}, RowCase{{1, 3}, 1000, {0, 256}},
        RowCase{{2, 3}, 1000, {256, 512}},  RowCase{{3, 3}, 1000, {512, 1000}},
        RowCase{{2, 2}, 257, {256, 257}},
    };
    for (const RowCase& c : cases) {
        EXPECT_EQ(tileRows(c.tile, c.height, 256), c.rows) << c.tile.index << "/" << c.tile.count;
    }
}

TEST(TilesTest, TilesCoverEveryRowOnce) {
    for (const int count : {1, 2, 3, 7, 16}) {
        int next = 0;
        for (int index = 1; index <= count; ++index) {
            const RowRange rows = tileRows({index, count}, 4000, 256);
            EXPECT_EQ(rows.first, next);
            EXPECT_GT(rows.end, rows.first);
            next = rows.end;
        }
        EXPECT_EQ(next, 4000);
    }
}

} // namespace
} // namespace talvo::map
