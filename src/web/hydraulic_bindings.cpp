// The table tab's door into talvo-batch --hydraulics: the worker hands over a table and gets
// the same table with each row's water-retention curve and saturated conductivity, written
// by the same code, pulled and pushed in pieces.

#include "base/error.h"
#include "base/options.h"
#include "table/csv.h"
#include "table/head.h"
#include "table/hydraulics.h"
#include "table/summary.h"
#include "web/failure.h"
#include "web/options.h"
#include "web/output_sample.h"
#include "web/streams.h"

#include <algorithm>
#include <emscripten/bind.h>
#include <emscripten/val.h>
#include <exception>
#include <string>
#include <string_view>

namespace talvo::web {

namespace {

using emscripten::val;

std::string text(const val& options, const char* name) {
    const val value = options[name];
    return value.isString() ? value.as<std::string>() : std::string();
}

// talvo-batch's --hydraulics and --topsoil from the tab's choices, refusing what its own
// table does not read, as talvo-batch refuses --profiles, --measured and --scale with it.
table::HydraulicArguments hydraulicArguments(const val& options, const table::Settings& settings) {
    table::HydraulicArguments arguments;
    arguments.models = base::parseHydraulicModels(text(options, "hydraulics"));
    if (const std::string topsoil = text(options, "topsoil"); !topsoil.empty()) {
        arguments.topsoil = base::parseTopsoil(topsoil);
    }
    const bool scaled = std::any_of(settings.scales.begin(), settings.scales.end(),
                                    [](const auto& scale) { return scale.has_value(); });
    const bool measured = !text(options, "fc").empty() || !text(options, "pwp").empty() ||
                          !text(options, "awc").empty();
    if (settings.profiles || measured || scaled) {
        throw base::Error("the hydraulic columns make a table of their own: choose them "
                          "without soil profiles, measured values, or sand, silt and clay in "
                          "fractions or g/kg");
    }
    return arguments;
}

} // namespace

// Writes talvo-batch --hydraulics's output for the table `read()` gives, in pieces through
// `write(bytes)`; answers {rows, rowsWithError, note, sample} (sample as the table run's) or
// {error} with talvo-batch's line, less
// its name. `options` as the table tab passes them, with hydraulics ("saxton-rawls", "hypres"
// or "all") and topsoil ("" for the table's column, "yes" or "no").
val hydraulicTable(const val& options, const std::string& inputName, const val& read,
                   const val& write) {
    val out = val::object();
    try {
        const table::Settings settings = settingsFrom(options);
        const table::HydraulicArguments arguments = hydraulicArguments(options, settings);
        PulledInput input(read);
        OutputSample sample(settings.delimiter);
        // Bytes of the module's memory, copied by `write` before the next call into it.
        PushedOutput output([&](std::string_view bytes) {
            sample.add(bytes);
            write(val(emscripten::typed_memory_view(
                bytes.size(), reinterpret_cast<const unsigned char*>(bytes.data()))));
        });
        table::HydraulicTally tally;
        try {
            tally = table::writeHydraulics(input, output, settings, arguments);
            output.flush();
        } catch (const table::CsvError& error) {
            throw base::Error(table::aboutInput(inputName, error.what()));
        } catch (const base::Error& error) {
            throw base::Error(table::aboutInput(inputName, error.what()));
        }
        table::Summary summary;
        summary.rows = tally.rows;
        summary.rowsWithError = tally.rowsWithError;
        out.set("rows", static_cast<double>(tally.rows));
        out.set("rowsWithError", static_cast<double>(tally.rowsWithError));
        out.set("note", table::failedRowsNote(summary));
        out.set("sample", sample.rows(tally.rowsWithError));
    } catch (...) {
        out.set("error", failureText(std::current_exception()));
    }
    return out;
}

} // namespace talvo::web

EMSCRIPTEN_BINDINGS(talvo_hydraulics) {
    emscripten::function("hydraulicTable", &talvo::web::hydraulicTable);
}
