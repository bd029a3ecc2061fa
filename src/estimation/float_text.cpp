#include "estimation/detail/portable.h"
#include "estimation/estimation.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace talvo::estimation {

using detail::fromChars;
using detail::toScientific;

double floatAsText(float single) noexcept {
    if (!std::isfinite(single)) {
        return static_cast<double>(single); // NaN and the infinities have no digits
    }
    // "5.23e+01" is read as "52.3" is: the text's form does not change its number.
    std::array<char, 64> text{};
    const auto written = toScientific(text.data(), text.data() + text.size(), single);
    double wide = 0;
    fromChars(text.data(), written.ptr, wide);
    return wide;
}

double shiftedDecimal(double value, int places) noexcept {
    if (!std::isfinite(value)) {
        return value;
    }
    // The fewest digits that read back, each count rounded to nearest: "7.0e-02" for 0.07.
    constexpr int MostDigits = 17;
    std::array<char, 64> text{};
    for (int precision = 0; precision < MostDigits; ++precision) {
        const auto written =
            toScientific(text.data(), text.data() + text.size() - 8, value, precision);
        double back = 0;
        fromChars(text.data(), written.ptr, back);
        if (back == value || precision + 1 == MostDigits) {
            // The exponent moved by `places`, as text: the decimal is shifted, not multiplied.
            char* const e = std::strchr(text.data(), 'e');
            const long exponent = std::strtol(e + 1, nullptr, 10) + places;
            const int length = std::snprintf(e + 1, 8, "%ld", exponent);
            double shifted = 0;
            if (fromChars(text.data(), e + 1 + length, shifted).ec ==
                std::errc::result_out_of_range) {
                // Past the range: an infinity, or below it: a zero, of the value's sign.
                shifted = std::copysign(exponent > 0 ? HUGE_VAL : 0.0, value);
            }
            return shifted;
        }
    }
    return value; // unreachable: 17 digits always read back
}

double RecentFloatTexts::of(float single) {
    const auto bits = detail::bitCast<std::uint32_t>(single);
    Entry& entry = m_entries[(bits * 2654435761U) >> (32U - IndexBits)];
    if (!entry.filled || entry.bits != bits) {
        entry = {bits, true, floatAsText(single)};
    }
    return entry.value;
}

} // namespace talvo::estimation
