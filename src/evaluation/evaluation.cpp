#include "evaluation/evaluation.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace talvo::evaluation {

std::string_view name(Quantity quantity) noexcept {
    switch (quantity) {
    case Quantity::fc:
        return "fc";
    case Quantity::pwp:
        return "pwp";
    case Quantity::awc:
        return "awc";
    }
    return "";
}

std::string_view name(MeasuredUnit unit) noexcept {
    return unit == MeasuredUnit::mass ? "% w/w" : "% v/v";
}

namespace {

// Up to this many rows each row is its own group and the bootstrap resamples rows; beyond,
// rows are dealt at random into this many groups, which are resampled instead. For scores
// that are functions of sums over independent rows, the two give the same intervals, and
// the cost no longer grows with the table.
constexpr std::size_t MaxGroups = 10000;

// A row's place in a random order, the same in every run.
std::uint64_t rowHash(std::uint64_t row) noexcept {
    return SplitMix64(row).next();
}

std::size_t groupOf(std::uint64_t row, std::uint64_t hash) noexcept {
    return row < MaxGroups ? static_cast<std::size_t>(row)
                           : static_cast<std::size_t>(hash % MaxGroups);
}

// What turns a model's estimate into the measurements' unit: the bulk density for FC and
// PWP in another unit, its ratio to the density the models' AWC assumes for AWC.
bool needsDensity(const estimation::PtfModel& model, Quantity quantity, MeasuredUnit unit) {
    if (quantity == Quantity::awc) {
        return model.gravimetric;
    }
    return model.gravimetric == (unit == MeasuredUnit::volume);
}

struct Sampled {
    std::uint64_t hash;
    Point point;
    bool operator<(const Sampled& other) const noexcept { return hash < other.hash; }
};

// One model and quantity as rows come in.
struct Track {
    const estimation::PtfModel* model = nullptr;
    Quantity quantity = Quantity::fc;
    bool converted = false;
    std::uint64_t defaultDensityRows = 0;
    Sums total;
    std::array<Sums, estimation::TextureClassCount + 1> byTexture{};
    LeftOut leftOut;
    std::vector<Sampled> sample; // a max-heap on the hash: the rows of lowest hash stay

    void keep(std::uint64_t hash, Point point) {
        const Sampled entry{hash, point};
        if (sample.size() < PlotPoints) {
            sample.push_back(entry);
            std::push_heap(sample.begin(), sample.end());
        } else if (entry < sample.front()) {
            std::pop_heap(sample.begin(), sample.end());
            sample.back() = entry;
            std::push_heap(sample.begin(), sample.end());
        }
    }
};

void note(std::uint64_t& count, std::vector<std::uint64_t>& rows, std::uint64_t row) {
    ++count;
    if (rows.size() < LeftOutExamples) {
        rows.push_back(row + 1);
    }
}

} // namespace

struct Evaluation::State {
    Setup setup;
    std::vector<estimation::SoilEstimator> estimators;
    std::vector<Track> tracks;  // model by model, the measured quantities in order
    std::vector<Sums> groups;   // per group, one Sums per track
    std::uint64_t rowCount = 0; // rows taken so far
    bool density = false;
    std::array<std::vector<double>, 3> results; // fc, pwp, awc of the run
    std::vector<std::uint16_t> flags;
    std::vector<std::uint8_t> texture, failure;
    std::vector<double> carbon; // OC as the model at hand reads it, where it differs
    // Each row's hash and where its group's sums start, the same for every track.
    std::vector<std::uint64_t> hashes;
    std::vector<std::size_t> groupStarts;

    void estimate(std::size_t model, const Rows& in);
    void compare(Track& track, std::size_t groupColumn, const Rows& in);
};

Evaluation::Evaluation(Setup setup) : m_state(std::make_unique<State>()) {
    m_state->setup = std::move(setup);
    for (const estimation::PtfModel* model : m_state->setup.models) {
        m_state->estimators.emplace_back(*model, estimation::Precision::general,
                                         m_state->setup.particleSizes);
        for (const Quantity quantity : allQuantities) {
            if (m_state->setup.measured[static_cast<std::size_t>(quantity)]) {
                Track track;
                track.model = model;
                track.quantity = quantity;
                track.converted = needsDensity(*model, quantity, m_state->setup.unit);
                m_state->tracks.push_back(std::move(track));
            }
        }
    }
}

Evaluation::Evaluation(Evaluation&& other) noexcept = default;
Evaluation& Evaluation::operator=(Evaluation&& other) noexcept = default;
Evaluation::~Evaluation() = default;

void Evaluation::State::estimate(std::size_t model, const Rows& in) {
    const std::size_t count = in.soils.count;
    for (std::vector<double>& column : results) {
        column.resize(count);
    }
    flags.resize(count);
    texture.resize(count);
    failure.resize(count);
    // OC of a declared unit, as this model reads it: the same soils as the table's rows.
    estimation::SoilColumns soils = in.soils;
    std::span<const double>& oc = soils.inputs[static_cast<std::size_t>(estimation::Input::oc)];
    if (setup.carbonUnit &&
        estimation::carbonPlaces(*setup.models[model], *setup.carbonUnit) != 0) {
        carbon.resize(oc.size());
        std::transform(oc.begin(), oc.end(), carbon.begin(), [&](double value) {
            return estimation::carbonFor(*setup.models[model], *setup.carbonUnit, value);
        });
        oc = carbon;
    }
    estimators[model].estimate(soils, {results[0].data(), results[1].data(), results[2].data(),
                                       flags.data(), texture.data(), failure.data()});
}

