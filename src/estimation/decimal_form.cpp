#include "estimation/detail/decimal_form.h"

#include "estimation/detail/portable.h"
#include "estimation/detail/quick_hundredths.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstring>

namespace talvo::estimation::detail {

namespace {

__extension__ using Uint128 = unsigned __int128;

// 10^0 to 10^19, the largest below 2^64, as integers for the 128-bit steps: exact, as the
// doubles are.
constexpr std::array<std::uint64_t, 20> integerPowersOfTen() {
    std::array<std::uint64_t, 20> powers{};
    for (std::size_t i = 0; i < powers.size(); ++i) {
        powers[i] = static_cast<std::uint64_t>(powersOfTen[i]);
    }
    return powers;
}
constexpr std::array<std::uint64_t, 20> integerPowers = integerPowersOfTen();

constexpr std::uint64_t lowestFifteenDigits = 100'000'000'000'000;
constexpr std::uint64_t beyondFifteenDigits = 1'000'000'000'000'000;

} // namespace

DecimalForm makeDecimalForm(std::uint64_t digits, int exponent, bool negative) {
    assert(digits <= beyondFifteenDigits);
    if (digits == 0) {
        return {};
    }
    // Trailing zeros by halves (8 + 4 + 2 + 1 covers the fifteen of 10^15): most results have
    // many, and constant divisors cost a multiplication each.
    if (digits % 100'000'000 == 0) {
        digits /= 100'000'000;
        exponent += 8;
    }
    if (digits % 10'000 == 0) {
        digits /= 10'000;
        exponent += 4;
    }
    if (digits % 100 == 0) {
        digits /= 100;
        exponent += 2;
    }
    if (digits % 10 == 0) {
        digits /= 10;
        exponent += 1;
    }
    return {digits, exponent, negative};
}

namespace {

// The plain range, 1e-4 to below 1e15, rounded exactly in 128-bit integers: the magnitude is
// mantissa / 2^shift with 3 <= shift <= 66, and mantissa x 10^(14 - exponent) fits in 113 bits.
std::optional<DecimalForm> roundInIntegers(double magnitude, bool negative) {
    if (!(magnitude >= 1e-4 && magnitude < 1e15)) {
        return std::nullopt;
    }
    const auto bits = bitCast<std::uint64_t>(magnitude);
    constexpr std::uint64_t hiddenBit = std::uint64_t{1} << 52U;
    const std::uint64_t mantissa = (bits & (hiddenBit - 1)) | hiddenBit;
    const auto shift = static_cast<unsigned>(1075 - static_cast<int>(bits >> 52U));
    assert(shift >= 3 && shift <= 66);

    // log10(2) times the binary exponent: the decimal one, or one below; the loop settles it.
    // The shift rounds towards minus infinity, also for the negative exponents below 1.
    const int binaryExponent = 52 - static_cast<int>(shift);
    int exponent = binaryExponent >= 0 ? (binaryExponent * 78913) >> 18
                                       : -((-binaryExponent * 78913 + (1 << 18) - 1) >> 18);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int scale = 14 - exponent;
        assert(scale >= 0 && scale < static_cast<int>(integerPowers.size()));
        const Uint128 scaled = Uint128{mantissa} * integerPowers[static_cast<std::size_t>(scale)];
        auto digits = static_cast<std::uint64_t>(scaled >> shift);
        // The decade is judged before rounding: rounding in a decade too high would keep
        // only 14 digits (9999999.999999994 would become 10000000).
        if (digits >= beyondFifteenDigits) {
            ++exponent;
            continue;
        }
        if (digits < lowestFifteenDigits) {
            --exponent;
            continue;
        }
        const Uint128 below = scaled & ((Uint128{1} << shift) - 1);
        const Uint128 half = Uint128{1} << (shift - 1);
        if (below > half || (below == half && (digits & 1U) != 0)) {
            ++digits; // may reach 10^15: 999...95 rounds up into the next decade
        }
        return makeDecimalForm(digits, exponent - 14, negative);
    }
    return std::nullopt;
}

// Any other magnitude: the library's own rounding to 15 digits, read off its text.
DecimalForm roundByText(double magnitude, bool negative) {
    std::array<char, 32> text{};
    const auto* const end =
        toScientific(text.data(), text.data() + text.size(), magnitude, SignificantDigits - 1).ptr;
    std::uint64_t digits = 0;
    const char* c = text.data();
    for (; *c != 'e'; ++c) {
        if (*c != '.') {
            digits = digits * 10 + static_cast<std::uint64_t>(*c - '0');
        }
    }
    int exponent = 0;
    ++c;
    const bool negativeExponent = *c == '-';
    std::from_chars(c + 1, end, exponent);
    exponent = negativeExponent ? -exponent : exponent;
    return makeDecimalForm(digits, exponent - (SignificantDigits - 1), negative);
}

// The digits of a form, most significant first; returns the count.
std::size_t digitText(std::uint64_t digits, std::array<char, 20>& text) noexcept {
    const auto* const end = std::to_chars(text.data(), text.data() + text.size(), digits).ptr;
    return static_cast<std::size_t>(end - text.data());
}

} // namespace

