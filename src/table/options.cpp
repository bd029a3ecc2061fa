#include "table/options.h"

#include "base/error.h"
#include "base/options.h"
#include "table/columns.h"

#include <algorithm>
#include <string>

namespace talvo::table {

char parseDelimiter(std::string_view text) {
    if (text == "tab") {
        return '\t';
    }
    if (text.size() != 1 || text == "\"" || text == "\r" || text == "\n") {
        throw base::Error("--delimiter " + base::quoted(text) +
                          ": give one character other than a quote or a line break, or tab");
    }
    // Numbers could not be told from the fields around them: with e, "1e5" would be two
    // fields, and a digit is even read into the number where a chunk has no quote but splits
    // it where one has. The decimal separator is refused once it is known.
    if (std::string_view("0123456789+-eE").find(text.front()) != std::string_view::npos) {
        throw base::Error(
            "--delimiter " + base::quoted(text) +
            ": numbers can hold it; give a character other than a digit, a sign, e or E");
    }
    return text.front();
}

namespace {

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

void addColumn(Settings& settings, std::string_view pair) {
    const std::size_t equals = pair.find('=');
    const std::string_view name = pair.substr(0, std::min(equals, pair.size()));
    std::string* const found = columnHeader(settings, name);
    if (equals == std::string_view::npos || found == nullptr || equals + 1 == pair.size()) {
        throw base::Error("--column " + base::quoted(pair) +
                          ": give NAME=HEADER, NAME one of sand, silt, clay, oc (or for --profiles "
                          "profile, top, bottom, bd, cf, theta_fc, theta_pwp, dul, ll15), such as "
                          "--column sand=\"Sand (%)\"");
    }
    std::string& header = *found;
    // The later one silently replacing the earlier would hide a typing error.
    if (!header.empty()) {
        throw base::Error("--column " + std::string(name) + " given twice, " +
                          base::quoted(std::string(name) + "=" + header) + " and " +
                          base::quoted(pair) + ": give one header for each input");
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
                          base::quoted(std::string(1, decimal)) + ": choose another delimiter");
    }
}

} // namespace talvo::table
