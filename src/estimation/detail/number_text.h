#pragma once

// The one convention for numbers as texts, shared by reading the inputs, writing the
// results and reading them back, so that a written result always reads back to itself.

#include "estimation/detail/failure.h"

#include <optional>
#include <string>
#include <string_view>

namespace talvo::estimation {

// The calculator shows results to 15 significant digits before it rounds them to two
// decimals, and every decimal of 15 digits survives a double.
inline constexpr int SignificantDigits = 15;

// 10^22 is the largest power of ten a double holds exactly.
inline constexpr int MaxExactPowerOfTen = 22;
// 10^exponent, exact. Precondition: 0 <= exponent <= MaxExactPowerOfTen.
double exactPowerOfTen(int exponent) noexcept;

// The user's decimal separator. Any single character that cannot be part of a number
// otherwise: not a digit, sign, exponent letter or blank.
class DecimalSeparator {
public:
    constexpr DecimalSeparator() = default;
    // Throws std::invalid_argument for a character that cannot serve as a separator.
    explicit DecimalSeparator(char c);

    constexpr char get() const noexcept { return m_char; }

private:
    char m_char = '.';
};

// A number read from a text: its value, or why the text holds none.
struct ParsedNumber {
    double value = 0.0;
    std::optional<FailureKind> failure;
};

// Blanks (spaces, tabs) around the number are ignored; then an optional sign, digits with
// at most one separator (at least one digit), and an optional exponent (e or E, optional
// sign, digits). The value is the correctly rounded double. Anything else is a type
// mismatch; a number beyond the double range is an overflow.
ParsedNumber readNumber(std::string_view text, DecimalSeparator separator = {});

// As readNumber, throwing Failure for a text that holds no number.
double numberFromText(std::string_view text, DecimalSeparator separator = {});

// At most 15 significant digits, correctly rounded, no trailing zeros; exponent form below
// 1e-4 and from 1e15 on ("1.5e-05", "1e+15"). Never "-0". The value must be finite.
std::string generalText(double value, DecimalSeparator separator = {});

// Two decimals, rounded half away from zero on the 15-digit decimal form of the number
// ("39.915" -> "39.92"); at least one digit before the separator, no exponent, no grouping,
// a minus only when the rounded value is not zero. A text that is not a number comes back
// unchanged.
std::string fixedText(std::string_view text, DecimalSeparator separator = {});

} // namespace talvo::estimation
