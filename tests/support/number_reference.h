#pragma once

// A second, deliberately plain account of number texts, for the tests and the fuzz targets to
// hold the engine against: texts from the C library, and the two-decimal rounding done by
// hand on decimal digit strings. Nothing here shares code with the engine.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace talvo::test {

// A decimal number as digits: the value is (negative ? -1 : 1) x digits x 10^exponent.
struct DecimalDigits {
    bool negative = false;
    std::string digits; // no leading zeros; empty for zero
    long long exponent = 0;
};

// printf's "%.15g", with the separator and without the minus of a negative zero.
inline std::string printfGeneral(double value, char separator) {
    std::array<char, 32> buffer{};
    const int length = std::snprintf(buffer.data(), buffer.size(), "%.15g", value);
    std::string text(buffer.data(), static_cast<std::size_t>(length));
    std::replace(text.begin(), text.end(), '.', separator);
    return text == "-0" ? "0" : text;
}

// The 15 significant digits of a finite double, from printf's "%.14e".
inline DecimalDigits printfDigits(double value) {
    std::array<char, 32> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%.14e", value);
    std::string_view text(buffer.data());
    DecimalDigits out;
    out.negative = text.front() == '-';
    const std::size_t e = text.find('e');
    for (const char c : text.substr(0, e)) {
        if (c >= '0' && c <= '9' && (!out.digits.empty() || c != '0')) {
            out.digits += c;
        }
    }
    out.exponent = std::atoll(buffer.data() + e + 1) - 14;
    while (!out.digits.empty() && out.digits.back() == '0') {
        out.digits.pop_back();
        ++out.exponent;
    }
    return out;
}

// Two decimals, half away from zero on the digits: count hundredths, look at the first
// dropped digit, carry by hand.
inline std::string fixedReference(const DecimalDigits& number, char separator) {
    std::string hundredths = number.digits;
    const long long shift = number.exponent + 2;
    if (shift >= 0) {
        hundredths.append(hundredths.empty() ? 0 : static_cast<std::size_t>(shift), '0');
    } else if (static_cast<long long>(hundredths.size()) < -shift) {
        hundredths.clear();
    } else {
        const std::size_t kept = hundredths.size() - static_cast<std::size_t>(-shift);
        const bool up = hundredths[kept] >= '5';
        hundredths.resize(kept);
        if (up) {
            std::size_t i = hundredths.size();
            while (i > 0 && hundredths[i - 1] == '9') {
                hundredths[--i] = '0';
            }
            if (i == 0) {
                hundredths.insert(hundredths.begin(), '1');
            } else {
                ++hundredths[i - 1];
            }
        }
    }
    const bool zero = hundredths.find_first_not_of('0') == std::string::npos;
    if (hundredths.size() < 3) {
        hundredths.insert(0, 3 - hundredths.size(), '0');
    }
    hundredths.insert(hundredths.size() - 2, 1, separator);
    return (number.negative && !zero ? "-" : "") + hundredths;
}

} // namespace talvo::test
