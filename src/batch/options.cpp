#include "batch/options.h"

#include "estimation/catalogue.h"
#include "table/error.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace talvo::batch {

namespace {

using table::Error;

std::string inQuotes(std::string_view text) {
    return "'" + std::string(text) + "'";
}

std::vector<const estimation::PtfModel*> parseModels(const std::string& text) {
    std::vector<const estimation::PtfModel*> models;
    if (text == "all") {
        for (const estimation::PtfModel& model : estimation::ModelCatalogue) {
            models.push_back(&model);
        }
        return models;
    }
    for (const estimation::PtfModel& model : estimation::ModelCatalogue) {
        if (text == model.listText || text == std::to_string(model.position)) {
            return {&model};
        }
    }
    throw Error("unknown model " + inQuotes(text) + ": give a position 0 to " +
                std::to_string(estimation::ModelCount - 1) +
                ", a name exactly as --list-models shows it, or all");
}

// A validator that turns the typed text into the form CLI11 converts, or throws Error.
template <typename Convert> CLI::Validator converter(Convert convert) {
    return {[convert](std::string& text) {
                text = convert(text);
                return std::string();
            },
            ""};
}

} // namespace

void addOptions(CLI::App& app, Arguments& arguments) {
    table::Settings& settings = arguments.settings;
    app.add_option_function<std::string>(
           "--model",
           [&arguments](const std::string& text) {
               arguments.settings.models = parseModels(text);
               arguments.modelGiven = true;
           },
           "position 0 to " + std::to_string(estimation::ModelCount - 1) +
               ", name exactly as --list-models shows it, or all")
        ->type_name("MODEL");
    app.add_option("--precision", settings.precision,
                   "fixed: two decimals as the window shows (default); general: up to 15 "
                   "significant digits")
        ->type_name("fixed|general")
        ->transform(converter([](const std::string& text) {
            if (text == "fixed" || text == "general") {
                return std::to_string(static_cast<int>(
                    text == "fixed" ? table::Precision::fixed : table::Precision::general));
            }
            throw Error("--precision " + inQuotes(text) + ": give fixed or general");
        }));
    app.add_option_function<std::string>(
           "--decimal",
           [&settings](const std::string& text) {
               if (text.size() != 1) {
                   throw Error("--decimal " + inQuotes(text) +
                               ": give one character, such as . or ,");
               }
               try {
                   settings.decimal = estimation::DecimalSeparator(text.front());
               } catch (const std::invalid_argument&) {
                   throw Error("--decimal " + inQuotes(text) + " cannot separate decimals");
               }
           },
           "decimal separator for reading and writing numbers (default .)")
        ->type_name("CHAR");
    app.add_option("--delimiter", settings.delimiter,
                   "field delimiter, one character or tab (default , or ; with --decimal ,)")
        ->type_name("CHAR")
        ->transform(converter([](const std::string& text) {
            if (text == "tab") {
                return std::string("\t");
            }
            if (text.size() != 1 || text == "\"" || text == "\r" || text == "\n") {
                throw Error("--delimiter " + inQuotes(text) +
                            ": give one character other than a quote or a line break, or tab");
            }
            return text;
        }));
    settings.delimiter = '\0'; // not given: settled by finishOptions
    app.add_option("--output", arguments.output,
                   "write the table to FILE, whole or not at all (default standard output)")
        ->type_name("FILE");
    app.add_option("INPUT", arguments.input, "CSV file; absent or - reads standard input")
        ->type_name("");
    app.add_flag("--list-models", arguments.listModels,
                 "list the models: position, name, inputs read, units");
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
}

std::string modelListing() {
    struct Line {
        std::string position, name, reads, fcUnit, pwpUnit;
    };
    std::vector<Line> lines{{"position", "model", "reads", "FC unit", "PWP unit"}};
    for (const estimation::PtfModel& model : estimation::ModelCatalogue) {
        std::string reads;
        for (const estimation::Input input : estimation::allInputs) {
            if (model.readInputs.contains(input)) {
                reads += reads.empty() ? "" : ", ";
                reads += estimation::name(input);
            }
        }
        lines.push_back({std::to_string(model.position), std::string(model.listText), reads,
                         std::string(model.fcUnit), std::string(model.pwpUnit)});
    }
    std::array<std::size_t, 4> widths{};
    for (const Line& line : lines) {
        const std::array<std::size_t, 4> sizes{line.position.size(), line.name.size(),
                                               line.reads.size(), line.fcUnit.size()};
        for (std::size_t i = 0; i < widths.size(); ++i) {
            widths[i] = std::max(widths[i], sizes[i]);
        }
    }
    const auto padded = [](const std::string& text, std::size_t width) {
        return text + std::string(width - text.size() + 2, ' ');
    };
    std::string out;
    for (const Line& line : lines) {
        out += padded(line.position, widths[0]) + padded(line.name, widths[1]) +
               padded(line.reads, widths[2]) + padded(line.fcUnit, widths[3]) + line.pwpUnit + '\n';
    }
    return out;
}

} // namespace talvo::batch
