#include "estimation/estimation.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <stdexcept>

namespace talvo::estimation {
namespace {

const PtfModel& firstModel(bool gravimetric) {
    for (const PtfModel& model : ModelCatalogue) {
        if (model.gravimetric == gravimetric) {
            return model;
        }
    }
    throw std::logic_error("no such model");
}

TEST(ModelSpread, TurnsWeightIntoVolumeAndLeavesOutModelsWithoutANumber) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    ModelSpread spread;
    // By weight: FC 20 and PWP 10 % w/w are 29.8 and 14.9 % v/v; AWC 0.10 x 1.49 x 150 mm.
    spread.add(firstModel(true), {20.0, 10.0, 22.35});
    spread.add(firstModel(false), {35.0, 15.0, 30.0});
    spread.add(firstModel(false), {nan, nan, nan});
    spread.add(firstModel(false), {40.0, 20.0, nan});
    ASSERT_EQ(spread.count(), 2);

    struct Expected {
        Result result;
        double mean, low, high;
    };
    for (const Expected& e :
         {Expected{Result::fc, 32.4, 29.8, 35.0}, Expected{Result::pwp, 14.95, 14.9, 15.0},
          Expected{Result::awc, 26.175, 22.35, 30.0}}) {
        SCOPED_TRACE(name(e.result));
        EXPECT_NEAR(spread.mean(e.result), e.mean, 1e-12);
        EXPECT_NEAR(spread.lowest(e.result), e.low, 1e-12);
        EXPECT_NEAR(spread.highest(e.result), e.high, 1e-12);
    }
}

// Near the double range: a model whose FC overflows once by volume gave no number, and two
// results of 1.6e308 have that mean, not an overflowed sum.
TEST(ModelSpread, NumbersNearTheDoubleRange) {
    ModelSpread spread;
    spread.add(firstModel(true), {1.6e308, 0.0, 0.0});
    spread.add(firstModel(false), {1.6e308, 0.0, 1.6e308});
    spread.add(firstModel(false), {1.6e308, 0.0, 1.6e308});
    ASSERT_EQ(spread.count(), 2);
    EXPECT_EQ(spread.mean(Result::fc), 1.6e308);
    EXPECT_EQ(spread.mean(Result::awc), 1.6e308);
}

TEST(ModelSpread, LabelCountsTheModels) {
    EXPECT_EQ(spreadLabel(1), "mean of 1 model");
    EXPECT_EQ(spreadLabel(7), "mean of 7 models");
}

} // namespace
} // namespace talvo::estimation
