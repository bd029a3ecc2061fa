// talvo_hydraulics' loop: each soil's cells read as talvo-batch --hydraulics reads a row's,
// then through the engine's one builder of the hydraulic soil.

#include "table/hydraulics.h"

#include "base/options.h"
#include "engine.h"
#include "estimation/estimation.h"
#include "inputs.h"
#include "table/hydraulic_cells.h"

#include <Rcpp.h>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::r {

namespace {

using estimation::HydraulicModel;

struct Run {
    HydraulicModel model;
    estimation::ParticleSizeScale scale;
    estimation::CarbonUnit carbonUnit;
    bool organicMatter; // the fourth input holds OM in %, not OC
    std::optional<bool> topsoil;
    double fcHead;
    estimation::DecimalSeparator separator;
    estimation::Precision precision;
    std::optional<estimation::DrawSettings> draws; // with sd
};

// sand, silt, clay, oc (or OM), bd; topsoil as texts, NULL where not given. With sd, the
// standard deviations of the first four in their units, each under the name its cells'
// errors give, as a table's column.
struct Cells {
    std::array<InputColumn, 5> inputs;
    SEXP topsoil;
    std::vector<InputColumn> spreads;
    std::vector<std::string> spreadNames;
};

// The soil's cell of `column` as a table holds it: its text, "" where not given.
estimation::InputValue valueOf(const InputColumn& column, std::size_t soil,
                               estimation::DecimalSeparator separator) {
    return column.size() == 0 ? estimation::inputValue("", separator) : column.value(soil);
}

// The cell's number, or the error text it makes in a table.
std::optional<double> cellNumber(const InputColumn& column, std::size_t soil, std::string_view name,
                                 const Run& run, std::string& error) {
    const estimation::InputValue value = valueOf(column, soil, run.separator);
    if (value.failure) {
        error = *value.failure == estimation::FailureKind::typeMismatch
                    ? estimation::typeMismatchText(name, column.text(soil))
                    : std::string(estimation::failureText({*value.failure, std::nullopt}));
        return std::nullopt;
    }
    return value.number;
}

// HYPRES' layer from the soil's topsoil text, as a table's cell.
std::string readLayer(const Cells& cells, std::size_t soil, const Run& run, bool& topsoil) {
    if (TYPEOF(cells.topsoil) == NILSXP) {
        return table::readTopsoil(std::nullopt, run.topsoil, topsoil);
    }
    const R_xlen_t at = XLENGTH(cells.topsoil) == 1 ? 0 : static_cast<R_xlen_t>(soil);
    return table::readTopsoil(utf8(STRING_ELT(cells.topsoil, at)), run.topsoil, topsoil);
}

// Bulk density and, for HYPRES, the layer; the error text of a cell that gives neither.
std::string readDensityAndLayer(const Cells& cells, std::size_t soil, const Run& run,
                                estimation::HydraulicInputs& inputs) {
    std::string error;
    const InputColumn& bd = cells.inputs[4];
    const std::optional<double> density = cellNumber(bd, soil, "bd", run, error);
    if (!density) {
        return error;
    }
    if (!estimation::soundBulkDensity(*density)) {
        // A number given as one is named as R prints it, a text as written.
        const std::string text = bd.text(soil);
        return estimation::outOfRangeText("bd",
                                          text.empty() ? estimation::generalText(*density) : text);
    }
    inputs.bulkDensity = *density;
    if (run.model != HydraulicModel::hypres) {
        return {};
    }
    return readLayer(cells, soil, run, inputs.topsoil);
}

struct Outcome {
    estimation::HydraulicInputs inputs{}; // what the draws start from
    std::optional<estimation::HydraulicEstimate> estimate;
    estimation::Flags flags;
    std::string error; // empty: estimated
};

// The soil's estimate, or why it has none, in talvo-batch's words and order: the four
// inputs, a failed scale conversion, then density and layer, then the model.
Outcome estimateSoil(const Cells& cells, std::size_t soil, const Run& run) {
    Outcome out;
    std::array<double, 4> numbers{};
    for (const estimation::Input input : estimation::allInputs) {
        const auto i = static_cast<std::size_t>(input);
        const std::optional<double> number =
            cellNumber(cells.inputs[i], soil, estimation::name(input), run, out.error);
        if (!number) {
            return out;
        }
        numbers[i] = *number;
    }
    estimation::HydraulicInputs& inputs = out.inputs;
    inputs = {{numbers[0], numbers[1], numbers[2]},
              numbers[3],
              run.scale,
              run.carbonUnit,
              run.organicMatter};
    // An empty cell, or NA, is a density nobody measured.
    const bool hasDensity = !(valueOf(cells.inputs[4], soil, run.separator).failure &&
                              estimation::missingText(cells.inputs[4].text(soil)));
    std::string cellError;
    if (run.model == HydraulicModel::hypres || hasDensity) {
        cellError = readDensityAndLayer(cells, soil, run, inputs);
    }
    try {
        const estimation::HydraulicSoil hydraulic =
            estimation::hydraulicSoil(run.model, inputs, out.flags);
        if (!cellError.empty()) {
            out.error = cellError;
            return out;
        }
        out.estimate = estimation::estimateHydraulics(run.model, hydraulic, run.fcHead);
        out.flags |= out.estimate->flags;
    } catch (const estimation::Failure& failure) {
        const std::optional<estimation::Input> input = failure.input();
        const std::size_t column = input ? static_cast<std::size_t>(*input) : 0;
        out.error = estimation::failureText(failure.reason(), cells.inputs[column].text(soil));
    }
    return out;
}

using estimation::HydraulicColumns;
using estimation::HydraulicSpreadColumns;

constexpr std::size_t DrawnSoilsPerPiece = 64;

// The number of the text talvo-batch writes for `value`, so that both give the same; NA, as R
// marks a value it has not, where the table's cell is empty.
double asWritten(double value, bool significant, estimation::Precision precision) {
    const std::string text = table::hydraulicText(value, significant, precision);
    return text.empty() ? NA_REAL : estimation::inputValue(text, {}).number;
}

// The soil's standard deviations as talvo-batch reads --sd's columns; the error text of a
// cell that gives none.
std::string readSpread(const Cells& cells, std::size_t soil, estimation::InputSpread& spread) {
    spread.fill(0.0);
    for (std::size_t i = 0; i < cells.spreads.size(); ++i) {
        const InputColumn& column = cells.spreads[i];
        if (column.size() == 0) {
            continue;
        }
        const estimation::InputValue value = column.value(soil);
        const std::string text = column.text(soil);
        const std::string& name = cells.spreadNames[i];
        if (value.failure == estimation::FailureKind::typeMismatch) {
            return estimation::typeMismatchText(name, text);
        }
        if (value.failure || !(value.number >= 0.0)) {
            return estimation::outOfRangeText(
                name, text.empty() ? estimation::generalText(value.number) : text);
        }
        spread.at(i) = value.number;
    }
    return {};
}

// Every soil's numbers, with sd their percentiles, flags and error, as R's columns.
class ResultColumns {
public:
    ResultColumns(std::size_t count, bool spread)
        : m_spread(spread), m_flags(static_cast<R_xlen_t>(count)),
          m_error(static_cast<R_xlen_t>(count)) {
        for (std::size_t r = 0; r < m_numbers.size(); ++r) {
            m_numbers.at(r) = Rcpp::NumericVector(static_cast<R_xlen_t>(count), NA_REAL);
            m_numbers.at(r).attr("units") = std::string(HydraulicColumns.at(r).unit);
        }
        for (std::size_t p = 0; p < m_percentiles.size(); ++p) {
            m_percentiles.at(p) =
                Rcpp::NumericVector(spread ? static_cast<R_xlen_t>(count) : 0, NA_REAL);
            m_percentiles.at(p).attr("units") = std::string(HydraulicSpreadColumns.at(p).unit);
        }
    }

