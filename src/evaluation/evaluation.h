#pragma once

// Which model fits the user's soils: every chosen model's estimates against measured FC, PWP
// or AWC, row by row, in the measurements' unit, with scores, intervals, scores per texture
// class, the rows left out and a sample of points to plot.

#include "estimation/estimation.h"
#include "evaluation/scores.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::evaluation {

enum class Quantity : std::uint8_t { fc, pwp, awc };
inline constexpr std::array<Quantity, 3> allQuantities{Quantity::fc, Quantity::pwp, Quantity::awc};
std::string_view name(Quantity quantity) noexcept; // "fc", "pwp", "awc"

// The unit of measured FC and PWP; measured AWC is always mm of a 15 cm layer, as estimated.
// Fractions (cm3/cm3) are compared as % v/v, 0.26 as 26.
enum class MeasuredUnit : std::uint8_t { volume, mass, fraction };
std::string_view name(MeasuredUnit unit) noexcept; // "% v/v", "% w/w", "cm3/cm3"

// Bulk density (g/cm3) taken where a row has none: the one the models' AWC assumes.
inline constexpr double DefaultDensity = estimation::VolumeFactor;

// Rows drawn for the plots of each model and quantity; the same rows for every model.
inline constexpr std::size_t PlotPoints = 1500;
// Rows each reason keeps the numbers of, to show the user where to look.
inline constexpr std::size_t LeftOutExamples = 10;

struct Setup {
    std::vector<const estimation::PtfModel*> models; // none twice
    std::array<bool, 3> measured{};                  // fc, pwp, awc
    MeasuredUnit unit = MeasuredUnit::volume;
    // The scale sand, silt and clay are given on: the models read them converted, and the
    // texture classes are those of its triangle.
    estimation::ParticleSizeScale particleSizeScale = estimation::ParticleSizeScale::international;
    // The unit OC is given in, moved into each model's; unset: as entered.
    std::optional<estimation::CarbonUnit> carbonUnit;
};

// A run of rows as columns of numbers, NaN for no number. An empty measured column is one
// not measured; an empty density column, none in the table.
struct Rows {
    estimation::SoilColumns soils;
    std::array<std::span<const double>, 3> measured;
    std::span<const double> density;
    // The line of its file each row starts on; empty: rows numbered on from 1.
    std::span<const std::uint64_t> lines;
};

struct LeftOut {
    std::uint64_t noMeasurement = 0; // the measurement is empty or no number
    std::uint64_t noEstimate = 0;    // the model could not estimate the row
    // The estimate needed the row's bulk density, and its cell held no number a soil has
    // (0, -1, 30, "abc"): an empty one takes 1.49, a wrong one is not guessed at.
    std::uint64_t unsoundDensity = 0;
    // The first few: lines of the file where the rows had them, else rows from 1.
    std::vector<std::uint64_t> noMeasurementRows, noEstimateRows, unsoundDensityRows;
};

struct Point {
    double estimated;
    double measured;
};

// What the measured FC and PWP, as given, say about their unit, counted over the rows
// compared with each model. The estimates are in % of the measurements' unit.
struct MeasuredLook {
    std::uint64_t compared = 0;        // FC and PWP rows with a measurement and an estimate
    std::uint64_t fractionLike = 0;    // of these, at most 1 while the estimate is some percent
    std::uint64_t aboveHundred = 0;    // of these, above 1 even as a fraction (above 100 %)
    std::uint64_t fcWithDensity = 0;   // FC rows with a bulk density of their own
    std::uint64_t fcAbovePorosity = 0; // of these, above the porosity once read by volume
};

// One model and quantity.
struct Comparison {
    const estimation::PtfModel* model = nullptr;
    Quantity quantity = Quantity::fc;
    std::string_view unit;  // of both sides as compared
    bool converted = false; // estimates turned into the measurements' unit by bulk density
    std::uint64_t defaultDensityRows = 0; // of these, rows that took DefaultDensity
    Scores scores;
    ScoreIntervals intervals;
    // Point scores per texture class, in class order, and last for rows without a class.
    std::array<Scores, estimation::TextureClassCount + 1> byTexture;
    LeftOut leftOut;
    // Of the rows compared, those that carry each flag, in the order of allFlags.
    std::array<std::uint64_t, estimation::allFlags.size()> flagged{};
    std::vector<Point> sample;
};

struct Outcome {
    std::vector<Comparison> comparisons; // model by model, quantities in order
    std::uint64_t rows = 0;
    MeasuredUnit unit = MeasuredUnit::volume;
    estimation::ParticleSizeScale particleSizeScale = estimation::ParticleSizeScale::international;
    bool densityColumn = false;
    bool fileLines = false; // rows left out are named by their lines in the file
    MeasuredLook look;      // summed over the comparisons
};

// How a front end names its choice of the measurements' unit, to end the sentence after "; ":
// talvo-batch's option, Python's argument, the page's choice.
struct MeasuredUnitRemedies {
    std::string_view fraction; // reads fractions of 1 as % v/v
    std::string_view volume;   // reads % v/v
};

// The unit the measured FC and PWP look to be in when it is not the one they were given in:
// fractions of 1 (cm3/cm3) where most are at most 1 while the estimates are percent; % v/v
// where fractions were given but most lie above 1, or % w/w were given but most FC with a
// bulk density lie above its porosity by volume. Nothing where the numbers do not say.
std::optional<MeasuredUnit> misreadMeasuredUnit(const Outcome& outcome);

// One line saying so and naming the front end's remedy; empty when the unit looks right.
std::string misreadMeasuredNote(const Outcome& outcome, const MeasuredUnitRemedies& remedies);

// The line that tells how many rows were left out for a bulk density no soil has, and how
// many took DefaultDensity to convert estimates into the measurements' unit; empty when none.
std::string densityNote(const Outcome& outcome);

// Takes rows in runs, estimates them with every model in general precision (the 15-digit
// results, not the rounded texts) and keeps what the scores need, in memory bounded by the
// number of models, not of rows.
class Evaluation {
public:
    explicit Evaluation(Setup setup);
    Evaluation(Evaluation&& other) noexcept;
    Evaluation& operator=(Evaluation&& other) noexcept;
    ~Evaluation();

    // Rows are numbered on from the previous run.
    void add(const Rows& rows);
    // Scores with intervals; the evaluation can take more rows after.
    Outcome outcome() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace talvo::evaluation
