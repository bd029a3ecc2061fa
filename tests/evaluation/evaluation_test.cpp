// Every model against measurements made from its own estimates: known scores, rows left out,
// and units matched by bulk density.

#include "evaluation/evaluation.h"
#include "soils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace talvo::evaluation {
namespace {

using estimation::ModelCatalogue;
using estimation::PtfModel;
using test::SoilTable;

Outcome evaluate(const PtfModel& model, MeasuredUnit unit, const SoilTable& soils,
                 const std::array<std::vector<double>, 3>& measured,
                 const std::vector<double>& density = {}) {
    Setup setup;
    setup.models = {&model};
    for (std::size_t q = 0; q < 3; ++q) {
        setup.measured[q] = !measured[q].empty();
    }
    setup.unit = unit;
    Evaluation evaluation(setup);
    evaluation.add({soils.columns(), {measured[0], measured[1], measured[2]}, density, {}});
    return evaluation.outcome();
}

MeasuredUnit ownUnit(const PtfModel& model) {
    return model.gravimetric ? MeasuredUnit::mass : MeasuredUnit::volume;
}

// measured = estimated + c gives ME = -c and RMSE = |c|; c = 0 a perfect fit.
TEST(Evaluation, ShiftedMeasurementsGiveKnownScores) {
    const SoilTable soils(300);
    for (const PtfModel& model : ModelCatalogue) {
        for (const double shift : {0.0, 1.5, -3.25}) {
            SCOPED_TRACE(std::string(model.listText) + " shift " + std::to_string(shift));
            std::array<std::vector<double>, 3> measured = soils.estimates(model);
            for (std::vector<double>& column : measured) {
                for (double& value : column) {
                    value += shift;
                }
            }
            const Outcome outcome = evaluate(model, ownUnit(model), soils, measured);
            ASSERT_EQ(outcome.comparisons.size(), 3U);
            for (const Comparison& c : outcome.comparisons) {
                // Gravimetric AWC takes the row's bulk density; without one, the models' own.
                EXPECT_EQ(c.converted, c.quantity == Quantity::awc && model.gravimetric);
                EXPECT_EQ(c.scores.n, 300);
                EXPECT_NEAR(c.scores.me, -shift, 1e-9);
                EXPECT_NEAR(c.scores.rmse, std::abs(shift), 1e-9);
                EXPECT_NEAR(c.scores.r2, 1, 1e-9);
                if (shift == 0) {
                    EXPECT_NEAR(c.scores.nse, 1, 1e-12);
                    EXPECT_NEAR(c.intervals.rmse.high, 0, 1e-9);
                }
                EXPECT_LE(c.intervals.me.low, c.scores.me + 1e-9);
                EXPECT_GE(c.intervals.me.high, c.scores.me - 1e-9);
                EXPECT_EQ(c.sample.size(), 300U);
            }
        }
    }
}

TEST(Evaluation, RowsWithoutMeasurementOrEstimateAreLeftOutAndCounted) {
    SoilTable soils(40);
    const PtfModel& model = ModelCatalogue[0];
    std::array<std::vector<double>, 3> measured = soils.estimates(model);
    soils.inputs[0][5] = NoNumber; // row 6: the model cannot estimate it
    measured[0][0] = NoNumber;     // row 1: no measured FC
    measured[0][3] = HUGE_VAL;     // row 4: none either
    measured[0][5] = 20;           // measured, but no estimate
    measured[1][5] = NoNumber;     // neither: counted as no measurement
    const Outcome outcome = evaluate(model, ownUnit(model), soils, measured);
    const Comparison& fc = outcome.comparisons[0];
    EXPECT_EQ(fc.scores.n, 37);
    EXPECT_EQ(fc.leftOut.noMeasurement, 2U);
    EXPECT_EQ(fc.leftOut.noMeasurementRows, (std::vector<std::uint64_t>{1, 4}));
    EXPECT_EQ(fc.leftOut.noEstimate, 1U);
    EXPECT_EQ(fc.leftOut.noEstimateRows, (std::vector<std::uint64_t>{6}));
    const Comparison& pwp = outcome.comparisons[1];
    EXPECT_EQ(pwp.leftOut.noMeasurement, 1U);
    EXPECT_EQ(pwp.leftOut.noEstimate, 0U);
    EXPECT_EQ(pwp.scores.n, 39);
    EXPECT_NEAR(pwp.scores.rmse, 0, 1e-12);
}

// Measurements in the other unit, made with a known bulk density: converted back, they fit.
TEST(Evaluation, EstimatesAreConvertedIntoTheMeasurementsUnit) {
    const SoilTable soils(50);
    std::vector<double> density;
    for (std::size_t i = 0; i < soils.count; ++i) {
        density.push_back(1.1 + 0.01 * static_cast<double>(i));
    }
    density[7] = NoNumber; // takes 1.49
    for (const PtfModel& model : ModelCatalogue) {
        for (const bool densityColumn : {true, false}) {
            SCOPED_TRACE(std::string(model.listText) + (densityColumn ? " with bd" : " without"));
            const MeasuredUnit unit = model.gravimetric ? MeasuredUnit::volume : MeasuredUnit::mass;
            std::array<std::vector<double>, 3> measured = soils.estimates(model);
            for (std::size_t i = 0; i < soils.count; ++i) {
                const double bd = densityColumn && i != 7 ? density[i] : DefaultDensity;
                for (std::size_t q = 0; q < 2; ++q) {
                    measured[q][i] = model.gravimetric ? measured[q][i] * bd : measured[q][i] / bd;
                }
                if (model.gravimetric) {
                    measured[2][i] *= bd / DefaultDensity;
                }
            }
            const Outcome outcome = evaluate(model, unit, soils, measured,
                                             densityColumn ? density : std::vector<double>{});
            for (const Comparison& c : outcome.comparisons) {
                SCOPED_TRACE(std::string(name(c.quantity)));
                const bool converts = c.quantity != Quantity::awc || model.gravimetric;
                EXPECT_EQ(c.converted, converts);
                EXPECT_EQ(c.defaultDensityRows, !converts ? 0U : densityColumn ? 1U : 50U);
                EXPECT_NEAR(c.scores.rmse, 0, 1e-9);
                EXPECT_EQ(c.unit, c.quantity == Quantity::awc ? "mm" : name(unit));
            }
        }
    }
}

// A bulk density no soil has is not guessed at where the estimate needs one: the row is left
// out and named; where no conversion is needed, the cell is never read.
TEST(Evaluation, RowsWithUnsoundBulkDensityAreLeftOut) {
    const SoilTable soils(10);
    std::vector<double> density(soils.count, 1.3);
    // 0, below the lightest soil, a cell with no number (-1), denser than stone, and empty.
    density[1] = 0;
    density[2] = 1e-300;
    density[3] = -1;
    density[4] = 30;
    density[5] = NoNumber; // takes 1.49
    const PtfModel& rawls = ModelCatalogue[2];
    std::array<std::vector<double>, 3> measured = soils.estimates(rawls);
    for (std::size_t i = 0; i < soils.count; ++i) {
        const double bd = i >= 1 && i <= 5 ? DefaultDensity : density[i];
        measured[0][i] /= bd;
        measured[1][i] /= bd;
    }
    measured[2].clear();
    const Outcome outcome = evaluate(rawls, MeasuredUnit::mass, soils, measured, density);
    for (const Comparison& c : outcome.comparisons) {
        SCOPED_TRACE(std::string(name(c.quantity)));
        EXPECT_EQ(c.leftOut.unsoundDensity, 4U);
        EXPECT_EQ(c.leftOut.unsoundDensityRows, (std::vector<std::uint64_t>{2, 3, 4, 5}));
        EXPECT_EQ(c.scores.n, 6);
        EXPECT_NEAR(c.scores.rmse, 0, 1e-9);
        EXPECT_EQ(c.defaultDensityRows, 1U);
    }
    EXPECT_EQ(densityNote(outcome),
              "4 rows left out for a bulk density no soil has (0.01 to 2.65 g/cm3); 1 row "
              "without a bulk density took 1.49 g/cm3 to convert estimates into the "
              "measurements' unit");
    // In its own unit Rawls needs no density: every row counts.
    const Outcome own =
        evaluate(rawls, MeasuredUnit::volume, soils, soils.estimates(rawls), density);
    EXPECT_EQ(own.comparisons[0].leftOut.unsoundDensity, 0U);
    EXPECT_EQ(own.comparisons[0].scores.n, 10);
}

// Beyond the rows that are each their own group; and rows in runs as in one.
TEST(Evaluation, LargeTablesInRunsGiveTheSameOutcome) {
    const SoilTable soils(12000);
    evaluation::Setup setup; // qualified: gtest has a member Setup
    setup.models = {&ModelCatalogue[1], &ModelCatalogue[4]};
    setup.measured = {true, true, false};
    std::vector<double> fc(soils.count);
    std::vector<double> pwp(soils.count);
    for (std::size_t i = 0; i < soils.count; ++i) {
        fc[i] = 10 + soils.inputs[2][i] * 0.6;
        pwp[i] = 2 + soils.inputs[2][i] * 0.4;
    }
    Evaluation whole(setup);
    whole.add({soils.columns(), {fc, pwp, {}}, {}, {}});
    Evaluation pieces(setup);
    for (std::size_t first = 0; first < soils.count; first += 7000) {
        const std::size_t count = std::min<std::size_t>(7000, soils.count - first);
        const auto part = [&](const std::vector<double>& column) {
            return std::span<const double>(column).subspan(first, count);
        };
        pieces.add({{{part(soils.inputs[0]), part(soils.inputs[1]), part(soils.inputs[2]),
                      part(soils.inputs[3])},
                     count},
                    {part(fc), part(pwp), {}},
                    {},
                    {}});
    }
    const Outcome a = whole.outcome();
    const Outcome b = pieces.outcome();
    ASSERT_EQ(a.comparisons.size(), 4U);
    for (std::size_t k = 0; k < 4; ++k) {
        const Comparison& c = a.comparisons[k];
        EXPECT_EQ(c.scores.n, 12000);
        EXPECT_LT(c.intervals.rmse.low, c.scores.rmse);
        EXPECT_GT(c.intervals.rmse.high, c.scores.rmse);
        EXPECT_EQ(test::bits(c.intervals), test::bits(b.comparisons[k].intervals));
        EXPECT_EQ(c.sample.size(), PlotPoints);
        EXPECT_EQ(c.sample.front().measured, b.comparisons[k].sample.front().measured);
    }
}

} // namespace
} // namespace talvo::evaluation
