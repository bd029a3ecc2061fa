#pragma once

// The number grammar as a plain recogniser, and values from the C library, for holding the
// engine's reading of texts against. Nothing here shares code with the engine.

#include "support/number_reference.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace talvo::fuzz {

using test::DecimalDigits;

// Blanks (space, tab) around; a sign; digits with at most one separator and at least one
// digit; an optional exponent: e or E, a sign, at least one digit. Nothing else is a number.
inline std::optional<DecimalDigits> recogniseNumber(std::string_view text, char separator) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    std::size_t i = 0;
    std::size_t end = text.size();
    while (i < end && blank(text[i])) {
        ++i;
    }
    while (end > i && blank(text[end - 1])) {
        --end;
    }
    DecimalDigits out;
    if (i < end && (text[i] == '+' || text[i] == '-')) {
        out.negative = text[i++] == '-';
    }
    bool separatorSeen = false;
    std::size_t digitCount = 0;
    long long fractionDigits = 0;
    for (; i < end; ++i) {
        if (digit(text[i])) {
            ++digitCount;
            fractionDigits += separatorSeen ? 1 : 0;
            if (!out.digits.empty() || text[i] != '0') {
                out.digits += text[i];
            }
        } else if (text[i] == separator && !separatorSeen) {
            separatorSeen = true;
        } else {
            break;
        }
    }
    if (digitCount == 0) {
        return std::nullopt;
    }
    long long exponent = 0;
    if (i < end && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < end && (text[i] == '+' || text[i] == '-')) {
            negativeExponent = text[i++] == '-';
        }
        const std::size_t first = i;
        for (; i < end && digit(text[i]); ++i) {
            exponent = std::min(exponent * 10 + (text[i] - '0'), 1'000'000'000'000LL);
        }
        if (i == first) {
            return std::nullopt;
        }
        exponent = negativeExponent ? -exponent : exponent;
    }
    if (i != end) {
        return std::nullopt;
    }
    out.exponent = exponent - fractionDigits;
    return out;
}

// strtod on the whole text but its blanks, the separator swapped for a point; nothing when
// strtod stops short of the end.
inline std::optional<double> libraryValue(std::string_view text, char separator) {
    const std::size_t first = text.find_first_not_of(" \t");
    text = first == std::string_view::npos ? std::string_view() : text.substr(first);
    text = text.substr(0, text.find_last_not_of(" \t") + 1);
    std::string copy(text);
    std::replace(copy.begin(), copy.end(), separator, '.');
    char* end = nullptr;
    const double value = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size()) {
        return std::nullopt;
    }
    return value;
}

} // namespace talvo::fuzz