DecimalForm decimalForm(double value) {
    assert(std::isfinite(value));
    if (value == 0.0) {
        return {};
    }
    const bool negative = std::signbit(value);
    const double magnitude = std::fabs(value);
    if (const std::optional<DecimalForm> form = roundInIntegers(magnitude, negative)) {
        return *form;
    }
    return roundByText(magnitude, negative);
}

std::optional<double> readBack(const DecimalForm& form) {
    if (form.digits == 0) {
        return 0.0;
    }
    // At most 15 digits and a power of ten that is exact: one correctly rounded operation.
    if (form.exponent >= -22 && form.exponent <= 22) {
        const auto digits = static_cast<double>(form.digits);
        const double power = powersOfTen[static_cast<std::size_t>(std::abs(form.exponent))];
        const double magnitude = form.exponent < 0 ? digits / power : digits * power;
        return form.negative ? -magnitude : magnitude;
    }
    std::array<char, GeneralTextCapacity> text{};
    char* const end = writeGeneral(text.data(), form, '.');
    const ParsedNumber parsed =
        readNumber(std::string_view(text.data(), static_cast<std::size_t>(end - text.data())));
    if (parsed.failure) {
        return std::nullopt;
    }
    return parsed.value;
}

namespace {

// The form rounded to two decimals as a count of hundredths, when it has at most four zeros
// to add before them (the count stays below 10^19); nothing for the rest, whole thousands
// and beyond such as 5000 or 1e20.
std::optional<std::uint64_t> hundredthsCount(const DecimalForm& form) noexcept {
    if (form.exponent >= -2) {
        const int zeros = form.exponent + 2; // below the digits, down to the hundredths
        if (zeros > 4) {
            return std::nullopt;
        }
        return form.digits * integerPowers[static_cast<std::size_t>(zeros)];
    }
    const auto dropped = static_cast<std::size_t>(-2 - form.exponent);
    if (dropped > SignificantDigits) {
        return 0; // below half a hundredth
    }
    // Half away from zero: the magnitude is rounded, the sign stays.
    return (form.digits + 5 * integerPowers[dropped - 1]) / integerPowers[dropped];
}

} // namespace

DecimalForm roundedToHundredths(const DecimalForm& form) {
    if (form.exponent >= -2) {
        return form;
    }
    return makeDecimalForm(*hundredthsCount(form), -2, form.negative);
}

char* writeGeneral(char* out, const DecimalForm& form, char separator) noexcept {
    if (form.digits == 0) {
        *out++ = '0';
        return out;
    }
    std::array<char, 20> digits{};
    const std::size_t count = digitText(form.digits, digits);
    const int leading = form.exponent + static_cast<int>(count) - 1; // place of the first digit
    if (form.negative) {
        *out++ = '-';
    }
    if (leading >= -4 && leading < SignificantDigits) {
        if (leading < 0) {
            *out++ = '0';
            *out++ = separator;
            out = std::fill_n(out, -leading - 1, '0');
            return std::copy_n(digits.data(), count, out);
        }
        const auto whole = static_cast<std::size_t>(leading) + 1;
        if (count <= whole) {
            out = std::copy_n(digits.data(), count, out);
            return std::fill_n(out, whole - count, '0');
        }
        out = std::copy_n(digits.data(), whole, out);
        *out++ = separator;
        return std::copy_n(digits.data() + whole, count - whole, out);
    }
    *out++ = digits[0];
    if (count > 1) {
        *out++ = separator;
        out = std::copy_n(digits.data() + 1, count - 1, out);
    }
    *out++ = 'e';
    *out++ = leading < 0 ? '-' : '+';
    const int magnitude = std::abs(leading);
    if (magnitude < 10) {
        *out++ = '0';
    }
    return std::to_chars(out, out + 3, magnitude).ptr;
}

namespace {

// A count of hundredths as "-12.34": the whole part, the separator and two digits.
char* writeCount(char* out, bool negative, std::uint64_t count, char separator) noexcept {
    if (negative && count != 0) {
        *out++ = '-';
    }
    constexpr std::size_t MostWholeDigits = 18; // of a count below 2^64
    out = std::to_chars(out, out + MostWholeDigits, count / 100).ptr;
    *out++ = separator;
    *out++ = static_cast<char>('0' + count / 10 % 10);
    *out++ = static_cast<char>('0' + count % 10);
    return out;
}

} // namespace

