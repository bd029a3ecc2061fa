// talvo-batch: the calculator's Estimate over every row of a CSV table.

#include "batch/options.h"
#include "table/csv.h"
#include "table/error.h"
#include "table/files.h"
#include "table/interruption.h"
#include "table/progress.h"
#include "table/run.h"

#include <CLI/CLI.hpp>

#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

using talvo::batch::Arguments;
using talvo::table::Error;

int run(const Arguments& arguments) {
    talvo::table::InterruptionCleanup cleanup;
    talvo::table::InputFile input(arguments.input);
    talvo::table::OutputFile output(arguments.output, input, &cleanup);

    talvo::table::RunOptions options;
    options.notice = [](const std::string& text) { std::cerr << "talvo-batch: " << text << '\n'; };
    if (arguments.input == "-" && ::isatty(STDIN_FILENO) == 1) {
        std::cerr << "talvo-batch: reading the table from standard input; end with Ctrl+D\n";
    }
    std::optional<talvo::table::ProgressBar> bar;
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

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) {
            return app.exit(error); // --help, --version
        }
        std::cerr << "talvo-batch: " << error.what() << " (see --help)\n";
        return 2;
    } catch (const Error& error) {
        std::cerr << "talvo-batch: " << error.what() << '\n';
        return 2;
    }

    if (arguments.listModels) {
        std::cout << talvo::batch::modelListing();
        return 0;
    }
    if (!arguments.modelGiven) {
        std::cerr << "talvo-batch: --model is required (see --help and --list-models)\n";
        return 2;
    }
    try {
        talvo::batch::finishOptions(arguments);
        return run(arguments);
    } catch (const Error& error) {
        std::cerr << "talvo-batch: " << error.what() << '\n';
        return 2;
    } catch (const std::exception& error) {
        // Out of memory, a thread or file system failure: still one line and status 2.
        std::cerr << "talvo-batch: " << error.what() << '\n';
        return 2;
    }
}
