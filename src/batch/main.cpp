// talvo-batch: the calculator's Estimate over every row of a CSV table.

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

using talvo::table::Error;

struct Arguments {
    std::string model;
    std::string precision = "fixed";
    std::string decimal = ".";
    std::string delimiter;
    std::string output;
    std::string input = "-";
};

int run(const Arguments& arguments) {
    const talvo::table::Settings settings = talvo::table::makeSettings(
        arguments.model, arguments.precision, arguments.decimal, arguments.delimiter);
    talvo::table::InterruptionCleanup cleanup;
    talvo::table::InputFile input(arguments.input);
    talvo::table::OutputFile output(arguments.output, input, &cleanup);

    talvo::table::RunOptions options;
    std::optional<talvo::table::ProgressBar> bar;
    if (input.size() && ::isatty(STDERR_FILENO) == 1) {
        bar.emplace(std::cerr, *input.size());
        options.progress = [&bar](std::uint64_t bytes) { bar->update(bytes); };
    }

    talvo::table::Summary summary;
    try {
        summary = talvo::table::runTable(input.stream(), output.stream(), settings, options);
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
                  << " rows could not be estimated; the error column says why\n";
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
    bool listModels = false;
    app.add_option("--model", arguments.model,
                   "position 0 to 6, name exactly as --list-models shows it, or all")
        ->type_name("MODEL");
    app.add_option("--precision", arguments.precision,
                   "fixed: two decimals as the window shows (default); general: up to 15 "
                   "significant digits")
        ->type_name("fixed|general");
    app.add_option("--decimal", arguments.decimal,
                   "decimal separator for reading and writing numbers (default .)")
        ->type_name("CHAR");
    app.add_option("--delimiter", arguments.delimiter,
                   "field delimiter, one character or tab (default , or ; with --decimal ,)")
        ->type_name("CHAR");
    app.add_option("--output", arguments.output,
                   "write the table to FILE, whole or not at all (default standard output)")
        ->type_name("FILE");
    app.add_option("INPUT", arguments.input, "CSV file; absent or - reads standard input")
        ->type_name("");
    app.add_flag("--list-models", listModels,
                 "list the models: position, name, inputs read, units");
    app.set_version_flag("--version", "talvo-batch " TALVO_VERSION);
    app.footer("Output: every input column, then model, fc, pwp, awc, error; one row per input "
               "row and model.\nExit status: 0 every row estimated, 1 some rows carry an error, "
               "2 usage or input error.");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) {
            return app.exit(error); // --help, --version
        }
        std::cerr << "talvo-batch: " << error.what() << " (see --help)\n";
        return 2;
    }

    if (listModels) {
        std::cout << talvo::table::modelListing();
        return 0;
    }
    if (arguments.model.empty()) {
        std::cerr << "talvo-batch: --model is required (see --help and --list-models)\n";
        return 2;
    }
    try {
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
