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
    switch (unit) {
    case MeasuredUnit::volume:
        return "% v/v";
    case MeasuredUnit::mass:
        return "% w/w";
    case MeasuredUnit::fraction:
        return "cm3/cm3";
    }
    return "";
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
    return model.gravimetric == (unit != MeasuredUnit::mass);
}

// The unit FC and PWP are compared in: fractions as the percent the models give.
MeasuredUnit comparedUnit(MeasuredUnit unit) noexcept {
    return unit == MeasuredUnit::fraction ? MeasuredUnit::volume : unit;
}

// An estimate this many percent is no fraction of 1: the models give FC and PWP of 5 to 60.
constexpr double SomePercent = 5.0;

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
    MeasuredLook look;
    std::array<std::uint64_t, estimation::allFlags.size()> flagged{};
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

// A measured FC or PWP as given, beside its estimate in % of the unit it was given in.
void look(MeasuredLook& look, Quantity quantity, double measured, double estimated,
          double density) {
    ++look.compared;
    look.fractionLike += measured >= 0 && measured <= 1 && estimated >= SomePercent ? 1U : 0U;
    look.aboveHundred += measured > 1 ? 1U : 0U;
    if (quantity == Quantity::fc && std::isfinite(density)) {
        ++look.fcWithDensity;
        look.fcAbovePorosity += measured * density > estimation::porosity(density) ? 1U : 0U;
    }
}

// Each measured value once: FC and PWP as compared with the model that estimated most rows.
MeasuredLook measuredLook(const std::vector<Track>& tracks) {
    MeasuredLook sum;
    for (const Quantity quantity : {Quantity::fc, Quantity::pwp}) {
        const Track* widest = nullptr;
        for (const Track& track : tracks) {
            if (track.quantity == quantity &&
                (widest == nullptr || track.look.compared > widest->look.compared)) {
                widest = &track;
            }
        }
        if (widest != nullptr) {
            sum.compared += widest->look.compared;
            sum.fractionLike += widest->look.fractionLike;
            sum.aboveHundred += widest->look.aboveHundred;
            sum.fcWithDensity += widest->look.fcWithDensity;
            sum.fcAbovePorosity += widest->look.fcAbovePorosity;
        }
    }
    return sum;
}

void note(std::uint64_t& count, std::vector<std::uint64_t>& rows, std::uint64_t row) {
    ++count;
    if (rows.size() < LeftOutExamples) {
        rows.push_back(row);
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
    bool fileLines = false;
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
                                         m_state->setup.particleSizeScale);
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
    if (setup.carbonUnit &&
        estimation::carbonPlaces(*setup.models[model], *setup.carbonUnit) != 0) {
        std::span<const double>& oc = soils.inputs[static_cast<std::size_t>(estimation::Input::oc)];
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
        const std::uint64_t row = in.lines.empty() ? rowCount + i + 1 : in.lines[i];
        if (!std::isfinite(measured[i])) {
            note(track.leftOut.noMeasurement, track.leftOut.noMeasurementRows, row);
            continue;
        }
        double compared = estimated[i];
        if (!std::isfinite(compared)) {
            note(track.leftOut.noEstimate, track.leftOut.noEstimateRows, row);
            continue;
        }
        const double rowDensity = in.density.empty() ? NoNumber : in.density[i];
        const bool ownDensity = estimation::soundBulkDensity(rowDensity);
        if (track.converted && !std::isnan(rowDensity) && !ownDensity) {
            note(track.leftOut.unsoundDensity, track.leftOut.unsoundDensityRows, row);
            continue;
        }
        if (track.converted) {
            const double bd = ownDensity ? rowDensity : DefaultDensity;
            track.defaultDensityRows += ownDensity ? 0U : 1U;
            if (track.quantity == Quantity::awc) {
                compared *= bd / DefaultDensity;
            } else if (setup.unit == MeasuredUnit::mass) {
                compared /= bd;
            } else {
                compared *= bd;
            }
        }
        double value = measured[i];
        if (track.quantity != Quantity::awc) {
            look(track.look, track.quantity, value, compared, ownDensity ? rowDensity : NoNumber);
            if (setup.unit == MeasuredUnit::fraction) {
                value *= estimation::PercentDivisor;
            }
        }
        const std::size_t textureIndex = texture[i] == estimation::NoTexture
                                             ? estimation::TextureClassCount
                                             : std::size_t{texture[i]};
        const estimation::Flags rowFlags(flags[i]);
        for (std::size_t f = 0; f < track.flagged.size(); ++f) {
            track.flagged[f] += rowFlags.contains(estimation::allFlags[f]) ? 1U : 0U;
        }
        track.total.add(compared, value);
        track.byTexture[textureIndex].add(compared, value);
        groups[groupStarts[i] + groupColumn].add(compared, value);
        track.keep(hashes[i], {compared, value});
    }
}

