// The table tab's door into the scores: the worker hands over a table with measured columns
// and gets talvo-batch's metrics file and HTML report, made by the same code.
//
// The table is pulled in pieces through a JavaScript function (the worker reads the file
// synchronously), so neither side holds it whole.

#include "evaluation/metrics.h"
#include "evaluation/options.h"
#include "evaluation/report.h"
#include "evaluation/table_input.h"
#include "table/csv.h"
#include "table/head.h"
#include "web/failure.h"
#include "web/options.h"
#include "web/streams.h"

#include <emscripten/bind.h>
#include <emscripten/val.h>
#include <string>
#include <utility>
#include <vector>

namespace talvo::web {

using emscripten::val;

// {metrics, report, note} as talvo-batch --metrics and --report write them and its lines on
// a unit the measurements look misread in and on the bulk density taken, or {error} with its
// error line, less its name. `options` as the table tab passes them, measured columns
// included.
val scoreTable(const val& options, const std::string& inputName, const val& read) {
    val out = val::object();
    try {
        const table::Settings settings = settingsFrom(options);
        const evaluation::MeasuredColumns measured = measuredFrom(options);
        evaluation::requireMeasured(measured);
        PulledInput input(read);
        evaluation::Outcome outcome;
        try {
            outcome = evaluation::evaluateTable(input, settings, measured);
        } catch (const table::CsvError& error) {
            throw base::Error(table::aboutInput(inputName, error.what()));
        }
        out.set("metrics", evaluation::metricsTable(outcome, settings.delimiter, settings.decimal));
        out.set("report", evaluation::htmlReport(outcome, {inputName, measured.headers}));
        // The unit first: with the wrong one, every score below is beside the point.
        std::string note = evaluation::misreadMeasuredNote(
            outcome, {.fraction = "choose \"fraction (cm\u00b3/cm\u00b3)\" as the unit of "
                                  "measured FC and PWP to read them as % v/v (0.26 as 26)",
                      .volume = "choose \"% v/v (by volume)\" as the unit of measured FC and "
                                "PWP"});
        const std::string density = pageWords(evaluation::densityNote(outcome));
        note += note.empty() || density.empty() ? density : "\n" + density;
        out.set("note", note);
    } catch (...) {
        out.set("error", failureText(std::current_exception()));
    }
    return out;
}

} // namespace talvo::web

EMSCRIPTEN_BINDINGS(talvo_scores) {
    emscripten::function("scoreTable", &talvo::web::scoreTable);
}
