#include "estimation/number_text.h"

#include "estimation/failure.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
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

struct Parsed {
    double value = 0.0;
    std::optional<FailureKind> failure;
};

// The decimal order of magnitude of a well-formed unsigned number: only its sign matters, to
// tell an overflow from an underflow when the double range is left.
long long magnitudeOrder(std::string_view digits, char separator) {
    long long integerDigits = 0; // from the first non-zero digit on
    long long leadingFractionZeros = 0;
    bool seenNonZero = false;
    bool inFraction = false;
    std::size_t i = 0;
    for (; i < digits.size() && digits[i] != 'e' && digits[i] != 'E'; ++i) {
        const char c = digits[i];
        if (c == separator) {
            inFraction = true;
        } else if (!inFraction) {
            seenNonZero = seenNonZero || c != '0';
            integerDigits += seenNonZero ? 1 : 0;
        } else if (!seenNonZero) {
            seenNonZero = c != '0';
            leadingFractionZeros += seenNonZero ? 0 : 1;
        }
    }
    const long long order = integerDigits > 0 ? integerDigits - 1 : -(leadingFractionZeros + 1);

    long long exponent = 0;
    bool negativeExponent = false;
    if (i < digits.size()) {
        ++i;
        if (i < digits.size() && (digits[i] == '+' || digits[i] == '-')) {
            negativeExponent = digits[i] == '-';
            ++i;
        }
        for (; i < digits.size(); ++i) {
            exponent = std::min(exponent * 10 + (digits[i] - '0'), 1'000'000'000LL);
        }
    }
    return order + (negativeExponent ? -exponent : exponent);
}

// The significant digits of a double rounded to 15, as in its general text: the value is
// 0.d1d2...dn x 10^(exponent + 1), without trailing zeros.
struct Digits {
    std::array<char, 17> text{};
    std::size_t count = 0;
    int exponent = 0;
};

Digits significantDigits(double value) {
    // The shortest text that reads back is the 15-digit rounding whenever it has at most 15
    // digits (a double carries more than 15), and it is much quicker to find.
    std::array<char, 40> buffer{};
    char* const first = buffer.data();
    auto [end, ec] = std::to_chars(first, first + buffer.size(), std::fabs(value),
                                   std::chars_format::scientific);
    std::string_view text(first, static_cast<std::size_t>(end - first));
    if (text.find('e') > 16) { // d.ddddddddddddddd: 16 digits or more
        end = std::to_chars(first, first + buffer.size(), std::fabs(value),
                            std::chars_format::scientific, 14)
                  .ptr;
        text = std::string_view(first, static_cast<std::size_t>(end - first));
    }
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
    const std::string_view exponentText = text.substr(e + 1);
    std::from_chars(exponentText.data() + (exponentText.front() == '+' ? 1 : 0),
                    exponentText.data() + exponentText.size(), digits.exponent);
    return digits;
}

Parsed parseNumber(std::string_view text, char separator) {
    constexpr Parsed mismatch{0.0, FailureKind::typeMismatch};
    text = trimBlanks(text);

    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }

    // Check the whole form first: from_chars alone would also take "inf", "nan" and the like.
    std::size_t i = 0;
    std::size_t digitCount = 0;
    std::optional<std::size_t> separatorAt;
    for (; i < text.size(); ++i) {
        if (isDigit(text[i])) {
            ++digitCount;
        } else if (text[i] == separator && !separatorAt) {
            separatorAt = i;
        } else {
            break;
        }
    }
    if (digitCount == 0) {
        return mismatch;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            ++i;
        }
        const std::size_t exponentStart = i;
        while (i < text.size() && isDigit(text[i])) {
            ++i;
        }
        if (i == exponentStart) {
            return mismatch;
        }
    }
    if (i != text.size()) {
        return mismatch;
    }

    // from_chars reads '.' only; short texts are copied to the stack to swap the separator.
    std::array<char, 64> local{};
    std::string heap;
    std::string_view source = text;
    if (separatorAt && separator != '.') {
        char* out = local.data();
        if (text.size() > local.size()) {
            heap.assign(text);
            out = heap.data();
        } else {
            std::copy(text.begin(), text.end(), out);
        }
        out[*separatorAt] = '.';
        source = std::string_view(out, text.size());
    }

    double value = 0.0;
    const auto [end, ec] = std::from_chars(source.data(), source.data() + source.size(), value);
    if (ec == std::errc::result_out_of_range) {
        if (magnitudeOrder(text, separator) > 0) {
            return {0.0, FailureKind::overflow};
        }
        value = 0.0; // below the smallest subnormal: the nearest double is zero
    } else if (ec != std::errc{} || end != source.data() + source.size()) {
        return mismatch;
    }
    return {negative ? -value : value, std::nullopt};
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
    std::array<char, 32> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                         std::chars_format::general, 15);
    std::string text(buffer.data(), ec == std::errc{} ? end : buffer.data());
    std::replace(text.begin(), text.end(), '.', separator.get());
    return text;
}

std::string fixedText(std::string_view text, DecimalSeparator separator) {
    const Parsed parsed = parseNumber(text, separator.get());
    if (parsed.failure) {
        return std::string(text);
    }

    const Digits digits = significantDigits(parsed.value);
    const auto digit = [&](std::size_t k) { return k < digits.count ? digits.text[k] : '0'; };
    const int exponent = digits.exponent;
    const bool negative = std::signbit(parsed.value);

    // The rounded magnitude as a count of hundredths, most significant digit first, at least
    // three digits. Digit k of the 15 has the place value 10^(exponent - k), so the first
    // exponent + 3 of them reach down to the hundredths.
    std::array<char, 400> hundredths{};
    std::size_t size = 0;
    const long keep = parsed.value == 0.0 ? -1 : static_cast<long>(exponent) + 3;
    const auto kept = static_cast<std::size_t>(std::max(keep, 0L));
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
    if (negative && rounded.find_first_not_of('0') != std::string_view::npos) {
        out += '-';
    }
    out += rounded.substr(0, size - 2);
    out += separator.get();
    out += rounded.substr(size - 2);
    return out;
}

} // namespace talvo::estimation
