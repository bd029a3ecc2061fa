#pragma once

#include "estimation/estimation.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace talvo::fuzz {

// A broken property ends the run: libFuzzer records the input as a crash.
inline void expect(bool holds, std::string_view property, std::string_view text = {}) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %.*s [%.*s]\n", static_cast<int>(property.size()),
                     property.data(), static_cast<int>(text.size()), text.data());
        std::abort();
    }
}

inline bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// "-?D+SDD": two decimals, no exponent, no grouping, no leading zeros, no "-0.00".
inline bool isFixedText(std::string_view text, estimation::DecimalSeparator separator) {
    const bool negative = !text.empty() && text.front() == '-';
    text.remove_prefix(negative ? 1 : 0);
    const std::size_t at = text.find(separator.get());
    if (at == std::string_view::npos || at == 0 || text.size() != at + 3) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i != at && !isDigit(text[i])) {
            return false;
        }
    }
    if (text.front() == '0' && at > 1) {
        return false;
    }
    const std::array zeros{'0', separator.get()};
    return !negative || text.find_first_not_of(std::string_view(zeros.data(), zeros.size())) !=
                            std::string_view::npos;
}

// At most 15 significant digits, no trailing zeros after the separator, no leading zeros,
// exponent "e+DD"/"e-DD" or more digits, never "-0".
inline bool isGeneralText(std::string_view text, estimation::DecimalSeparator separator) {
    if (text == "0") {
        return true;
    }
    const bool negative = !text.empty() && text.front() == '-';
    text.remove_prefix(negative ? 1 : 0);
    const std::size_t e = text.find('e');
    const std::string_view mantissa = text.substr(0, e);
    if (e != std::string_view::npos) {
        const std::string_view exponent = text.substr(e + 1);
        const std::string_view digits = exponent.substr(1);
        if (exponent.size() < 3 || (exponent[0] != '+' && exponent[0] != '-') ||
            !std::all_of(digits.begin(), digits.end(), isDigit)) {
            return false;
        }
    }
    const std::size_t at = mantissa.find(separator.get());
    std::size_t significant = 0;
    bool leading = true;
    for (std::size_t i = 0; i < mantissa.size(); ++i) {
        if (i == at) {
            continue;
        }
        if (!isDigit(mantissa[i])) {
            return false;
        }
        leading = leading && mantissa[i] == '0';
        significant += leading ? 0 : 1;
    }
    if (significant == 0 || significant > 15 || mantissa.front() == separator.get()) {
        return false;
    }
    if (mantissa.front() == '0' && (mantissa.size() == 1 || mantissa[1] != separator.get())) {
        return false; // "0" alone or "0.x"; never "00" or "05"
    }
    if (at != std::string_view::npos &&
        (mantissa.back() == '0' || mantissa.back() == separator.get())) {
        return false;
    }
    return true;
}

} // namespace talvo::fuzz
