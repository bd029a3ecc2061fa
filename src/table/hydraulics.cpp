#include "table/hydraulics.h"

#include "base/error.h"
#include "table/csv.h"
#include "table/horizons.h"
#include "table/hydraulic_cells.h"
#include "table/summary.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace talvo::table {

namespace {

using estimation::HydraulicModel;
using estimation::Input;

// A column's header: its name with its unit, as the page and the other front ends show it;
// a pure number (n) has none.
std::string columnHeader(const estimation::HydraulicColumn& column) {
    return column.unit == "1" ? std::string(column.name)
                              : std::string(column.name) + " (" + std::string(column.unit) + ")";
}

// ---- Horizons (--profiles): each row's water between its curve's FC and PWP, summed per
// profile by the same table as the seven models' horizons.

// The horizon's water between a curve's FC and PWP (m³/m³); nothing where it has none.
std::optional<estimation::HorizonWater> curveWater(const HydraulicHorizon& row, double fc,
                                                   double pwp) {
    if (!row.fault.empty()) {
        return std::nullopt;
    }
    const table::Horizon& horizon = row.horizon;
    return estimation::curveHorizonWater(fc * 100, pwp * 100, horizon.soil,
                                         (horizon.bottom - horizon.top) * 10.0);
}

// theta_fc, theta_pwp and aw_mm, each after the delimiter; empty where there is no water.
void appendHorizon(std::string& out, const std::optional<estimation::HorizonWater>& water,
                   const table::Settings& settings) {
    std::array<char, estimation::ResultTextCapacity> text{};
    for (std::size_t i = 0; i < table::HorizonColumns.size(); ++i) {
        out += settings.delimiter;
        if (water) {
            const double value = std::array{water->thetaFc, water->thetaPwp, water->waterMm}.at(i);
            out.append(text.data(), table::writeNumberText(text.data(), value, settings));
        }
    }
}

// Every horizon draws from the same seed: paired by their place, draws would give all of a
// profile's horizons the same input errors. Each horizon's are shuffled by its own key
// (profile and top) so that they combine as independent, the same on every platform.
void shuffleDraws(std::span<double> waters, std::string_view profile, double top) {
    std::uint64_t key = 14695981039346656037ULL; // FNV-1a, then SplitMix64 steps
    for (const char c : profile) {
        key = (key ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    std::uint64_t topBits = 0; // std::bit_cast is missing from the browser build's library
    static_assert(sizeof topBits == sizeof top);
    std::memcpy(&topBits, &top, sizeof top);
    key ^= topBits;
    for (std::size_t i = waters.size(); i > 1; --i) {
        key += 0x9E3779B97F4A7C15ULL;
        std::uint64_t z = key;
        z = (z ^ (z >> 30U)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27U)) * 0x94D049BB133111EBULL;
        z ^= z >> 31U;
        std::swap(waters[i - 1], waters[z % i]);
    }
}

// What the rows of a chunk read, and where they gather their horizons.
struct RunState {
    const HydraulicLayout& layout;
    const table::Settings& settings;
    const HydraulicArguments& arguments;
    estimation::SoilDraws& draws; // with --sd
    HydraulicChunk& chunk;
    std::string& inputs; // the row's input cells
    bool keepHorizons;   // for --summary
    bool keepDraws;      // for --summary with --sd
};

// A number as the table writes it, after the delimiter.
void appendNumber(std::string& out, double value, bool significant,
                  const table::Settings& settings) {
    // Left unset: it is written before it is read, and clearing it cost a tenth of the run.
    std::array<char, estimation::ResultTextCapacity>
        text; // NOLINT(cppcoreguidelines-pro-type-member-init)
    out += settings.delimiter;
    out.append(text.data(), writeHydraulicNumber(text.data(), value, significant,
                                                 settings.precision, settings.decimal.get()));
}

// The model's cells: theta_r to awc, then flags and error. Saxton and Rawls have no van
// Genuchten curve: their theta_r, alpha and n stay empty rather than be made up.
void appendEstimate(std::string& out, const estimation::HydraulicEstimate& estimate,
                    const table::Settings& settings) {
    const estimation::HydraulicNumbers numbers = estimation::hydraulicNumbers(estimate);
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        appendNumber(out, numbers.at(i), estimation::HydraulicColumns.at(i).significant, settings);
    }
}

// With --sd, the percentiles' cells after flags; the error text where the draws give none.
std::string appendSpread(std::string& out, const table::RecordView& row,
                         const HydraulicRowSoil& soil, HydraulicModel model,
                         const HydraulicHorizon* horizon, RunState& run) {
    if (!run.settings.uncertain()) {
        return {};
    }
    const auto none = [&out, &run] {
        out.append(estimation::HydraulicSpreadColumns.size(), run.settings.delimiter);
    };
    // A horizon's water by each draw, for the profiles' percentiles; NaN without a draw.
    std::vector<double>& waters = run.chunk.drawn.water;
    const std::size_t first = waters.size();
    const bool drawn = run.keepDraws && horizon != nullptr && horizon->malformed.empty();
    std::function<void(const estimation::HydraulicOutputs&)> each;
    if (drawn) {
        each = [&waters, horizon](const estimation::HydraulicOutputs& outputs) {
            const auto water = curveWater(*horizon, outputs[0], outputs[1]);
            waters.push_back(water ? water->waterMm : estimation::NoNumber);
        };
    }
    estimation::InputSpread spread{};
    std::string error = readHydraulicSpread(row, run.layout, run.settings, spread);
    std::optional<estimation::DrawFailure> failed;
    estimation::HydraulicSpread percentiles;
    if (soil.error.empty() && error.empty()) {
        failed = estimation::propagateHydraulics(model, soil.inputs, spread, run.draws,
                                                 run.arguments.fcHead, percentiles, each);
        error = failed ? std::string(estimation::describe(*failed)) : std::string();
    }
    if (drawn) {
        waters.resize(first + static_cast<std::size_t>(run.settings.draws.draws),
                      estimation::NoNumber);
        shuffleDraws(std::span(waters).subspan(first), horizon->horizon.profile,
                     horizon->horizon.top);
    }
    if (!soil.error.empty() || !error.empty()) {
        none();
        return error;
    }
    for (const double value : estimation::hydraulicNumbers(percentiles)) {
        appendNumber(out, value, false, run.settings);
    }
    return {};
}

// The row's input cells, as its every model's line starts.
void writeInputs(std::string& out, const table::RecordView& row, const HydraulicLayout& layout,
                 char delimiter) {
    out.clear();
    for (std::size_t i = 0; i < layout.width; ++i) {
        if (i > 0) {
            out += delimiter;
        }
        table::appendField(out, i < row.size() ? row[i] : std::string_view(), delimiter);
    }
}

// The model's estimate of the row's soil, or the error text where it fails.
std::optional<estimation::HydraulicEstimate> estimateRow(const table::RecordView& row,
                                                         HydraulicRowSoil& soil,
                                                         HydraulicModel model,
                                                         const RunState& run) {
    const HydraulicLayout& layout = run.layout;
    if (soil.error.empty() && row.size() > layout.width) {
        // The surplus is kept whole in the error, so that no cell of the input is lost.
        soil.error = "Surplus fields beyond the header: ";
        for (std::size_t i = layout.width; i < row.size(); ++i) {
            soil.error += i > layout.width ? std::string(1, run.settings.delimiter) : "";
            soil.error += estimation::printable(row[i]);
        }
    }
    if (!soil.error.empty()) {
        return std::nullopt;
    }
    try {
        return estimation::estimateHydraulics(model, soil.soil, run.arguments.fcHead);
    } catch (const estimation::Failure& failure) {
        const std::optional<Input> input = failure.input();
        const std::size_t column =
            input ? *layout.inputs[static_cast<std::size_t>(*input)] : row.size();
        soil.error =
            estimation::failureText(failure.reason(), column < row.size() ? row[column] : "");
    }
    return std::nullopt;
}

// One row's line for one model, with its horizon where the table has them; returns whether
// it carries an error.
bool appendModelRow(std::string& out, const table::RecordView& row, const HydraulicCells& cells,
                    HydraulicModel model, const HydraulicHorizon* horizon, RunState& run) {
    const char delimiter = run.settings.delimiter;
    out += run.inputs;
    out += delimiter;
    out += estimation::name(model);
    HydraulicRowSoil soil = hydraulicRowSoil(row, cells, model, run.layout);
    if (horizon != nullptr && !horizon->malformed.empty()) {
        soil.error = horizon->malformed;
    }
    const std::optional<estimation::HydraulicEstimate> estimate =
        estimateRow(row, soil, model, run);
    if (estimate) {
        appendEstimate(out, *estimate, run.settings);
        soil.flags |= estimate->flags;
    } else {
        out.append(estimation::HydraulicColumns.size(), delimiter);
    }
    std::optional<estimation::HorizonWater> water;
    if (horizon != nullptr && horizon->malformed.empty()) {
        if (estimate) {
            water = curveWater(*horizon, estimate->water.fc, estimate->water.pwp);
        }
        estimation::addHorizonFlags(water, soil.flags);
        if (run.keepHorizons) {
            run.chunk.horizons.water.push_back(water ? water->waterMm : estimation::NoNumber);
        }
    }
    out += delimiter;
    table::appendField(out, estimation::flagsText(soil.flags), delimiter);
    if (horizon != nullptr) {
        appendHorizon(out, water, run.settings);
    }
    const std::string spreadError = appendSpread(out, row, soil, model, horizon, run);
    const std::string_view horizonFault =
        horizon != nullptr ? std::string_view(horizon->fault) : std::string_view();
    const std::string_view other = horizonFault.empty() ? spreadError : horizonFault;
    const std::string_view error = soil.error.empty() ? other : soil.error;
    out += delimiter;
    table::appendField(out, error, delimiter);
    out += '\n';
    return !error.empty();
}

// One row's lines, a line per model; returns how many carry an error.
std::uint64_t appendRow(std::string& out, const table::RecordView& row, RunState& run) {
    std::optional<HydraulicHorizon> horizon;
    if (run.settings.profiles) {
        horizon = readHydraulicHorizon(row, run.layout, run.settings);
        const table::Horizon& kept = horizon->horizon;
        if (run.keepHorizons && horizon->malformed.empty()) {
            run.chunk.horizons.add(kept.profile, kept.top, kept.bottom);
        }
        if (run.keepDraws && horizon->malformed.empty()) {
            run.chunk.drawn.add(kept.profile, kept.top, kept.bottom);
        }
    }
    writeInputs(run.inputs, row, run.layout, run.settings.delimiter);
    const HydraulicCells cells = readHydraulicCells(row, run.layout, run.settings, run.arguments);
    std::uint64_t failed = 0;
    for (const HydraulicModel model : run.arguments.models) {
        failed +=
            appendModelRow(out, row, cells, model, horizon ? &*horizon : nullptr, run) ? 1U : 0U;
    }
    return failed;
}

// A profile's TAW 0-30, 0-100 and to the root depth at p05 and p95 over the model's draws,
// each after the delimiter; empty where a draw left a horizon without water.
void appendDrawnSums(const table::ProfileTable& drawn, std::size_t profile, std::size_t model,
                     const table::Settings& settings, estimation::Profile& scratch,
                     std::array<std::vector<double>, 3>& sums, std::string& out) {
    const auto draws = static_cast<std::size_t>(settings.draws.draws);
    for (std::vector<double>& sum : sums) {
        sum.clear();
    }
    for (std::size_t d = 0; d < draws; ++d) {
        const estimation::ProfileWater water =
            drawn.water(profile, model * draws + d, settings.rootZone, scratch);
        const bool whole = !water.flags.contains(estimation::ProfileFlag::missing);
        const std::array values{water.topsoil, water.subsoil, water.root};
        for (std::size_t i = 0; i < sums.size(); ++i) {
            sums.at(i).push_back(whole ? values.at(i) : estimation::NoNumber);
        }
    }
    std::array<char, estimation::ResultTextCapacity> text{};
    // percentiles sorts its values in place
    // cppcheck-suppress constVariable
    for (std::vector<double>& sum : sums) {
        const estimation::Percentiles p = estimation::percentiles(sum);
        for (const double value : {p.p05, p.p95}) {
            out += settings.delimiter;
            if (std::isfinite(value)) {
                out.append(text.data(), table::writeNumberText(text.data(), value, settings));
            }
        }
    }
}

} // namespace