void Evaluation::add(const Rows& rows) {
    State& s = *m_state;
    s.density = s.density || !rows.density.empty();
    s.fileLines = s.fileLines || !rows.lines.empty();
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
    outcome.particleSizeScale = s.setup.particleSizeScale;
    outcome.densityColumn = s.density;
    outcome.fileLines = s.fileLines;
    if (s.tracks.empty()) {
        return outcome;
    }
    outcome.look = measuredLook(s.tracks);
    const std::vector<ScoreIntervals> intervals = bootstrap(s.groups, s.tracks.size());
    for (std::size_t t = 0; t < s.tracks.size(); ++t) {
        const Track& track = s.tracks[t];
        Comparison c;
        c.model = track.model;
        c.quantity = track.quantity;
        c.unit = track.quantity == Quantity::awc ? "mm" : name(comparedUnit(s.setup.unit));
        c.converted = track.converted;
        c.defaultDensityRows = track.defaultDensityRows;
        c.scores = scores(track.total);
        c.intervals = intervals[t];
        std::transform(track.byTexture.begin(), track.byTexture.end(), c.byTexture.begin(),
                       [](const Sums& sums) { return scores(sums); });
        c.leftOut = track.leftOut;
        c.flagged = track.flagged;
        std::vector<Sampled> sample = track.sample;
        std::sort(sample.begin(), sample.end());
        for (const Sampled& entry : sample) {
            c.sample.push_back(entry.point);
        }
        outcome.comparisons.push_back(std::move(c));
    }
    return outcome;
}

std::optional<MeasuredUnit> misreadMeasuredUnit(const Outcome& outcome) {
    const MeasuredLook& look = outcome.look;
    const auto most = [](std::uint64_t some, std::uint64_t all) {
        return all > 0 && 2 * some > all;
    };
    switch (outcome.unit) {
    case MeasuredUnit::fraction:
        return most(look.aboveHundred, look.compared) ? std::optional(MeasuredUnit::volume)
                                                      : std::nullopt;
    case MeasuredUnit::mass:
        if (most(look.fcAbovePorosity, look.fcWithDensity)) {
            return MeasuredUnit::volume;
        }
        break;
    case MeasuredUnit::volume:
        break;
    }
    return most(look.fractionLike, look.compared) ? std::optional(MeasuredUnit::fraction)
                                                  : std::nullopt;
}

std::string misreadMeasuredNote(const Outcome& outcome, const MeasuredUnitRemedies& remedies) {
    const std::optional<MeasuredUnit> unit = misreadMeasuredUnit(outcome);
    if (!unit) {
        return {};
    }
    const MeasuredLook& look = outcome.look;
    const auto of = [](std::uint64_t some, std::uint64_t all) {
        return std::to_string(some) + " of " + std::to_string(all);
    };
    if (*unit == MeasuredUnit::fraction) {
        return "measured fc and pwp: " + of(look.fractionLike, look.compared) +
               " values are at most 1 while the estimates are percent: they look like "
               "fractions of 1 (cm3/cm3); " +
               std::string(remedies.fraction);
    }
    if (outcome.unit == MeasuredUnit::fraction) {
        return "measured fc and pwp: " + of(look.aboveHundred, look.compared) +
               " values lie above 1: they look like percent, not fractions of 1; " +
               std::string(remedies.volume);
    }
    return "measured fc: " + of(look.fcAbovePorosity, look.fcWithDensity) +
           " values with a bulk density, read as % w/w, hold more water by volume than the "
           "soil's pores (1 - bd/2.65): they look like % v/v; " +
           std::string(remedies.volume);
}

std::string densityNote(const Outcome& outcome) {
    std::uint64_t defaulted = 0;
    std::uint64_t unsound = 0;
    for (const Comparison& c : outcome.comparisons) {
        defaulted = std::max(defaulted, c.defaultDensityRows);
        unsound = std::max(unsound, c.leftOut.unsoundDensity);
    }
    // A bulk density no soil has leaves its row out; the report names the rows.
    std::string left = unsound == 0
                           ? std::string()
                           : std::to_string(unsound) + (unsound == 1 ? " row" : " rows") +
                                 " left out for a bulk density no soil has (" +
                                 estimation::generalText(estimation::LightestSoil) + " to " +
                                 estimation::generalText(estimation::StoneDensity) + " g/cm3)";
    if (defaulted == 0) {
        return left;
    }
    const std::string defaultedText =
        outcome.densityColumn
            ? std::to_string(defaulted) + (defaulted == 1 ? " row" : " rows") +
                  " without a bulk density took 1.49 g/cm3 to convert estimates into the "
                  "measurements' unit"
            : "no bd column: estimates were converted into the measurements' unit with a bulk "
              "density of 1.49 g/cm3 (name one with --measured bd=HEADER)";
    return left.empty() ? defaultedText : left + "; " + defaultedText;
}

} // namespace talvo::evaluation
