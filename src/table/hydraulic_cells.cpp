#include "table/hydraulic_cells.h"

#include "base/error.h"
#include "base/options.h"
#include "table/head.h"
#include "table/input_names.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace talvo::table {

namespace {

using estimation::HydraulicModel;
using estimation::Input;

std::optional<std::size_t> columnNamed(const table::RecordView& header, std::string_view name) {
    for (std::size_t i = 0; i < header.size(); ++i) {
        if (base::sameName(table::trimBlanks(header[i]), name)) {
            return i;
        }
    }
    return std::nullopt;
}

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

std::string_view cellAt(const table::RecordView& row, const std::optional<std::size_t>& column) {
    return column && *column < row.size() ? row[*column] : std::string_view();
}

// The four inputs' cells as numbers, with the table's scale and carbon unit.
bool readInputs(const table::RecordView& row, const HydraulicLayout& layout,
                const table::Settings& settings, HydraulicCells& out) {
    std::array<double, 4> numbers{};
    for (const Input input : estimation::allInputs) {
        const std::optional<double> number =
            cellNumber(cellAt(row, layout.inputs[static_cast<std::size_t>(input)]),
                       estimation::name(input), settings, out.inputError);
        if (!number) {
            return false;
        }
        numbers[static_cast<std::size_t>(input)] = *number;
    }
    estimation::HydraulicInputs& inputs = out.inputs;
    inputs.sizes = {numbers[0], numbers[1], numbers[2]};
    inputs.organic = numbers[3];
    inputs.organicMatter = layout.organicMatter;
    inputs.scale = settings.particleSizeScale;
    inputs.carbonUnit = settings.carbonUnit == estimation::CarbonUnit::gramsPerKilogram
                            ? estimation::CarbonUnit::gramsPerKilogram
                            : estimation::CarbonUnit::percent;
    return true;
}

// The bulk density into `inputs`, or the error text of its cell.
std::string readDensity(const table::RecordView& row, const HydraulicLayout& layout,
                        const table::Settings& settings, estimation::HydraulicInputs& inputs) {
    std::string error;
    const std::string_view bd = cellAt(row, layout.bulkDensity);
    const std::optional<double> density = cellNumber(bd, "bd", settings, error);
    if (!density) {
        return error;
    }
    if (!estimation::soundBulkDensity(*density)) {
        return estimation::outOfRangeText("bd", bd);
    }
    inputs.bulkDensity = *density;
    return error;
}

} // namespace

HydraulicLayout findHydraulicLayout(const table::RecordView& header,
                                    const table::Settings& settings,
                                    const HydraulicArguments& arguments) {
    std::vector<std::string_view> fields(header.size());
    for (std::size_t i = 0; i < header.size(); ++i) {
        fields[i] = header[i];
    }
    const table::InputColumns found = table::findInputColumns(fields, settings.columnNames);
    HydraulicLayout layout;
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
    layout.spread = table::spreadColumns(header, settings);
    if (settings.profiles) {
        layout.horizon = table::horizonColumns(header, settings);
    }
    layout.hypres = std::find(arguments.models.begin(), arguments.models.end(),
                              HydraulicModel::hypres) != arguments.models.end();
    if (layout.hypres && !layout.topsoil && !arguments.topsoil) {
        throw base::Error("--hydraulics hypres reads topsoil or subsoil: give a topsoil column "
                          "(1 or 0) or --topsoil yes|no");
    }
    return layout;
}

HydraulicCells readHydraulicCells(const table::RecordView& row, const HydraulicLayout& layout,
                                  const table::Settings& settings,
                                  const HydraulicArguments& arguments) {
    HydraulicCells cells;
    if (!readInputs(row, layout, settings, cells)) {
        return cells;
    }
    cells.hasDensity = !estimation::missingText(cellAt(row, layout.bulkDensity));
    if (layout.hypres || cells.hasDensity) {
        cells.densityError = readDensity(row, layout, settings, cells.inputs);
    }
    if (layout.hypres) {
        const std::string_view cell = cellAt(row, layout.topsoil);
        cells.layerError = readTopsoil(layout.topsoil ? std::optional(cell) : std::nullopt,
                                       arguments.topsoil, cells.inputs.topsoil);
    }
    return cells;
}

std::string readTopsoil(std::optional<std::string_view> cell, std::optional<bool> option,
                        bool& topsoil) {
    topsoil = option.value_or(true);
    if (!cell || (estimation::missingText(*cell) && option)) {
        return {}; // the option stands in for the column or its empty cells
    }
    const std::optional<bool> named = base::topsoilNamed(table::trimBlanks(*cell));
    if (!named) {
        return estimation::missingText(*cell)
                   ? "Missing: topsoil"
                   : estimation::outOfRangeText("topsoil", *cell) + " (give 1 or 0, yes or no)";
    }
    topsoil = *named;
    return {};
}

HydraulicRowSoil hydraulicRowSoil(const table::RecordView& row, const HydraulicCells& cells,
                                  HydraulicModel model, const HydraulicLayout& layout) {
    HydraulicRowSoil out;
    if (!cells.inputError.empty()) {
        out.error = cells.inputError;
        return out;
    }
    out.inputs = cells.inputs;
    try {
        out.soil = estimation::hydraulicSoil(model, out.inputs, out.flags);
    } catch (const estimation::Failure& failure) {
        out.error = estimation::failureText(failure.reason(), cellAt(row, layout.inputs[0]));
        return out;
    }
    if (model == HydraulicModel::hypres) {
        out.error = cells.densityError.empty() ? cells.layerError : cells.densityError;
    } else if (cells.hasDensity) {
        out.error = cells.densityError;
    }
    return out;
}

HydraulicHorizon readHydraulicHorizon(const table::RecordView& row, const HydraulicLayout& layout,
                                      const table::Settings& settings) {
    table::HorizonCells cells;
    for (std::size_t i = 0; i < cells.texts.size(); ++i) {
        if (const std::optional<std::size_t>& column = layout.horizon.at(i);
            column && *column < row.size()) {
            cells.texts.at(i) = row[*column];
        }
    }
    HydraulicHorizon out;
    out.horizon = table::readHorizon(cells, settings, out.fault, out.malformed);
    return out;
}

std::string readHydraulicSpread(const table::RecordView& row, const HydraulicLayout& layout,
                                const table::Settings& settings, estimation::InputSpread& spread) {
    for (std::size_t i = 0; i < spread.size(); ++i) {
        const std::optional<base::SpreadSource>& source = settings.spreads.at(i);
        spread.at(i) = source ? source->value : 0.0;
        if (!source || source->column.empty()) {
            continue;
        }
        const std::size_t column = *layout.spread.at(i);
        const std::string_view text = column < row.size() ? row[column] : std::string_view();
        const estimation::InputValue value = estimation::inputValue(text, settings.decimal);
        if (value.failure == estimation::FailureKind::typeMismatch) {
            return estimation::typeMismatchText(source->column, text);
        }
        if (value.failure || !(value.number >= 0.0)) {
            return estimation::outOfRangeText(source->column, text);
        }
        spread.at(i) = value.number;
    }
    return {};
}

} // namespace talvo::table
