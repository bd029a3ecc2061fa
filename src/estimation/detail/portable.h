#pragma once

// What the browser's C++ library (emscripten's libc++) lacks, with the standard's results.
// std::to_chars and std::from_chars for floating point are taken from the standard library
// where it has them; the stand-ins below are built everywhere, so that the native tests hold
// them against the standard ones, digit for digit.

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>
#include <version>

namespace talvo::estimation::detail {

// std::bit_cast, on the builtin both compilers implement it with.
template <typename To, typename From> constexpr To bitCast(const From& from) noexcept {
    static_assert(sizeof(To) == sizeof(From));
    return __builtin_bit_cast(To, from);
}

namespace portable {

// Copies a C string into [first, last), as to_chars writes.
inline std::to_chars_result copyText(char* first, char* last, const char* text) noexcept {
    const std::size_t length = std::strlen(text);
    if (static_cast<std::size_t>(last - first) < length) {
        return {last, std::errc::value_too_large};
    }
    return {std::copy_n(text, length, first), std::errc{}};
}

// to_chars(first, last, value, std::chars_format::scientific, precision). The C library's
// "%.*e" is the exact binary value rounded half to even, as to_chars's; and the browser's C
// library knows the C locale only, so the point stays a point.
inline std::to_chars_result toScientific(char* first, char* last, double value,
                                         int precision) noexcept {
    std::array<char, 64> text{};
    const int length = std::snprintf(text.data(), text.size(), "%.*e", precision, value);
    if (length < 0 || static_cast<std::size_t>(length) >= text.size()) {
        return {last, std::errc::value_too_large};
    }
    return copyText(first, last, text.data());
}

// The last digit of a "%e" text one up, carried; false where the carry runs past the first
// digit (a candidate of more digits, never the shortest).
inline bool nextDigitsUp(char* text) noexcept {
    char* c = std::strchr(text, 'e');
    while (c != text) {
        --c;
        if (*c == '.') {
            continue;
        }
        if (*c != '9') {
            ++*c;
            return true;
        }
        *c = '0';
    }
    return false;
}

// to_chars(first, last, value, std::chars_format::scientific) for a float: the fewest digits
// that read back to it, the nearest such to its value. With each count of digits, the nearest
// decimal reads back if any does; except at a power of two, where the float below is half as
// far as the one above, so that the decimal next above may read back when the nearest, below,
// does not.
inline std::to_chars_result toScientific(char* first, char* last, float value) noexcept {
    std::array<char, 32> text{};
    if (!std::isfinite(value)) { // "inf", "-nan": no digits to choose
        std::snprintf(text.data(), text.size(), "%e", static_cast<double>(value));
        return copyText(first, last, text.data());
    }
    for (int precision = 0; precision < 9; ++precision) {
        std::snprintf(text.data(), text.size(), "%.*e", precision, static_cast<double>(value));
        if (std::strtof(text.data(), nullptr) == value) {
            break;
        }
        if (nextDigitsUp(text.data()) && std::strtof(text.data(), nullptr) == value) {
            break;
        }
    }
    return copyText(first, last, text.data());
}

// from_chars(first, last, value) for decimal texts: an optional minus, digits with an
// optional point, an optional exponent; "inf", "nan" and the like are refused. As the
// standard's, a result beyond the double range, or a nonzero text that reads as zero, is out
// of range and leaves `value` alone.
inline std::from_chars_result fromChars(const char* first, const char* last, double& value) {
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    const char* c = first;
    if (c != last && *c == '-') {
        ++c;
    }
    bool digits = false;
    bool nonzero = false;
    for (bool point = false; c != last && (isDigit(*c) || (*c == '.' && !point)); ++c) {
        point = point || *c == '.';
        digits = digits || isDigit(*c);
        nonzero = nonzero || (isDigit(*c) && *c != '0');
    }
    if (!digits) {
        return {first, std::errc::invalid_argument};
    }
    if (c != last && (*c == 'e' || *c == 'E')) {
        const char* e = c + 1;
        if (e != last && (*e == '+' || *e == '-')) {
            ++e;
        }
        const char* const exponent = e;
        while (e != last && isDigit(*e)) {
            ++e;
        }
        c = e != exponent ? e : c; // "1e" reads as "1"
    }
    // strtod wants a terminated text, and reads the same grammar (in the C locale). Short
    // texts, all a float's, stay on the stack.
    const auto length = static_cast<std::size_t>(c - first);
    std::array<char, 32> local{};
    std::string heap;
    char* text = local.data();
    if (length >= local.size()) {
        heap.resize(length);
        text = heap.data();
    }
    *std::copy(first, c, text) = '\0';
    const double read = std::strtod(text, nullptr);
    if (std::isinf(read) || (read == 0 && nonzero)) {
        return {c, std::errc::result_out_of_range};
    }
    value = read;
    return {c, std::errc{}};
}

} // namespace portable

// The standard's to_chars and from_chars where the library has them, the stand-ins otherwise.
#if defined(__cpp_lib_to_chars)
inline std::to_chars_result toScientific(char* first, char* last, double value, int precision) {
    return std::to_chars(first, last, value, std::chars_format::scientific, precision);
}
inline std::to_chars_result toScientific(char* first, char* last, float value) {
    return std::to_chars(first, last, value, std::chars_format::scientific);
}
inline std::from_chars_result fromChars(const char* first, const char* last, double& value) {
    return std::from_chars(first, last, value);
}
#else
using portable::fromChars;
using portable::toScientific;
#endif

} // namespace talvo::estimation::detail