// With fixed precision alpha and n keep four significant digits, which two decimals would
// erase (alpha 0.0368 1/cm).
char* writeHydraulicNumber(char* out, double value, bool significant,
                           estimation::Precision precision, char separator) {
    if (!std::isfinite(value)) {
        return out;
    }
    if (precision == estimation::Precision::general) {
        return estimation::writeGeneral(out, value, separator);
    }
    if (significant && value != 0.0) {
        constexpr int Digits = 4;
        const int places = Digits - 1 - static_cast<int>(std::floor(std::log10(std::fabs(value))));
        const double scale = std::pow(10.0, places);
        return estimation::writeGeneral(out, std::round(value * scale) / scale, separator);
    }
    return estimation::writeFixed(out, value, separator);
}

std::string hydraulicText(double value, bool significant, estimation::Precision precision,
                          estimation::DecimalSeparator separator) {
    std::array<char, estimation::ResultTextCapacity> text{};
    return {text.data(),
            writeHydraulicNumber(text.data(), value, significant, precision, separator.get())};
}

HydraulicFormatter::HydraulicFormatter(const table::RecordView& header,
                                       const table::Settings& settings,
                                       const HydraulicArguments& arguments, bool keepHorizons)
    : m_layout(std::make_shared<const HydraulicLayout>(
          findHydraulicLayout(header, settings, arguments))),
      m_settings(&settings), m_arguments(&arguments), m_draws(settings.draws),
      m_keepHorizons(keepHorizons) {}

