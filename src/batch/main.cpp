// talvo-batch: the calculator's Estimate over every row of a CSV table.

#include "base/error.h"
#include "batch/hydraulics_tool.h"
#include "batch/measured_run.h"
#include "batch/options.h"
#include "batch/warnings.h"
#include "batch/workbook.h"
#include "cli/files.h"
#include "cli/interruption.h"
#include "cli/models.h"
#include "cli/progress.h"
#include "cli/tool.h"
#include "table/csv.h"
#include "table/head.h"
#include "table/run.h"

#include <iostream>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

using talvo::base::Error;
using talvo::batch::Arguments;

// The profiles' sums; a failed write names the file.
void writeSummary(const talvo::table::ProfileTable& profiles,
                  const talvo::table::Settings& settings, talvo::cli::OutputFile& file) {
    talvo::table::writeProfileSummary(profiles, settings, file.stream(), 0);
    file.stream().flush();
    if (!file.stream()) {
        file.checkWritten();
        throw Error("cannot write the summary");
    }
}

// The run's warnings and notes; the exit status they decide.
int finish(const talvo::cli::Tool& tool, const talvo::table::Summary& summary, bool strict) {
    for (const auto& warning :
         {talvo::batch::unitWarning(summary), talvo::batch::decimalWarning(summary)}) {
        if (warning) {
            tool.report(*warning);
        }
    }
    for (const std::string& line : talvo::batch::carbonWarnings(summary)) {
        tool.report(line);
    }
    if (const std::string flagged = talvo::table::flaggedRowsNote(summary); !flagged.empty()) {
        tool.report(flagged);
    }
    if (summary.rowsWithError > 0) {
        tool.report(talvo::table::failedRowsNote(summary));
        return 1;
    }
    if (const auto failure = talvo::batch::strictFailure(summary); failure && strict) {
        tool.report(*failure);
        return 1;
    }
    return 0;
}

int run(const talvo::cli::Tool& tool, const Arguments& arguments) {
    if (arguments.measured.given) {
        return talvo::batch::runMeasured(tool, arguments);
    }
    if (!arguments.hydraulics.models.empty() && !arguments.soilFiles.format) {
        return talvo::batch::runHydraulics(tool, arguments);
    }
    talvo::cli::InterruptionCleanup cleanup;
    talvo::cli::InputFile input(arguments.input);
    talvo::cli::OutputFiles outputs(input, cleanup);
    talvo::cli::OutputFile& output = outputs.add("--output", arguments.output);
    talvo::batch::TableOutput table(output, arguments.output, arguments.settings);
    talvo::cli::OutputFile* const summaryFile =
        arguments.summary.empty() ? nullptr : &outputs.add("--summary", arguments.summary);
    talvo::table::ProfileTable profiles;

    talvo::table::RunOptions options;
    options.notice = [&tool](const std::string& text) { tool.report(text); };
    options.inputName = input.name();
    if (arguments.settings.profiles) {
        options.profiles = &profiles;
    }
    if (arguments.input == "-" && ::isatty(STDIN_FILENO) == 1) {
        tool.report("reading the table from standard input; end with Ctrl+D");
    }
    std::optional<talvo::cli::ProgressBar> bar;
    if (input.size() && ::isatty(STDERR_FILENO) == 1) {
        bar.emplace(std::cerr, *input.size());
        options.progress = [&bar](std::uint64_t bytes) { bar->update(bytes); };
    }

    talvo::table::Summary summary;
    talvo::batch::SoilFileRun soilFiles;
    try {
        summary =
            talvo::table::runTable(input.stream(), table.stream(), arguments.settings, options);
        table.finish();
        if (summaryFile != nullptr) {
            writeSummary(profiles, arguments.settings, *summaryFile);
        }
        if (arguments.soilFiles.format) {
            soilFiles = talvo::batch::prepareSoilFiles(profiles, arguments, outputs);
        }
    } catch (const talvo::table::CsvError& error) {
        input.checkUnchanged();
        throw Error(talvo::table::aboutInput(input.name(), error.what()));
    } catch (const Error&) {
        input.checkUnchanged(); // a failed read, not an empty table
        table.checkWritten();   // names the file and the system's reason
        throw;
    }
    bar.reset();
    input.checkUnchanged();
    outputs.commit();
    if (arguments.soilFiles.format) {
        talvo::batch::placeSoilFiles(soilFiles, arguments, cleanup);
        tool.report(soilFiles.note);
    }
    return finish(tool, summary, arguments.strict);
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
               "international triangle (sand 0.02-2 mm), or with --psd usda on the USDA one; "
               "flags holds the codes sum, range, oc, fc<=pwp, result, psd and domain (a soil "
               "outside the model's calibration ranges, which --list-models --long gives), and "
               "for horizons (--profiles) bd, porosity and measured (measured water used), joined "
               "by ';'.\n" +
               talvo::batch::modelColumns() +
               "\nFiles: the files one run writes (--output, --summary, --metrics, --report) "
               "are replaced together or not at all, and must differ from each other and from "
               "the input; - and /dev/stdout are standard output, appended to as the shell "
               "opened it."
               "\nExit status: 0 every row estimated, 1 some rows carry an error (or, with "
               "--strict, a flag), 2 usage or input error.");

    const talvo::cli::Tool tool("talvo-batch");
    if (const std::optional<int> status = tool.parse(app, argc, argv)) {
        return *status;
    }
    if (const std::optional<int> status = talvo::cli::showListing(tool, arguments.listing)) {
        return *status;
    }
    if (!arguments.modelGiven &&
        (arguments.hydraulics.models.empty() || arguments.soilFiles.format)) {
        tool.report("--model is required (see --help and --list-models)");
        return talvo::cli::UsageStatus;
    }
    return tool.run([&tool, &arguments] {
        talvo::batch::finishOptions(arguments);
        return run(tool, arguments);
    });
}
