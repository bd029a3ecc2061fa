#include "table/options.h"

#include "base/error.h"
#include "base/printable.h"
#include "table/columns.h"

#include <algorithm>
#include <limits>
#include <string>

namespace talvo::table {

namespace {

// A value the user gave, as a message echoes it.
std::string inQuotes(std::string_view text) {
    return "'" + base::printable(text) + "'";
}

// One model of a list: a position, or a name or its unique beginning in any case.
const estimation::PtfModel* findModel(std::string_view text) {
    const std::vector<const estimation::PtfModel*> named = modelsNamed(text);
    if (named.size() > 1) {
        std::string message;
        modelNamed(text, message);
        throw base::Error("--model " + message);
    }
    return named.empty() ? nullptr : named.front();
}

// The longest list text that `rest` starts with, whole up to a comma or the end; List texts
// hold commas themselves ("Rawls et al., 1982"), so a whole one is tried before a part.
const estimation::PtfModel* longestListText(std::string_view rest, std::size_t& length) {
    const estimation::PtfModel* found = nullptr;
    for (const estimation::PtfModel& model : estimation::ModelCatalogue) {
        const std::size_t size = model.listText.size();
        if (rest.size() >= size && sameName(rest.substr(0, size), model.listText) &&
            (rest.size() == size || rest[size] == ',') && size > length) {
            found = &model;
            length = size;
        }
    }
    return found;
}

} // namespace

std::vector<const estimation::PtfModel*> modelsNamed(std::string_view text) {
    std::vector<const estimation::PtfModel*> named;
    for (const estimation::PtfModel& model : estimation::ModelCatalogue) {
        if (text == std::to_string(model.position) || sameName(text, model.listText)) {
            return {&model};
        }
        if (!text.empty() && text.size() < model.listText.size() &&
            sameName(text, model.listText.substr(0, text.size()))) {
            named.push_back(&model);
        }
    }
    return named;
}

const estimation::PtfModel* modelNamed(std::string_view text, std::string& message) {
    const std::vector<const estimation::PtfModel*> named = modelsNamed(text);
    if (named.size() == 1) {
        return named.front();
    }
    const std::string quoted = inQuotes(text);
    if (named.empty()) {
        message = "unknown model " + quoted + ": give a position 0 to " +
                  std::to_string(estimation::ModelCount - 1) +
                  " or a name, or its beginning, as --list-models shows it";
    } else {
        message = quoted + " names the beginning of";
        for (const estimation::PtfModel* model : named) {
            message += (model == named.front() ? " " : ", ") + std::string(model->listText);
        }
        message += ": give more of the name, or the position";
    }
    return nullptr;
}

std::vector<const estimation::PtfModel*> parseModels(std::string_view text, bool& all) {
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
        std::size_t length = 0;
        const estimation::PtfModel* found = longestListText(rest, length);
        if (found == nullptr) {
            length = std::min(rest.find(','), rest.size());
            found = findModel(rest.substr(0, length));
        }
        if (found == nullptr) {
            throw base::Error(
                "unknown model " + inQuotes(rest.substr(0, length)) + ": give positions 0 to " +
                std::to_string(estimation::ModelCount - 1) +
                " or names (or their beginnings) as --list-models shows them, separated "
                "by commas, or all");
        }
        add(found);
        rest.remove_prefix(std::min(length + 1, rest.size()));
    } while (!rest.empty());
    return models;
}

char parseDelimiter(std::string_view text) {
    if (text == "tab") {
        return '\t';
    }
    if (text.size() != 1 || text == "\"" || text == "\r" || text == "\n") {
        throw base::Error("--delimiter " + inQuotes(text) +
                          ": give one character other than a quote or a line break, or tab");
    }
    // Numbers could not be told from the fields around them: with e, "1e5" would be two
    // fields, and a digit is even read into the number where a chunk has no quote but splits
    // it where one has. The decimal separator is refused once it is known.
    if (std::string_view("0123456789+-eE").find(text.front()) != std::string_view::npos) {
        throw base::Error(
            "--delimiter " + inQuotes(text) +
            ": numbers can hold it; give a character other than a digit, a sign, e or E");
    }
    return text.front();
}

std::optional<estimation::DecimalSeparator> decimalNamed(std::string_view text,
                                                         std::string& message) {
    if (text != "." && text != ",") {
        message = inQuotes(text) + ": give . or ,";
        return std::nullopt;
    }
    return estimation::DecimalSeparator(text.front());
}

estimation::DecimalSeparator parseDecimal(std::string_view text) {
    std::string message;
    const std::optional<estimation::DecimalSeparator> separator = decimalNamed(text, message);
    if (!separator) {
        throw base::Error("--decimal " + message);
    }
    return *separator;
}

