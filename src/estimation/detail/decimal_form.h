#pragma once

// A result rounded to 15 significant digits, the form in which the calculator shows it. Worked
// out once per result and used for the general text, for the number read back from that text
// and for the two-decimal text, so that none of them prints and parses again.

#include "estimation/detail/number_text.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace talvo::estimation {

struct DecimalForm {
    std::uint64_t digits = 0; // at most 15 digits, no trailing zeros; 0 only for zero
    int exponent = 0;         // the value is digits x 10^exponent
    bool negative = false;    // never set for zero

    friend bool operator==(const DecimalForm&, const DecimalForm&) = default;
};

// Longest general text: "-1.23456789012346e-308".
inline constexpr std::size_t GeneralTextCapacity = 24;
// Longest two-decimal text: a sign, the 309 digits of the largest double, separator, 2 digits.
inline constexpr std::size_t FixedTextCapacity = 1 + 309 + 1 + 2;

// digits x 10^exponent with trailing zeros dropped. Precondition: digits <= 10^15.
DecimalForm makeDecimalForm(std::uint64_t digits, int exponent, bool negative);

// `value` rounded to 15 significant digits, half to even on its exact binary value, as
// printf's "%.15g" does. Precondition: `value` is finite.
DecimalForm decimalForm(double value);

// The double nearest to the form, as reading its general text gives; nothing when that lies
// beyond the double range (the 15-digit rounding of the largest doubles does).
std::optional<double> readBack(const DecimalForm& form);

// readBack(decimalForm(value)), straight from the double where the product that finds its 15
// digits cannot be off by the one that matters: a horizon's water is summed from these.
// Precondition: `value` is finite.
std::optional<double> fifteenDigitValue(double value);

// The form rounded to two decimals, half away from zero on its digits.
DecimalForm roundedToHundredths(const DecimalForm& form);

// Write the general text ("50.8534", "1.5e-05", "1e+15") or the two-decimal text ("50.85") at
// `out`, which must hold GeneralTextCapacity or FixedTextCapacity chars; return the end.
// noexcept, as the writers below: called from noexcept code, a throwing signature costs the
// browser's build a trip through JavaScript per call.
char* writeGeneral(char* out, const DecimalForm& form, char separator) noexcept;
char* writeFixed(char* out, const DecimalForm& form, char separator) noexcept;
// The general text of decimalForm(value), straight from the double where it is a whole number
// of at most 15 digits: depths are written for every profile. Precondition: `value` is finite.
char* writeGeneral(char* out, double value, char separator);
// The two-decimal text of decimalForm(value), straight from the double where the 15-digit
// rounding cannot move its two decimals: derived numbers are written for every row.
// Precondition: `value` is finite.
char* writeFixed(char* out, double value, char separator);

// A signed count of hundredths as its two-decimal text ("-12.34", "0.05"), never "-0.00";
// `out` must hold FixedTextCapacity chars.
char* writeHundredths(char* out, std::int64_t hundredths, char separator) noexcept;

} // namespace talvo::estimation
