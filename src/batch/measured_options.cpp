#include "batch/measured_options.h"

#include "table/error.h"
#include "table/printable.h"

#include <array>
#include <string_view>

namespace talvo::batch {

namespace {

using table::Error;

constexpr std::array<std::string_view, 4> MeasuredNames{"fc", "pwp", "awc", "bd"};

std::string* headerFor(evaluation::MeasuredColumns& columns, std::string_view name) {
    if (name == "bd") {
        return &columns.density;
    }
    for (std::size_t q = 0; q < evaluation::allQuantities.size(); ++q) {
        if (name == evaluation::name(evaluation::allQuantities[q])) {
            return &columns.headers[q];
        }
    }
    return nullptr;
}

// Where the next NAME=HEADER starts after `from`: a comma followed by a known name and '='.
// Headers may hold commas themselves ("FC (%, v/v)").
std::size_t nextPair(std::string_view text, std::size_t from) {
    for (std::size_t comma = text.find(',', from); comma != std::string_view::npos;
         comma = text.find(',', comma + 1)) {
        for (const std::string_view name : MeasuredNames) {
            if (text.substr(comma + 1, name.size() + 1) == std::string(name) + "=") {
                return comma;
            }
        }
    }
    return text.size();
}

void addPairs(evaluation::MeasuredColumns& columns, std::string_view text) {
    const auto refuse = [&text]() {
        return Error("--measured '" + table::printable(text) +
                     "': give NAME=HEADER separated by commas, NAME one of fc, pwp, awc "
                     "(measured) or bd (bulk density), such as --measured fc=FC_lab,pwp=PWP_lab");
    };
    std::size_t start = 0;
    do {
        const std::size_t end = nextPair(text, start);
        const std::string_view pair = text.substr(start, end - start);
        const std::size_t equals = pair.find('=');
        if (equals == std::string_view::npos || equals + 1 == pair.size()) {
            throw refuse();
        }
        std::string* header = headerFor(columns, pair.substr(0, equals));
        if (header == nullptr) {
            throw refuse();
        }
        if (!header->empty()) {
            throw Error("--measured " + std::string(pair.substr(0, equals)) +
                        " given twice: give one header for each");
        }
        *header = pair.substr(equals + 1);
        start = end + 1;
    } while (start < text.size());
}

evaluation::MeasuredUnit measuredUnit(const std::string& text) {
    if (text == "v/v" || text == "w/w") {
        return text == "v/v" ? evaluation::MeasuredUnit::volume : evaluation::MeasuredUnit::mass;
    }
    throw Error("--measured-unit '" + table::printable(text) + "': give v/v or w/w");
}

} // namespace

void addMeasuredOptions(CLI::App& app, MeasuredArguments& arguments) {
    app.add_option_function<std::vector<std::string>>(
           "--measured",
           [&arguments](const std::vector<std::string>& values) {
               for (const std::string& value : values) {
                   addPairs(arguments.columns, value);
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
           [&arguments](const std::string& text) { arguments.columns.unit = measuredUnit(text); },
           "unit of measured fc and pwp: v/v (default) or w/w; estimates in the other unit are "
           "converted with the row's bulk density, 1.49 where it has none")
        ->type_name("v/v|w/w");
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
            throw Error("--metrics and --report need --measured, such as --measured fc=FC_lab");
        }
        return;
    }
    const auto& headers = arguments.columns.headers;
    if (headers[0].empty() && headers[1].empty() && headers[2].empty()) {
        throw Error("--measured names no measured column: give fc=HEADER, pwp=HEADER or "
                    "awc=HEADER");
    }
    const std::array<std::string_view, 3> files{output, arguments.metrics, arguments.report};
    for (std::size_t i = 0; i < files.size(); ++i) {
        for (std::size_t j = i + 1; j < files.size(); ++j) {
            if (!files[i].empty() && files[i] != "-" && files[i] == files[j]) {
                throw Error("'" + table::printable(files[i]) +
                            "' is named twice among --output, --metrics and --report: give "
                            "each its own file");
            }
        }
    }
}

} // namespace talvo::batch
