#include "estimation/estimation.h"
#include "form/retention_chart.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace talvo::form {
namespace {

using estimation::ParticleSizeScale;

bool hasNote(const RetentionChart& chart, const std::string& words) {
    return std::any_of(chart.notes.begin(), chart.notes.end(), [&](const std::string& note) {
        return note.find(words) != std::string::npos;
    });
}

struct BandCase {
    const char* what;
    estimation::InputTexts texts;
    ParticleSizeScale scale;
    CurveSpread spread;
};

const std::vector<BandCase>& bandCases() {
    static const std::vector<BandCase> cases = {
        {"loam, USDA", {"40", "40", "20", "14.5"}, ParticleSizeScale::usda, {"2", "2", "1.5"}},
        {"clay, OC alone", {"25", "25", "50", "10"}, ParticleSizeScale::usda, {"", "", "3"}},
        {"sandy loam, international",
         {"65", "20", "15", "8"},
         ParticleSizeScale::international,
         {"3", "2", ""}},
        {"decimal comma", {"40", "40", "20", "14,5"}, ParticleSizeScale::usda, {"2,5", "", ""}},
    };
    return cases;
}

// The band lies around the curve at every head, the table's rows and the marked points
// included, and is wider than nothing where the inputs move.
TEST(RetentionBand, ContainsTheCurve) {
    for (const BandCase& c : bandCases()) {
        SCOPED_TRACE(c.what);
        const estimation::DecimalSeparator separator(c.what[0] == 'd' ? ',' : '.');
        const RetentionChart chart = retentionChart(c.texts, separator, c.scale, c.spread);
        ASSERT_TRUE(chart.failure.empty()) << chart.failure;
        ASSERT_EQ(chart.band.size(), chart.points.size());
        ASSERT_EQ(chart.tableBand.size(), chart.table.size());
        const auto within = [](const CurvePoint& point, const BandPoint& band) {
            EXPECT_EQ(point.head, band.head);
            EXPECT_LE(band.p05, point.theta);
            EXPECT_GE(band.p95, point.theta);
        };
        for (std::size_t i = 0; i < chart.points.size(); ++i) {
            within(chart.points[i], chart.band[i]);
        }
        for (std::size_t i = 0; i < chart.table.size(); ++i) {
            within(chart.table[i], chart.tableBand[i]);
        }
        EXPECT_GT(chart.tableBand[4].p95 - chart.tableBand[4].p05, 0.1); // at FC
        EXPECT_TRUE(hasNote(chart, "1000 soils drawn (seed 1)"));
        EXPECT_NE(chart.description.find("percentile"), std::string::npos);
    }
}

// Deviations of 0 draw the soil itself a thousand times: the band is the curve.
TEST(RetentionBand, ZeroDeviationsGiveNoWidth) {
    const RetentionChart chart = retentionChart({"40", "40", "20", "14.5"}, {},
                                                ParticleSizeScale::international, {"0", "0", "0"});
    ASSERT_EQ(chart.band.size(), chart.points.size());
    for (std::size_t i = 0; i < chart.points.size(); ++i) {
        EXPECT_EQ(chart.band[i].p05, chart.points[i].theta);
        EXPECT_EQ(chart.band[i].p95, chart.points[i].theta);
    }
}

// The same seed gives the same band to the bit; another seed another band.
TEST(RetentionBand, SeedFixesTheBand) {
    const estimation::InputTexts loam{"40", "40", "20", "14.5"};
    CurveSpread spread{"2", "2", "1"};
    const RetentionChart first = retentionChart(loam, {}, ParticleSizeScale::usda, spread);
    const RetentionChart again = retentionChart(loam, {}, ParticleSizeScale::usda, spread);
    spread.settings.seed = 7;
    const RetentionChart other = retentionChart(loam, {}, ParticleSizeScale::usda, spread);
    ASSERT_FALSE(first.band.empty());
    EXPECT_TRUE(hasNote(other, "(seed 7)"));
    bool differs = false;
    for (std::size_t i = 0; i < first.band.size(); ++i) {
        EXPECT_EQ(first.band[i].p05, again.band[i].p05);
        EXPECT_EQ(first.band[i].p95, again.band[i].p95);
        differs = differs || first.band[i].p05 != other.band[i].p05;
    }
    EXPECT_TRUE(differs);
}

// The band at FC and PWP is talvo-batch --hydraulics saxton-rawls --sd's p05 and p95 for the
// same soil: its draws of the row as read (OC in g/kg), each widened to USDA sizes where the
// table is international, OM from OC, then the model's FC and PWP.
TEST(RetentionBand, EqualsTheTablesPercentilesAtFcAndPwp) {
    for (const BandCase& c : bandCases()) {
        SCOPED_TRACE(c.what);
        const estimation::DecimalSeparator separator(c.what[0] == 'd' ? ',' : '.');
        const RetentionChart chart = retentionChart(c.texts, separator, c.scale, c.spread);
        ASSERT_EQ(chart.tableBand.size(), TableHeads.size());
        estimation::InputValues row;
        for (std::size_t i = 0; i < row.size(); ++i) {
            row[i] = estimation::inputValue(c.texts[i], separator);
        }
        const auto sd = [&](const std::string& text) {
            return text.empty() ? 0.0 : estimation::readNumber(text, separator).value;
        };
        estimation::SoilDraws draws;
        ASSERT_FALSE(draws.draw(row, {sd(c.spread.sand), 0.0, sd(c.spread.clay), sd(c.spread.oc)}));
        const auto batch = estimation::propagate<2>(draws.soils(), [&](const auto& soil) {
            estimation::ParticleSizes sizes{soil[0].number, soil[1].number, soil[2].number};
            if (c.scale == ParticleSizeScale::international) {
                sizes = estimation::usdaFromInternational(sizes);
            }
            estimation::HydraulicSoil hydraulic{};
            hydraulic.sand = sizes.sand;
            hydraulic.silt = sizes.silt;
            hydraulic.clay = sizes.clay;
            hydraulic.organicMatter = estimation::organicMatterFromCarbon(soil[3].number / 10.0);
            const estimation::CurveWater water =
                estimation::estimateHydraulics(estimation::HydraulicModel::saxtonRawls, hydraulic)
                    .water;
            return std::array{water.fc * 100, water.pwp * 100};
        });
        const BandPoint& fc = chart.tableBand[4];
        const BandPoint& pwp = chart.tableBand.back();
        ASSERT_EQ(fc.head, estimation::FieldCapacityHead);
        ASSERT_EQ(pwp.head, estimation::WiltingPointHead);
        EXPECT_DOUBLE_EQ(fc.p05, batch[0].p05);
        EXPECT_DOUBLE_EQ(fc.p95, batch[0].p95);
        EXPECT_DOUBLE_EQ(pwp.p05, batch[1].p05);
        EXPECT_DOUBLE_EQ(pwp.p95, batch[1].p95);
    }
}

struct NoBandCase {
    const char* what;
    estimation::InputTexts texts;
    ParticleSizeScale scale;
    CurveSpread spread;
    const char* note; // empty: no note either
};

// Without a band the curve stays, and a note says why where the user asked for one.
TEST(RetentionBand, NoBandInWords) {
    const std::vector<NoBandCase> cases = {
        {"all blank", {"40", "40", "20", "10"}, ParticleSizeScale::usda, {" ", "", ""}, ""},
        {"below 0",
         {"40", "40", "20", "10"},
         ParticleSizeScale::usda,
         {"-1", "", ""},
         "a standard deviation below 0 or no number"},
        {"no number",
         {"40", "40", "20", "10"},
         ParticleSizeScale::usda,
         {"2", "abc", ""},
         "a standard deviation below 0 or no number"},
        // Sand 21 is just enough to widen silt 50 to the USDA sizes; many draws are not.
        {"draws without a curve",
         {"21", "50", "29", "10"},
         ParticleSizeScale::international,
         {"3", "", ""},
         "some drawn soils give no curve"},
    };
    for (const NoBandCase& c : cases) {
        SCOPED_TRACE(c.what);
        const RetentionChart chart = retentionChart(c.texts, {}, c.scale, c.spread);
        EXPECT_FALSE(chart.points.empty());
        EXPECT_TRUE(chart.band.empty());
        EXPECT_TRUE(chart.tableBand.empty());
        EXPECT_EQ(chart.description.find("percentile"), std::string::npos);
        EXPECT_EQ(hasNote(chart, "The band"), false);
        if (*c.note != '\0') {
            EXPECT_TRUE(hasNote(chart, c.note));
        }
    }
}

} // namespace
} // namespace talvo::form
