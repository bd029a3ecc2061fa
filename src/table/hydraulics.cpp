#include "table/hydraulics.h"

#include "base/error.h"
#include "base/options.h"
#include "table/csv.h"
#include "table/head.h"
#include "table/input_names.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <string>
#include <string_view>

namespace talvo::table {

namespace {

using estimation::HydraulicModel;
using estimation::Input;

// The added columns, after hydraulic_model; water contents in % by volume, as fc and pwp are
// everywhere in the calculator.
constexpr std::array AddedNames{
    "theta_r (% v/v)", "theta_s (% v/v)", "alpha (1/cm)", "n",
    "ks (cm/day)",     "fc (% v/v)",      "pwp (% v/v)",  "awc (% v/v)"};

// Where the header holds what the models read besides the four inputs.
struct Layout {
    std::array<std::optional<std::size_t>, 4> inputs; // sand, silt, clay, oc
    bool organicMatter = false;                       // the oc column holds OM
    std::optional<std::size_t> bulkDensity;
    std::optional<std::size_t> topsoil;
    std::size_t width = 0;
};

std::optional<std::size_t> columnNamed(const table::RecordView& header, std::string_view name) {
    for (std::size_t i = 0; i < header.size(); ++i) {
        if (base::sameName(table::trimBlanks(header[i]), name)) {
            return i;
        }
    }
    return std::nullopt;
}

Layout findLayout(const table::RecordView& header, const table::Settings& settings,
                  const HydraulicArguments& arguments) {
    std::vector<std::string_view> fields(header.size());
    for (std::size_t i = 0; i < header.size(); ++i) {
        fields[i] = header[i];
    }
    const table::InputColumns found = table::findInputColumns(fields, settings.columnNames);
    Layout layout;
    layout.width = header.size();
    std::string missing;
    for (const Input input : estimation::allInputs) {
        const table::InputColumn& column = found[static_cast<std::size_t>(input)];
        if (column.ambiguous()) {
            throw base::Error(table::ambiguityText(input, column, fields,
                                                   "name the one to read with --column " +
                                                       std::string(estimation::name(input)) +
                                                       "=HEADER"));
        }
        if (!column.column) {
            missing += missing.empty() ? "" : ", ";
            missing += estimation::name(input);
        }
        layout.inputs[static_cast<std::size_t>(input)] = column.column;
    }
    if (!missing.empty()) {
        throw base::Error("missing columns for --hydraulics: " + missing +
                          " (oc may be given as organic matter, om); name them with --column");
    }
    layout.organicMatter = found[static_cast<std::size_t>(Input::oc)].organicMatter;
    const std::string& bdName = settings.horizonNames[3];
    layout.bulkDensity = columnNamed(header, bdName.empty() ? "bd" : bdName);
    layout.topsoil = columnNamed(header, "topsoil");
    const bool hypres = std::find(arguments.models.begin(), arguments.models.end(),
                                  HydraulicModel::hypres) != arguments.models.end();
    if (hypres && !layout.topsoil && !arguments.topsoil) {
        throw base::Error("--hydraulics hypres reads topsoil or subsoil: give a topsoil column "
                          "(1 or 0) or --topsoil yes|no");
    }
    return layout;
}

// One row's soil as the models read it, or why it has none.
struct RowSoil {
    estimation::HydraulicSoil soil{};
    bool converted = false; // from the international scale: flagged psd
    std::string error;      // empty: the soil is whole
};

// `value` of the cell, or the error text it makes.
std::optional<double> cellNumber(std::string_view text, std::string_view name,
                                 const table::Settings& settings, std::string& error) {
    const estimation::InputValue value = estimation::inputValue(text, settings.decimal);
    if (value.failure) {
        error = *value.failure == estimation::FailureKind::typeMismatch
                    ? estimation::typeMismatchText(name, text)
                    : estimation::failureText({*value.failure, std::nullopt});
        return std::nullopt;
    }
    return value.number;
}

// Organic matter in %: an om column as it stands, OC in % or g/kg times 1.724.
double organicMatter(double cell, const Layout& layout, const table::Settings& settings) {
    if (layout.organicMatter) {
        return cell;
    }
    const bool perKilogram = settings.carbonUnit == estimation::CarbonUnit::gramsPerKilogram;
    return estimation::organicMatterFromCarbon(perKilogram ? cell / 10.0 : cell);
}

RowSoil readSoil(const table::RecordView& row, const Layout& layout,
                 const table::Settings& settings) {
    RowSoil out;
    std::array<double, 4> numbers{};
    for (const Input input : estimation::allInputs) {
        const std::size_t column = *layout.inputs[static_cast<std::size_t>(input)];
        const std::string_view text = column < row.size() ? row[column] : std::string_view();
        const std::optional<double> number =
            cellNumber(text, estimation::name(input), settings, out.error);
        if (!number) {
            return out;
        }
        numbers[static_cast<std::size_t>(input)] = *number;
    }
    estimation::ParticleSizes sizes{numbers[0], numbers[1], numbers[2]};
    if (settings.particleSizeScale == estimation::ParticleSizeScale::international) {
        try {
            sizes = estimation::usdaFromInternational(sizes);
        } catch (const estimation::Failure& failure) {
            out.error = estimation::failureText(failure.reason(), row[*layout.inputs[0]]);
            return out;
        }
        out.converted = true;
    }
    out.soil.sand = sizes.sand;
    out.soil.silt = sizes.silt;
    out.soil.clay = sizes.clay;
    out.soil.organicMatter = organicMatter(numbers[3], layout, settings);
    return out;
}

// The bulk density and, for HYPRES (`layer`), the layer, from the row or the options.
void readDensityAndLayer(const table::RecordView& row, const Layout& layout,
                         const table::Settings& settings, const HydraulicArguments& arguments,
                         bool layer, RowSoil& out) {
    const std::string_view bd =
        layout.bulkDensity && *layout.bulkDensity < row.size() ? row[*layout.bulkDensity] : "";
    const std::optional<double> density = cellNumber(bd, "bd", settings, out.error);
    if (!density) {
        return;
    }
    if (!estimation::soundBulkDensity(*density)) {
        out.error = estimation::outOfRangeText("bd", bd);
        return;
    }
    out.soil.bulkDensity = *density;
    if (!layer) {
        return;
    }
    out.soil.topsoil = arguments.topsoil.value_or(true);
    const std::string_view cell =
        layout.topsoil && *layout.topsoil < row.size() ? row[*layout.topsoil] : "";
    if (!layout.topsoil || (estimation::missingText(cell) && arguments.topsoil)) {
        return; // the option stands in for the column or its empty cells
    }
    const std::optional<bool> topsoil = base::topsoilNamed(table::trimBlanks(cell));
    if (!topsoil) {
        out.error = estimation::missingText(cell)
                        ? "Missing: topsoil"
                        : estimation::outOfRangeText("topsoil", cell) + " (give 1 or 0, yes or no)";
        return;
    }
    out.soil.topsoil = *topsoil;
}

// A number as the table writes it: with --precision fixed, water and conductivity to two
// decimals and alpha and n to four significant digits, which two decimals would erase
// (alpha 0.0368 1/cm); with general, 15 digits. Empty where the model gives none.
void appendNumber(std::string& out, double value, bool significant,
                  const table::Settings& settings) {
    if (!std::isfinite(value)) {
        return;
    }
    const estimation::DecimalSeparator separator = settings.decimal;
    if (settings.precision == estimation::Precision::general) {
        out += estimation::generalText(value, separator);
    } else if (significant && value != 0.0) {
        constexpr int Digits = 4;
        const int places = Digits - 1 - static_cast<int>(std::floor(std::log10(std::fabs(value))));
        const double scale = std::pow(10.0, places);
        out += estimation::generalText(std::round(value * scale) / scale, separator);
    } else {
        out += estimation::fixedText(estimation::generalText(value, separator), separator);
    }
}

// The model's cells: theta_r to awc, then flags and error. Saxton and Rawls have no van
// Genuchten curve: their theta_r, alpha and n stay empty rather than be made up.
void appendEstimate(std::string& out, const estimation::HydraulicEstimate& estimate,
                    const table::Settings& settings) {
    const char delimiter = settings.delimiter;
    const estimation::VanGenuchten* vg = estimate.curve.vanGenuchten();
    const double none = estimation::NoNumber;
    const double thetaS = estimate.curve.theta(0.0);
    const std::array<std::pair<double, bool>, AddedNames.size()> cells{{
        {vg != nullptr ? vg->thetaR * 100 : none, false},
        {thetaS * 100, false},
        {vg != nullptr ? vg->alpha : none, true},
        {vg != nullptr ? vg->n : none, true},
        {estimate.ks, false},
        {estimate.water.fc * 100, false},
        {estimate.water.pwp * 100, false},
        {estimate.water.awc * 100, false},
    }};
    for (const auto& [value, significant] : cells) {
        out += delimiter;
        appendNumber(out, value, significant, settings);
    }
}

// psd where the sizes were converted, and the estimate's own flags.
std::string flagsText(const RowSoil& soil,
                      const std::optional<estimation::HydraulicEstimate>& estimate) {
    estimation::Flags flags = estimate ? estimate->flags : estimation::Flags{};
    if (soil.converted) {
        flags.add(estimation::Flag::psd);
    }
    return estimation::flagsText(flags);
}

// One row's line for one model; returns whether it carries an error.
bool appendModelRow(std::string& out, const table::RecordView& row, const Layout& layout,
                    HydraulicModel model, const table::Settings& settings,
                    const HydraulicArguments& arguments) {
    const char delimiter = settings.delimiter;
    for (std::size_t i = 0; i < layout.width; ++i) {
        if (i > 0) {
            out += delimiter;
        }
        table::appendField(out, i < row.size() ? row[i] : std::string_view(), delimiter);
    }
    out += delimiter;
    out += estimation::name(model);
    RowSoil soil = readSoil(row, layout, settings);
    const bool hasDensity = layout.bulkDensity && *layout.bulkDensity < row.size() &&
                            !estimation::missingText(row[*layout.bulkDensity]);
    if (soil.error.empty() && (model == HydraulicModel::hypres || hasDensity)) {
        readDensityAndLayer(row, layout, settings, arguments, model == HydraulicModel::hypres,
                            soil);
    }
    if (soil.error.empty() && row.size() > layout.width) {
        // The surplus is kept whole in the error, so that no cell of the input is lost.
        soil.error = "Surplus fields beyond the header: ";
        for (std::size_t i = layout.width; i < row.size(); ++i) {
            soil.error += i > layout.width ? std::string(1, delimiter) : std::string();
            soil.error += estimation::printable(row[i]);
        }
    }
    std::optional<estimation::HydraulicEstimate> estimate;
    if (soil.error.empty()) {
        try {
            if (model == HydraulicModel::saxtonRawls && hasDensity) {
                soil.soil.densityFactor = estimation::measuredDensityFactor(soil.soil);
            }
            estimate = estimation::estimateHydraulics(model, soil.soil, arguments.fcHead);
        } catch (const estimation::Failure& failure) {
            const std::optional<Input> input = failure.input();
            const std::size_t column =
                input ? *layout.inputs[static_cast<std::size_t>(*input)] : row.size();
            soil.error =
                estimation::failureText(failure.reason(), column < row.size() ? row[column] : "");
        }
    }
    if (estimate) {
        appendEstimate(out, *estimate, settings);
    } else {
        out.append(AddedNames.size(), delimiter);
    }
    out += delimiter;
    table::appendField(out, flagsText(soil, estimate), delimiter);
    out += delimiter;
    table::appendField(out, soil.error, delimiter);
    out += '\n';
    return !soil.error.empty();
}

} // namespace

HydraulicTally writeHydraulics(std::istream& input, std::ostream& output,
                               const table::Settings& settings,
                               const HydraulicArguments& arguments) {
    table::CsvReader reader(input, settings.delimiter);
    table::Records records;
    if (!reader.next(records)) {
        throw base::Error("the input is empty: a header line is needed");
    }
    const table::RecordView header = records[0];
    const Layout layout = findLayout(header, settings, arguments);
    std::string line = reader.hadByteOrderMark() ? "\xEF\xBB\xBF" : "";
    for (std::size_t i = 0; i < header.size(); ++i) {
        line += i > 0 ? std::string(1, settings.delimiter) : std::string();
        table::appendField(line, header[i], settings.delimiter);
    }
    const auto addName = [&line, &settings](std::string_view name) {
        line += settings.delimiter;
        table::appendField(line, settings.prefix + std::string(name), settings.delimiter);
    };
    addName("hydraulic_model");
    std::for_each(AddedNames.begin(), AddedNames.end(), addName);
    addName("flags");
    addName("error");
    output << line << '\n';
    HydraulicTally tally;
    for (records.clear(); reader.next(records); records.clear()) {
        line.clear();
        for (const HydraulicModel model : arguments.models) {
            ++tally.rows;
            tally.rowsWithError +=
                appendModelRow(line, records[0], layout, model, settings, arguments) ? 1U : 0U;
        }
        output << line;
    }
    return tally;
}

} // namespace talvo::table