std::string HydraulicFormatter::header(const table::RecordView& header) const {
    const table::Settings& settings = *m_settings;
    std::string line;
    for (std::size_t i = 0; i < header.size(); ++i) {
        line += i > 0 ? std::string(1, settings.delimiter) : std::string();
        table::appendField(line, header[i], settings.delimiter);
    }
    const auto addName = [&line, &settings](std::string_view name) {
        line += settings.delimiter;
        table::appendField(line, settings.prefix + std::string(name), settings.delimiter);
    };
    addName("hydraulic_model");
    for (const estimation::HydraulicColumn& column : estimation::HydraulicColumns) {
        addName(columnHeader(column));
    }
    addName("flags");
    if (settings.profiles) {
        std::for_each(table::HorizonColumns.begin(), table::HorizonColumns.end(), addName);
    }
    if (settings.uncertain()) {
        for (const estimation::HydraulicColumn& column : estimation::HydraulicSpreadColumns) {
            addName(columnHeader(column));
        }
    }
    addName("error");
    return line + '\n';
}

void HydraulicFormatter::format(const table::Chunk& chunk, HydraulicChunk& out) {
    out.text.clear();
    out.tally = {};
    out.horizons.clear();
    out.drawn.clear();
    out.damage = nullptr;
    RunState run{*m_layout, *m_settings, *m_arguments,   m_draws,
                 out,       m_inputs,    m_keepHorizons, m_keepHorizons && m_settings->uncertain()};
    table::MemoryInput bytes(chunk.bytes);
    table::CsvReader reader(bytes, m_settings->delimiter, chunk.firstLine);
    table::Records records;
    try {
        for (; reader.next(records); records.clear()) {
            out.tally.rows += m_arguments->models.size();
            out.tally.rowsWithError += appendRow(out.text, records[0], run);
        }
    } catch (const table::CsvError&) {
        out.damage = std::current_exception();
    }
}

