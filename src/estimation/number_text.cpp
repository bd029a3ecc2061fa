#include "estimation/number_text.h"

#include "estimation/failure.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <system_error>

namespace talvo::estimation {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The significant digits of a decimal number: the magnitude is 0.d1d2...dn x 10^(point), that
// is the first digit has the place value 10^(point - 1).
struct Digits {
    static constexpr std::size_t capacity = 17; // enough for any double's shortest text
    std::array<char, capacity> text;
    std::size_t count = 0;
    long long point = 0;
};

// A number as read from a text: its value, or why it is no number.
struct Parsed {
    double value = 0.0;
    std::optional<FailureKind> failure;
};

constexpr std::size_t exactDigits = 15; // every decimal of 15 digits survives a double
constexpr long long exponentLimit = 1'000'000'000;

constexpr std::array<double, 23> powersOfTen{1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                             1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                             1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The nearest double by from_chars, which reads '.' only; short texts are copied to the stack
// to swap the separator.
std::errc readDouble(std::string_view unsignedText, char separator, double& value) {
    std::array<char, 64> local; // NOLINT(cppcoreguidelines-pro-type-member-init): filled below
    std::string heap;
    std::string_view source = unsignedText;
    if (separator != '.' && unsignedText.find(separator) != std::string_view::npos) {
        char* out = local.data();
        if (unsignedText.size() > local.size()) {
            heap.assign(unsignedText);
            out = heap.data();
        } else {
            std::copy(unsignedText.begin(), unsignedText.end(), out);
        }
        std::replace(out, out + unsignedText.size(), separator, '.');
        source = std::string_view(out, unsignedText.size());
    }
    const auto [end, ec] = std::from_chars(source.data(), source.data() + source.size(), value);
    return end == source.data() + source.size() ? ec : std::errc::invalid_argument;
}

// Reads a number. When the text has at most 15 significant digits, they are its own 15-digit
// rounding, and `exact` (if given) receives them; otherwise its count is left at zero.
Parsed parseNumber(std::string_view text, char separator, Digits* exact = nullptr) {
    constexpr Parsed mismatch{0.0, FailureKind::typeMismatch};
    text = trimBlanks(text);

    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }

    // Check the whole form first (from_chars alone would also take "inf", "nan" and the like),
    // collecting the significant digits on the way.
    Digits local;
    Digits& digits = exact != nullptr ? *exact : local;
    std::uint64_t mantissa = 0;
    std::size_t digitCount = 0;
    std::size_t significant = 0;
    bool afterSeparator = false;
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (isDigit(c)) {
            ++digitCount;
            if (significant > 0 || c != '0') {
                if (significant < Digits::capacity) {
                    digits.text[significant] = c;
                }
                if (significant < exactDigits) {
                    mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
                }
                ++significant;
                digits.point += afterSeparator ? 0 : 1;
            } else if (afterSeparator) {
                --digits.point; // a leading zero after the separator
            }
        } else if (c == separator && !afterSeparator) {
            afterSeparator = true;
        } else {
            break;
        }
    }
    if (digitCount == 0) {
        return mismatch;
    }
    long long exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            negativeExponent = text[i] == '-';
            ++i;
        }
        const std::size_t exponentStart = i;
        for (; i < text.size() && isDigit(text[i]); ++i) {
            exponent = std::min(exponent * 10 + (text[i] - '0'), exponentLimit);
        }
        if (i == exponentStart) {
            return mismatch;
        }
        exponent = negativeExponent ? -exponent : exponent;
    }
    if (i != text.size()) {
        return mismatch;
    }

    const auto sign = [negative](double v) { return negative ? -v : v; };
    if (significant == 0) {
        return {sign(0.0), std::nullopt};
    }
    digits.count = significant <= exactDigits ? significant : 0;
    digits.point += exponent;

    // Up to 15 digits and a power of ten that is exact: one correctly rounded operation.
    const long long scale = digits.point - static_cast<long long>(significant);
    if (significant <= exactDigits && scale >= -22 && scale <= 22) {
        const auto m = static_cast<double>(mantissa);
        const double power = powersOfTen[static_cast<std::size_t>(scale < 0 ? -scale : scale)];
        return {sign(scale < 0 ? m / power : m * power), std::nullopt};
    }

    double value = 0.0;
    const std::errc ec = readDouble(text, separator, value);
    if (ec == std::errc::result_out_of_range) {
        if (digits.point > 0) {
            return {0.0, FailureKind::overflow};
        }
        value = 0.0; // below the smallest subnormal: the nearest double is zero
    } else if (ec != std::errc{}) {
        return mismatch;
    }
    return {sign(value), std::nullopt};
}

