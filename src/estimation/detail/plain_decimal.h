#pragma once

// The common form of a table's cell, "40" or "12.5": digits with one separator at the most
// and 15 digits at the most, nothing else. Its digits make an exact integer, and the powers
// of ten it is divided by are exact, so one division gives the correctly rounded double.
// Inline, as a table reads several of them a row.

#include "estimation/detail/powers_of_ten.h"

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace talvo::estimation {

struct PlainDecimal {
    static constexpr auto MaxDigits = static_cast<std::size_t>(SignificantDigits);

    std::uint64_t digits = 0; // all of them, as one integer
    std::size_t scale = 0;    // how many follow the separator

    double value() const noexcept;
};

inline double PlainDecimal::value() const noexcept {
    // Below 10^16, so signed: one instruction, where unsigned takes a dozen.
    const auto m = static_cast<double>(static_cast<std::int64_t>(digits));
    return scale == 0 ? m : m / powersOfTen[scale];
}

// A field read up to its end: the plain decimal it holds, if it is one.
struct PlainField {
    std::optional<PlainDecimal> decimal; // nothing when the field is any other form
    const char* end = nullptr;           // the delimiter that ends the field, or the text's end
};

// What lies at a field's `end`. `guarded`: a byte that may be read and is neither a digit nor
// the separator, such as a line's break or the null after a std::string's last char; the
// loops over digits then stop there without watching for `end`, a third of their work.
enum class FieldEnd { unguarded, guarded };

// Reads the field that starts at `begin` and ends at the first char for which
// `isDelimiter` holds, or at `end`, in one pass: a table finds its fields and converts its
// numbers together. The field is plain when it is digits with one separator at the most and
// 15 digits at the most, nothing else: not blanks, a sign, an exponent, more digits, the
// separator alone or nothing at all. A delimiter that is also the separator ends the field.
// Always inline: a row's loop over its fields calls it for most of them.
template <FieldEnd Guard = FieldEnd::unguarded, typename IsDelimiter>
[[gnu::always_inline]] inline PlainField plainDecimalField(const char* begin, const char* end,
                                                           char separator,
                                                           IsDelimiter isDelimiter) noexcept {
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    const auto before = [end](const char* c) { return Guard == FieldEnd::guarded || c != end; };
    assert(Guard == FieldEnd::unguarded || (!isDigit(*end) && *end != separator));
    PlainDecimal plain;
    const char* c = begin;
    // Digits past the 16th wrap the integer round; such a field is not plain anyway.
    for (; before(c) && isDigit(*c); ++c) {
        plain.digits = plain.digits * 10 + static_cast<std::uint64_t>(*c - '0');
    }
    const char* fraction = nullptr;
    if (before(c) && *c == separator && !isDelimiter(*c)) {
        fraction = ++c;
        for (; before(c) && isDigit(*c); ++c) {
            plain.digits = plain.digits * 10 + static_cast<std::uint64_t>(*c - '0');
        }
    }
    if (c == end || isDelimiter(*c)) {
        const auto size = static_cast<std::size_t>(c - begin);
        const std::size_t digits = fraction == nullptr ? size : size - 1;
        if (digits != 0 && digits <= PlainDecimal::MaxDigits) {
            plain.scale = fraction == nullptr ? 0 : static_cast<std::size_t>(c - fraction);
            return {plain, c};
        }
        return {std::nullopt, c};
    }
    while (c != end && !isDelimiter(*c)) {
        ++c;
    }
    return {std::nullopt, c};
}

// The whole text as a plain decimal, or nothing when it is any other form.
inline std::optional<PlainDecimal> plainDecimal(std::string_view text, char separator) noexcept {
    return plainDecimalField(text.data(), text.data() + text.size(), separator,
                             [](char) { return false; })
        .decimal;
}

} // namespace talvo::estimation