void Evaluation::State::compare(Track& track, std::size_t groupColumn, const Rows& in) {
    const auto q = static_cast<std::size_t>(track.quantity);
    const std::span<const double> measured = in.measured[q];
    const std::vector<double>& estimated = results[q];
    for (std::size_t i = 0; i < in.soils.count; ++i) {
        const std::uint64_t row = rowCount + i;
        if (!std::isfinite(measured[i])) {
            note(track.leftOut.noMeasurement, track.leftOut.noMeasurementRows, row);
            continue;
        }
        double compared = estimated[i];
        if (!std::isfinite(compared)) {
            note(track.leftOut.noEstimate, track.leftOut.noEstimateRows, row);
            continue;
        }
        if (track.converted) {
            double bd = in.density.empty() ? NoScore : in.density[i];
            if (!(std::isfinite(bd) && bd > 0)) {
                bd = DefaultDensity;
                ++track.defaultDensityRows;
            }
            if (track.quantity == Quantity::awc) {
                compared *= bd / DefaultDensity;
            } else if (setup.unit == MeasuredUnit::volume) {
                compared *= bd;
            } else {
                compared /= bd;
            }
        }
        const std::size_t textureIndex = texture[i] == estimation::NoTexture
                                             ? estimation::TextureClassCount
                                             : std::size_t{texture[i]};
        track.total.add(compared, measured[i]);
        track.byTexture[textureIndex].add(compared, measured[i]);
        groups[groupStarts[i] + groupColumn].add(compared, measured[i]);
        track.keep(hashes[i], {compared, measured[i]});
    }
}

void Evaluation::add(const Rows& rows) {
    State& s = *m_state;
    s.density = s.density || !rows.density.empty();
    const std::uint64_t end = s.rowCount + rows.soils.count;
    s.groups.resize(static_cast<std::size_t>(std::min<std::uint64_t>(end, MaxGroups)) *
                    s.tracks.size());
    s.hashes.resize(rows.soils.count);
    s.groupStarts.resize(rows.soils.count);
    for (std::size_t i = 0; i < rows.soils.count; ++i) {
        const std::uint64_t row = s.rowCount + i;
        s.hashes[i] = rowHash(row);
        s.groupStarts[i] = groupOf(row, s.hashes[i]) * s.tracks.size();
    }
    std::size_t column = 0;
    for (std::size_t model = 0; model < s.estimators.size(); ++model) {
        s.estimate(model, rows);
        for (; column < s.tracks.size() && s.tracks[column].model == s.setup.models[model];
             ++column) {
            s.compare(s.tracks[column], column, rows);
        }
    }
    s.rowCount = end;
}

Outcome Evaluation::outcome() const {
    const State& s = *m_state;
    Outcome outcome;
    outcome.rows = s.rowCount;
    outcome.unit = s.setup.unit;
    outcome.particleSizes = s.setup.particleSizes;
    outcome.densityColumn = s.density;
    if (s.tracks.empty()) {
        return outcome;
    }
    const std::vector<ScoreIntervals> intervals = bootstrap(s.groups, s.tracks.size());
    for (std::size_t t = 0; t < s.tracks.size(); ++t) {
        const Track& track = s.tracks[t];
        Comparison c;
        c.model = track.model;
        c.quantity = track.quantity;
        c.unit = track.quantity == Quantity::awc ? "mm" : name(s.setup.unit);
        c.converted = track.converted;
        c.defaultDensityRows = track.defaultDensityRows;
        c.scores = scores(track.total);
        c.intervals = intervals[t];
        std::transform(track.byTexture.begin(), track.byTexture.end(), c.byTexture.begin(),
                       [](const Sums& sums) { return scores(sums); });
        c.leftOut = track.leftOut;
        std::vector<Sampled> sample = track.sample;
        std::sort(sample.begin(), sample.end());
        for (const Sampled& entry : sample) {
            c.sample.push_back(entry.point);
        }
        outcome.comparisons.push_back(std::move(c));
    }
    return outcome;
}

std::string densityNote(const Outcome& outcome) {
    std::uint64_t defaulted = 0;
    for (const Comparison& c : outcome.comparisons) {
        defaulted = std::max(defaulted, c.defaultDensityRows);
    }
    if (defaulted == 0) {
        return {};
    }
    return outcome.densityColumn
               ? std::to_string(defaulted) + (defaulted == 1 ? " row" : " rows") +
                     " without a bulk density took 1.49 g/cm3 to convert estimates into the "
                     "measurements' unit"
               : "no bd column: estimates were converted into the measurements' unit with a "
                 "bulk density of 1.49 g/cm3 (name one with --measured bd=HEADER)";
}

} // namespace talvo::evaluation
