// Scores from sums, the fixed generator and the bootstrap's percentile intervals.

#include "estimation/estimation.h"
#include "evaluation/scores.h"
#include "soils.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

namespace talvo::evaluation {
namespace {

// Estimates and measurements made to give known scores.
struct KnownCase {
    const char* name;
    std::vector<double> estimated, measured;
    double me, mae, rmse, r2, nse;
};

TEST(Scores, KnownValues) {
    using estimation::NoNumber;
    const std::vector<KnownCase> cases{
        // measured = estimated + 2: every difference -2.
        {"shifted", {10, 20, 30, 40}, {12, 22, 32, 42}, -2, 2, 2, 1, 1 - 16.0 / 500},
        {"perfect", {10, 25, 31, 47}, {10, 25, 31, 47}, 0, 0, 0, 1, 1},
        // Differences +1 and -1: no bias, RMSE 1.
        {"scattered",
         {11, 19, 31, 39},
         {10, 20, 30, 40},
         0,
         1,
         1,
         480.0 * 480 / (464.0 * 500),
         1 - 4.0 / 500},
        // One row: no spread, so no R2 or NSE.
        {"one row", {5}, {7}, -2, 2, 2, NoNumber, NoNumber},
        {"no spread", {5, 6}, {7, 7}, -1.5, 1.5, std::sqrt(2.5), NoNumber, NoNumber},
    };
    for (const KnownCase& c : cases) {
        SCOPED_TRACE(c.name);
        Sums sums;
        for (std::size_t i = 0; i < c.estimated.size(); ++i) {
            sums.add(c.estimated[i], c.measured[i]);
        }
        const Scores s = scores(sums);
        EXPECT_EQ(s.n, static_cast<double>(c.estimated.size()));
        EXPECT_NEAR(s.me, c.me, 1e-12);
        EXPECT_NEAR(s.mae, c.mae, 1e-12);
        EXPECT_NEAR(s.rmse, c.rmse, 1e-12);
        for (const auto& [value, expected] : {std::pair{s.r2, c.r2}, std::pair{s.nse, c.nse}}) {
            if (std::isnan(expected)) {
                EXPECT_TRUE(std::isnan(value));
            } else {
                EXPECT_NEAR(value, expected, 1e-12);
            }
        }
    }
    EXPECT_TRUE(std::isnan(scores(Sums{}).me));
}

// Two rows lie on a line: R2 is 1 at most, where the sums' rounding gave 1.0000000000000009.
TEST(Scores, SquaredCorrelationNeverAboveOne) {
    const std::vector<std::array<double, 4>> pairs{
        {13.85, 42.18, 46.7, 6.6}, {10.1, 20.3, 30.7, 12.9}, {0.26, 0.31, 27.4, 31.2}};
    for (const auto& [e1, e2, m1, m2] : pairs) {
        Sums sums;
        sums.add(e1, m1);
        sums.add(e2, m2);
        EXPECT_LE(scores(sums).r2, 1.0) << e1 << ", " << e2;
        EXPECT_NEAR(scores(sums).r2, 1.0, 1e-12) << e1 << ", " << e2;
    }
}

// The generator's outputs are part of the results: the same on every platform.
TEST(SplitMix64, ReferenceOutputs) {
    SplitMix64 generator(0);
    EXPECT_EQ(generator.next(), 0xe220a8397b1dcdafU);
    EXPECT_EQ(generator.next(), 0x6e789e6aa1b965f4U);
    SplitMix64 bounded(1);
    std::vector<int> seen(7);
    for (int i = 0; i < 7000; ++i) {
        const std::uint32_t value = bounded.below(7);
        ASSERT_LT(value, 7U);
        ++seen[value];
    }
    for (const int count : seen) {
        EXPECT_GT(count, 850); // about 1000 each
    }
}

TEST(Percentile, InterpolatesLikeNumpy) {
    const std::vector<double> sorted{1, 2, 4, 8};
    EXPECT_DOUBLE_EQ(percentile(sorted, 0), 1);
    EXPECT_DOUBLE_EQ(percentile(sorted, 1), 8);
    EXPECT_DOUBLE_EQ(percentile(sorted, 0.5), 3);       // between 2 and 4
    EXPECT_DOUBLE_EQ(percentile(sorted, 0.025), 1.075); // position 0.075
    EXPECT_TRUE(std::isnan(percentile({}, 0.5)));
}

std::vector<Sums> noisyGroups(std::size_t count, std::size_t width) {
    std::vector<Sums> groups(count * width);
    SplitMix64 noise(7);
    for (std::size_t g = 0; g < count; ++g) {
        for (std::size_t k = 0; k < width; ++k) {
            const double measured = 20 + static_cast<double>(noise.below(2000)) / 100;
            const double error = (static_cast<double>(noise.below(600)) - 300) / 100;
            groups[g * width + k].add(measured + error + static_cast<double>(k), measured);
        }
    }
    return groups;
}

TEST(Bootstrap, IntervalsHoldThePointScoreAndRepeatToTheBit) {
    constexpr std::size_t Width = 3;
    const std::vector<Sums> groups = noisyGroups(400, Width);
    const std::vector<ScoreIntervals> first = bootstrap(groups, Width);
    const std::vector<ScoreIntervals> again = bootstrap(groups, Width);
    const std::vector<ScoreIntervals> otherSeed = bootstrap(groups, Width, BootstrapSeed + 1);
    ASSERT_EQ(first.size(), Width);
    for (std::size_t k = 0; k < Width; ++k) {
        SCOPED_TRACE(k);
        Sums total;
        for (std::size_t g = 0; g < 400; ++g) {
            total.add(groups[g * Width + k], 1);
        }
        const Scores point = scores(total);
        const ScoreIntervals& i = first[k];
        for (const auto& [interval, value] :
             {std::pair{i.me, point.me}, std::pair{i.mae, point.mae}, std::pair{i.rmse, point.rmse},
              std::pair{i.r2, point.r2}, std::pair{i.nse, point.nse}}) {
            EXPECT_LT(interval.low, value);
            EXPECT_GT(interval.high, value);
        }
        // Bit for bit, not merely close.
        EXPECT_EQ(test::bits(first[k]), test::bits(again[k]));
        EXPECT_NE(first[k].me.low, otherSeed[k].me.low);
    }
    // A bias of k shifts ME by k; the interval of ME about 3/sqrt(3 * 400) wide on each side.
    EXPECT_NEAR(first[2].me.low, 2, 0.5);
    EXPECT_LT(first[0].me.high - first[0].me.low, 0.5);
}

TEST(Bootstrap, NoRowsNoIntervals) {
    const std::vector<ScoreIntervals> intervals = bootstrap({}, 2);
    ASSERT_EQ(intervals.size(), 2U);
    EXPECT_TRUE(std::isnan(intervals[0].rmse.low));
}

} // namespace
} // namespace talvo::evaluation