estimation::ParticleSizeScale parseParticleSizeScale(std::string_view text) {
    for (const estimation::ParticleSizeScale scale : estimation::allParticleSizeScales) {
        if (sameName(text, estimation::name(scale))) {
            return scale;
        }
    }
    throw base::Error("--psd " + inQuotes(text) +
                      ": give usda (silt 2-50 um) or international (silt 2-20 um)");
}

estimation::CarbonUnit parseCarbonUnit(std::string_view text) {
    for (const estimation::CarbonUnit unit : estimation::allCarbonUnits) {
        if (sameName(text, estimation::name(unit))) {
            return unit;
        }
    }
    throw base::Error("--oc-unit " + inQuotes(text) + ": give g/kg or % (g/100 g)");
}

Precision parsePrecision(std::string_view text) {
    if (text == "fixed" || text == "general") {
        return text == "fixed" ? Precision::fixed : Precision::general;
    }
    throw base::Error("--precision " + inQuotes(text) + ": give fixed or general");
}

namespace {

// A number of an option within [low, high] (`above`: low itself excluded). Throws base::Error.
double numberWithin(std::string_view option, std::string_view text, double low, double high,
                    bool above, std::string_view want) {
    const estimation::ParsedNumber parsed = estimation::readNumber(text);
    if (parsed.failure || !(above ? parsed.value > low : parsed.value >= low) ||
        !(parsed.value <= high)) {
        throw base::Error(std::string(option) + " " + inQuotes(text) + ": give " +
                          std::string(want));
    }
    return parsed.value;
}

// The header a --column NAME sets, or nullptr for an unknown NAME.
std::string* columnHeader(Settings& settings, std::string_view name) {
    for (const estimation::Input input : estimation::allInputs) {
        if (estimation::name(input) == name) {
            return &settings.columnNames[static_cast<std::size_t>(input)];
        }
    }
    for (const HorizonInput input : allHorizonInputs) {
        if (headerName(input) == name) {
            return &settings.horizonNames[static_cast<std::size_t>(input)];
        }
    }
    return nullptr;
}

} // namespace

double parseRootDepth(std::string_view text) {
    static const std::string want =
        "a depth in cm above 0 and at most " + estimation::generalText(estimation::DeepestHorizon);
    return numberWithin("--root-depth", text, 0.0, estimation::DeepestHorizon, true, want);
}

double parseDepletion(std::string_view text) {
    return numberWithin("--depletion", text, 0.0, 1.0, false, "a share of 0 to 1, such as 0.5");
}

estimation::CoarseFragmentBasis parseCoarseFragmentBasis(std::string_view text) {
    if (sameName(text, "volume") || sameName(text, "weight")) {
        return sameName(text, "volume") ? estimation::CoarseFragmentBasis::volume
                                        : estimation::CoarseFragmentBasis::weight;
    }
    throw base::Error("--cf-by " + inQuotes(text) + ": give volume or weight");
}

void addColumn(Settings& settings, std::string_view pair) {
    const std::size_t equals = pair.find('=');
    const std::string_view name = pair.substr(0, std::min(equals, pair.size()));
    std::string* const found = columnHeader(settings, name);
    if (equals == std::string_view::npos || found == nullptr || equals + 1 == pair.size()) {
        throw base::Error("--column " + inQuotes(pair) +
                          ": give NAME=HEADER, NAME one of sand, silt, clay, oc (or for --profiles "
                          "profile, top, bottom, bd, cf), such as --column sand=\"Sand (%)\"");
    }
    std::string& header = *found;
    // The later one silently replacing the earlier would hide a typing error.
    if (!header.empty()) {
        throw base::Error("--column " + std::string(name) + " given twice, " +
                          inQuotes(std::string(name) + "=" + header) + " and " + inQuotes(pair) +
                          ": give one header for each input");
    }
    header = pair.substr(equals + 1);
}

void addColumns(Settings& settings, std::string_view pairs) {
    std::size_t start = 0;
    for (std::size_t comma = pairs.find(','); comma != std::string_view::npos;
         comma = pairs.find(',', comma + 1)) {
        const std::string_view next = pairs.substr(comma + 1);
        const std::size_t equals = next.find('=');
        if (equals != std::string_view::npos &&
            columnHeader(settings, next.substr(0, equals)) != nullptr) {
            addColumn(settings, pairs.substr(start, comma - start));
            start = comma + 1;
        }
    }
    addColumn(settings, pairs.substr(start));
}

void settleDelimiter(Settings& settings) {
    const char decimal = settings.decimal.get();
    if (settings.delimiter == '\0') {
        settings.delimiter = decimal == ',' ? ';' : ',';
    }
    // "1,5,2" could be one number and a field or two fields: refuse to guess.
    if (settings.delimiter == decimal) {
        throw base::Error("the decimal separator and the delimiter are both " +
                          inQuotes(std::string(1, decimal)) + ": choose another delimiter");
    }
}

} // namespace talvo::table