    void add(R_xlen_t at, const Outcome& out, const estimation::HydraulicSpreadNumbers* drawn,
             const std::string& error, estimation::Precision precision) {
        if (out.estimate) {
            const estimation::HydraulicNumbers numbers =
                estimation::hydraulicNumbers(*out.estimate);
            for (std::size_t r = 0; r < numbers.size(); ++r) {
                m_numbers.at(r)[at] =
                    asWritten(numbers.at(r), HydraulicColumns.at(r).significant, precision);
            }
        }
        for (std::size_t p = 0; drawn != nullptr && p < drawn->size(); ++p) {
            m_percentiles.at(p)[at] = asWritten(drawn->at(p), false, precision);
        }
        SET_STRING_ELT(m_flags, at, m_flagTexts.of(out.flags.bits()));
        SET_STRING_ELT(m_error, at,
                       error.empty() ? NA_STRING : Rf_mkCharCE(error.c_str(), CE_UTF8));
    }

    // In talvo-batch's order: the numbers, flags, with sd the percentiles, error.
    Rcpp::List list() const {
        Rcpp::List out;
        for (std::size_t r = 0; r < m_numbers.size(); ++r) {
            out[std::string(HydraulicColumns.at(r).name)] = m_numbers.at(r);
        }
        out["flags"] = m_flags;
        for (std::size_t p = 0; m_spread && p < m_percentiles.size(); ++p) {
            out[std::string(HydraulicSpreadColumns.at(p).name)] = m_percentiles.at(p);
        }
        out["error"] = m_error;
        return out;
    }

private:
    bool m_spread;
    std::array<Rcpp::NumericVector, HydraulicColumns.size()> m_numbers;
    std::array<Rcpp::NumericVector, HydraulicSpreadColumns.size()> m_percentiles;
    Rcpp::CharacterVector m_flags;
    Rcpp::CharacterVector m_error;
    FlagTexts m_flagTexts;
};

// With sd: its four columns (NULL where none) under the names their errors give, and the
// draws, checked by the R code.
void readSpreadOptions(const Rcpp::List& option, Run& run, Cells& cells) {
    if (TYPEOF(option["sd"]) == NILSXP) {
        return;
    }
    const Rcpp::List spreads(option["sd"]);
    const Rcpp::CharacterVector names(option["sd_names"]);
    if (spreads.size() != 4 || names.size() != 4) {
        Rcpp::stop("sd: give the spreads of sand, silt, clay and oc, NULL where not given");
    }
    for (R_xlen_t i = 0; i < spreads.size(); ++i) {
        cells.spreadNames.push_back(utf8(STRING_ELT(names, i)));
        cells.spreads.emplace_back(spreads[i], run.separator, cells.spreadNames.back().c_str());
    }
    run.draws =
        estimation::DrawSettings{static_cast<int>(Rcpp::as<double>(option["draws"])),
                                 static_cast<std::uint64_t>(Rcpp::as<double>(option["seed"]))};
    if (run.draws->draws < estimation::FewestDraws || run.draws->draws > estimation::MostDraws) {
        Rcpp::stop("draws: give a whole number from " + std::to_string(estimation::FewestDraws) +
                   " to " + std::to_string(estimation::MostDraws));
    }
}

Rcpp::List estimateColumns(const Cells& cells, const Run& run, std::size_t count) {
    ResultColumns columns(count, run.draws.has_value());
    std::optional<estimation::SoilDraws> draws;
    if (run.draws) {
        draws.emplace(*run.draws);
    }
    // Each draw runs the model: with sd, a few soils between looks for an interrupt.
    const std::size_t piece = draws ? DrawnSoilsPerPiece : SoilsPerPiece;
    for (std::size_t soil = 0; soil < count; ++soil) {
        if (soil % piece == 0) {
            Rcpp::checkUserInterrupt();
        }
        const Outcome out = estimateSoil(cells, soil, run);
        std::string error = out.error;
        std::optional<estimation::HydraulicSpreadNumbers> drawn;
        if (draws) {
            // A spread that cannot be read or drawn leaves the soil's own numbers, as in a
            // table; its own error comes first.
            estimation::InputSpread spread{};
            std::string spreadError = readSpread(cells, soil, spread);
            estimation::HydraulicSpread percentiles;
            if (out.estimate && spreadError.empty()) {
                if (const auto failed = estimation::propagateHydraulics(
                        run.model, out.inputs, spread, *draws, run.fcHead, percentiles)) {
                    spreadError = estimation::describe(*failed);
                } else {
                    drawn = estimation::hydraulicNumbers(percentiles);
                }
            }
            error = error.empty() ? spreadError : error;
        }
        columns.add(static_cast<R_xlen_t>(soil), out, drawn ? &*drawn : nullptr, error,
                    run.precision);
    }
    return columns.list();
}

} // namespace

} // namespace talvo::r

