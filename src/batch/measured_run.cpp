#include "batch/measured_run.h"

#include "base/error.h"
#include "batch/workbook.h"
#include "cli/files.h"
#include "cli/interruption.h"
#include "evaluation/metrics.h"
#include "evaluation/report.h"
#include "table/csv.h"
#include "table/head.h"
#include "table/run.h"

#include <functional>
#include <iterator>
#include <optional>
#include <string>

namespace talvo::batch {

namespace {

// Both the table and the scores read the input, which may be a pipe: it is read once.
std::string readWhole(cli::InputFile& input) {
    std::string text{std::istreambuf_iterator<char>(input.stream()),
                     std::istreambuf_iterator<char>()};
    input.checkUnchanged();
    return text;
}

} // namespace

int runMeasured(const cli::Tool& tool, const Arguments& arguments) {
    const MeasuredArguments& measured = arguments.measured;
    cli::InterruptionCleanup cleanup;
    cli::InputFile input(arguments.input);
    // Opened first, so that a file that cannot be written stops the run before its work.
    cli::OutputFiles outputs(input, cleanup);
    cli::OutputFile* const table =
        arguments.output.empty() ? nullptr : &outputs.add("--output", arguments.output);
    std::optional<TableOutput> destination;
    if (table != nullptr) {
        destination.emplace(*table, arguments.output, arguments.settings);
    }
    const bool metricsOut = !measured.metrics.empty() || arguments.output.empty();
    cli::OutputFile* const metrics =
        metricsOut ? &outputs.add("--metrics", measured.metrics) : nullptr;
    cli::OutputFile* const report =
        measured.report.empty() ? nullptr : &outputs.add("--report", measured.report);

    const std::string text = readWhole(input);
    table::Summary summary;
    evaluation::Outcome outcome;
    try {
        if (table != nullptr) {
            table::MemoryInput tableInput(text);
            table::RunOptions options;
            options.inputName = input.name();
            options.notice = [&tool](const std::string& notice) { tool.report(notice); };
            summary =
                table::runTable(tableInput, destination->stream(), arguments.settings, options);
        }
        table::MemoryInput scoreInput(text);
        outcome = evaluation::evaluateTable(
            scoreInput, arguments.settings, measured.columns,
            table != nullptr ? std::function<void(const std::string&)>{}
                             : [&tool](const std::string& notice) { tool.report(notice); });
    } catch (const table::CsvError& error) {
        throw base::Error(table::aboutInput(input.name(), error.what()));
    }
    const std::string unitNote = evaluation::misreadMeasuredNote(
        outcome, {.fraction = "--measured-unit fraction reads them as % v/v (0.26 as 26)",
                  .volume = "--measured-unit v/v reads them so"});
    for (const std::string& note : {unitNote, evaluation::densityNote(outcome)}) {
        if (!note.empty()) {
            tool.report(note);
        }
    }
    if (metrics != nullptr) {
        metrics->stream() << evaluation::metricsTable(outcome, arguments.settings.delimiter,
                                                      arguments.settings.decimal);
    }
    if (report != nullptr) {
        report->stream() << evaluation::htmlReport(outcome,
                                                   {input.name(), measured.columns.headers});
    }
    if (destination) {
        destination->finish();
    }
    outputs.commit();
    return summary.rowsWithError > 0 ? 1 : 0;
}

} // namespace talvo::batch
