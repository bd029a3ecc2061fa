// talvo_hydraulics' loop: each soil's cells read as talvo-batch --hydraulics reads a row's,
// then through the engine's one builder of the hydraulic soil.

#include "table/hydraulics.h"

#include "base/options.h"
#include "engine.h"
#include "estimation/estimation.h"
#include "inputs.h"
#include "table/input_names.h"

#include <Rcpp.h>
#include <array>
#include <cstddef>
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
};

// sand, silt, clay, oc (or OM), bd; topsoil as texts, NULL where not given.
struct Cells {
    std::array<InputColumn, 5> inputs;
    SEXP topsoil;
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

// HYPRES' layer from the topsoil cell, or the option where there is no column or the cell
// is empty; the error text of a cell that names neither.
std::string readLayer(const Cells& cells, std::size_t soil, const Run& run, bool& topsoil) {
    topsoil = run.topsoil.value_or(true);
    if (TYPEOF(cells.topsoil) == NILSXP) {
        return {};
    }
    const R_xlen_t at = XLENGTH(cells.topsoil) == 1 ? 0 : static_cast<R_xlen_t>(soil);
    const std::string text = utf8(STRING_ELT(cells.topsoil, at));
    if (estimation::missingText(text) && run.topsoil) {
        return {};
    }
    const std::optional<bool> named = base::topsoilNamed(table::trimBlanks(text));
    if (!named) {
        return estimation::missingText(text)
                   ? "Missing: topsoil"
                   : estimation::outOfRangeText("topsoil", text) + " (give 1 or 0, yes or no)";
    }
    topsoil = *named;
    return {};
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
    estimation::HydraulicInputs inputs{{numbers[0], numbers[1], numbers[2]},
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

constexpr std::array ResultNames{"theta_r", "theta_s", "alpha", "n", "ks", "fc", "pwp", "awc"};

// The curve's numbers as talvo-batch writes them: water in % v/v, alpha in 1/cm, Ks in
// cm/day; Saxton and Rawls have no theta_r, alpha or n.
std::array<double, ResultNames.size()> resultsOf(const estimation::HydraulicEstimate& estimate) {
    const estimation::VanGenuchten* vg = estimate.curve.vanGenuchten();
    const double none = NA_REAL;
    return {vg != nullptr ? vg->thetaR * 100 : none,
            estimate.curve.theta(0.0) * 100,
            vg != nullptr ? vg->alpha : none,
            vg != nullptr ? vg->n : none,
            estimate.ks,
            estimate.water.fc * 100,
            estimate.water.pwp * 100,
            estimate.water.awc * 100};
}

// The number of the text talvo-batch writes for `value`, so that both give the same; NA, as R
// marks a value it has not, where the table's cell is empty.
double asWritten(double value, bool significant, estimation::Precision precision) {
    const std::string text = table::hydraulicText(value, significant, precision);
    return text.empty() ? NA_REAL : estimation::inputValue(text, {}).number;
}

Rcpp::List estimateColumns(const Cells& cells, const Run& run, std::size_t count) {
    const auto size = static_cast<R_xlen_t>(count);
    std::array<Rcpp::NumericVector, ResultNames.size()> results;
    for (Rcpp::NumericVector& result : results) {
        result = Rcpp::NumericVector(size, NA_REAL);
    }
    Rcpp::CharacterVector flags(size), error(size);
    FlagTexts flagTexts;
    for (std::size_t soil = 0; soil < count; ++soil) {
        if ((soil & (SoilsPerPiece - 1)) == 0) {
            Rcpp::checkUserInterrupt();
        }
        const Outcome out = estimateSoil(cells, soil, run);
        const auto at = static_cast<R_xlen_t>(soil);
        if (out.estimate) {
            const auto values = resultsOf(*out.estimate);
            for (std::size_t r = 0; r < results.size(); ++r) {
                results.at(r)[at] = asWritten(values.at(r), r == 2 || r == 3, run.precision);
            }
        }
        SET_STRING_ELT(flags, at, flagTexts.of(out.flags.bits()));
        SET_STRING_ELT(error, at,
                       out.error.empty() ? NA_STRING : Rf_mkCharCE(out.error.c_str(), CE_UTF8));
    }
    Rcpp::List list;
    for (std::size_t r = 0; r < results.size(); ++r) {
        list[ResultNames.at(r)] = results.at(r);
    }
    list["flags"] = flags;
    list["error"] = error;
    return list;
}

} // namespace

} // namespace talvo::r

// For each model `model` names, by its name: theta_r, theta_s, alpha, n, ks, fc, pwp, awc,
// flags and error of every soil; inputs NULL where not given, topsoil as texts.
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
               base::parsePrecision(r::optionText(option["precision"], "precision"), keyword)};
    if (TYPEOF(layer) != NILSXP) {
        run.topsoil = base::parseTopsoil(r::optionText(layer, "topsoil"), keyword);
    }
    const std::array<const char*, 5> names{"sand", "silt", "clay", "oc", "bd"};
    const r::Cells cells{{r::InputColumn(given[0], run.separator, names[0]),
                          r::InputColumn(given[1], run.separator, names[1]),
                          r::InputColumn(given[2], run.separator, names[2]),
                          r::InputColumn(given[3], run.separator, names[3]),
                          r::InputColumn(given[4], run.separator, names[4])},
                         topsoil};
    const auto count = static_cast<std::size_t>(Rcpp::as<double>(option["count"]));
    Rcpp::List out;
    for (const HydraulicModel each : models) {
        run.model = each;
        out[std::string(estimation::name(each))] = r::estimateColumns(cells, run, count);
    }
    return out;
    END_RCPP
}