HydraulicFormatter startHydraulics(table::ChunkReader& reader, std::ostream& output,
                                   const table::Settings& settings,
                                   const HydraulicArguments& arguments,
                                   HydraulicProfiles* profiles) {
    table::Chunk chunk;
    if (!reader.header(chunk)) {
        throw base::Error("the input is empty: a header line is needed");
    }
    table::MemoryInput bytes(chunk.bytes);
    table::CsvReader parser(bytes, settings.delimiter, chunk.firstLine);
    table::Records records;
    parser.next(records);
    HydraulicFormatter formatter(records[0], settings, arguments, profiles != nullptr);
    if (reader.hadByteOrderMark()) {
        output << "\xEF\xBB\xBF";
    }
    output << formatter.header(records[0]);
    if (profiles != nullptr) {
        std::vector<std::string> names;
        for (const HydraulicModel model : arguments.models) {
            names.emplace_back(estimation::name(model));
        }
        const auto draws =
            settings.uncertain() ? static_cast<std::size_t>(settings.draws.draws) : 0;
        profiles->drawn.start(std::vector<std::string>(names.size() * draws), "\n");
        profiles->water.start(std::move(names), "\n");
    }
    return formatter;
}

void takeHydraulicChunk(const HydraulicChunk& chunk, std::ostream& output,
                        HydraulicProfiles* profiles, HydraulicTally& tally) {
    output.write(chunk.text.data(), static_cast<std::streamsize>(chunk.text.size()));
    tally.rows += chunk.tally.rows;
    tally.rowsWithError += chunk.tally.rowsWithError;
    if (profiles != nullptr) {
        profiles->water.add(chunk.horizons);
        if (!chunk.drawn.entries.empty()) {
            profiles->drawn.add(chunk.drawn);
        }
    }
    if (chunk.damage) {
        std::rethrow_exception(chunk.damage);
    }
}

