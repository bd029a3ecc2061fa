// talvo-batch: the calculator's Estimate over every row of a CSV table.

#include "batch/measured_run.h"
#include "batch/options.h"
#include "cli/error.h"
#include "cli/files.h"
#include "cli/interruption.h"
#include "cli/models.h"
#include "cli/progress.h"
#include "cli/tool.h"
#include "table/csv.h"
#include "table/run.h"

#include <iostream>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

using talvo::batch::Arguments;
using talvo::cli::Error;

// "12 of 97 rows flagged sum, 3 flagged result", in one line for the flags some row carries:
// the flags column is easy to miss in a long table.
void reportFlags(const talvo::cli::Tool& tool, const talvo::table::Summary& summary) {
    std::string counts;
    for (std::size_t i = 0; i < summary.rowsFlagged.size(); ++i) {
        if (summary.rowsFlagged[i] == 0) {
            continue;
        }
        counts += counts.empty()
                      ? std::to_string(summary.rowsFlagged[i]) + " of " +
                            std::to_string(summary.rows) + (summary.rows == 1 ? " row" : " rows")
                      : ", " + std::to_string(summary.rowsFlagged[i]);
        counts += " flagged ";
        counts += talvo::estimation::code(talvo::estimation::allFlags[i]);
    }
    if (!counts.empty()) {
        tool.report(counts);
    }
}

int run(const talvo::cli::Tool& tool, const Arguments& arguments) {
    if (arguments.measured.given) {
        return talvo::batch::runMeasured(tool, arguments);
    }
    talvo::cli::InterruptionCleanup cleanup;
    talvo::cli::InputFile input(arguments.input);
    talvo::cli::OutputFile output(arguments.output, input, &cleanup);

    talvo::table::RunOptions options;
    options.notice = [&tool](const std::string& text) { tool.report(text); };
    options.inputName = input.name();
    if (arguments.input == "-" && ::isatty(STDIN_FILENO) == 1) {
        tool.report("reading the table from standard input; end with Ctrl+D");
    }
    std::optional<talvo::cli::ProgressBar> bar;
    if (input.size() && ::isatty(STDERR_FILENO) == 1) {
        bar.emplace(std::cerr, *input.size());
        options.progress = [&bar](std::uint64_t bytes) { bar->update(bytes); };
    }

    talvo::table::Summary summary;
    try {
        summary =
            talvo::table::runTable(input.stream(), output.stream(), arguments.settings, options);
    } catch (const talvo::table::CsvError& error) {
        input.checkUnchanged();
        throw Error(input.name() + ", " + error.what());
    } catch (const Error&) {
        input.checkUnchanged(); // a failed read, not an empty table
        output.checkWritten();  // names the file and the system's reason
        throw;
    }
    bar.reset();
    input.checkUnchanged();
    output.commit();
    reportFlags(tool, summary);
    if (summary.rowsWithError > 0) {
        std::cerr << "talvo-batch: " << summary.rowsWithError << " of " << summary.rows
                  << (summary.rows == 1 ? " row" : " rows")
                  << " could not be estimated; the error column says why\n";
        return 1;
    }
    return 0;
}

} // namespace

// Setting up the options throws only on a programming error (a name given twice), which
// every test run would show; everything after is caught.
int main(int argc, char** argv) { // NOLINT(bugprone-exception-escape)
    std::ios::sync_with_stdio(false);

    CLI::App app{"Estimates field capacity (FC), permanent wilting point (PWP) and available "
                 "water capacity (AWC) for every row of a CSV table of soils, with the "
                 "calculator's pedotransfer models.",
                 "talvo-batch"};
    Arguments arguments;
    talvo::batch::addOptions(app, arguments);
    app.set_version_flag("--version", "talvo-batch " TALVO_VERSION);
    app.footer("Output: every input column, then model, unit, fc, pwp, awc, texture, flags, "
               "error; one row per input row and model. texture is the class on the "
               "international scale (sand 0.02-2 mm); flags holds the codes sum, range, oc, "
               "fc<=pwp and result, joined by ';'.\n" +
               talvo::batch::modelColumns() +
               "\nExit status: 0 every row estimated, 1 some rows carry an error, 2 usage or "
               "input error.");

    const talvo::cli::Tool tool("talvo-batch");
    if (const std::optional<int> status = tool.parse(app, argc, argv)) {
        return *status;
    }
    if (const std::optional<int> status = talvo::cli::showListing(tool, arguments.listing)) {
        return *status;
    }
    if (!arguments.modelGiven) {
        tool.report("--model is required (see --help and --list-models)");
        return talvo::cli::UsageStatus;
    }
    return tool.run([&tool, &arguments] {
        talvo::batch::finishOptions(arguments);
        return run(tool, arguments);
    });
}