// For each model `model` names, by its name: theta_r, theta_s, alpha, n, ks, fc, pwp, awc,
// flags, with options$sd fc_p05 ... ks_p95, and error of every soil; inputs NULL where not
// given, topsoil as texts.
extern "C" SEXP talvo_hydraulic_columns(SEXP model, SEXP inputs, SEXP topsoil, SEXP options) {
    BEGIN_RCPP
    using namespace talvo;
    using estimation::HydraulicModel;
    constexpr base::Spelling keyword = base::Spelling::keyword;
    const Rcpp::List given(inputs);
    const Rcpp::List option(options);
    if (given.size() != 5) {
        Rcpp::stop("give sand, silt, clay, oc and bd, NULL where not given");
    }
    const std::vector<HydraulicModel> models =
        base::parseHydraulicModels(r::optionText(model, "model"), keyword);
    SEXP layer = option["topsoil"];
    r::Run run{HydraulicModel::saxtonRawls,
               base::parseParticleSizeScale(r::optionText(option["psd"], "psd"), keyword),
               base::parseCarbonUnit(r::optionText(option["oc_unit"], "oc_unit"), keyword),
               Rcpp::as<bool>(option["om"]),
               std::nullopt,
               base::parseFieldCapacityHead(r::optionText(option["fc_head"], "fc_head"), keyword),
               r::decimalOf(r::optionText(option["decimal"], "decimal")),
               base::parsePrecision(r::optionText(option["precision"], "precision"), keyword),
               std::nullopt};
    if (TYPEOF(layer) != NILSXP) {
        run.topsoil = base::parseTopsoil(r::optionText(layer, "topsoil"), keyword);
    }
    const std::array<const char*, 5> names{"sand", "silt", "clay", "oc", "bd"};
    r::Cells cells{{r::InputColumn(given[0], run.separator, names[0]),
                    r::InputColumn(given[1], run.separator, names[1]),
                    r::InputColumn(given[2], run.separator, names[2]),
                    r::InputColumn(given[3], run.separator, names[3]),
                    r::InputColumn(given[4], run.separator, names[4])},
                   topsoil,
                   {},
                   {}};
    r::readSpreadOptions(option, run, cells);
    const auto count = static_cast<std::size_t>(Rcpp::as<double>(option["count"]));
    Rcpp::List out;
    for (const HydraulicModel each : models) {
        run.model = each;
        out[std::string(estimation::name(each))] = r::estimateColumns(cells, run, count);
    }
    return out;
    END_RCPP
}
