// The measured columns as users name them, and tables read into scores with the table's own
// settings: its particle-size scale and the scales its contents are given at.

#include "base/error.h"
#include "base/options.h"
#include "evaluation/options.h"
#include "evaluation/table_input.h"
#include "soils.h"
#include "table/csv.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace talvo::evaluation {
namespace {

struct PairsCase {
    const char* text;
    std::array<const char*, 3> headers; // fc, pwp, awc
    const char* density;
};

TEST(MeasuredOptions, PairsSplitWhereAKnownNameFollowsAComma) {
    const std::vector<PairsCase> cases{
        {"fc=FC_lab", {"FC_lab", "", ""}, ""},
        {"pwp=P,fc=F,awc=A,bd=BD", {"F", "P", "A"}, "BD"},
        {"fc=FC (%, v/v),pwp=PWP (%, v/v)", {"FC (%, v/v)", "PWP (%, v/v)", ""}, ""},
        {"fc=a,b=c", {"a,b=c", "", ""}, ""}, // b is no name: the comma is the header's
        {"fc=x=y", {"x=y", "", ""}, ""},
    };
    for (const PairsCase& c : cases) {
        MeasuredColumns columns;
        addMeasuredColumns(columns, c.text);
        for (std::size_t q = 0; q < 3; ++q) {
            EXPECT_EQ(columns.headers[q], c.headers[q]) << c.text;
        }
        EXPECT_EQ(columns.density, c.density) << c.text;
    }
}

TEST(MeasuredOptions, RefusesWhatNamesNoColumnOrOneTwice) {
    for (const char* text : {"", "fc", "fc=", "theta=FC", "fc=A,pwp=", "=A", "fc=A,fc=B"}) {
        MeasuredColumns columns;
        EXPECT_THROW(addMeasuredColumns(columns, text), base::Error) << text;
    }
    MeasuredColumns density;
    addMeasuredColumns(density, "bd=BD");
    EXPECT_FALSE(anyMeasured(density));
    EXPECT_THROW(requireMeasured(density), base::Error);
    EXPECT_EQ(parseMeasuredUnit("w/w"), MeasuredUnit::mass);
    EXPECT_EQ(parseMeasuredUnit("v/v"), MeasuredUnit::volume);
    EXPECT_EQ(parseMeasuredUnit("fraction"), MeasuredUnit::fraction);
    EXPECT_THROW(parseMeasuredUnit("%"), base::Error);
}

// The measurements of row i: made up from its clay, as a laboratory's would follow it.
double measuredFc(const test::SoilTable& soils, std::size_t i) {
    return 10 + soils.inputs[2][i] * 0.6;
}
double measuredPwp(const test::SoilTable& soils, std::size_t i) {
    return 2 + soils.inputs[2][i] * 0.4;
}

// A CSV table of the soils, sand, silt and clay at `factor` times their percent with
// `decimals` decimals, or else written so that they read back to the same doubles.
std::string soilsCsv(const test::SoilTable& soils, double factor = 1, int decimals = -1) {
    std::string text = "sand,silt,clay,oc,FC_lab,PWP_lab\n";
    for (std::size_t i = 0; i < soils.count; ++i) {
        std::array<char, 200> line{};
        if (decimals < 0) {
            std::snprintf(line.data(), line.size(), "%.17g,%.17g,%.17g,", soils.inputs[0][i],
                          soils.inputs[1][i], soils.inputs[2][i]);
        } else {
            std::snprintf(line.data(), line.size(), "%.*f,%.*f,%.*f,", decimals,
                          soils.inputs[0][i] * factor, decimals, soils.inputs[1][i] * factor,
                          decimals, soils.inputs[2][i] * factor);
        }
        text += line.data();
        std::snprintf(line.data(), line.size(), "%.17g,%.17g,%.17g\n", soils.inputs[3][i],
                      measuredFc(soils, i), measuredPwp(soils, i));
        text += line.data();
    }
    return text;
}

Outcome scoreCsv(const std::string& text, const table::Settings& settings) {
    MeasuredColumns measured;
    addMeasuredColumns(measured, "fc=FC_lab,pwp=PWP_lab");
    table::MemoryInput input(text);
    return evaluateTable(input, settings, measured);
}

table::Settings allModels() {
    table::Settings settings;
    settings.models = base::parseModels("all", settings.allModels);
    return settings;
}

std::vector<double> rmses(const Outcome& outcome) {
    std::vector<double> out;
    for (const Comparison& c : outcome.comparisons) {
        out.push_back(c.scores.rmse);
    }
    return out;
}

// Tables in fractions of 1 or in g/kg score as the same table in percent, to the bit: the
// scale is read from the text ("0.4012" is 40.12), not multiplied in after.
TEST(TableInput, ContentsAreReadAtTheTablesScale) {
    const test::SoilTable soils(200);
    const Outcome percent = scoreCsv(soilsCsv(soils, 1, 2), allModels());
    ASSERT_EQ(percent.comparisons.size(), 14U);
    table::Settings fractions = allModels();
    fractions.scales = base::fractionScales();
    table::Settings perKilogram = allModels();
    perKilogram.scales = base::parseScaleList("sand=0.1,silt=0.1,clay=0.1");
    EXPECT_EQ(rmses(scoreCsv(soilsCsv(soils, 0.01, 4), fractions)), rmses(percent));
    EXPECT_EQ(rmses(scoreCsv(soilsCsv(soils, 10, 1), perKilogram)), rmses(percent));
    EXPECT_NE(rmses(scoreCsv(soilsCsv(soils, 10, 1), allModels())), rmses(percent));
}

// OC of a declared unit is scored as the model reads it, as the table's rows give it: 5 g/kg
// reaches Rawls et al., 1982 as 0.5 %, FC 27.54934 and PWP 13.96828 by hand.
TEST(TableInput, CarbonOfADeclaredUnitIsScoredAsTheModelReadsIt) {
    const std::string text = "sand,silt,clay,oc,FC_lab,PWP_lab\n40,40,20,5,27.55,13.97\n";
    table::Settings settings;
    settings.models = base::parseModels("2", settings.allModels);
    settings.carbonUnit = estimation::CarbonUnit::gramsPerKilogram;
    const std::vector<double> scored = rmses(scoreCsv(text, settings));
    ASSERT_EQ(scored.size(), 2U);
    EXPECT_NEAR(scored[0], 27.55 - 27.54934, 1e-9);
    EXPECT_NEAR(scored[1], 13.97 - 13.96828, 1e-9);
    settings.carbonUnit.reset(); // as entered: 5 %, FC 50.8534
    EXPECT_NEAR(rmses(scoreCsv(text, settings))[0], 50.8534 - 27.55, 1e-9);
}

// On the USDA scale the models read converted sand and silt and the classes are the USDA
// triangle's: the table scores as the engine's columns on that scale do, not as read.
TEST(TableInput, UsdaContentsAreConvertedBeforeTheModelsReadThem) {
    const test::SoilTable soils(200);
    const std::string text = soilsCsv(soils);
    table::Settings usda = allModels();
    usda.particleSizeScale = estimation::ParticleSizeScale::usda;
    const Outcome fromTable = scoreCsv(text, usda);
    EXPECT_EQ(fromTable.particleSizeScale, estimation::ParticleSizeScale::usda);

    evaluation::Setup setup; // qualified: gtest has a member Setup
    setup.models = usda.models;
    setup.measured = {true, true, false};
    setup.particleSizeScale = estimation::ParticleSizeScale::usda;
    std::vector<double> fc;
    std::vector<double> pwp;
    for (std::size_t i = 0; i < soils.count; ++i) {
        fc.push_back(measuredFc(soils, i));
        pwp.push_back(measuredPwp(soils, i));
    }
    Evaluation columns(setup);
    columns.add({soils.columns(), {fc, pwp, {}}, {}, {}});
    const Outcome fromColumns = columns.outcome();

    EXPECT_EQ(rmses(fromTable), rmses(fromColumns));
    EXPECT_NE(rmses(fromTable), rmses(scoreCsv(text, allModels())));
    ASSERT_EQ(fromTable.comparisons.size(), fromColumns.comparisons.size());
    for (std::size_t k = 0; k < fromTable.comparisons.size(); ++k) {
        const auto& a = fromTable.comparisons[k].byTexture;
        const auto& b = fromColumns.comparisons[k].byTexture;
        for (std::size_t t = 0; t < a.size(); ++t) {
            EXPECT_EQ(a[t].n, b[t].n) << k << " " << t;
        }
        EXPECT_EQ(test::bits(fromTable.comparisons[k].intervals),
                  test::bits(fromColumns.comparisons[k].intervals));
    }
}

// Measurements in another unit than the one given are noticed from their numbers, and
// fractions given as such score in % v/v. Singh, 2000: FC = 57.58 - 0.5 sand, PWP = 2.37 +
// 0.43 clay; sand 40, clay 20 give 37.58 and 10.97, sand 60, clay 10 give 27.58 and 6.67,
// sand 20, clay 40 give 47.58 and 19.57. Porosity at bd 1.4 is (1 - 1.4/2.65) 100 = 47.17.
struct UnitCase {
    const char* what;
    const char* rows; // fc, pwp, bd after sand, silt, clay
    MeasuredUnit given;
    std::optional<MeasuredUnit> seen;
    double fcRmse; // NaN: not checked
};

TEST(TableInput, MeasurementsInAnotherUnitAreNoticed) {
    constexpr double unchecked = NoNumber;
    const std::vector<UnitCase> cases{
        {"fractions as v/v", "40,40,20,0.3758,0.1097,\n60,30,10,0.2758,0.0667,\n",
         MeasuredUnit::volume, MeasuredUnit::fraction, unchecked},
        {"fractions as w/w", "40,40,20,0.2684,0.0784,1.4\n60,30,10,0.2,0.05,1.4\n",
         MeasuredUnit::mass, MeasuredUnit::fraction, unchecked},
        {"fractions as such", "40,40,20,0.3758,0.1097,\n60,30,10,0.2758,0.0667,\n",
         MeasuredUnit::fraction, std::nullopt, 0},
        {"percent as fractions", "40,40,20,37.58,10.97,\n60,30,10,27.58,6.67,\n",
         MeasuredUnit::fraction, MeasuredUnit::volume, unchecked},
        // 37.58 % w/w x 1.4 = 52.61 % v/v, more than the 47.17 % of pores.
        {"v/v as w/w", "40,40,20,37.58,10.97,1.4\n20,40,40,47.58,19.57,1.4\n", MeasuredUnit::mass,
         MeasuredUnit::volume, unchecked},
        // 37.58 / 1.4 = 26.84 % w/w; the estimate x 1.4 back is the measurement.
        {"w/w as such", "40,40,20,26.842857142857142,10.97,1.4\n", MeasuredUnit::mass, std::nullopt,
         0},
        {"v/v as such", "40,40,20,37.58,10.97,\n60,30,10,27.58,6.67,\n", MeasuredUnit::volume,
         std::nullopt, 0},
        // Dry soils can measure below 1 %: one such row of three says nothing.
        {"a few below 1", "40,40,20,37.58,0.9,\n60,30,10,27.58,0.8,\n20,40,40,47.58,19.57,\n",
         MeasuredUnit::volume, std::nullopt, unchecked},
        {"no bd, v/v as w/w", "40,40,20,37.58,10.97,\n20,40,40,47.58,19.57,\n", MeasuredUnit::mass,
         std::nullopt, unchecked},
    };
    for (const UnitCase& c : cases) {
        SCOPED_TRACE(c.what);
        table::Settings settings;
        settings.models = base::parseModels("Singh", settings.allModels);
        MeasuredColumns measured;
        addMeasuredColumns(measured, "fc=fc_lab,pwp=pwp_lab");
        measured.unit = c.given;
        const std::string text = "sand,silt,clay,fc_lab,pwp_lab,bd\n" + std::string(c.rows);
        table::MemoryInput input(text);
        const Outcome outcome = evaluateTable(input, settings, measured);
        EXPECT_EQ(misreadMeasuredUnit(outcome), c.seen);
        const std::string note = misreadMeasuredNote(outcome, {"FRACTION", "VOLUME"});
        EXPECT_EQ(note.empty(), !c.seen) << note;
        if (c.seen) {
            EXPECT_TRUE(note.ends_with(c.seen == MeasuredUnit::fraction ? "FRACTION" : "VOLUME"));
        }
        ASSERT_EQ(outcome.comparisons.size(), 2U);
        EXPECT_EQ(outcome.comparisons[0].unit, c.given == MeasuredUnit::mass ? "% w/w" : "% v/v");
        if (!std::isnan(c.fcRmse)) {
            EXPECT_NEAR(outcome.comparisons[0].scores.rmse, c.fcRmse, 1e-9);
        }
    }
}

} // namespace
} // namespace talvo::evaluation