std::size_t hydraulicChunkBytes(const table::Settings& settings) {
    constexpr std::size_t DrawnChunkBytes = std::size_t{4} << 10;
    return settings.uncertain() ? DrawnChunkBytes : table::ThreadChunkBytes;
}

HydraulicTally writeHydraulics(std::istream& input, std::ostream& output,
                               const table::Settings& settings, const HydraulicArguments& arguments,
                               HydraulicProfiles* profiles) {
    table::ChunkReader reader(input, settings.delimiter, hydraulicChunkBytes(settings));
    HydraulicFormatter formatter = startHydraulics(reader, output, settings, arguments, profiles);
    HydraulicTally tally;
    table::Chunk chunk;
    HydraulicChunk rows;
    while (reader.next(chunk)) {
        formatter.format(chunk, rows);
        takeHydraulicChunk(rows, output, profiles, tally);
    }
    return tally;
}

void writeHydraulicSummary(HydraulicProfiles& profiles, const table::Settings& settings,
                           std::ostream& output) {
    profiles.water.gather();
    table::SummaryWriter writer(profiles.water, settings);
    if (settings.uncertain()) {
        profiles.drawn.gather();
        writer.addColumns({"taw_0_30_p05", "taw_0_30_p95", "taw_0_100_p05", "taw_0_100_p95",
                           "taw_root_p05", "taw_root_p95"},
                          [&profiles, &settings, scratch = estimation::Profile(),
                           sums = std::array<std::vector<double>, 3>()](
                              std::size_t profile, std::size_t model, std::string& out) mutable {
                              appendDrawnSums(profiles.drawn, profile, model, settings, scratch,
                                              sums, out);
                          });
    }
    table::writeProfileSummary(writer, output);
}

} // namespace talvo::table
