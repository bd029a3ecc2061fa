#pragma once

// The common form of a table's cell, "40" or "12.5": digits with one separator at the most
// and 15 digits at the most, nothing else. Its digits make an exact integer, and the powers
// of ten it is divided by are exact, so one division gives the correctly rounded double.
// Inline, as a table reads several of them a row.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace talvo::estimation {

struct PlainDecimal {
    static constexpr std::size_t MaxDigits = 15; // every decimal of 15 digits survives a double

    std::uint64_t digits = 0; // all of them, as one integer
    std::size_t scale = 0;    // how many follow the separator

    double value() const noexcept;
};

inline constexpr std::array<double, PlainDecimal::MaxDigits + 1> plainPowersOfTen{
    1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

inline double PlainDecimal::value() const noexcept {
    // Below 10^16, so signed: one instruction, where unsigned takes a dozen.
    const auto m = static_cast<double>(static_cast<std::int64_t>(digits));
    return scale == 0 ? m : m / plainPowersOfTen[scale];
}

// The text as a plain decimal, or nothing when it is any other form (blanks, a sign, an
// exponent, more digits, the separator alone, nothing at all).
inline std::optional<PlainDecimal> plainDecimal(std::string_view text, char separator) noexcept {
    if (text.empty() || text.size() > PlainDecimal::MaxDigits + 1) {
        return std::nullopt;
    }
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    const char* c = text.data();
    const char* const end = c + text.size();
    PlainDecimal plain;
    for (; c != end && isDigit(*c); ++c) {
        plain.digits = plain.digits * 10 + static_cast<std::uint64_t>(*c - '0');
    }
    if (c == end) {
        if (text.size() > PlainDecimal::MaxDigits) {
            return std::nullopt;
        }
        return plain;
    }
    if (*c != separator || text.size() == 1) {
        return std::nullopt;
    }
    const char* const fraction = ++c;
    for (; c != end && isDigit(*c); ++c) {
        plain.digits = plain.digits * 10 + static_cast<std::uint64_t>(*c - '0');
    }
    if (c != end) {
        return std::nullopt;
    }
    plain.scale = static_cast<std::size_t>(end - fraction);
    return plain;
}

} // namespace talvo::estimation
