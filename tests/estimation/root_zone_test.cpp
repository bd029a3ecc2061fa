#include "estimation/estimation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

using namespace talvo::estimation;

namespace {

const PtfModel& modelOfKind(bool gravimetric) {
    return *std::find_if(ModelCatalogue.begin(), ModelCatalogue.end(),
                         [gravimetric](const PtfModel& m) { return m.gravimetric == gravimetric; });
}

struct Layer {
    double top;
    double bottom;
    std::optional<double> water;
};

ProfileWater sumOf(const std::vector<Layer>& layers, RootZone zone = {}) {
    Profile profile;
    for (const Layer& layer : layers) {
        profile.add(layer.top, layer.bottom, layer.water);
    }
    return profile.water(zone);
}

} // namespace

// Each horizon worked by hand: % by volume of the whole soil, then mm over the thickness.
TEST(RootZoneTest, HorizonWaterByHand) {
    struct Case {
        const char* what;
        bool gravimetric;
        double fc, pwp;
        HorizonSoil soil;
        double thicknessMm;
        double thetaFc, thetaPwp, waterMm;
        bool assumed;
    };
    constexpr double NoDensity = std::numeric_limits<double>::quiet_NaN();
    const std::vector<Case> cases{
        {"v/v, no stones",
         false,
         30,
         15,
         {1.3, 0, CoarseFragmentBasis::volume},
         400,
         30,
         15,
         60,
         false},
        {"v/v needs no density",
         false,
         30,
         15,
         {NoDensity, 0, CoarseFragmentBasis::volume},
         400,
         30,
         15,
         60,
         false},
        {"w/w at the horizon's density, a fifth stones",
         true,
         20,
         10,
         {1.25, 20, CoarseFragmentBasis::volume},
         200,
         20,
         10,
         20,
         false},
        {"w/w without density: 1.49, flagged",
         true,
         20,
         10,
         {NoDensity, 0, CoarseFragmentBasis::volume},
         100,
         29.8,
         14.9,
         14.9,
         true},
        {"all stones hold nothing",
         false,
         30,
         15,
         {1.3, 100, CoarseFragmentBasis::volume},
         400,
         0,
         0,
         0,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto water =
            horizonWater(modelOfKind(c.gravimetric), c.fc, c.pwp, c.soil, c.thicknessMm);
        ASSERT_TRUE(water);
        EXPECT_NEAR(water->thetaFc, c.thetaFc, 1e-12);
        EXPECT_NEAR(water->thetaPwp, c.thetaPwp, 1e-12);
        EXPECT_NEAR(water->waterMm, c.waterMm, 1e-12);
        EXPECT_EQ(water->bulkDensityAssumed, c.assumed);
    }
}

// Stones by weight, reckoned from masses and volumes: 100 g of soil with 30 g of stones at
// 2.65 g/cm³ and 70 g of fine earth at 1.3 g/cm³.
TEST(RootZoneTest, StonesByWeightAsVolumesOfMass) {
    const double stoneVolume = 30 / StoneDensity;
    const double fineVolume = 70 / 1.3;
    const double byVolume = 100 * stoneVolume / (stoneVolume + fineVolume);
    EXPECT_NEAR(coarseFragmentsByVolume(30, 1.3), byVolume, 1e-12);

    const HorizonSoil soil{1.3, 30, CoarseFragmentBasis::weight};
    const auto water = horizonWater(modelOfKind(false), 30, 10, soil, 100);
    ASSERT_TRUE(water);
    EXPECT_NEAR(water->thetaFc, 30 * (1 - byVolume / 100), 1e-12);
    // Stones by weight without a density take 1.49, and say so even for a v/v model.
    const auto assumed = horizonWater(modelOfKind(false), 30, 10,
                                      {std::nan(""), 30, CoarseFragmentBasis::weight}, 100);
    ASSERT_TRUE(assumed);
    EXPECT_TRUE(assumed->bulkDensityAssumed);
}

// FC by volume of the fine earth against its pores, (1 - bd/2.65) 100 % by volume: at bd
// 1.61 that is 39.245 %, at 1.325 exactly 50 %.
TEST(RootZoneTest, PorosityFlagsAnFcItsPoresCannotHold) {
    struct Case {
        const char* what;
        bool gravimetric;
        double fc;
        HorizonSoil soil;
        Flags flags;
    };
    constexpr auto overfull = Flags(Flags::bit(Flag::porosity));
    constexpr auto assumed = Flags(Flags::bit(Flag::bd));
    const std::vector<Case> cases{
        {"v/v 62 at bd 1.61", false, 62, {1.61, 0, CoarseFragmentBasis::volume}, overfull},
        {"v/v 39 at bd 1.61", false, 39, {1.61, 0, CoarseFragmentBasis::volume}, {}},
        // 30 % w/w x 1.61 = 48.3 % v/v; 24 % w/w x 1.61 = 38.64.
        {"w/w 30 at bd 1.61", true, 30, {1.61, 0, CoarseFragmentBasis::volume}, overfull},
        {"w/w 24 at bd 1.61", true, 24, {1.61, 0, CoarseFragmentBasis::volume}, {}},
        // Stones hold no water and no pores: the fine earth's share is compared.
        {"stones leave the share", false, 45, {1.325, 50, CoarseFragmentBasis::volume}, {}},
        {"the bound itself", false, 50, {1.325, 0, CoarseFragmentBasis::volume}, {}},
        {"just above", false, 50.001, {1.325, 0, CoarseFragmentBasis::volume}, overfull},
        // Without a density nothing is known of the pores; 1.49 only stands in for AWC.
        {"w/w without bd", true, 40, {NoNumber, 0, CoarseFragmentBasis::volume}, assumed},
        {"v/v without bd", false, 62, {NoNumber, 0, CoarseFragmentBasis::volume}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto water = horizonWater(modelOfKind(c.gravimetric), c.fc, 5, c.soil, 100);
        ASSERT_TRUE(water);
        Flags flags;
        addHorizonFlags(water, flags);
        EXPECT_EQ(flags, c.flags);
    }
    EXPECT_NEAR(porosity(1.61), 39.245283018867925, 1e-12);
    EXPECT_EQ(code(Flag::porosity), "porosity");
}

// Measured FC and PWP (% v/v of the fine earth) stand where the estimates would; the model's
// estimates here are 40 and 20, by weight or by volume. Over 100 mm.
TEST(RootZoneTest, MeasuredWaterTakesTheEstimatesPlace) {
    struct Case {
        const char* what;
        bool gravimetric;
        double fc; // the model's
        double pwp;
        HorizonSoil soil;
        MeasuredWater measured;
        double thetaFc;
        double thetaPwp;
        Flags flags;
    };
    constexpr double None = NoNumber;
    const auto flagsOf = [](std::initializer_list<Flag> list) {
        Flags flags;
        for (const Flag flag : list) {
            flags.add(flag);
        }
        return flags;
    };
    const HorizonSoil noBd{None, 0, CoarseFragmentBasis::volume};
    const std::vector<Case> cases{
        // Nothing by weight is left to turn into volume: no density was assumed.
        {"both, w/w model", true, 40, 20, noBd, {32, 12}, 32, 12, flagsOf({Flag::measured})},
        // 20 % w/w x 1.3 = 26 % v/v.
        {"FC alone, w/w model",
         true,
         40,
         20,
         {1.3, 0, CoarseFragmentBasis::volume},
         {35, None},
         35,
         26,
         flagsOf({Flag::measured})},
        // 40 % w/w x 1.49 = 59.6 % v/v, 1.49 standing in.
        {"PWP alone, w/w model",
         true,
         40,
         20,
         noBd,
         {None, 15},
         59.6,
         15,
         flagsOf({Flag::measured, Flag::bd})},
        // Stones hold none of the measured water either: 25 % of the volume.
        {"stones",
         false,
         40,
         20,
         {1.3, 25, CoarseFragmentBasis::volume},
         {32, 12},
         24,
         9,
         flagsOf({Flag::measured})},
        // The model could not estimate: what was measured is enough.
        {"no estimate", false, None, None, noBd, {32, 12}, 32, 12, flagsOf({Flag::measured})},
        // A measured FC below the estimated PWP holds less than nothing: flagged, not hidden.
        {"FC below the estimate",
         false,
         40,
         20,
         noBd,
         {15, None},
         15,
         20,
         flagsOf({Flag::measured, Flag::pwpNotBelowFc})},
        // Pores of bd 1.6: (1 - 1.6/2.65) 100 = 39.6 %.
        {"FC above porosity",
         false,
         30,
         20,
         {1.6, 0, CoarseFragmentBasis::volume},
         {45, None},
         45,
         20,
         flagsOf({Flag::measured, Flag::porosity})},
        {"none measured", false, 40, 20, noBd, {}, 40, 20, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto water =
            horizonWater(modelOfKind(c.gravimetric), c.fc, c.pwp, c.soil, 100, c.measured);
        ASSERT_TRUE(water);
        EXPECT_NEAR(water->thetaFc, c.thetaFc, 1e-12);
        EXPECT_NEAR(water->thetaPwp, c.thetaPwp, 1e-12);
        EXPECT_NEAR(water->waterMm, c.thetaFc - c.thetaPwp, 1e-12);
        Flags flags;
        addHorizonFlags(water, flags);
        EXPECT_EQ(flags, c.flags);
    }
    // What no soil holds, an FC below its own measured PWP, or a quantity neither measured
    // nor estimated: no water.
    const PtfModel& model = modelOfKind(false);
    for (const MeasuredWater measured :
         std::vector<MeasuredWater>{{101, 10}, {30, -1}, {INFINITY, 10}, {10, 20}, {None, 10}}) {
        EXPECT_FALSE(horizonWater(model, None, 5, noBd, 100, measured))
            << measured.fc << " " << measured.pwp;
    }
    EXPECT_TRUE(horizonWater(model, None, 5, noBd, 100, {20, 20}));
    EXPECT_EQ(code(Flag::measured), "measured");
}

TEST(RootZoneTest, HorizonsThatMakeNoSenseHaveNoWater) {
    const PtfModel& model = modelOfKind(true);
    const HorizonSoil sound{1.4, 10, CoarseFragmentBasis::volume};
    EXPECT_TRUE(horizonWater(model, 20, 10, sound, 100));
    const std::vector<HorizonSoil> unsound{
        {0, 10, CoarseFragmentBasis::volume},
        {-1.2, 10, CoarseFragmentBasis::volume},
        {2.7, 10, CoarseFragmentBasis::volume},
        {1.4, -1, CoarseFragmentBasis::volume},
        {1.4, 101, CoarseFragmentBasis::volume},
        {1.4, std::nan(""), CoarseFragmentBasis::weight},
        {INFINITY, 0, CoarseFragmentBasis::volume},
    };
    for (const HorizonSoil& soil : unsound) {
        EXPECT_FALSE(horizonWater(model, 20, 10, soil, 100))
            << soil.bulkDensity << " " << soil.coarseFragments;
    }
    EXPECT_FALSE(horizonWater(model, 20, 10, sound, 0));
    EXPECT_FALSE(horizonWater(model, std::nan(""), 10, sound, 100));
    EXPECT_FALSE(horizonWater(model, 20, INFINITY, sound, 100));
    // Depths far past any soil, and results whose water overflows by volume.
    EXPECT_FALSE(horizonWater(model, 20, 10, sound, INFINITY));
    EXPECT_FALSE(horizonWater(model, 20, 10, sound, 2e6 + 1));
    EXPECT_FALSE(horizonWater(model, 1.5e308, -1.5e308, sound, 100));
}

// FAO-56's root zone worked by hand: three horizons of 20, 40 and 60 mm of water over 0-20,
// 20-60 and 60-120 cm; roots to 80 cm take a third of the last one.
TEST(RootZoneTest, ProfileSumsByHand) {
    const std::vector<Layer> layers{{0, 20, 20.0}, {20, 60, 40.0}, {60, 120, 60.0}};
    const ProfileWater water = sumOf(layers, {80, 0.4});
    EXPECT_DOUBLE_EQ(water.depth, 120);
    EXPECT_DOUBLE_EQ(water.topsoil, 20 + 40.0 / 4); // 0-30: 10 of the second's 40 cm
    EXPECT_DOUBLE_EQ(water.subsoil, 20 + 40 + 60.0 * 40 / 60);
    EXPECT_DOUBLE_EQ(water.root, 20 + 40 + 60.0 / 3);
    EXPECT_DOUBLE_EQ(water.readily, 0.4 * water.root);
    EXPECT_TRUE(water.flags.empty());

    // Roots below the profile count what is there, as do 100 cm over a shallow soil.
    const ProfileWater deep = sumOf(layers, {150, 0.5});
    EXPECT_DOUBLE_EQ(deep.root, 120);
    EXPECT_TRUE(deep.flags.empty());
}

// The same horizons in any order give the same bits: sums run from the top down.
TEST(RootZoneTest, OrderOfArrivalDoesNotChangeTheBits) {
    std::vector<Layer> layers{{0, 7, 0.1},   {7, 18, 0.7},   {18, 33, 1e-3},
                              {33, 61, 3.3}, {61, 95, 1e10}, {95, 140, 0.2}};
    const ProfileWater sorted = sumOf(layers);
    std::sort(layers.begin(), layers.end(),
              [](const Layer& a, const Layer& b) { return a.bottom > b.bottom; });
    do {
        const ProfileWater shuffled = sumOf(layers);
        ASSERT_EQ(shuffled.root, sorted.root);
        ASSERT_EQ(shuffled.topsoil, sorted.topsoil);
        ASSERT_EQ(shuffled.subsoil, sorted.subsoil);
    } while (std::next_permutation(layers.begin(), layers.end(),
                                   [](const Layer& a, const Layer& b) { return a.top < b.top; }));
}

// Problems are flagged, and the sums count only what is there.
TEST(RootZoneTest, FlagsOfFaultyProfiles) {
    struct Case {
        const char* what;
        std::vector<Layer> layers;
        std::string flags;
        double root;
        double depth;
    };
    const std::vector<Case> cases{
        {"a gap between horizons", {{0, 20, 10.0}, {30, 50, 10.0}}, "gap", 20, 50},
        {"a gap at the surface", {{10, 20, 10.0}}, "gap", 10, 20},
        {"an overlap", {{0, 30, 15.0}, {20, 40, 10.0}}, "overlap", 25, 40},
        {"a horizon upside down", {{0, 20, 10.0}, {40, 20, 5.0}}, "depth", 10, 20},
        {"a top above the surface", {{-5, 0, 1.0}, {0, 20, 10.0}}, "depth", 10, 20},
        {"a depth that is no number", {{0, 20, 10.0}, {20, std::nan(""), 5.0}}, "depth", 10, 20},
        {"a bottom deeper than any soil", {{0, 20, 10.0}, {20, 1e308, 5.0}}, "depth", 10, 20},
        {"a horizon without estimate keeps its depths",
         {{0, 20, 10.0}, {20, 40, std::nullopt}, {40, 60, 4.0}},
         "missing",
         14,
         60},
        {"all at once",
         {{5, 10, 1.0}, {8, 12, std::nullopt}, {12, 10, 1.0}},
         "gap;overlap;depth;missing",
         1,
         12},
        {"no horizons", {}, "", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ProfileWater water = sumOf(c.layers);
        EXPECT_EQ(profileFlagsText(water.flags), c.flags);
        EXPECT_DOUBLE_EQ(water.root, c.root);
        EXPECT_DOUBLE_EQ(water.depth, c.depth);
    }
}
