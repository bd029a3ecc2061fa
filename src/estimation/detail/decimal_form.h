#pragma once

// DecimalForm's steps: a double rounded to 15 significant digits, read back, rounded to two
// decimals and written. Worked out once per result and used for the general text, for the
// number read back from that text and for the two-decimal text, so that none of them prints
// and parses again.

#include "estimation/estimation.h"

#include <cstdint>
#include <optional>

namespace talvo::estimation::detail {

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
// `out`, which must hold GeneralTextCapacity or ResultTextCapacity chars; return the end.
// noexcept: called from noexcept code, a throwing signature costs the browser's build a trip
// through JavaScript per call.
char* writeGeneral(char* out, const DecimalForm& form, char separator) noexcept;
char* writeFixed(char* out, const DecimalForm& form, char separator) noexcept;

} // namespace talvo::estimation::detail
