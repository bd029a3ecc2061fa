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
enum class MeasuredUnit : std::uint8_t { volume, mass }; // % v/v, % w/w
std::string_view name(MeasuredUnit unit) noexcept;       // "% v/v", "% w/w"

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
    estimation::ParticleSizeScale particleSizes = estimation::ParticleSizeScale::international;
    // The unit OC is given in, moved into each model's; unset: as entered.
    std::optional<estimation::CarbonUnit> carbonUnit;
};

// A run of rows as columns of numbers, NaN for no number. An empty measured column is one
// not measured; an empty density column, none in the table.
struct Rows {
    estimation::SoilColumns soils;
    std::array<std::span<const double>, 3> measured;
    std::span<const double> density;
};

struct LeftOut {
    std::uint64_t noMeasurement = 0; // the measurement is empty or no number
    std::uint64_t noEstimate = 0;    // the model could not estimate the row
    std::vector<std::uint64_t> noMeasurementRows, noEstimateRows; // the first few, from 1
};

struct Point {
    double estimated;
    double measured;
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
    std::vector<Point> sample;
};

struct Outcome {
    std::vector<Comparison> comparisons; // model by model, quantities in order
    std::uint64_t rows = 0;
    MeasuredUnit unit = MeasuredUnit::volume;
    estimation::ParticleSizeScale particleSizes = estimation::ParticleSizeScale::international;
    bool densityColumn = false;
};

// The line that tells how many rows took DefaultDensity to convert estimates into the
// measurements' unit; empty when none did.
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
