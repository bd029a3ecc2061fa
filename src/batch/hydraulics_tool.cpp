#include "batch/hydraulics_tool.h"

#include "base/error.h"
#include "batch/options.h"
#include "batch/workbook.h"
#include "cli/files.h"
#include "cli/interruption.h"
#include "table/csv.h"
#include "table/head.h"
#include "table/hydraulics.h"
#include "table/run.h"
#include "table/summary.h"

namespace talvo::batch {

int runHydraulics(const cli::Tool& tool, const Arguments& arguments) {
    cli::InterruptionCleanup cleanup;
    cli::InputFile input(arguments.input);
    cli::OutputFiles outputs(input, cleanup);
    cli::OutputFile& output = outputs.add("--output", arguments.output);
    cli::OutputFile* const summaryFile =
        arguments.summary.empty() ? nullptr : &outputs.add("--summary", arguments.summary);
    TableOutput destination(output, arguments.output, arguments.settings);
    table::HydraulicProfiles profiles;
    table::HydraulicTally tally;
    try {
        tally = table::runHydraulics(input.stream(), destination.stream(), arguments.settings,
                                     arguments.hydraulics,
                                     summaryFile != nullptr ? &profiles : nullptr, 0);
        destination.stream().flush();
        if (summaryFile != nullptr) {
            table::writeHydraulicSummary(profiles, arguments.settings, summaryFile->stream());
            summaryFile->stream().flush();
            summaryFile->checkWritten();
        }
    } catch (const table::CsvError& error) {
        input.checkUnchanged();
        throw base::Error(table::aboutInput(input.name(), error.what()));
    } catch (const base::Error& error) {
        input.checkUnchanged();
        destination.checkWritten();
        throw base::Error(table::aboutInput(input.name(), error.what()));
    }
    input.checkUnchanged();
    destination.finish();
    outputs.commit();
    if (tally.rowsWithError > 0) {
        table::Summary summary;
        summary.rows = tally.rows;
        summary.rowsWithError = tally.rowsWithError;
        tool.report(table::failedRowsNote(summary));
        return 1;
    }
    return 0;
}

} // namespace talvo::batch
