#include "evaluation/options.h"

#include "base/error.h"
#include "base/options.h"
#include "base/printable.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

namespace talvo::evaluation {

namespace {

using base::Error;

constexpr std::array<std::string_view, 4> MeasuredNames{"fc", "pwp", "awc", "bd"};

std::string* headerFor(MeasuredColumns& columns, std::string_view name) {
    if (name == "bd") {
        return &columns.density;
    }
    for (const Quantity quantity : allQuantities) {
        if (name == evaluation::name(quantity)) {
            return &columns.headers[static_cast<std::size_t>(quantity)];
        }
    }
    return nullptr;
}

Error refusal(std::string_view text) {
    return Error("--measured '" + base::printable(text) +
                 "': give NAME=HEADER separated by commas, NAME one of fc, pwp, awc (measured) "
                 "or bd (bulk density), such as --measured fc=FC_lab,pwp=PWP_lab");
}

// Where the next NAME=HEADER starts after `from`: a comma followed by a known name and '='.
std::size_t nextPair(std::string_view text, std::size_t from) {
    for (std::size_t comma = text.find(',', from); comma != std::string_view::npos;
         comma = text.find(',', comma + 1)) {
        const std::string_view rest = text.substr(comma + 1);
        const bool named =
            std::any_of(MeasuredNames.begin(), MeasuredNames.end(), [&rest](std::string_view n) {
                return rest.size() > n.size() && rest.substr(0, n.size()) == n &&
                       rest[n.size()] == '=';
            });
        if (named) {
            return comma;
        }
    }
    return text.size();
}

} // namespace

void addMeasuredColumn(MeasuredColumns& columns, std::string_view name, std::string_view header) {
    std::string* const slot = headerFor(columns, name);
    if (slot == nullptr || header.empty()) {
        throw refusal(std::string(name) + "=" + std::string(header));
    }
    // The later one silently replacing the earlier would hide a typing error.
    if (!slot->empty()) {
        throw Error("--measured " + std::string(name) + " given twice: give one header for each");
    }
    *slot = header;
}

void addMeasuredColumns(MeasuredColumns& columns, std::string_view text) {
    std::size_t start = 0;
    do {
        const std::size_t end = nextPair(text, start);
        const std::string_view pair = text.substr(start, end - start);
        const std::size_t equals = pair.find('=');
        if (equals == std::string_view::npos || equals + 1 == pair.size() ||
            headerFor(columns, pair.substr(0, equals)) == nullptr) {
            throw refusal(text);
        }
        addMeasuredColumn(columns, pair.substr(0, equals), pair.substr(equals + 1));
        start = end + 1;
    } while (start < text.size());
}

MeasuredUnit parseMeasuredUnit(std::string_view text, base::Spelling spelling) {
    for (const auto& [word, unit] :
         {std::pair{"v/v", MeasuredUnit::volume}, std::pair{"w/w", MeasuredUnit::mass},
          std::pair{"fraction", MeasuredUnit::fraction}}) {
        if (base::sameName(text, word)) {
            return unit;
        }
    }
    throw base::refusal("measured-unit", spelling, text, "v/v, w/w or fraction");
}

bool anyMeasured(const MeasuredColumns& columns) noexcept {
    return std::any_of(columns.headers.begin(), columns.headers.end(),
                       [](const std::string& header) { return !header.empty(); });
}

void requireMeasured(const MeasuredColumns& columns) {
    if (!anyMeasured(columns)) {
        throw Error("--measured names no measured column: give fc=HEADER, pwp=HEADER or "
                    "awc=HEADER");
    }
}

} // namespace talvo::evaluation
