#include "estimation/recent_cells.h"

#include <gtest/gtest.h>

#include <cmath>

namespace talvo::estimation {
namespace {

// Counts its calls and gives the sum of the four numbers, -1 for four NaNs.
struct CountingSum {
    int& calls;
    double operator()(const std::array<double, 4>& n) const {
        ++calls;
        return std::isnan(n[0]) ? -1 : n[0] + n[1] + n[2] + n[3];
    }
};

// A hit must be the same cell bit for bit: -0 is not 0, and a slot that was never filled
// holds the cell of four NaNs, not a cell of zeros.
TEST(RecentCellsTest, AHitIsTheSameCellBitForBit) {
    int calls = 0;
    const CountingSum sum{calls};
    RecentCells<double, 4> cells(sum);
    calls = 0;
    const double nan = std::nan("");

    EXPECT_EQ(cells.find({nan, nan, nan, nan}, sum), -1.0);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(cells.find({0, 0, 0, 0}, sum), 0.0);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(cells.find({0, 0, 0, 0}, sum), 0.0);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(std::signbit(cells.find({-0.0, -0.0, -0.0, -0.0}, sum)));
    EXPECT_EQ(calls, 2);
    // More cells than slots: each is still its own.
    for (int i = 0; i < 100; ++i) {
        const double oc = i;
        EXPECT_EQ(cells.find({1, 2, 3, oc}, sum), 6 + oc);
    }
}

} // namespace
} // namespace talvo::estimation
