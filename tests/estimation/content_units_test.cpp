// Units that give themselves away, and decimal points moved exactly.

#include "estimation/estimation.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <optional>
#include <vector>

namespace talvo::estimation {
namespace {

using Soil = std::array<double, 3>;

TEST(ContentUnitTally, MostSoilsDecide) {
    struct Case {
        const char* what;
        std::vector<Soil> soils;
        std::optional<ContentUnit> unit;
    };
    const std::vector<Case> cases{
        {"percent", {{40, 40, 20}, {10, 30, 60}, {75, 15, 10}}, std::nullopt},
        {"fractions",
         {{0.4, 0.4, 0.2}, {0.07, 0.63, 0.3}, {0.5, 0.3, 0.24}},
         ContentUnit::fraction},
        // 0.93 and 1.06 lie past the tolerance; two of four is not most.
        {"half fractions",
         {{0.4, 0.4, 0.2}, {0.3, 0.3, 0.4}, {0.3, 0.3, 0.33}, {0.4, 0.4, 0.26}},
         std::nullopt},
        {"fractions, silt missing", {{0.4, NoNumber, 0.2}, {0.5, NoNumber, 0.2}}, std::nullopt},
        {"g/kg", {{400, 400, 200}, {70, 630, 300}, {40, 40, 20}}, ContentUnit::gramsPerKilogram},
        // Only clay given, in g/kg: one content above 100 is enough.
        {"g/kg, clay alone",
         {{NoNumber, NoNumber, 200}, {NoNumber, NoNumber, 350}},
         ContentUnit::gramsPerKilogram},
        {"a few above 100", {{400, 400, 200}, {40, 40, 20}, {30, 50, 20}}, std::nullopt},
        {"nothing", {{NoNumber, NoNumber, NoNumber}}, std::nullopt},
        {"no soils", {}, std::nullopt},
    };
    for (const Case& c : cases) {
        ContentUnitTally tally;
        for (const Soil& soil : c.soils) {
            tally.add(soil[0], soil[1], soil[2]);
        }
        EXPECT_EQ(tally.misread(), c.unit) << c.what;
    }
}

// Parts of a table tallied apart add up to the whole.
TEST(ContentUnitTally, PartsAddUp) {
    ContentUnitTally first;
    ContentUnitTally second;
    first.add(0.4, 0.4, 0.2);
    second.add(0.5, 0.3, 0.2);
    second.add(40, 40, 20);
    first += second;
    EXPECT_EQ(first.misread(), ContentUnit::fraction);
    EXPECT_EQ(first.looking(ContentUnit::fraction), 2U);
    EXPECT_EQ(first.judged(ContentUnit::fraction), 3U);
}

// A soil with a texture class counts the same whether tallied from its contents or as classed:
// the edges of what has a class too.
TEST(ContentUnitTally, ClassedSoilsCountAsTheirContents) {
    const std::vector<Soil> soils{
        {40, 40, 20},   {0, 0, 100},        {100, 0, 0},     {0, 100, 0},
        {33, 33, 33},   {34, 34, 33},       {0.4, 0.4, 0.2}, {400, 400, 200},
        {-0.0, 50, 50}, {NoNumber, 50, 50}, {101, 0, 0},
    };
    for (const ParticleSizeScale scale :
         {ParticleSizeScale::international, ParticleSizeScale::usda}) {
        ContentUnitTally counted;
        ContentUnitTally classed;
        for (const Soil& soil : soils) {
            counted.add(soil[0], soil[1], soil[2]);
            if (textureClass(soil[0], soil[1], soil[2], scale)) {
                classed.addClassed();
            } else {
                classed.add(soil[0], soil[1], soil[2]);
            }
        }
        for (const ContentUnit unit : {ContentUnit::fraction, ContentUnit::gramsPerKilogram}) {
            EXPECT_EQ(classed.looking(unit), counted.looking(unit));
            EXPECT_EQ(classed.judged(unit), counted.judged(unit));
        }
    }
}

TEST(ShiftedDecimal, MovesTheShortestTextsPoint) {
    struct Case {
        double value;
        int places;
        double expected;
    };
    const std::vector<Case> cases{
        {0.07, 2, 7}, // 0.07 * 100 is 7.000000000000001
        {0.4, 2, 40}, // 0.4 * 100 is 40.00000000000001
        {-0.07, 2, -7},
        {523, -1, 52.3},
        {52.35, -1, 5.235},
        {0.1 + 0.2, 2, 30.000000000000004}, // its shortest text has 17 digits
        {0, 2, 0},
        {1e-300, 2, 1e-298},
        {1.7e308, 1, HUGE_VAL},
        {4e-324, -1, 0},
        {HUGE_VAL, 2, HUGE_VAL},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(shiftedDecimal(c.value, c.places), c.expected) << c.value << " by " << c.places;
    }
    EXPECT_TRUE(std::isnan(shiftedDecimal(NoNumber, 2)));
    EXPECT_TRUE(std::signbit(shiftedDecimal(-0.0, 2)));
}

// Organic carbon of a declared unit reaches each model in its own: the decimal point moved,
// so that 5 g/kg is the double of the text "0.5" for Rawls et al., 1982.
TEST(CarbonUnit, EachModelReadsItsOwn) {
    struct Case {
        int model;
        CarbonUnit given;
        double oc;
        double read;
    };
    const std::vector<Case> cases{
        {2, CarbonUnit::gramsPerKilogram, 5, 0.5},
        {2, CarbonUnit::gramsPerKilogram, 0.3, 0.03}, // 0.3 x 0.1 is 0.030000000000000002
        {2, CarbonUnit::gramsPerKilogram, 72.5, 7.25},
        {2, CarbonUnit::percent, 0.5, 0.5},
        {1, CarbonUnit::gramsPerKilogram, 5, 5},
        {1, CarbonUnit::percent, 0.5, 5},
        {1, CarbonUnit::percent, 1.7, 17},
        {3, CarbonUnit::percent, 0.5, 5}, // reads no OC: as the window's g/kg, for the flags
        {2, CarbonUnit::gramsPerKilogram, -4, -0.4},
    };
    for (const Case& c : cases) {
        const PtfModel& model = *modelAt(c.model);
        EXPECT_EQ(carbonFor(model, c.given, c.oc), c.read) << c.model << " " << c.oc;
    }
    EXPECT_TRUE(std::isnan(carbonFor(*modelAt(2), CarbonUnit::gramsPerKilogram, NoNumber)));
    EXPECT_EQ(carbonFor(*modelAt(2), CarbonUnit::gramsPerKilogram, INFINITY), INFINITY);
}

// Only OC above the model's calibration counts, and only for a model with one on record.
TEST(ContentUnitTally, CarbonAboveTheCalibrationIsTold) {
    const PtfModel& rawls = *modelAt(2);
    ContentUnitTally tally;
    EXPECT_EQ(tally.carbonNote(rawls, "rows", "REMEDY"), "");
    tally.addCarbon(rawls, 7.25); // the maximum itself is within
    EXPECT_EQ(tally.carbonNote(rawls, "rows", "REMEDY"), "");
    ContentUnitTally part;
    for (const double oc : {12.0, 50.0, NoNumber, 0.5}) {
        part.addCarbon(rawls, oc);
    }
    part.addCarbon(*modelAt(1), 50.0); // reads g/kg: 50 is ordinary
    tally += part;
    EXPECT_EQ(tally.carbonNote(*modelAt(1), "rows", "REMEDY"), "");
    EXPECT_EQ(tally.carbonNote(rawls, "rows", "REMEDY"),
              "on 2 of 4 rows, Rawls et al., 1982 reads organic carbon above 7.25 % (12.5 % "
              "organic matter), the most it was fitted on: it reads OC in %; REMEDY");
}

} // namespace
} // namespace talvo::estimation
