#include "batch/options.h"

#include "cli/models.h"
#include "estimation/estimation.h"
#include "table/columns.h"
#include "table/error.h"
#include "table/printable.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

namespace talvo::batch {

namespace {

using table::Error;

// A value the user gave, as a message echoes it.
std::string inQuotes(std::string_view text) {
    return "'" + table::printable(text) + "'";
}

// One model of a list: a position, or a name or its unique beginning in any case.
const estimation::PtfModel* findModel(std::string_view text) {
    const std::vector<const estimation::PtfModel*> named = cli::modelsNamed(text);
    if (named.size() > 1) {
        std::string message;
        cli::modelNamed(text, message);
        throw Error("--model " + message);
    }
    return named.empty() ? nullptr : named.front();
}

// "all", or positions and list texts separated by commas. List texts hold commas themselves
// ("Rawls et al., 1982"), so at each place a whole list text is tried first.
std::vector<const estimation::PtfModel*> parseModels(const std::string& text, bool& all) {
    all = text == "all";
    std::vector<const estimation::PtfModel*> models;
    const auto add = [&models](const estimation::PtfModel* model) {
        if (std::find(models.begin(), models.end(), model) == models.end()) {
            models.push_back(model);
        }
    };
    if (all) {
        for (const estimation::PtfModel& model : estimation::ModelCatalogue) {
            add(&model);
        }
        return models;
    }
    std::string_view rest = text;
    // An empty list would run no model at all; it is refused as an unknown model, as "," is.
    do {
        const estimation::PtfModel* found = nullptr;
        std::size_t length = 0;
        for (const estimation::PtfModel& model : estimation::ModelCatalogue) {
            const std::size_t size = model.listText.size();
            if (rest.size() >= size && table::sameName(rest.substr(0, size), model.listText) &&
                (rest.size() == size || rest[size] == ',') && size > length) {
                found = &model;
                length = size;
            }
        }
        if (found == nullptr) {
            length = std::min(rest.find(','), rest.size());
            found = findModel(rest.substr(0, length));
        }
        if (found == nullptr) {
            throw Error("unknown model " + inQuotes(rest.substr(0, length)) +
                        ": give positions 0 to " + std::to_string(estimation::ModelCount - 1) +
                        " or names (or their beginnings) as --list-models shows them, separated "
                        "by commas, or all");
        }
        add(found);
        rest.remove_prefix(std::min(length + 1, rest.size()));
    } while (!rest.empty());
    return models;
}

// A validator that turns the typed text into the form CLI11 converts, or throws Error.
template <typename Convert> CLI::Validator converter(Convert convert) {
    return {[convert](std::string& text) {
                text = convert(text);
                return std::string();
            },
            ""};
}

// --delimiter: one character, or "tab".
std::string delimiterText(const std::string& text) {
    if (text == "tab") {
        return "\t";
    }
    if (text.size() != 1 || text == "\"" || text == "\r" || text == "\n") {
        throw Error("--delimiter " + inQuotes(text) +
                    ": give one character other than a quote or a line break, or tab");
    }
    // Numbers could not be told from the fields around them: with e, "1e5" would be two
    // fields, and a digit is even read into the number where a chunk has no quote but splits
    // it where one has. The decimal separator is refused once it is known.
    if (std::string_view("0123456789+-eE").find(text.front()) != std::string_view::npos) {
        throw Error("--delimiter " + inQuotes(text) +
                    ": numbers can hold it; give a character other than a digit, a sign, e or E");
    }
    return text;
}

// One --column NAME=HEADER into `settings`.
void addColumn(table::Settings& settings, const std::string& pair) {
    const std::size_t equals = pair.find('=');
    const std::string name = pair.substr(0, std::min(equals, pair.size()));
    const auto* const input =
        std::find_if(estimation::allInputs.begin(), estimation::allInputs.end(),
                     [&name](estimation::Input i) { return estimation::name(i) == name; });
    if (equals == std::string::npos || input == estimation::allInputs.end() ||
        equals + 1 == pair.size()) {
        throw Error("--column " + inQuotes(pair) +
                    ": give NAME=HEADER, NAME one of sand, silt, clay, oc, such as --column "
                    "sand=\"Sand (%)\"");
    }
    std::string& header = settings.columnNames[static_cast<std::size_t>(*input)];
    // The later one silently replacing the earlier would hide a typing error.
    if (!header.empty()) {
        throw Error("--column " + name + " given twice, " + inQuotes(name + "=" + header) +
                    " and " + inQuotes(pair) + ": give one header for each input");
    }
    header = pair.substr(equals + 1);
}

// --output: a file, or - for standard output. An empty name is most often a script's unset
// variable, not a wish for standard output.
std::string outputPath(const std::string& text) {
    if (text.empty()) {
        throw Error("--output '': give a file name, or - for standard output");
    }
    return text;
}

// --precision: fixed or general, as the number CLI11 converts into table::Precision.
std::string precisionText(const std::string& text) {
    if (text == "fixed" || text == "general") {
        return std::to_string(static_cast<int>(text == "fixed" ? table::Precision::fixed
                                                               : table::Precision::general));
    }
    throw Error("--precision " + inQuotes(text) + ": give fixed or general");
}

// --decimal: a point or a comma, the separators tables are written with.
estimation::DecimalSeparator decimalSeparator(const std::string& text) {
    if (text != "." && text != ",") {
        throw Error("--decimal " + inQuotes(text) + ": give . or ,");
    }
    return estimation::DecimalSeparator(text.front());
}

// What is estimated, and how precisely it is written.
void addModelOptions(CLI::App& app, Arguments& arguments) {
    app.add_option_function<std::string>(
           "--model",
           [&arguments](const std::string& text) {
               arguments.settings.models = parseModels(text, arguments.settings.allModels);
               arguments.modelGiven = true;
           },
           "positions 0 to " + std::to_string(estimation::ModelCount - 1) +
               " or names as --list-models shows them, or their beginnings in any case, "
               "separated by commas (--model 2,4 or --model rawls), or all: every model whose "
               "columns the table has")
        ->type_name("MODEL");
    app.add_option("--precision", arguments.settings.precision,
                   "fixed: two decimals as the window shows (default); general: up to 15 "
                   "significant digits")
        ->type_name("fixed|general")
        ->transform(converter(precisionText));
}

// How numbers and fields are separated, in the input and the output alike.
void addTextOptions(CLI::App& app, table::Settings& settings) {
    app.add_option_function<std::string>(
           "--decimal",
           [&settings](const std::string& text) { settings.decimal = decimalSeparator(text); },
           "decimal separator for reading and writing numbers (default .)")
        ->type_name(".|,");
    app.add_option("--delimiter", settings.delimiter,
                   "field delimiter, one character or tab (default , or ; with --decimal ,)")
        ->type_name("CHAR")
        ->transform(converter(delimiterText));
    settings.delimiter = '\0'; // not given: settled by finishOptions
}

// The names of the input columns read and of the columns added.
void addColumnOptions(CLI::App& app, table::Settings& settings) {
    app.add_option_function<std::vector<std::string>>(
           "--column",
           [&settings](const std::vector<std::string>& pairs) {
               for (const std::string& pair : pairs) {
                   addColumn(settings, pair);
               }
           },
           "the header of an input column, when it is not the input's name: NAME is sand, silt, "
           "clay or oc (--column sand=\"Sand (%)\" --column oc=SOC_gkg); repeatable")
        ->type_name("NAME=HEADER")
        ->allow_extra_args(false)
        ->take_all();
    app.add_option("--prefix", settings.prefix,
                   "put TEXT before the names of the added columns, for a table that has a "
                   "column of such a name (--prefix est_ gives est_fc)")
        ->type_name("TEXT");
}

// Where the table comes from and goes to.
void addFileOptions(CLI::App& app, Arguments& arguments) {
    app.add_option("--output", arguments.output,
                   "write the table to FILE, whole or not at all (default standard output)")
        ->type_name("FILE")
        ->transform(converter(outputPath));
    app.add_option("INPUT", arguments.input, "CSV file; absent or - reads standard input")
        ->type_name("");
}

} // namespace

// The groups in the order --help lists them.
void addOptions(CLI::App& app, Arguments& arguments) {
    addModelOptions(app, arguments);
    addTextOptions(app, arguments.settings);
    addColumnOptions(app, arguments.settings);
    addFileOptions(app, arguments);
    addMeasuredOptions(app, arguments.measured);
    cli::addListingOptions(app, arguments.listing);
}

void finishOptions(Arguments& arguments) {
    table::Settings& settings = arguments.settings;
    const char decimal = settings.decimal.get();
    if (settings.delimiter == '\0') {
        settings.delimiter = decimal == ',' ? ';' : ',';
    }
    // "1,5,2" could be one number and a field or two fields: refuse to guess.
    if (settings.delimiter == decimal) {
        throw Error("the decimal separator and the delimiter are both " +
                    inQuotes(std::string(1, decimal)) + ": choose another delimiter");
    }
    finishMeasuredOptions(arguments.measured, arguments.output);
}

std::string modelColumns() {
    std::string text = "Columns each model reads:";
    for (const estimation::PtfModel& model : estimation::ModelCatalogue) {
        text += "\n  " + std::to_string(model.position) + " " + std::string(model.listText) + ": ";
        std::string reads;
        for (const estimation::Input input : estimation::allInputs) {
            if (model.readInputs.contains(input)) {
                reads += reads.empty() ? "" : ", ";
                reads += estimation::name(input);
            }
        }
        text += reads;
    }
    return text;
}

} // namespace talvo::batch