// The digits of a double rounded to 15, as in its general text, without trailing zeros.
Digits significantDigits(double value) {
    std::array<char, 40> buffer; // NOLINT(cppcoreguidelines-pro-type-member-init): written next
    char* const first = buffer.data();
    auto* const end = std::to_chars(first, first + buffer.size(), std::fabs(value),
                                    std::chars_format::scientific, exactDigits - 1)
                          .ptr;
    const std::string_view text(first, static_cast<std::size_t>(end - first));
    Digits digits;
    const std::size_t e = text.find('e');
    for (std::size_t i = 0; i < e; ++i) {
        if (text[i] != '.') {
            digits.text[digits.count++] = text[i];
        }
    }
    while (digits.count > 1 && digits.text[digits.count - 1] == '0') {
        --digits.count;
    }
    int exponent = 0;
    const std::string_view exponentText = text.substr(e + 1);
    std::from_chars(exponentText.data() + (exponentText.front() == '+' ? 1 : 0),
                    exponentText.data() + exponentText.size(), exponent);
    digits.point = exponent + 1;
    return digits;
}

// A magnitude rounded to 15 significant digits: digits x 10^(exponent - 14).
struct Rounded {
    std::uint64_t digits; // 10^14 <= digits < 10^15
    int exponent;
};

constexpr std::array<std::uint64_t, 20> integerPowersOfTen{
    1ULL,
    10ULL,
    100ULL,
    1'000ULL,
    10'000ULL,
    100'000ULL,
    1'000'000ULL,
    10'000'000ULL,
    100'000'000ULL,
    1'000'000'000ULL,
    10'000'000'000ULL,
    100'000'000'000ULL,
    1'000'000'000'000ULL,
    10'000'000'000'000ULL,
    100'000'000'000'000ULL,
    1'000'000'000'000'000ULL,
    10'000'000'000'000'000ULL,
    100'000'000'000'000'000ULL,
    1'000'000'000'000'000'000ULL,
    10'000'000'000'000'000'000ULL,
};

// An unsigned 128-bit product, in portable C++.
struct Wide {
    std::uint64_t high;
    std::uint64_t low;

    static Wide product(std::uint64_t a, std::uint64_t b) {
        constexpr std::uint64_t mask = 0xffff'ffffU;
        const std::uint64_t ll = (a & mask) * (b & mask);
        const std::uint64_t lh = (a & mask) * (b >> 32U);
        const std::uint64_t hl = (a >> 32U) * (b & mask);
        const std::uint64_t hh = (a >> 32U) * (b >> 32U);
        const std::uint64_t middle = (ll >> 32U) + (lh & mask) + (hl & mask);
        return {hh + (lh >> 32U) + (hl >> 32U) + (middle >> 32U), (ll & mask) | (middle << 32U)};
    }
    // The bits from n on, for 1 <= n < 128, when they fit in 64.
    std::uint64_t from(unsigned n) const {
        return n < 64 ? (low >> n) | (high << (64 - n)) : high >> (n - 64);
    }
    bool bit(unsigned n) const { return ((n < 64 ? low >> n : high >> (n - 64)) & 1U) != 0; }
    bool anyBelow(unsigned n) const {
        if (n <= 64) {
            return n != 0 && (low & (n == 64 ? ~0ULL : (1ULL << n) - 1)) != 0;
        }
        return low != 0 || (high & ((1ULL << (n - 64)) - 1)) != 0;
    }
};

// The general text of magnitudes from 1e-4 to below 1e15, the plain form, rounded exactly
// (half to even, as to_chars does on the exact binary value) in 128-bit integers: several
// times quicker than the library's rounding to a precision. Other magnitudes give nothing.
std::optional<Rounded> roundToFifteenDigits(double magnitude) {
    if (!(magnitude >= 1e-4 && magnitude < 1e15)) {
        return std::nullopt;
    }
    // magnitude = mantissa / 2^shift exactly, 3 <= shift <= 66 (a normal double here)
    const auto bits = std::bit_cast<std::uint64_t>(magnitude);
    constexpr std::uint64_t hiddenBit = 1ULL << 52U;
    const std::uint64_t mantissa = (bits & (hiddenBit - 1)) | hiddenBit;
    const auto shift = static_cast<unsigned>(1075 - static_cast<int>(bits >> 52U));

    // log10(2) times the binary exponent: the decimal one, or one below; the loop settles it.
    const int binaryExponent = 52 - static_cast<int>(shift);
    int exponent = (binaryExponent * 78913) >> 18;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int scale = 14 - exponent;
        if (scale < 0 || scale >= static_cast<int>(integerPowersOfTen.size())) {
            return std::nullopt;
        }
        const Wide scaled =
            Wide::product(mantissa, integerPowersOfTen[static_cast<std::size_t>(scale)]);
        std::uint64_t digits = scaled.from(shift);
        // The decade is judged before rounding: rounding at a decade too high would keep
        // only 14 digits (9999999.999999994 would become 10000000).
        if (digits >= integerPowersOfTen[15]) {
            ++exponent;
            continue;
        }
        if (digits < integerPowersOfTen[14]) {
            --exponent;
            continue;
        }
        const bool roundBit = scaled.bit(shift - 1);
        const bool sticky = scaled.anyBelow(shift - 1);
        if (roundBit && (sticky || (digits & 1U) != 0)) {
            ++digits;
        }
        if (digits == integerPowersOfTen[15]) {
            return Rounded{integerPowersOfTen[14], exponent + 1}; // 999...95 rounds up a decade
        }
        return Rounded{digits, exponent};
    }
    return std::nullopt;
}

