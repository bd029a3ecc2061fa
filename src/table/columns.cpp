#include "table/columns.h"

#include "table/error.h"

#include <algorithm>
#include <string_view>

namespace talvo::table {

namespace {

using estimation::Input;

constexpr std::array<std::string_view, 5> addedColumns{"model", "fc", "pwp", "awc", "error"};

std::string_view trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool sameName(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == y; });
}

} // namespace

Columns findColumns(const RecordView& header, const Settings& settings) {
    // Spreadsheets offer "Unicode text"; without this its columns would just seem missing.
    const std::string_view first = header[0];
    if (first.starts_with("\xFF\xFE") || first.starts_with("\xFE\xFF")) {
        throw Error("the input is UTF-16 text: save it as CSV in UTF-8");
    }
    if (header.strayQuoteField() != 0) {
        throw Error("line " + std::to_string(header.line()) + ": stray quote in header field " +
                    std::to_string(header.strayQuoteField()));
    }
    Columns columns;
    for (const estimation::PtfModel* model : settings.models) {
        columns.read |= model->readInputs;
    }
    columns.count = header.size();
    std::string missing;
    int missingCount = 0;
    for (const Input input : estimation::allInputs) {
        auto& found = columns.input[static_cast<std::size_t>(input)];
        const bool required = columns.read.contains(input);
        for (std::size_t i = 0; i < header.size(); ++i) {
            if (!sameName(trimBlanks(header[i]), estimation::name(input))) {
                continue;
            }
            // Two columns of one name leave it to chance which the models read.
            if (found && required) {
                throw Error("two columns named " + std::string(estimation::name(input)) +
                            " (columns " + std::to_string(*found + 1) + " and " +
                            std::to_string(i + 1) + ")");
            }
            found = found.value_or(i);
        }
        if (!found && required) {
            missing += missing.empty() ? "" : ", ";
            missing += estimation::name(input);
            ++missingCount;
        }
    }
    if (!missing.empty()) {
        throw Error((missingCount == 1 ? "missing column: " : "missing columns: ") + missing);
    }
    return columns;
}

std::string outputHeader(const RecordView& header, const Settings& settings) {
    std::string text;
    for (std::size_t i = 0; i < header.size(); ++i) {
        appendField(text, header[i], settings.delimiter);
        text += settings.delimiter;
    }
    for (const std::string_view column : addedColumns) {
        text += column;
        text += column == addedColumns.back() ? '\n' : settings.delimiter;
    }
    return text;
}

} // namespace talvo::table