char* writeFixed(char* out, const DecimalForm& form, char separator) noexcept {
    if (const std::optional<std::uint64_t> count = hundredthsCount(form)) {
        return writeCount(out, form.negative, *count, separator); // the usual case
    }
    // The rest: the digits, then zeros down to the hundredths.
    if (form.negative) {
        *out++ = '-';
    }
    const int hundredthsPlace = form.exponent + 2;
    const auto zeros = static_cast<std::size_t>(hundredthsPlace);
    std::array<char, 20> digits{};
    const std::size_t count = digitText(form.digits, digits);
    const std::size_t total = std::max<std::size_t>(count + zeros, 3);
    assert(total + 2 <= ResultTextCapacity);
    char* const first = out;
    out = std::fill_n(out, total - count - zeros, '0');
    out = std::copy_n(digits.data(), count, out);
    out = std::fill_n(out, zeros, '0');
    // Open a gap for the separator before the last two digits.
    std::memmove(first + total - 1, first + total - 2, 2);
    first[total - 2] = separator;
    return out + 1;
}

namespace {

// The whole numbers of exactly 15 digits: 10^14 up to below 10^15.
constexpr double FirstFifteenDigits = 1e14;
constexpr double PastFifteenDigits = 1e15;

} // namespace

std::optional<double> fifteenDigitValue(double value) {
    // From 1e-7 up to 1e14 the 15 digits are a whole number below 10^15 over a power of ten
    // that a double holds exactly, 10^1 to 10^22.
    constexpr double Lowest = 1e-7;
    constexpr double Highest = 1e14;
    // Below 10^15 the product is off by at most half of 1/8, its unit in the last place.
    constexpr double ProductError = 0.125;
    const double magnitude = std::fabs(value);
    if (magnitude >= Lowest && magnitude < Highest) {
        // floor(log10) from the binary exponent, or one less: 1233 / 4096 is just below log10(2).
        const int binary = static_cast<int>(bitCast<std::uint64_t>(magnitude) >> 52U) - 1023;
        auto power = static_cast<std::size_t>(14 - ((binary * 1233) >> 12));
        double scaled = magnitude * powersOfTen[power];
        assert(power < powersOfTen.size());
        if (scaled >= PastFifteenDigits) {
            --power;
            scaled = magnitude * powersOfTen[power];
        }
        // Below 2^52, adding 2^52 rounds to a whole number.
        constexpr double TwoTo52 = 4503599627370496.0;
        const double nearest = (scaled + TwoTo52) - TwoTo52;
        const bool clear = std::fabs(std::fabs(scaled - nearest) - 0.5) > ProductError &&
                           scaled > FirstFifteenDigits + 1 && scaled < PastFifteenDigits - 1;
        if (clear) {
            // Both exact: one correctly rounded division, as reading the text does.
            const double rounded = nearest / powersOfTen[power];
            return value < 0 ? -rounded : rounded;
        }
    }
    return readBack(decimalForm(value));
}

} // namespace talvo::estimation::detail

namespace talvo::estimation {

using detail::decimalForm;

char* writeHundredths(char* out, std::int64_t hundredths, char separator) noexcept {
    const bool negative = hundredths < 0;
    const auto magnitude = negative ? ~static_cast<std::uint64_t>(hundredths) + 1
                                    : static_cast<std::uint64_t>(hundredths);
    return detail::writeCount(out, negative, magnitude, separator);
}

char* writeFixed(char* out, double value, char separator) {
    namespace quick = detail::quick;
    if (std::fabs(value) < quick::Largest) {
        const quick::Rounded rounded =
            quick::hundredthsOf(value, std::fabs(value) * 100 * quick::FormError);
        if (!rounded.close) {
            return writeHundredths(out, static_cast<std::int64_t>(rounded.count + 0.0), separator);
        }
    }
    return detail::writeFixed(out, decimalForm(value), separator);
}

char* writeGeneral(char* out, double value, char separator) {
    // A whole number below 10^15 is its own 15 digits, written without a separator.
    const double magnitude = std::fabs(value);
    if (magnitude < detail::PastFifteenDigits && magnitude == std::floor(magnitude) &&
        magnitude != 0) {
        if (value < 0) {
            *out++ = '-';
        }
        return std::to_chars(out, out + GeneralTextCapacity, static_cast<std::uint64_t>(magnitude))
            .ptr;
    }
    return detail::writeGeneral(out, decimalForm(value), separator);
}

} // namespace talvo::estimation