// Writes a rounded magnitude in the plain form of the general text (-4 <= exponent < 15),
// without trailing zeros; returns the end.
char* writePlain(char* out, bool negative, Rounded rounded, char separator) {
    if (rounded.exponent >= 15) {
        // Only a rounding up to 1e15 lands here; the exponent form is the library's.
        return std::to_chars(out, out + 32, negative ? -1e15 : 1e15, std::chars_format::general,
                             exactDigits)
            .ptr;
    }
    std::array<char, 15> digits; // NOLINT(cppcoreguidelines-pro-type-member-init): written next
    std::to_chars(digits.data(), digits.data() + digits.size(), rounded.digits);
    std::size_t significant = digits.size();
    while (digits[significant - 1] == '0') {
        --significant;
    }
    if (negative) {
        *out++ = '-';
    }
    if (rounded.exponent < 0) {
        *out++ = '0';
        *out++ = separator;
        out = std::fill_n(out, -rounded.exponent - 1, '0');
        return std::copy_n(digits.data(), significant, out);
    }
    const auto whole = static_cast<std::size_t>(rounded.exponent) + 1;
    out = std::copy_n(digits.data(), whole, out);
    if (significant > whole) {
        *out++ = separator;
        out = std::copy_n(digits.data() + whole, significant - whole, out);
    }
    return out;
}

} // namespace

DecimalSeparator::DecimalSeparator(char c) : m_char(c) {
    const bool graphic = c > ' ' && c < '\x7f';
    if (!graphic || isDigit(c) || c == '+' || c == '-' || c == 'e' || c == 'E') {
        throw std::invalid_argument("a decimal separator must be a punctuation character");
    }
}

double numberFromText(std::string_view text, DecimalSeparator separator) {
    const Parsed parsed = parseNumber(text, separator.get());
    if (parsed.failure) {
        throw Failure(*parsed.failure);
    }
    return parsed.value;
}

std::string generalText(double value, DecimalSeparator separator) {
    if (value == 0.0) {
        return "0"; // also for -0
    }
    std::array<char, 32> buffer; // NOLINT(cppcoreguidelines-pro-type-member-init): written next
    if (const std::optional<Rounded> rounded = roundToFifteenDigits(std::fabs(value))) {
        return {buffer.data(),
                writePlain(buffer.data(), std::signbit(value), *rounded, separator.get())};
    }
    char* const end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                    std::chars_format::general, exactDigits)
                          .ptr;
    std::replace(buffer.data(), end, '.', separator.get());
    return {buffer.data(), end};
}

std::string fixedText(std::string_view text, DecimalSeparator separator) {
    Digits digits;
    const Parsed parsed = parseNumber(text, separator.get(), &digits);
    if (parsed.failure) {
        return std::string(text);
    }
    // A text of at most 15 digits is its own 15-digit rounding; others go through the double.
    if (digits.count == 0 && parsed.value != 0.0) {
        digits = significantDigits(parsed.value);
    }
    const auto digit = [&](std::size_t k) { return k < digits.count ? digits.text[k] : '0'; };

    // The rounded magnitude as a count of hundredths, most significant digit first. Digit k
    // has the place value 10^(point - 1 - k), so the first point + 2 reach the hundredths.
    std::array<char, 400> hundredths; // NOLINT(cppcoreguidelines-pro-type-member-init)
    std::size_t size = 0;
    const long long keep = digits.count == 0 ? -1 : digits.point + 2;
    const auto kept = static_cast<std::size_t>(std::max(keep, 0LL));
    for (std::size_t k = 0; k < kept; ++k) {
        hundredths[size++] = digit(k);
    }
    if (keep >= 0 && digit(kept) >= '5') {
        std::size_t k = size;
        while (k > 0 && hundredths[k - 1] == '9') {
            hundredths[--k] = '0';
        }
        if (k == 0) { // all nines, or nothing kept: 99.995 becomes 100.00, 0.005 0.01
            std::copy_backward(hundredths.begin(), hundredths.begin() + size,
                               hundredths.begin() + size + 1);
            hundredths[0] = '0';
            ++size;
        }
        ++hundredths[k == 0 ? 0 : k - 1];
    }
    if (size < 3) {
        std::copy_backward(hundredths.begin(), hundredths.begin() + size, hundredths.begin() + 3);
        std::fill(hundredths.begin(), hundredths.begin() + (3 - size), '0');
        size = 3;
    }

    const std::string_view rounded(hundredths.data(), size);
    std::string out;
    out.reserve(size + 2);
    if (std::signbit(parsed.value) && rounded.find_first_not_of('0') != std::string_view::npos) {
        out += '-';
    }
    out += rounded.substr(0, size - 2);
    out += separator.get();
    out += rounded.substr(size - 2);
    return out;
}

} // namespace talvo::estimation
