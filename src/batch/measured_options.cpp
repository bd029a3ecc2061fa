#include "batch/measured_options.h"

#include "base/error.h"
#include "base/printable.h"
#include "evaluation/options.h"

#include <array>
#include <string_view>

namespace talvo::batch {

void addMeasuredOptions(CLI::App& app, MeasuredArguments& arguments) {
    app.add_option_function<std::vector<std::string>>(
           "--measured",
           [&arguments](const std::vector<std::string>& values) {
               for (const std::string& value : values) {
                   evaluation::addMeasuredColumns(arguments.columns, value);
               }
               arguments.given = true;
           },
           "score the models against measured columns instead of writing the table (which "
           "--output FILE still writes): fc=HEADER, pwp=HEADER, awc=HEADER (mm in 15 cm), "
           "bd=HEADER (bulk density, g/cm3; default a column named bd), separated by commas. "
           "The scores go to standard output unless --metrics names a file")
        ->type_name("NAME=HEADER,...")
        ->allow_extra_args(false);
    app.add_option_function<std::string>(
           "--measured-unit",
           [&arguments](const std::string& text) {
               arguments.columns.unit = evaluation::parseMeasuredUnit(text);
           },
           "unit of measured fc and pwp: v/v (default), w/w, or fraction (cm3/cm3, read as "
           "% v/v: 0.26 as 26); estimates in the other unit are converted with the row's bulk "
           "density, 1.49 where it has none")
        ->type_name("v/v|w/w|fraction");
    app.add_option("--metrics", arguments.metrics,
                   "with --measured: write the scores to FILE.csv, whole or not at all: model, "
                   "unit, quantity, n, me, me_low, me_high, mae, rmse, rmse_low, rmse_high, r2, "
                   "nse")
        ->type_name("FILE");
    app.add_option("--report", arguments.report,
                   "with --measured: write a report to FILE.html, one file to read offline: "
                   "scores, 1:1 plots, scores per texture class, rows left out")
        ->type_name("FILE");
}

void finishMeasuredOptions(const MeasuredArguments& arguments, const std::string& output) {
    if (!arguments.given) {
        if (!arguments.metrics.empty() || !arguments.report.empty()) {
            throw base::Error("--metrics and --report need --measured, such as --measured "
                              "fc=FC_lab");
        }
        return;
    }
    evaluation::requireMeasured(arguments.columns);
    const std::array<std::string_view, 3> files{output, arguments.metrics, arguments.report};
    for (std::size_t i = 0; i < files.size(); ++i) {
        for (std::size_t j = i + 1; j < files.size(); ++j) {
            if (!files[i].empty() && files[i] != "-" && files[i] == files[j]) {
                throw base::Error("'" + base::printable(files[i]) +
                                  "' is named twice among --output, --metrics and --report: "
                                  "give each its own file");
            }
        }
    }
}

} // namespace talvo::batch
