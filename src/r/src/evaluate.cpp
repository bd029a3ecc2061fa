// talvo_evaluate's scores: the evaluation library over columns of numbers, as talvo-batch
// --metrics reckons them, and its report page when asked.

#include "base/options.h"
#include "engine.h"
#include "estimation/estimation.h"
#include "evaluation/evaluation.h"
#include "evaluation/options.h"
#include "evaluation/report.h"

#include <Rcpp.h>
#include <cmath>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace talvo;

// A column of numbers, or none for NULL.
std::span<const double> numbers(SEXP column) {
    if (TYPEOF(column) == NILSXP) {
        return {};
    }
    return {REAL(column), static_cast<std::size_t>(XLENGTH(column))};
}

double orNa(double value) {
    return std::isfinite(value) ? value : NA_REAL;
}

// The metrics table's columns, one row per model and quantity.
Rcpp::List scoresTable(const evaluation::Outcome& outcome) {
    const auto count = static_cast<R_xlen_t>(outcome.comparisons.size());
    Rcpp::CharacterVector model(count), unit(count), quantity(count);
    Rcpp::IntegerVector n(count);
    std::vector<Rcpp::NumericVector> scores(9, Rcpp::NumericVector(count));
    for (auto& column : scores) {
        column = Rcpp::NumericVector(count);
    }
    for (R_xlen_t i = 0; i < count; ++i) {
        const evaluation::Comparison& c = outcome.comparisons[static_cast<std::size_t>(i)];
        model[i] = Rcpp::String(std::string(c.model->listText), CE_UTF8);
        unit[i] = Rcpp::String(std::string(c.unit), CE_UTF8);
        quantity[i] = std::string(evaluation::name(c.quantity));
        n[i] = static_cast<int>(c.scores.n);
        const std::array values{c.scores.me,           c.intervals.me.low, c.intervals.me.high,
                                c.scores.mae,          c.scores.rmse,      c.intervals.rmse.low,
                                c.intervals.rmse.high, c.scores.r2,        c.scores.nse};
        for (std::size_t s = 0; s < values.size(); ++s) {
            scores[s][i] = orNa(values[s]);
        }
    }
    return Rcpp::List::create(Rcpp::Named("model") = model, Rcpp::Named("unit") = unit,
                              Rcpp::Named("quantity") = quantity, Rcpp::Named("n") = n,
                              Rcpp::Named("me") = scores[0], Rcpp::Named("me_low") = scores[1],
                              Rcpp::Named("me_high") = scores[2], Rcpp::Named("mae") = scores[3],
                              Rcpp::Named("rmse") = scores[4], Rcpp::Named("rmse_low") = scores[5],
                              Rcpp::Named("rmse_high") = scores[6], Rcpp::Named("r2") = scores[7],
                              Rcpp::Named("nse") = scores[8]);
}

} // namespace

// inputs: sand, silt, clay, oc (numbers or NULL); measured: fc, pwp, awc (numbers or NULL);
// source: the table's name and the measured columns' headers, for the report.
extern "C" SEXP talvo_evaluate_columns(SEXP models, SEXP inputs, SEXP measured, SEXP bd, SEXP unit,
                                       SEXP psd, SEXP source) {
    BEGIN_RCPP
    constexpr base::Spelling keyword = base::Spelling::keyword;
    evaluation::Setup setup;
    const Rcpp::List chosen(models);
    for (SEXP model : chosen) {
        setup.models.push_back(&r::modelOf(model));
    }
    const Rcpp::List given(inputs);
    const Rcpp::List truth(measured);
    setup.measured = {TYPEOF(truth[0]) != NILSXP, TYPEOF(truth[1]) != NILSXP,
                      TYPEOF(truth[2]) != NILSXP};
    setup.unit = evaluation::parseMeasuredUnit(r::optionText(unit, "measured_unit"), keyword);
    setup.particleSizeScale = base::parseParticleSizeScale(r::optionText(psd, "psd"), keyword);
    evaluation::Rows rows;
    rows.soils.count = static_cast<std::size_t>(XLENGTH(given[0]));
    rows.soils.inputs = {numbers(given[0]), numbers(given[1]), numbers(given[2]),
                         numbers(given[3])};
    rows.measured = {numbers(truth[0]), numbers(truth[1]), numbers(truth[2])};
    rows.density = numbers(bd);
    evaluation::Evaluation evaluation(std::move(setup));
    evaluation.add(rows);
    const evaluation::Outcome outcome = evaluation.outcome();
    const std::string note = evaluation::misreadMeasuredNote(
        outcome, {.fraction = "measured_unit = \"fraction\" reads them as % v/v (0.26 as 26)",
                  .volume = "measured_unit = \"v/v\" reads them so"});
    std::string report;
    if (TYPEOF(source) != NILSXP) {
        const Rcpp::CharacterVector names(source);
        report = evaluation::htmlReport(
            outcome,
            {r::utf8(names[0]), {r::utf8(names[1]), r::utf8(names[2]), r::utf8(names[3])}});
    }
    return Rcpp::List::create(Rcpp::Named("scores") = scoresTable(outcome),
                              Rcpp::Named("note") = Rcpp::String(note, CE_UTF8),
                              Rcpp::Named("report") = Rcpp::String(report, CE_UTF8));
    END_RCPP
}
